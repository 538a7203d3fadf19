#include "FlatUtilitys.h"

#include "HSLUtils.h"
#include "control.h"
#include "errors.h"

#include <QPainter>
#include <QRegion>
#include <QWidget>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace {

// Every advanced colour starts from the base's lightness raised by this much, whichever way it then goes.
constexpr int kLightnessRaise = 10;
// Lightening stops here, well below the scale's top.
constexpr int kLightnessCap = 100;

bool isWindowless(const QWidget *widget)
{
    const tk::Control *control = tk::asControl(widget);
    return control && !control->Windowed();
}

// The cell size of a glyph strip; a strip claiming no cells counts as one, the fewest it can hold.
QPoint glyphCellSize(const QImage *glyph, TNumGlyphs numGlyphs)
{
    if (!glyph || glyph->isNull())
        return {0, 0};
    const int cells = std::clamp<int>(numGlyphs, 1, 4);
    // Laid out in logical pixels: a strip made for a denser screen covers the same area.
    const QSize logical = glyph->deviceIndependentSize().toSize();
    return {logical.width() / cells, logical.height()};
}

} // namespace

tk::TColor AdjustLightness(tk::TColor base, tk::TColor fallback, TAdvColors step, bool darken)
{
    if (step == 0)
        return fallback;
    int H, S, L;
    ColorToScaledHsl(tk::ColorToRGB(base), H, S, L);
    L += kLightnessRaise;
    if (darken)
        L = L - step < 0 ? 0 : L - step;
    else
        L = L + step > kLightnessCap ? kLightnessCap : L + step;
    return ScaledHslToColor(H, S, L);
}

void DrawBevelFrame(QPainter &canvas, tk::TRect rect, tk::TColor topColor, tk::TColor bottomColor, int width)
{
    const QColor top = tk::toQColor(topColor);
    const QColor bottom = tk::toQColor(bottomColor);
    int left = rect.Left, upper = rect.Top, right = rect.Right - 1, lower = rect.Bottom - 1;
    // A ring inside an empty rectangle would run backwards over the rings already drawn.
    for (int ring = 0; ring < width && left <= right && upper <= lower; ++ring) {
        const std::array<QPoint, 3> topLeft = {QPoint(left, lower), QPoint(left, upper),
                                               QPoint(right, upper)};
        const std::array<QPoint, 3> bottomRight = {QPoint(right, upper), QPoint(right, lower),
                                                   QPoint(left - 1, lower)};
        tk::Polyline(canvas, topLeft, top);
        tk::Polyline(canvas, bottomRight, bottom);
        ++left;
        ++upper;
        --right;
        --lower;
    }
}

void PaintParentBackground(QWidget *control, QPainter &canvas)
{
    // A window of its own lies over its parent's window, not inside it: nothing of the parent is under it.
    QWidget *parent = control && !control->isWindow() ? control->parentWidget() : nullptr;
    if (!parent)
        return;
    // Only what lies under the control can show through it; an empty region would make render() paint
    // the whole widget.
    const QRect under = parent->rect() & control->geometry();
    if (under.isEmpty())
        return;

    canvas.save();
    canvas.translate(-control->pos());
    canvas.setClipRect(parent->rect(), Qt::IntersectClip);
    parent->render(&canvas, under.topLeft(), QRegion(under), QWidget::DrawWindowBackground);
    // The parent's own painting takes in its windowless controls, as where the platform draws them
    // itself, and leaves out its windowed ones, which are windows beside the control's. Windowless ones
    // above the control do not count: Qt paints them over it anyway.
    for (QObject *child : parent->children()) {
        if (child == control)
            break;
        auto *sibling = qobject_cast<QWidget *>(child);
        if (!sibling || sibling->isWindow() || !sibling->isVisibleTo(parent) || !isWindowless(sibling))
            continue;
        const QRect shown = under & sibling->geometry();
        if (shown.isEmpty())
            continue;
        sibling->render(&canvas, shown.topLeft(), QRegion(shown.translated(-sibling->pos())));
    }
    canvas.restore();
}

QImage MakeDisabledGlyph(const QImage &source, tk::TColor maskColor, tk::TColor fillColor,
                         tk::TColor highlightColor, tk::TColor shadowColor, bool withHighlight)
{
    const int w = source.width(), h = source.height();
    QImage result(w, h, QImage::Format_RGB32);
    if (source.isNull())
        return result;
    if (result.isNull())
        throw tk::Error(u"Out of system resources"_s);
    // A source made for a denser screen keeps its ratio, and its emboss stays one logical pixel deep.
    result.setDevicePixelRatio(source.devicePixelRatio());
    const int step = std::max(1, qRound(source.devicePixelRatio()));

    // A two-colour source is its own mask, with black as ink.
    const bool twoColour =
        source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB;
    const QRgb ink = twoColour ? qRgb(0, 0, 0) : tk::toQColor(maskColor).rgb();
    const QImage pixels = source.convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull())
        throw tk::Error(u"Out of system resources"_s);
    const auto isInk = [&](int x, int y) {
        return (reinterpret_cast<const QRgb *>(pixels.constScanLine(y))[x] | 0xFF000000u) == ink;
    };

    result.fill(tk::toQColor(fillColor));
    const QRgb highlight = tk::toQColor(highlightColor).rgb();
    const QRgb shadow = tk::toQColor(shadowColor).rgb();
    if (withHighlight) {
        for (int y = 0; y + step < h; ++y) {
            QRgb *below = reinterpret_cast<QRgb *>(result.scanLine(y + step));
            for (int x = 0; x + step < w; ++x) {
                if (isInk(x, y))
                    below[x + step] = highlight;
            }
        }
    }
    for (int y = 0; y < h; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (isInk(x, y))
                row[x] = shadow;
        }
    }
    return result;
}

void LayoutGlyphAndCaption(const QFont &font, const tk::TRect &client, QPoint offset, TButtonLayout layout,
                           int spacing, int margin, const QImage *glyph, TNumGlyphs numGlyphs,
                           const QString &caption, tk::TRect &textBounds, QPoint &glyphPos)
{
    const QPoint clientSize(client.Right - client.Left, client.Bottom - client.Top);
    const QPoint glyphSize = glyphCellSize(glyph, numGlyphs);

    QPoint textSize(0, 0);
    textBounds = {0, 0, 0, 0};
    if (!caption.isEmpty()) {
        textBounds = {0, 0, clientSize.x(), 0};
        tk::DrawText(nullptr, font, Qt::black, caption, textBounds, tk::DT_CALCRECT | tk::DT_SINGLELINE);
        textSize = {textBounds.Right - textBounds.Left, textBounds.Bottom - textBounds.Top};
    }

    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    // Spacing may be anything an int holds, and margin up to the largest: the arithmetic runs in 64
    // bits, and only the final places come back into a range that painting can still offset safely.
    struct Pair {
        qint64 x = 0, y = 0;
    };
    auto pair = [](QPoint p) { return Pair{p.x(), p.y()}; };
    const Pair clientSize64 = pair(clientSize), glyph64 = pair(glyphSize), text64 = pair(textSize);
    // The layout axis is x for a glyph beside the caption and y for one above or below it.
    auto alongOf = [horizontal](Pair p) { return horizontal ? p.x : p.y; };
    auto acrossOf = [horizontal](Pair p) { return horizontal ? p.y : p.x; };
    qint64 margin64 = margin, spacing64 = spacing;

    // Both centred across the layout axis.
    const qint64 glyphAcross = (acrossOf(clientSize64) - acrossOf(glyph64) + 1) / 2;
    const qint64 textAcross = (acrossOf(clientSize64) - acrossOf(text64) + 1) / 2;
    Pair glyphAt = horizontal ? Pair{0, glyphAcross} : Pair{glyphAcross, 0};
    Pair textAt = horizontal ? Pair{0, textAcross} : Pair{textAcross, 0};

    if (textSize.x() == 0 || glyphSize.x() == 0)
        spacing64 = 0;

    // What the glyph and the caption leave of the client along the layout axis; -1 asks for a share of it.
    const qint64 freeSpace = alongOf(clientSize64) - alongOf(glyph64) - alongOf(text64);
    if (margin64 == -1 && spacing64 == -1) {
        margin64 = freeSpace / 3;
        spacing64 = margin64;
    } else if (margin64 == -1) {
        margin64 = (freeSpace - spacing64 + 1) / 2;
    } else if (spacing64 == -1) {
        spacing64 = (freeSpace - margin64) / 2;
    }

    switch (layout) {
    case blGlyphLeft:
        glyphAt.x = margin64;
        textAt.x = glyphAt.x + glyph64.x + spacing64;
        break;
    case blGlyphRight:
        glyphAt.x = clientSize64.x - margin64 - glyph64.x;
        textAt.x = glyphAt.x - spacing64 - text64.x;
        break;
    case blGlyphTop:
        glyphAt.y = margin64;
        textAt.y = glyphAt.y + glyph64.y + spacing64;
        break;
    case blGlyphBottom:
        glyphAt.y = clientSize64.y - margin64 - glyph64.y;
        textAt.y = glyphAt.y - spacing64 - text64.y;
        break;
    }

    // Far enough out to be off any face, near enough that the text's own offsets cannot overflow.
    static constexpr qint64 farthest = qint64(1) << 29;
    auto place = [](qint64 v) { return int(std::clamp(v, -farthest, farthest)); };
    const Pair origin{qint64(client.Left) + offset.x(), qint64(client.Top) + offset.y()};
    glyphPos = QPoint(place(glyphAt.x + origin.x), place(glyphAt.y + origin.y));
    const QPoint textShift(place(textAt.x + origin.x), place(textAt.y + origin.y));
    textBounds.Left += textShift.x();
    textBounds.Right += textShift.x();
    textBounds.Top += textShift.y();
    textBounds.Bottom += textShift.y();
}
