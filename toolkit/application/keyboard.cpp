#include "keyboard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace tk {

namespace {

bool g_keyboardInUse = false;

// The last key released anywhere in the program, for isKeyRepeat.
class KeyReleaseWatch : public QObject {
public:
    explicit KeyReleaseWatch(QObject *app) : QObject(app) { app->installEventFilter(this); }

    bool followsRelease(const QKeyEvent &press) const
    {
        return m_released && press.key() == m_key && press.timestamp() == m_time;
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyRelease) {
            const auto *release = static_cast<QKeyEvent *>(event);
            m_released = true;
            m_key = release->key();
            m_time = release->timestamp();
        } else if (event->type() == QEvent::KeyPress) {
            // Another key in between: whatever comes next is no repeat of the last release.
            const auto *press = static_cast<QKeyEvent *>(event);
            if (press->key() != m_key)
                m_released = false;
        }
        return false;
    }

private:
    bool m_released = false;
    int m_key = 0;
    quint64 m_time = 0;
};

bool reachedByTab(const QWidget *w)
{
    return (w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled();
}

} // namespace

bool keyboardInUse()
{
    return g_keyboardInUse;
}

void setKeyboardInUse(bool inUse)
{
    if (g_keyboardInUse == inUse)
        return;
    g_keyboardInUse = inUse;
    if (QWidget *focus = QApplication::focusWidget())
        focus->update();
}

bool isActivationKey(const QKeyEvent &event)
{
    if (event.modifiers() & ~Qt::KeypadModifier)
        return false;
    const int key = event.key();
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool isKeyRepeat(const QKeyEvent &event)
{
    if (event.isAutoRepeat())
        return true;
    // Watching from the first press on is enough: a repeat needs a release after it.
    static QPointer<KeyReleaseWatch> watch;
    if (!watch && QCoreApplication::instance())
        watch = new KeyReleaseWatch(QCoreApplication::instance());
    return watch && watch->followsRelease(event);
}

bool commandsBlocked(const QWidget *widget)
{
    const QWidget *modal = QApplication::activeModalWidget();
    return modal && (!widget || modal != widget->window());
}

bool showsFocusMark(const QWidget *widget)
{
    return g_keyboardInUse && widget->hasFocus();
}

void drawFocusMark(QPainter &painter, const QRect &rect)
{
    if (rect.width() < 1 || rect.height() < 1)
        return;
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    // Every other pixel along the outline, the pattern continuing round the corners.
    auto dot = [&painter](int x, int y) {
        if ((x + y) % 2 == 0)
            painter.fillRect(QRect(x, y, 1, 1), Qt::white);
    };
    for (int x = rect.left(); x <= rect.right(); ++x) {
        dot(x, rect.top());
        if (rect.bottom() != rect.top())
            dot(x, rect.bottom());
    }
    for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
        dot(rect.left(), y);
        if (rect.right() != rect.left())
            dot(rect.right(), y);
    }
    painter.restore();
}

void paintFocusMark(QWidget *widget, int inset)
{
    if (!showsFocusMark(widget))
        return;
    QPainter painter(widget);
    drawFocusMark(painter, widget->rect().adjusted(inset, inset, -inset, -inset));
}

bool cycleFocusWithin(QWidget *container, bool next)
{
    QWidget *window = container->window();
    std::vector<QWidget *> chain;
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if (container->isAncestorOf(w) && reachedByTab(w))
            chain.push_back(w);
    }
    if (chain.empty())
        return false;
    const auto n = std::ptrdiff_t(chain.size());
    std::ptrdiff_t at = -1;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        if (chain[size_t(i)] == window->focusWidget())
            at = i;
    }
    std::ptrdiff_t target;
    if (at < 0)
        target = next ? 0 : n - 1;
    else
        target = ((next ? at + 1 : at - 1) % n + n) % n;
    chain[size_t(target)]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace tk
