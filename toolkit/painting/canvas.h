#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>

#include <algorithm>
#include <limits>
#include <span>

class QPainter;

namespace tk {

// A rectangle as the controls reason about it: left and top inside, right and bottom just outside.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;

    // Saturated: a rectangle may span more than an int can tell.
    int width() const { return saturated(qint64(Right) - Left); }
    int height() const { return saturated(qint64(Bottom) - Top); }
    bool contains(QPoint p) const { return p.x() >= Left && p.x() < Right && p.y() >= Top && p.y() < Bottom; }
    QRect toQRect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }
    static TRect fromQRect(const QRect &r)
    {
        return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    friend bool operator==(const TRect &, const TRect &) = default;

private:
    static int saturated(qint64 v)
    {
        return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
};

// Text drawing options, after the platform's text drawing.
enum TextFlag : unsigned {
    DT_LEFT = 0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_EXPANDTABS = 0x40,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
};

// Draws text into r, or with DT_CALCRECT only measures it: r keeps its left and top, and its right and
// bottom become the extent of the (wrapped) text. A word wider than r widens it. Without DT_NOPREFIX
// "&x" underlines x and "&&" shows one "&". Without DT_EXPANDTABS a tab is one blank; with it, a tab
// in left-aligned text moves on to the next of Qt's tab stops (every 80 pixels). Returns the text height.
int DrawText(QPainter *painter, const QFont &font, const QColor &color, const QString &text, TRect &r,
             unsigned flags);

void FillRect(QPainter &painter, const TRect &r, const QColor &color);
// A one-pixel frame just inside r.
void FrameRect(QPainter &painter, const TRect &r, const QColor &color);
// Connected one-pixel lines; each segment includes its first point and excludes its last, so the last
// vertex itself stays unpainted.
void Polyline(QPainter &painter, std::span<const QPoint> points, const QColor &color);

} // namespace tk
