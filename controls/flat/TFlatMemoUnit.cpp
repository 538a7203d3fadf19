#include "controls/flat/TFlatMemoUnit.h"

#include "toolkit/base/callout.h"

#include "controls/flat/TFlatPanelUnit.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/base/events.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/text/memotext.h"
#include "toolkit/widgets/properties.h"

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
    setScrollBars(ssNone);
    setWordWrap(true);
    setGeometry(QRect(QPoint(0, 0), kDefaultSize));
    for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()})
        bar->installEventFilter(this);
    connect(document(), &QTextDocument::contentsChanged, this, &TFlatMemo::documentEdited);
    // Another control taking the focus decides whether the hot look still applies.
    connect(qApp, &QApplication::focusChanged, this, [this] {
        if (m_hot)
            PaintFlatFrame();
    });
    if (m_parentColor && hasParentColor())
        m_colorFlat = parentColor();
    PaintFlatFrame();
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
    const bool changed = m_scrollBars != style;
    m_scrollBars = style;
    const bool vertical = style == ssVertical || style == ssBoth;
    const bool horizontal = style == ssHorizontal || style == ssBoth;
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (changed)
        update(); // the corner between the scroll bars comes or goes
}

void TFlatMemo::setWordWrap(bool wrap)
{
    setLineWrapMode(wrap ? WidgetWidth : NoWrap);
}

tk::TColor TFlatMemo::Colors(int index) const
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

void TFlatMemo::SetColors(int index, tk::TColor color)
{
    switch (index) {
    case 0:
        m_colorFocused = color;
        break;
    case 1:
        m_colorBorder = color;
        break;
    case 2:
        m_colorFlat = color;
        m_parentColor = false;
        break;
    default:
        return;
    }
    PaintFlatFrame();
}

void TFlatMemo::setParentColor(bool follow)
{
    if (m_parentColor == follow)
        return;
    m_parentColor = follow;
    if (follow && hasParentColor())
        m_colorFlat = parentColor();
    PaintFlatFrame();
}

TAdvColors TFlatMemo::AdvColors(int index) const
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

void TFlatMemo::SetAdvColors(int index, TAdvColors step)
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
    if (!m_useAdvColors)
        return;
    ApplyAdvColors();
    PaintFlatFrame();
}

void TFlatMemo::setUseAdvColors(bool use)
{
    if (!tk::assignNew(m_useAdvColors, use))
        return;
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

bool TFlatMemo::ActiveLook() const
{
    if (hasFocus())
        return true;
    return m_hot && !isFlatMemo(QApplication::focusWidget());
}

void TFlatMemo::PaintFlatFrame()
{
    // The text area's background is the viewport's own, so the memo's palette stays free to follow the
    // parent's.
    const QColor face = tk::toQColor(ActiveLook() ? m_colorFocused : m_colorFlat);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, face); // every colour group: a disabled box keeps its face
    viewport()->setPalette(palette);        // repaints the text area only when the colour changed
    update();
}

void TFlatMemo::drawFlatFrame(QPainter &painter) const
{
    const QColor border = tk::toQColor(m_colorBorder);
    const QColor face = tk::toQColor(ActiveLook() ? m_colorFocused : m_colorFlat);
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

bool TFlatMemo::hasParentColor() const
{
    return parentWidget() != nullptr;
}

tk::TColor TFlatMemo::parentColor() const
{
    return FaceColorOf(parentWidget());
}

void TFlatMemo::parentColorChanged()
{
    if ((m_useAdvColors || m_parentColor) && hasParentColor())
        m_colorFlat = parentColor();
    ApplyAdvColors();
    PaintFlatFrame();
}

void TFlatMemo::MouseEnter()
{
    if (!QApplication::activeWindow())
        return;
    m_hot = true;
    PaintFlatFrame();
}

void TFlatMemo::MouseLeave()
{
    m_hot = false;
    PaintFlatFrame();
}

bool TFlatMemo::pointerOver() const
{
    const QWidget *under = tk::findControlAt(QCursor::pos());
    return under && (under == this || isAncestorOf(under));
}

bool TFlatMemo::trackPointerWhileHeld(const QPointF &globalPos)
{
    // While a button is held Qt reports neither leave nor enter; the moves tell where the pointer is.
    const bool inside = rect().contains(mapFromGlobal(globalPos).toPoint());
    if (inside && !m_hot)
        return tk::callOut(this, [this] { MouseEnter(); });
    if (!inside && m_hot)
        return tk::callOut(this, [this] { MouseLeave(); });
    return true;
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
    case QEvent::Enter: {
        const bool result = QPlainTextEdit::event(event);
        tk::callOut(this, [this] { MouseEnter(); });
        return result;
    }
    case QEvent::Leave: {
        const bool result = QPlainTextEdit::event(event);
        tk::callOut(this, [this] { MouseLeave(); });
        return result;
    }
    case QEvent::WindowActivate: {
        // An enter that came while another window was active lit nothing, and Qt sends none again:
        // the box looks for the pointer where it really is.
        const bool result = QPlainTextEdit::event(event);
        if (!m_hot && pointerOver())
            tk::callOut(this, [this] { MouseEnter(); });
        return result;
    }
    case tk::SystemColorsChangedType:
    case tk::ParentColorChangedType:
        parentColorChanged();
        return true;
    case QEvent::ParentChange: {
        const bool result = QPlainTextEdit::event(event);
        parentColorChanged();
        return result;
    }
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
    if (event->type() == QEvent::MouseMove) {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (move->buttons() != Qt::NoButton && !trackPointerWhileHeld(move->globalPosition()))
            return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

bool TFlatMemo::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove &&
        (watched == verticalScrollBar() || watched == horizontalScrollBar())) {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (move->buttons() != Qt::NoButton && !trackPointerWhileHeld(move->globalPosition()))
            return true;
    }
    return QPlainTextEdit::eventFilter(watched, event);
}

void TFlatMemo::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        PaintFlatFrame();
        break;
    case QEvent::PaletteChange:
        // The parent's palette reached us: its colour may have changed.
        parentColorChanged();
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
