#include "app/startup.h"

#include "toolkit/application/application.h"
#include "toolkit/application/readerbus.h"
#include "toolkit/base/errors.h"
#include "toolkit/painting/fonts.h"
#include "toolkit/pictures/graphics.h"
#include "toolkit/pictures/jpegimage.h"

#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QStyleFactory>

using namespace Qt::StringLiterals;

namespace {

// The window icon from the stored bitmaps, at 1x and 2x; a bitmap that cannot be read is left out.
QIcon programIcon()
{
    QIcon icon;
    for (const QString &name : {u":/assets/icon.bmp"_s, u":/assets/icon@2x.bmp"_s}) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        tk::BitmapImage bitmap;
        try {
            bitmap.loadFromData(file.readAll());
        } catch (const tk::Error &) {
            continue;
        }
        icon.addPixmap(QPixmap::fromImage(bitmap.image()));
    }
    return icon;
}

} // namespace

void runModuleStartup()
{
    tk::startLoadingFontConfiguration();
    tk::registerJpegFormat();
    tk::registerBitmapFormat();
}

void initialiseApplication(tk::Application &app)
{
    // Docks and task bars match the window to its menu entry by these: the entry's file name is the
    // desktop file name and the Wayland app id, and its StartupWMClass is the class in WM_CLASS, which
    // Qt takes from the application name (the name the program was started under, unless set).
    QGuiApplication::setDesktopFileName(QStringLiteral(ORMEX_APP_ID));
    QCoreApplication::setApplicationName(u"ormex"_s);
    tk::connectReaderBusBeside(app);
    tk::installFontSubstitutes();
    // One look on every desktop: the desktop's own theme must not restyle the scroll bar or buttons.
    app.setStyle(QStyleFactory::create(u"Fusion"_s));
    app.setFont(tk::defaultFont());
    // The frameless window shows no icon itself; the task bar can wait for it.
    app.startupWork().afterFirstFrame([&app] { app.setWindowIcon(programIcon()); });
    app.Title = u"ORMEX"_s;
    // The window measures its texts as it is built.
    tk::finishLoadingFontConfiguration();
    app.startupWork().startBeside(tk::fillFontDatabase);
}
