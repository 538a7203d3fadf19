#include "controls/flat/TFlatMemoUnit.h"

#include "toolkit/base/callout.h"
#include "toolkit/base/delivery.h"

#include "controls/flat/TFlatPanelUnit.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/base/events.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/text/memotext.h"

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFrameWidth = 3; // the outline and the two-pixel band
constexpr QSize kDefaultSize(185, 89);

// The focused control, if it is a flat memo: the hot look of one memo does not steal the eye from another
// that is being typed in.
bool isFlatMemo(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (tk::asControl(widget))
            return qobject_cast<const TFlatMemo *>(widget) != nullptr;
    }
    return false;
}

} // namespace

TFlatMemo::TFlatMemo(QWidget *parent) : QPlainTextEdit(parent), tk::Control(this)
{
    // The frame width keeps text and scroll bars three pixels in; event() paints the band.
    setFrameStyle(QFrame::Panel | QFrame::Plain);
    setLineWidth(kFrameWidth);
    setTabChangesFocus(true);
    applyScrollBars();
    setWordWrap(true);
    setGeometry(QRect(QPoint(0, 0), kDefaultSize));
    for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()})
        bar->installEventFilter(this);
    connect(document(), &QTextDocument::contentsChanged, this, &TFlatMemo::documentEdited);
    // Another control taking the focus decides whether the hot look still applies.
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this] {
        if (m_hot)
            PaintFlatFrame();
    });
    tk::Control::setParentColor(true);
    PaintFlatFrame();
}

TFlatMemo::~TFlatMemo()
{
    // A focused box gives the focus up as its widget goes, after this: no word of that may reach a box
    // that is no longer one.
    disconnect(m_focusWatch);
}

void TFlatMemo::setText(const QString &text)
{
    const QString adjusted = tk::adjustLineBreaks(text);
    if (adjusted.size() > tk::kMemoCapacity)
        throw tk::Error(QString::fromUtf16(tk::kMemoCapacityMessage));
    if (adjusted == m_text)
        return;
    QString shown = adjusted;
    shown.replace(u"\r\n"_s, u"\n"_s);
    m_settingText = true;
    setPlainText(shown);
    m_settingText = false;
    m_text = adjusted;
}

void TFlatMemo::documentEdited()
{
    if (m_settingText)
        return;
    // Typed or pasted text: the raw text keeps no-break spaces that the plain text would turn to blanks.
    m_text = document()->toRawText();
    m_text.replace(QChar::ParagraphSeparator, u"\r\n"_s);
}

void TFlatMemo::setScrollBars(TScrollStyle style)
{
    if (m_scrollBars == style)
        return;
    m_scrollBars = style;
    applyScrollBars();
    update(); // the corner between the scroll bars comes or goes
}

void TFlatMemo::applyScrollBars()
{
    const bool vertical = m_scrollBars == ssVertical || m_scrollBars == ssBoth;
    const bool horizontal = m_scrollBars == ssHorizontal || m_scrollBars == ssBoth;
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TFlatMemo::setWordWrap(bool wrap)
{
    setLineWrapMode(wrap ? WidgetWidth : NoWrap);
}

tk::TColor TFlatMemo::colors(int index) const
{
    switch (index) {
    case 0:
        return m_colorFocused;
    case 1:
        return m_colorBorder;
    case 2:
        return m_colorFlat;
    default:
        return tk::clNone;
    }
}

void TFlatMemo::setColors(int index, tk::TColor color)
{
    tk::TColor *target = index == 0   ? &m_colorFocused
                         : index == 1 ? &m_colorBorder
                         : index == 2 ? &m_colorFlat
                                      : nullptr;
    if (!target)
        return;
    // Setting ColorFlat makes it the box's own, even when it is the colour it had.
    if (target == &m_colorFlat)
        clearParentColor();
    if (*target == color)
        return;
    *target = color;
    PaintFlatFrame();
}

void TFlatMemo::setParentColor(bool follow)
{
    if (ParentColor() == follow)
        return;
    // Switched on, the parent's colour comes with it (parentColorChanged).
    tk::Control::setParentColor(follow);
    PaintFlatFrame();
}

TAdvColors TFlatMemo::advColors(int index) const
{
    switch (index) {
    case 0:
        return m_advColorFocused;
    case 1:
        return m_advColorBorder;
    default:
        return 0;
    }
}

void TFlatMemo::setAdvColors(int index, TAdvColors step)
{
    step = std::min(step, kMaxAdvStep);
    switch (index) {
    case 0:
        m_advColorFocused = step;
        break;
    case 1:
        m_advColorBorder = step;
        break;
    default:
        return;
    }
    // Acts on every call: setting a step is how the advanced colours are worked out anew.
    if (!m_useAdvColors)
        return;
    ApplyAdvColors();
    PaintFlatFrame();
}

void TFlatMemo::setUseAdvColors(bool use)
{
    if (m_useAdvColors == use)
        return;
    m_useAdvColors = use;
    setParentColor(use);
    ApplyAdvColors();
    PaintFlatFrame();
}

void TFlatMemo::ApplyAdvColors()
{
    if (!m_useAdvColors)
        return;
    m_colorFocused = AdjustLightness(m_colorFlat, m_colorFocused, m_advColorFocused, false);
    m_colorBorder = AdjustLightness(m_colorFlat, m_colorBorder, m_advColorBorder, true);
}

bool TFlatMemo::activeLook() const
{
    if (hasFocus())
        return true;
    return m_hot && !isFlatMemo(QApplication::focusWidget());
}

void TFlatMemo::PaintFlatFrame()
{
    // The text area's background is the viewport's own, so the memo's palette stays free to follow the
    // parent's.
    const QColor face = tk::toQColor(activeLook() ? m_colorFocused : m_colorFlat);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, face); // every colour group: a disabled box keeps its face
    viewport()->setPalette(palette);        // repaints the text area only when the colour changed
    update();
}

void TFlatMemo::drawFlatFrame(QPainter &painter) const
{
    const QColor border = tk::toQColor(m_colorBorder);
    const QColor face = tk::toQColor(activeLook() ? m_colorFocused : m_colorFlat);
    tk::TRect r = tk::TRect::fromQRect(rect());
    tk::FrameRect(painter, r, border);
    for (int ring = 1; ring < kFrameWidth; ++ring) {
        r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
        tk::FrameRect(painter, r, face);
    }
    if (m_scrollBars == ssBoth) {
        // The square between the two scroll bars, right of and below the text area.
        const QRect text = viewport()->geometry();
        const QRect inside = contentsRect();
        tk::FillRect(painter,
                     tk::TRect{text.right() + 1, text.bottom() + 1, inside.right() + 1, inside.bottom() + 1},
                     face);
    }
}

void TFlatMemo::parentColorChanged(tk::TColor parentColor)
{
    if (m_useAdvColors || ParentColor())
        m_colorFlat = parentColor;
    ApplyAdvColors();
    PaintFlatFrame();
}

void TFlatMemo::mouseEntered()
{
    if (!QApplication::activeWindow())
        return;
    m_hot = true;
    PaintFlatFrame();
}

void TFlatMemo::mouseLeft()
{
    m_hot = false;
    PaintFlatFrame();
}

bool TFlatMemo::pointerOver() const
{
    const QWidget *under = tk::findControlAt(QCursor::pos());
    return under && (under == this || isAncestorOf(under));
}

void TFlatMemo::heldMove(const QWidget *part, const QMouseEvent &move)
{
    if (m_presence.moved(this, part->mapTo(this, move.position().toPoint()), move.buttons()))
        pointerMoved(m_presence.over());
}

void TFlatMemo::pointerMoved(bool over)
{
    // The steps may be a descendant's, which may delete the box: once Qt has done with the event.
    tk::afterDelivery(
        this, [this, over] { tk::callOut(this, [this, over] { over ? mouseEntered() : mouseLeft(); }); });
}

bool TFlatMemo::event(QEvent *event)
{
    switch (int(event->type())) {
    case QEvent::Paint: {
        // The scroll area's own painting is its frame; ours replaces it.
        QPainter painter(this);
        drawFlatFrame(painter);
        return true;
    }
    case QEvent::Enter:
    case QEvent::Leave: {
        const bool entered = event->type() == QEvent::Enter;
        const bool result = QPlainTextEdit::event(event);
        // Qt tells the box of each enter and leave, its parts' aside.
        m_presence.setOver(entered);
        pointerMoved(entered);
        return result;
    }
    case QEvent::WindowActivate: {
        // An enter that came while another window was active lit nothing, and Qt sends none again:
        // the box looks for the pointer where it really is.
        const bool result = QPlainTextEdit::event(event);
        if (!m_hot && pointerOver()) {
            m_presence.setOver(true);
            pointerMoved(true);
        }
        return result;
    }
    case tk::SystemColorsChangedType:
        // ColorFlat may be the parent's, a system colour by value.
        if (parentWidget())
            parentColorChanged(tk::faceColorOf(parentWidget()));
        else
            PaintFlatFrame();
        return true;
    default:
        return QPlainTextEdit::event(event);
    }
}

bool TFlatMemo::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        // The box has no drag and drop: a press on selected text starts a new selection there, as in a
        // plain edit box, rather than Qt's drag of that text.
        const auto *press = static_cast<QMouseEvent *>(event);
        if (press->button() == Qt::LeftButton && !(press->modifiers() & Qt::ShiftModifier) &&
            textCursor().hasSelection()) {
            QTextCursor cursor = textCursor();
            cursor.clearSelection();
            setTextCursor(cursor);
        }
    }
    if (event->type() == QEvent::MouseMove)
        heldMove(viewport(), *static_cast<QMouseEvent *>(event));
    return QPlainTextEdit::viewportEvent(event);
}

bool TFlatMemo::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove &&
        (watched == verticalScrollBar() || watched == horizontalScrollBar()))
        heldMove(static_cast<QWidget *>(watched), *static_cast<QMouseEvent *>(event));
    return QPlainTextEdit::eventFilter(watched, event);
}

void TFlatMemo::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        PaintFlatFrame();
        break;
    default:
        break;
    }
}

void TFlatMemo::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    PaintFlatFrame();
}

void TFlatMemo::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    PaintFlatFrame();
}
