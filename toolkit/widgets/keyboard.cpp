#include "toolkit/widgets/keyboard.h"

#include <QApplication>
#include <QFocusFrame>
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

const char *const kMarkAround = "ormexFocusMarkAround";
constexpr int kMarkAroundGap = 2; // from the control's edge to the dots

// The dots outside a control, in a widget of their own beside it. Qt's focus frame follows the control
// as it moves, hides and goes, and keeps out of the screen readers' tree; where it goes and what it
// draws are ours, not the style's.
class FocusMarkAround : public QFocusFrame {
public:
    using QFocusFrame::QFocusFrame;

    void follow(QWidget *target)
    {
        if (widget() != target)
            setWidget(target);
        placeAround();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool done = QFocusFrame::eventFilter(watched, event);
        // After the frame's own handling, which places it by the style's margins.
        const QEvent::Type type = event->type();
        if (watched == widget() && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show ||
                                    type == QEvent::ParentChange))
            placeAround();
        return done;
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        drawFocusMark(painter, rect());
    }

private:
    void placeAround()
    {
        if (const QWidget *target = widget(); target && parentWidget() == target->parentWidget()) {
            setGeometry(target->geometry().adjusted(-kMarkAroundGap, -kMarkAroundGap, kMarkAroundGap,
                                                    kMarkAroundGap));
            clearMask();
        }
    }
};

// One mark around at a time: on the focused control, while it shows a mark at all.
class FocusMarksAround : public QObject {
public:
    explicit FocusMarksAround(QApplication *app) : QObject(app)
    {
        connect(app, &QApplication::focusChanged, this, [this] { refresh(); });
    }

    void refresh()
    {
        QWidget *focus = QApplication::focusWidget();
        const bool shows =
            focus && focus->parentWidget() && focus->property(kMarkAround).toBool() && showsFocusMark(focus);
        if (!shows) {
            if (m_mark)
                m_mark->setWidget(nullptr);
            return;
        }
        if (!m_mark)
            m_mark = new FocusMarkAround(focus->parentWidget());
        m_mark->follow(focus);
    }

private:
    QPointer<FocusMarkAround> m_mark;
};

// Made by the first control that wants its mark around it.
QPointer<FocusMarksAround> g_marksAround;

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
    if (g_marksAround)
        g_marksAround->refresh();
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
    if (!showsFocusMark(widget) || widget->property(kMarkAround).toBool())
        return;
    QPainter painter(widget);
    drawFocusMark(painter, widget->rect().adjusted(inset, inset, -inset, -inset));
}

void markFocusAround(QWidget *widget)
{
    widget->setProperty(kMarkAround, true);
    if (!g_marksAround && qApp)
        g_marksAround = new FocusMarksAround(qApp);
    if (g_marksAround)
        g_marksAround->refresh();
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
