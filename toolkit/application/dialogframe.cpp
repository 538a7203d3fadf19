#include "toolkit/application/dialogframe.h"

#include "toolkit/application/windowdrag.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/painting/edges.h"
#include "toolkit/widgets/windowplacement.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <optional>

namespace tk {

namespace {

std::optional<bool> g_ownOverride;

// A title bar's close button, and the cross on it: 8 by 7 pixels of pairs that meet in the middle row.
constexpr QSize kCloseButtonSize(16, 14);
constexpr int kCrossHeight = 7;
// The button's room from the bar's right end, and the least room between it and the caption.
constexpr int kButtonInset = 2;
constexpr int kCaptionToButton = 8;

} // namespace

bool dialogsDrawOwnTitleBar()
{
    if (g_ownOverride)
        return *g_ownOverride;
    return platformIsWayland();
}

void overrideDialogsDrawOwnTitleBar(bool own)
{
    g_ownOverride = own;
}

void clearDialogsDrawOwnTitleBarOverride()
{
    g_ownOverride.reset();
}

TitleBarCloseButton::TitleBarCloseButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    // Qt's own word, as on the error box's OK: in the language its translation gives.
    setAccessibleName(QCoreApplication::translate("QMdiSubWindow", "Close"));
    resize(sizeHint());
}

QSize TitleBarCloseButton::sizeHint() const
{
    return kCloseButtonSize;
}

void TitleBarCloseButton::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    const bool sunken = isDown();
    TRect r = TRect::fromQRect(rect());
    // A push button's soft edges, lit from the top left up and from the bottom right down.
    if (sunken) {
        DrawEdge(painter, r, Edge::SunkenOuter, EdgeLook::Soft);
        DrawEdge(painter, r, Edge::SunkenInner, EdgeLook::Soft);
    } else {
        DrawEdge(painter, r, Edge::RaisedOuter, EdgeLook::Soft);
        DrawEdge(painter, r, Edge::RaisedInner, EdgeLook::Soft);
    }
    FillRect(painter, r, toQColor(clBtnFace));
    // Centred, and one pixel down and right while pressed, as a pushed button's face moves.
    const int shift = sunken ? 1 : 0;
    const int left = (width() - (kCrossHeight + 1)) / 2 + shift;
    const int top = (height() - kCrossHeight) / 2 + shift;
    const QColor ink = toQColor(clBtnText);
    for (int row = 0; row < kCrossHeight; ++row) {
        FillRect(painter, {left + row, top + row, left + row + 2, top + row + 1}, ink);
        const int mirrored = kCrossHeight - 1 - row;
        FillRect(painter, {left + mirrored, top + row, left + mirrored + 2, top + row + 1}, ink);
    }
}

DialogFrame::DialogFrame(QDialog *dialog) : QWidget(dialog), m_close(new TitleBarCloseButton(this))
{
    dialog->setWindowFlags((dialog->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog |
                           Qt::FramelessWindowHint);
    // The layout works inside the contents rectangle, whichever layout the dialog has or is given later.
    dialog->setContentsMargins(kBorder, kBorder + kBarHeight, kBorder, kBorder);
    dialog->installEventFilter(this);
    // Closing asks the dialog as the window system's close would: a message box answers with its
    // escape button.
    connect(m_close, &QAbstractButton::clicked, dialog, &QWidget::close);
    new WindowDragger(this);
    followDialogWidth();
}

void DialogFrame::followDialogWidth()
{
    setGeometry(kBorder, kBorder, dialog()->width() - 2 * kBorder, kBarHeight);
}

QFont DialogFrame::captionFont() const
{
    QFont font = this->font(); // the dialog's, which its children take
    font.setBold(true);
    return font;
}

int DialogFrame::neededWidth() const
{
    return 2 * kBorder + kCaptionIndent +
           QFontMetrics(captionFont()).horizontalAdvance(dialog()->windowTitle()) + kCaptionToButton +
           kCloseButtonSize.width() + kButtonInset;
}

bool DialogFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != dialog())
        return false;
    switch (event->type()) {
    case QEvent::Paint:
        // Under the dialog's own painting, which leaves its background alone.
        paintEdge();
        break;
    case QEvent::Resize:
        followDialogWidth();
        break;
    case QEvent::WindowTitleChange:
    case QEvent::ActivationChange:
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
    return false;
}

void DialogFrame::paintEdge()
{
    QPainter painter(dialog());
    TRect r = TRect::fromQRect(dialog()->rect());
    DrawEdge(painter, r, Edge::RaisedOuter);
    DrawEdge(painter, r, Edge::RaisedInner);
}

void DialogFrame::resizeEvent(QResizeEvent * /*event*/)
{
    m_close->move(width() - kButtonInset - m_close->width(), (height() - m_close->height()) / 2);
}

void DialogFrame::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    const QColor ink = toQColor(isActiveWindow() ? clBtnText : clGrayText);
    const QRect room(kCaptionIndent, 0, m_close->x() - kCaptionToButton / 2 - kCaptionIndent, height());
    const QFont font = captionFont();
    painter.setFont(font);
    painter.setPen(ink);
    // A title wider than the dialog allows ends in an ellipsis rather than under the button.
    painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QFontMetrics(font).elidedText(dialog()->windowTitle(), Qt::ElideRight, room.width()));
}

} // namespace tk
