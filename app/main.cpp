#include "application.h"
#include "datafolder.h"
#include "language.h"
#include "rununit1.h"
#include "startup.h"

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
