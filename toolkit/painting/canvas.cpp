#include "toolkit/painting/canvas.h"

#include <QFontMetrics>
#include <QPainter>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace tk {

namespace {

// Hint texts and captions may break lines with CR LF, LF or CR; Qt knows only LF.
QString unifyLineBreaks(const QString &text)
{
    QString out = text;
    out.replace(u"\r\n"_s, u"\n"_s);
    out.replace(u'\r', u'\n');
    return out;
}

int qtFlags(unsigned flags)
{
    int f = Qt::AlignTop;
    f |= (flags & DT_CENTER) ? Qt::AlignHCenter : (flags & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    if (flags & DT_WORDBREAK)
        f |= Qt::TextWordWrap;
    if (flags & DT_SINGLELINE)
        f |= Qt::TextSingleLine;
    if (!(flags & DT_NOPREFIX))
        f |= Qt::TextShowMnemonic;
    if (flags & DT_EXPANDTABS)
        f |= Qt::TextExpandTabs;
    return f;
}

} // namespace

int DrawText(QPainter *painter, const QFont &font, const QColor &color, const QString &text, TRect &r,
             unsigned flags)
{
    const QString lines = unifyLineBreaks(text);
    const QFontMetrics metrics(font);
    const int f = qtFlags(flags);
    if (flags & DT_CALCRECT) {
        // Measure against the given width only when wrapping; otherwise lines are as long as they are.
        const int width = (flags & DT_WORDBREAK) ? std::max(r.width(), 1) : 1 << 20;
        const QRect extent = metrics.boundingRect(QRect(0, 0, width, 1 << 20), f, lines);
        const int height = lines.isEmpty() ? 0 : extent.height();
        r.Right = r.Left + (lines.isEmpty() ? 0 : extent.width());
        r.Bottom = r.Top + height;
        return height;
    }
    const QRect box = r.toQRect();
    const QRect extent =
        metrics.boundingRect(QRect(box.left(), box.top(), std::max(box.width(), 1), 1 << 20), f, lines);
    if (painter) {
        painter->save();
        painter->setFont(font);
        painter->setPen(color);
        painter->drawText(QRect(box.left(), box.top(), box.width(), std::max(box.height(), extent.height())),
                          f, lines);
        painter->restore();
    }
    return extent.height();
}

void FillRect(QPainter &painter, const TRect &r, const QColor &color)
{
    if (r.Right > r.Left && r.Bottom > r.Top)
        painter.fillRect(r.toQRect(), color);
}

void FrameRect(QPainter &painter, const TRect &r, const QColor &color)
{
    if (r.Right <= r.Left || r.Bottom <= r.Top)
        return;
    FillRect(painter, {r.Left, r.Top, r.Right, r.Top + 1}, color);
    FillRect(painter, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, color);
    FillRect(painter, {r.Left, r.Top, r.Left + 1, r.Bottom}, color);
    FillRect(painter, {r.Right - 1, r.Top, r.Right, r.Bottom}, color);
}

void Polyline(QPainter &painter, std::span<const QPoint> points, const QColor &color)
{
    // Pixel by pixel (Bresenham), so that which pixels are lit does not depend on Qt's line rasteriser.
    for (size_t i = 1; i < points.size(); ++i) {
        int x = points[i - 1].x(), y = points[i - 1].y();
        const int x1 = points[i].x(), y1 = points[i].y();
        const int dx = std::abs(x1 - x), sx = x < x1 ? 1 : -1;
        const int dy = -std::abs(y1 - y), sy = y < y1 ? 1 : -1;
        int err = dx + dy;
        while (x != x1 || y != y1) {
            painter.fillRect(QRect(x, y, 1, 1), color);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }
}

} // namespace tk
