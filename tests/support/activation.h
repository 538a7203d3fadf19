#pragma once

// Deactivating the application for widgets: a plain window, no widget, takes the activation, so that
// QApplication::activeWindow() answers none, as when another program has the foreground.

#include <QGuiApplication>
#include <QTest>
#include <QWindow>
#include <memory>

[[nodiscard]] inline std::unique_ptr<QWindow> activateForeignWindow()
{
    auto foreign = std::make_unique<QWindow>();
    foreign->resize(10, 10);
    foreign->show();
    foreign->requestActivate();
    (void)QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == foreign.get(); });
    return foreign;
}

inline void activateWidgetWindow(QWidget *window)
{
    window->activateWindow();
    (void)QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == window->windowHandle(); });
}
