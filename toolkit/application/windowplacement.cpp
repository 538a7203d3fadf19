#include "windowplacement.h"

#include "application.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <optional>

using namespace Qt::StringLiterals;

namespace tk {

namespace {

std::optional<bool> g_placesOverride;

} // namespace

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
        const Application *app = Application::instance();
        if (const QWidget *form = app ? app->MainForm() : nullptr)
            return {form->mapToGlobal(QPoint(0, 0)), form->size()};
    }
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

void attachToMainWindow(QWidget *popup)
{
    const Application *app = Application::instance();
    QWidget *form = app ? app->MainForm() : nullptr;
    if (!form || !form->windowHandle() || form == popup)
        return;
    if (!popup->windowHandle())
        popup->winId(); // the platform window must exist to take a transient parent
    if (QWindow *handle = popup->windowHandle(); handle && handle->transientParent() != form->windowHandle())
        handle->setTransientParent(form->windowHandle());
}

} // namespace tk
