#include "toolkit/widgets/windowplacement.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <optional>

using namespace Qt::StringLiterals;

namespace tk {

namespace {

std::optional<bool> g_placesOverride;
QPointer<QWidget> g_mainWindow;

} // namespace

QWidget *mainWindow()
{
    return g_mainWindow;
}

void setMainWindow(QWidget *window)
{
    g_mainWindow = window;
}

bool platformPlacesWindows()
{
    if (g_placesOverride)
        return *g_placesOverride;
    // "wayland", "wayland-egl", "wayland-brcm": every Wayland plugin has the same limit.
    return !QGuiApplication::platformName().startsWith(u"wayland"_s);
}

void overridePlatformPlacesWindows(bool places)
{
    g_placesOverride = places;
}

void clearPlatformPlacesWindowsOverride()
{
    g_placesOverride.reset();
}

QRect hintPlacementArea()
{
    if (!platformPlacesWindows()) {
        if (const QWidget *form = mainWindow())
            return {form->mapToGlobal(QPoint(0, 0)), form->size()};
    }
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

void attachToMainWindow(QWidget *popup)
{
    QWidget *form = mainWindow();
    if (!form || !form->windowHandle() || form == popup)
        return;
    if (!popup->windowHandle())
        popup->winId(); // the platform window must exist to take a transient parent
    if (QWindow *handle = popup->windowHandle(); handle && handle->transientParent() != form->windowHandle())
        handle->setTransientParent(form->windowHandle());
}

} // namespace tk
