#include "tools/artpainters.h"

#include "tools/noise.h"
#include "tools/runeglyphs.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace art {

namespace {

// Both come with the project's set-up: fonts-dejavu-core has no italic, Liberation 2 has.
const QString kSerifFamily = u"DejaVu Serif"_s;
const QString kItalicFamily = u"Liberation Serif"_s;

double smooth(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

double mix(double a, double b, double t)
{
    return a + (b - a) * t;
}

// The colour t of the way from `light` to `dark`, then lightened or darkened by `brightness`.
QRgb mixRgb(QColor light, QColor dark, double t, double brightness)
{
    auto channel = [&](int a, int b) {
        return std::clamp(static_cast<int>(std::lround(mix(a, b, t) * brightness)), 0, 255);
    };
    return qRgb(channel(light.red(), dark.red()), channel(light.green(), dark.green()),
                channel(light.blue(), dark.blue()));
}

QRgb shaded(QColor color, double brightness)
{
    return mixRgb(color, color, 0, brightness);
}

// An image of `logical` size painted at `scale`: painters on it work in logical units.
QImage scaledCanvas(QSize logical, int scale, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(logical * scale, format);
    image.setDevicePixelRatio(scale);
    return image;
}

// Where the centre of a device pixel lies, in the logical coordinates the textures are described in
// (a logical pixel's own value belongs to its centre, so at scale 1 this is the pixel itself).
double logicalAt(int devicePixel, int scale)
{
    return (devicePixel + 0.5) / scale - 0.5;
}

// A flat-sawn board: the saw cut the log along its axis, a little tilted to it, so the annual rings show as
// long streaks along the board that close into arches where the cut comes nearest to the axis.
struct Board {
    std::uint32_t seed;
    double ringSpacing; // pixels between rings where they cross the face at right angles
    double axisY;       // where the log's axis lies across the board
    double depthAtLeft; // distance of the face from the axis at the left edge
    double depthSlope;  // how that distance changes along the board
    double waver;       // how far the rings wander
    double streaks;     // strength of the fine grain lines
};

// 0 for the pale early wood, towards 1 for the dark late wood and the grain lines.
double woodTone(double x, double y, const Board &b)
{
    const double wander = b.waver * (noise::fractal(x / 300.0, y / 110.0, 4, b.seed) - 0.5);
    const double across = y + wander - b.axisY;
    const double depth = b.depthAtLeft + b.depthSlope * x;
    const double radius = std::sqrt(across * across + depth * depth);
    const double phase = radius / b.ringSpacing + 0.7 * noise::fractal(x / 500.0, y / 140.0, 3, b.seed + 17);
    const double f = phase - std::floor(phase);
    // Each year's ring grows pale and ends in a narrow dark band.
    const double late = smooth(0.62, 0.93, f) * (1.0 - smooth(0.95, 1.0, f));
    // Fibres and pores run along the rings, not along the board's edge.
    const double lines = noise::fractal(x / 150.0, radius / 1.4, 3, b.seed + 31);
    const double pores = noise::value(x / 4.0, radius / 0.9, b.seed + 43);
    const double tone = 0.2 + 0.5 * late + b.streaks * (lines - 0.5) + 0.1 * (pores - 0.5);
    return std::clamp(tone, 0.0, 1.0);
}

struct WoodColors {
    QColor light;
    QColor dark;
};

enum class GrainRuns { Across, Down };

// Paints wood over the whole image. A stone turned over shows its grain upside down too.
void fillWithWood(QImage &image, const Board &board, const WoodColors &colors, GrainRuns grain,
                  bool turned = false)
{
    const int scale = static_cast<int>(image.devicePixelRatio());
    // A canvas is its logical size times the scale, so the division is exact.
    const int logicalWidth = image.width() / scale;
    const int logicalHeight = image.height() / scale;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const double ly = logicalAt(y, scale);
        for (int x = 0; x < image.width(); ++x) {
            const double lx = logicalAt(x, scale);
            const double px = turned ? logicalWidth - 1 - lx : lx;
            const double py = turned ? logicalHeight - 1 - ly : ly;
            const double along = grain == GrainRuns::Across ? px : py;
            const double across = grain == GrainRuns::Across ? py : px;
            const double tone = woodTone(along, across, board);
            const double light =
                0.92 + 0.16 * noise::fractal(along / 380.0, across / 260.0, 2, board.seed + 59);
            line[x] = mixRgb(colors.light, colors.dark, tone, light);
        }
    }
}

QFont letterFont(const QString &family, int pixelSize, QFont::Weight weight, bool italic = false)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setItalic(italic);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

std::uint32_t seedOf(std::string_view name)
{
    std::uint32_t hash = 2166136261U; // FNV-1a: the same stone for both readings of a rune
    for (char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619U;
    }
    return hash;
}

QPainterPath glyphPath(const RuneGlyph &glyph, const QRectF &box)
{
    const double scale = box.height() / kGlyphHeight;
    const QPointF origin(box.center().x() - glyph.width * scale / 2, box.top());
    QPainterPath path;
    for (const GlyphStroke &stroke : glyph.strokes) {
        for (std::size_t i = 0; i < stroke.points.size(); ++i) {
            const QPointF p = origin + QPointF(stroke.points[i].x, stroke.points[i].y) * scale;
            if (i == 0)
                path.moveTo(p);
            else
                path.lineTo(p);
        }
        if (stroke.closed)
            path.closeSubpath();
    }
    return path;
}

// The sign cut into the stone: a groove whose upper left wall lies in shadow and whose lower right wall
// catches the light, painted in with red earth as rune stones were.
void drawCarvedGlyph(QPainter &p, const RuneGlyph &glyph, const QRectF &box, double grooveWidth)
{
    QPainterPathStroker stroker;
    stroker.setWidth(grooveWidth);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setMiterLimit(2.2);
    const QPainterPath groove = stroker.createStroke(glyphPath(glyph, box)).simplified();

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 236, 200, 130));
    p.drawPath(groove.translated(1.3, 1.3));
    p.setBrush(QColor(52, 26, 14, 200));
    p.drawPath(groove.translated(-0.9, -0.9));

    QLinearGradient paint(box.topLeft(), box.bottomRight());
    paint.setColorAt(0, QColor(150, 38, 24));
    paint.setColorAt(1, QColor(112, 26, 18));
    p.setBrush(paint);
    p.drawPath(groove);

    // Inside the groove, too, the upper left wall lies in shadow.
    p.save();
    p.setClipPath(groove);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(50, 10, 6, 150), grooveWidth * 0.35));
    p.drawPath(groove.translated(-grooveWidth * 0.3, -grooveWidth * 0.3));
    p.restore();
}

QPainterPath roundedRect(const QRectF &rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void fillCardGround(QImage &image)
{
    const int scale = static_cast<int>(image.devicePixelRatio());
    const int logicalWidth = image.width() / scale;
    const int logicalHeight = image.height() / scale;
    const double cx = logicalWidth / 2.0;
    const double cy = logicalHeight / 2.0;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const double ly = logicalAt(y, scale);
        for (int x = 0; x < image.width(); ++x) {
            const double lx = logicalAt(x, scale);
            const double dx = (lx - cx) / cx;
            const double dy = (ly - cy) / cy;
            const double vignette = 1.0 - 0.38 * smooth(0.2, 1.5, dx * dx + dy * dy);
            const double mottle = 0.86 + 0.28 * noise::fractal(lx / 22.0, ly / 22.0, 4, 7);
            line[x] = shaded(QColor(70, 44, 30), vignette * mottle);
        }
    }
}

void drawCardFrame(QPainter &p, const QRectF &card)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(214, 168, 96, 170), 1.0));
    p.drawPath(roundedRect(card.adjusted(4.5, 4.5, -4.5, -4.5), 7));
    p.setPen(QPen(QColor(214, 168, 96, 70), 1.0));
    p.drawPath(roundedRect(card.adjusted(7.5, 7.5, -7.5, -7.5), 5));
}

void drawStone(QPainter &p, const QRectF &stone, std::string_view runeName, bool turned, int scale)
{
    const QPainterPath outline = roundedRect(stone, 15);

    // A soft shadow where the stone rests on the card.
    p.setPen(Qt::NoPen);
    for (int i = 6; i >= 1; --i) {
        p.setBrush(QColor(10, 5, 2, 26));
        p.drawPath(
            roundedRect(stone.translated(1.5, 2.5).adjusted(-i * 0.7, -i * 0.7, i * 0.7, i * 0.7), 15 + i));
    }

    QImage wood = scaledCanvas(stone.size().toSize(), scale);
    // Every rune has its own piece of wood, cut from its own spot of the log.
    const std::uint32_t seed = seedOf(runeName);
    const Board board{
        seed, 7.0, 15.0 + seed % 70, 30.0 + (seed >> 8) % 24, -0.12 - ((seed >> 16) % 12) * 0.01, 14.0, 0.26};
    fillWithWood(wood, board, {QColor(234, 194, 134), QColor(180, 120, 66)}, GrainRuns::Down, turned);
    p.save();
    p.setClipPath(outline);
    p.drawImage(stone.topLeft(), wood);
    // The face bulges a little: lighter in the upper left, darker towards the lower right rim.
    QRadialGradient dome(stone.center() - QPointF(stone.width() * 0.18, stone.height() * 0.22),
                         stone.height() * 0.8);
    dome.setColorAt(0, QColor(255, 240, 210, 40));
    dome.setColorAt(0.6, QColor(255, 240, 210, 0));
    dome.setColorAt(1, QColor(40, 20, 8, 90));
    p.setBrush(dome);
    p.drawPath(outline);
    p.restore();

    QLinearGradient rim(stone.topLeft(), stone.bottomRight());
    rim.setColorAt(0, QColor(255, 238, 205, 200));
    rim.setColorAt(0.5, QColor(200, 150, 90, 60));
    rim.setColorAt(1, QColor(60, 30, 12, 220));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(rim), 2.0));
    p.drawPath(roundedRect(stone.adjusted(1, 1, -1, -1), 14));
    p.setPen(QPen(QColor(30, 16, 8, 200), 1.0));
    p.drawPath(roundedRect(stone.adjusted(-0.5, -0.5, 0.5, 0.5), 15.5));
}

void drawShadowedText(QPainter &p, const QRectF &box, const QString &text, const QFont &font,
                      const QColor &color)
{
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(box.translated(1, 1), Qt::AlignHCenter | Qt::AlignVCenter, text);
    p.setPen(color);
    p.drawText(box, Qt::AlignHCenter | Qt::AlignVCenter, text);
}

// A small downward triangle: the stone lies upside down.
void drawDownMark(QPainter &p, QPointF centre, double size, const QColor &color)
{
    QPainterPath mark;
    mark.moveTo(centre + QPointF(-size, -size * 0.6));
    mark.lineTo(centre + QPointF(size, -size * 0.6));
    mark.lineTo(centre + QPointF(0, size * 0.8));
    mark.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(mark);
}

const QRectF kIconRuneBox(10, 18, 80, 64);
constexpr double kIconPenWidth = 10;

// The icon's rune in the icon's 100 x 100 units.
void drawIconRune(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    const RuneGlyph *day = findGlyph("ORMEX");
    // Bevelled joins blunt the sharp corners, whose miters would run off the picture.
    QPen pen(Qt::black, kIconPenWidth);
    pen.setJoinStyle(Qt::BevelJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(glyphPath(*day, kIconRuneBox));
}

} // namespace

void requireFonts()
{
    const struct {
        QString family;
        QString style;
        const char *package;
    } needed[] = {{kSerifFamily, u"Book"_s, "fonts-dejavu-core"},
                  {kSerifFamily, u"Bold"_s, "fonts-dejavu-core"},
                  {kItalicFamily, u"Italic"_s, "fonts-liberation2, or fonts-liberation from Debian 13 on"}};
    for (const auto &font : needed) {
        if (!QFontDatabase::styles(font.family).contains(font.style))
            throw std::runtime_error("the font \"" + font.family.toStdString() + "\" " +
                                     font.style.toStdString() + " is not installed (Debian package " +
                                     font.package + ")");
    }
}

QImage paintCard(std::string_view runeName, ReadingPosition position, const QString &reversedWord, int scale)
{
    const RuneGlyph *found = findGlyph(runeName);
    if (!found)
        throw std::runtime_error("no glyph for the rune " + std::string(runeName));
    const bool turned = position == ReadingPosition::Reversed;
    const RuneGlyph glyph = turned ? turnedOver(*found) : *found;

    QImage image = scaledCanvas(kCardSize, scale);
    fillCardGround(image);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF card(QPointF(0, 0), QSizeF(kCardSize));
    drawCardFrame(p, card);

    const QRectF stone(23, 14, 99, 118);
    drawStone(p, stone, runeName, turned, scale);
    if (!glyph.strokes.empty())
        drawCarvedGlyph(p, glyph, stone.adjusted(0, 20, 0, -20), 8.0);

    QFont nameFont = letterFont(kSerifFamily, 14, QFont::Bold);
    nameFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    const QRectF nameBox(8, 136, card.width() - 16, 20);
    drawShadowedText(p, nameBox,
                     QString::fromLatin1(runeName.data(), static_cast<qsizetype>(runeName.size())), nameFont,
                     QColor(240, 204, 136));

    if (turned) {
        const QFont markFont = letterFont(kItalicFamily, 11, QFont::Normal, true);
        const QRectF markBox(8, 155, card.width() - 16, 14);
        drawShadowedText(p, markBox, reversedWord, markFont, QColor(214, 170, 112));
        const double half = QFontMetricsF(markFont).horizontalAdvance(reversedWord) / 2;
        const QColor markColor(196, 120, 70);
        drawDownMark(p, QPointF(card.width() / 2 - half - 8, markBox.center().y()), 3.2, markColor);
        drawDownMark(p, QPointF(card.width() / 2 + half + 8, markBox.center().y()), 3.2, markColor);
    }
    p.end();
    return image;
}

QImage paintBackground(int scale)
{
    QImage image = scaledCanvas(kBackgroundSize, scale);
    // The arches of the rings close inside the part the window shows.
    const Board board{20240607U, 15.0, 430.0, 260.0, -0.19, 60.0, 0.28};
    fillWithWood(image, board, {QColor(150, 98, 58), QColor(84, 50, 28)}, GrainRuns::Across);
    return image;
}

QImage paintPlaceholder(int scale)
{
    QImage image = scaledCanvas(kPlaceholderSize, scale);
    QPainter p(&image);
    const QRect all(QPoint(0, 0), kPlaceholderSize);
    p.fillRect(all, QColor(243, 146, 38));
    for (int y = 3; y < all.height(); y += 6)
        p.fillRect(QRect(0, y, all.width(), 2), QColor(233, 136, 32));
    p.end();
    return image;
}

int buttonLetterSize(const QStringList &captions)
{
    const double room = kButtonVisibleWidth - 18;
    for (int size = 20; size > 8; --size) {
        const QFontMetricsF metrics(letterFont(kSerifFamily, size, QFont::Bold));
        const bool fits = std::all_of(captions.begin(), captions.end(), [&](const QString &caption) {
            return metrics.horizontalAdvance(caption) <= room &&
                   metrics.height() <= kButtonVisibleHeight - 12;
        });
        if (fits)
            return size;
    }
    throw std::runtime_error("the button captions do not fit the buttons");
}

QImage paintButtonFace(const QString &caption, int letterPixelSize, int scale)
{
    QImage image = scaledCanvas(kButtonSize, scale);
    const Board board{77U, 9.0, -200.0, 80.0, 0.0, 12.0, 0.2};
    fillWithWood(image, board, {QColor(244, 222, 180), QColor(220, 186, 132)}, GrainRuns::Across);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF visible(kButtonVisibleLeft, kButtonVisibleTop, kButtonVisibleWidth, kButtonVisibleHeight);

    // A rounded bevel inside the visible part, so the strip stands off the dark board.
    QLinearGradient shade(visible.topLeft(), visible.bottomLeft());
    shade.setColorAt(0, QColor(255, 250, 235, 70));
    shade.setColorAt(0.45, QColor(255, 250, 235, 0));
    shade.setColorAt(1, QColor(90, 52, 20, 70));
    p.fillRect(visible, shade);
    p.setPen(QPen(QColor(255, 246, 226, 190), 1));
    p.drawLine(QPointF(visible.left() + 1.5, visible.top() + 1.5),
               QPointF(visible.right() - 1.5, visible.top() + 1.5));
    p.drawLine(QPointF(visible.left() + 1.5, visible.top() + 1.5),
               QPointF(visible.left() + 1.5, visible.bottom() - 1.5));
    p.setPen(QPen(QColor(120, 76, 36, 200), 1));
    p.drawLine(QPointF(visible.left() + 1.5, visible.bottom() - 1.5),
               QPointF(visible.right() - 1.5, visible.bottom() - 1.5));
    p.drawLine(QPointF(visible.right() - 1.5, visible.top() + 1.5),
               QPointF(visible.right() - 1.5, visible.bottom() - 1.5));

    const QFont font = letterFont(kSerifFamily, letterPixelSize, QFont::Bold);
    p.setFont(font);
    // Pressed into the wood: a pale lip below the letters.
    p.setPen(QColor(255, 248, 230, 160));
    p.drawText(visible.translated(0, 1), Qt::AlignCenter, caption);
    p.setPen(QColor(22, 36, 112));
    p.drawText(visible, Qt::AlignCenter, caption);
    p.end();
    return image;
}

QImage paintIcon(int scale)
{
    QImage image = scaledCanvas(kIconSize, scale);
    image.fill(Qt::white);
    QPainter p(&image);
    drawIconRune(p);
    p.end();
    return image;
}

QImage paintIconTransparent(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(double(side) / kIconSize.width(), double(side) / kIconSize.height());
    drawIconRune(p);
    p.end();
    return image;
}

QByteArray iconSvg()
{
    // The same path, pen and joins as drawIconRune, written out by hand: a closed stroke becomes one
    // subpath ending in Z, so its corners join exactly as they do in the painted pictures.
    const RuneGlyph *day = findGlyph("ORMEX");
    const double scale = kIconRuneBox.height() / kGlyphHeight;
    const QPointF origin(kIconRuneBox.center().x() - day->width * scale / 2, kIconRuneBox.top());
    QString d;
    for (const GlyphStroke &stroke : day->strokes) {
        for (std::size_t i = 0; i < stroke.points.size(); ++i) {
            const QPointF p = origin + QPointF(stroke.points[i].x, stroke.points[i].y) * scale;
            d += (i == 0 ? u"M"_s : u" L"_s) + QString::number(p.x(), 'g', 8) + u' ' +
                 QString::number(p.y(), 'g', 8);
        }
        if (stroke.closed)
            d += u" Z"_s;
        d += u' ';
    }
    const QString svg = uR"(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="%1" height="%2" viewBox="0 0 %1 %2">
  <path d="%3" fill="none" stroke="#000000" stroke-width="%4" stroke-linejoin="bevel" stroke-linecap="square"/>
</svg>
)"_s.arg(kIconSize.width())
                            .arg(kIconSize.height())
                            .arg(d.trimmed())
                            .arg(kIconPenWidth);
    return svg.toUtf8();
}

} // namespace art
