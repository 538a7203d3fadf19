#include "toolkit/application/readerbus.h"

#include "toolkit/application/application.h"
#include "toolkit/widgets/windowplacement.h"

#include <QDBusConnection>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace tk {

void connectReaderBusBeside(Application &app)
{
    // The platforms whose integration brings the bridge; elsewhere the bus would be connected for nothing.
    const QString platform = QGuiApplication::platformName();
    if (platform != u"xcb"_s && !platformIsWayland())
        return;
    // The connection belongs to Qt's bus manager from then on, for the bridge to find.
    app.startupWork().startBeside([] { QDBusConnection::sessionBus(); });
}

} // namespace tk
