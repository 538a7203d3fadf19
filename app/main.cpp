#include "app/datafolder.h"
#include "app/language.h"
#include "app/rununit1.h"
#include "app/startup.h"
#include "toolkit/application/application.h"

int main(int argc, char *argv[])
{
    enterInstalledDataFolder();
    runModuleStartup();
    tk::Application app(argc, argv);
    initialiseApplication(app);
    chooseProgramLanguage(app);
    new Tform1; // owned by nobody but the program: it lives until the process ends
    return app.Run();
}
