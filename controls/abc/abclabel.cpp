#include "abclabel.h"

#include "canvas.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

TabcURLLabel::TabcURLLabel(QWidget *parent) : tk::TLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
}

std::function<bool(const QString &)> &TabcURLLabel::urlOpener()
{
    static std::function<bool(const QString &)> opener = [](const QString &url) {
        return QDesktopServices::openUrl(QUrl::fromUserInput(url));
    };
    return opener;
}

void TabcURLLabel::Click()
{
    tk::TLabel::Click();
    if (urlOpener())
        urlOpener()(m_url);
}

void TabcURLLabel::mousePressEvent(QMouseEvent *event)
{
    tk::TLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        repaint();
    }
}

void TabcURLLabel::mouseReleaseEvent(QMouseEvent *event)
{
    // The click runs while the caption still shows the press.
    tk::TLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        repaint();
    }
}

void TabcURLLabel::paintEvent(QPaintEvent *event)
{
    if (m_pressed && !Caption().isEmpty()) {
        QPainter painter(this);
        const QColor shadow = tk::toQColor(m_mouseDownColor);
        for (const QPoint shift : {QPoint(-1, -1), QPoint(1, 1)}) {
            tk::TRect r = tk::TRect::fromQRect(rect().translated(shift));
            tk::DrawText(&painter, font(), shadow, Caption(), r, textFlags());
        }
    }
    tk::TLabel::paintEvent(event);
}
