#include "toolkit/widgets/windowplacement.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace tk {

namespace {

std::optional<bool> g_placesOverride;
struct ScreenOverride {
    QRect geometry, available;
};
std::optional<ScreenOverride> g_screenOverride;

// The start of a span of length size moved inside [low, low + extent) by the least distance.
int inside(int start, int size, int low, int extent)
{
    if (size >= extent)
        return low;
    return std::clamp(start, low, low + extent - size);
}
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

bool platformIsWayland()
{
    // "wayland", "wayland-egl", "wayland-brcm": every Wayland plugin.
    return QGuiApplication::platformName().startsWith(u"wayland"_s);
}

bool platformPlacesWindows()
{
    if (g_placesOverride)
        return *g_placesOverride;
    return !platformIsWayland();
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
    if (g_screenOverride)
        return g_screenOverride->geometry;
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

QRect keepOnScreen(const QRect &bounds, QPoint pointer)
{
    if (!platformPlacesWindows())
        return bounds;
    QRect area;
    if (g_screenOverride) {
        area = g_screenOverride->available;
    } else {
        const QScreen *screen = QGuiApplication::screenAt(pointer);
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (!screen)
            return bounds;
        area = screen->availableGeometry();
    }
    QRect kept = bounds;
    kept.moveLeft(inside(bounds.left(), bounds.width(), area.left(), area.width()));
    kept.moveTop(inside(bounds.top(), bounds.height(), area.top(), area.height()));
    return kept;
}

void overrideScreen(const QRect &geometry, const QRect &available)
{
    g_screenOverride = ScreenOverride{geometry, available};
}

void clearScreenOverride()
{
    g_screenOverride.reset();
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
