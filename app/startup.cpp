#include "startup.h"

#include "application.h"
#include "fonts.h"
#include "jpegimage.h"

#include <QIcon>
#include <QStyleFactory>

void runModuleStartup()
{
    tk::startLoadingFontConfiguration();
    tk::registerJpegFormat();
    tk::registerBitmapFormat();
}

void initialiseApplication(tk::Application &app)
{
    tk::installFontSubstitutes();
    // One look on every desktop: the desktop's own theme must not restyle the scroll bar or buttons.
    app.setStyle(QStyleFactory::create(u"Fusion"_qs));
    app.setFont(tk::defaultFont());
    app.setWindowIcon(QIcon(u":/assets/icon.bmp"_qs));
    app.Title = u"ORMEX"_qs;
    // The window measures its texts as it is built.
    tk::finishLoadingFontConfiguration();
}
