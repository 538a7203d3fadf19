#pragma once

namespace tk {
class Application;
}

// What every module registers before the application object exists (picture kinds by extension).
void runModuleStartup();

// What the application object needs before the first window: fonts and the pinned widget style.
void initialiseApplication(tk::Application &app);
