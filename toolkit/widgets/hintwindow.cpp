#include "toolkit/widgets/hintwindow.h"

#include "toolkit/painting/fonts.h"
#include "toolkit/painting/paintpolicy.h"
#include "toolkit/widgets/accessibility.h"
#include "toolkit/widgets/windowplacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace tk {

THintWindow::THintWindow()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint),
      m_canvasFont(defaultFont())
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void THintWindow::ensureParams()
{
    if (m_paramsMade)
        return;
    m_paramsMade = true;
    CreateParams(m_params);
}

void THintWindow::CreateParams(HintWindowParams &params)
{
    params.border = true;
}

void THintWindow::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    // A hint that moves on to the next control keeps its window: a reader learns of the new text here.
    announceNameChange(this);
    update();
}

void THintWindow::setColor(TColor color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
}

TRect THintWindow::CalcHintRect(int maxWidth, const QString &hint, void *)
{
    TRect r{0, 0, maxWidth, 0};
    DrawText(nullptr, m_canvasFont, Qt::black, hint, r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    r.Right += 6;
    r.Bottom += 2;
    return r;
}

void THintWindow::ActivateHintData(TRect rect, const QString &hint, void *)
{
    ActivateHint(rect, hint);
}

void THintWindow::ActivateHint(TRect rect, const QString &hint)
{
    ensureParams();
    setCaption(hint);
    rect.Bottom += 4;
    const int border = m_params.border ? 2 : 0;
    const int w = rect.width() + border, h = rect.height() + border;
    // The plain hint stays on the screen under the cursor.
    showAt(TRect::fromQRect(keepOnScreen(QRect(rect.Left, rect.Top, w, h), QCursor::pos())));
}

void THintWindow::showAt(const TRect &bounds)
{
    ensureParams();
    // A compositor places a pop-up once, when it is shown: one that is up must come again to move.
    if (isVisible() && !platformPlacesWindows() && geometry() != bounds.toQRect())
        hide();
    setGeometry(bounds.toQRect());
    attachToMainWindow(this);
    if (!isVisible())
        show();
    raise();
    update();
}

TRect THintWindow::ClientRect() const
{
    const int b = m_params.border ? 1 : 0;
    return {0, 0, width() - 2 * b, height() - 2 * b};
}

void THintWindow::Paint(QPainter &painter)
{
    TRect r = ClientRect();
    FillRect(painter, r, toQColor(m_color));
    r.Left += 2;
    r.Top += 2;
    DrawText(&painter, m_canvasFont, toQColor(m_canvasFontColor), m_caption, r,
             DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

void THintWindow::paintEvent(QPaintEvent *)
{
    ensureParams();
    QPainter painter(this);
    if (m_params.border) {
        FrameRect(painter, TRect::fromQRect(rect()), toQColor(clWindowFrame));
        painter.translate(1, 1);
        painter.setClipRect(QRect(0, 0, width() - 2, height() - 2));
    }
    paintOrLeaveOut([&] { Paint(painter); });
}

} // namespace tk
