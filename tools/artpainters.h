#pragma once

#include "divination/RuneCatalogue.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QStringList>

#include <string_view>

// The pictures of the program, painted from scratch: the rune cards, the board behind the window, the
// card shown before the first draw, the faces of the three command buttons and the program's icon.
namespace art {

// Every picture is painted from its description at a scale: 1 gives the files the program has always had,
// 2 their companions for screens with twice the pixel density (the same drawing, every detail resolved
// on the finer grid, not an enlargement). The returned image carries the scale as its device pixel ratio.

inline constexpr QSize kCardSize{145, 177};
inline constexpr QSize kBackgroundSize{1152, 864};
inline constexpr QSize kPlaceholderSize{150, 180};
inline constexpr QSize kButtonSize{177, 54};
inline constexpr QSize kIconSize{100, 100};

// The part of a button face that the button shows at rest: columns 3..172, rows 4..48.
inline constexpr int kButtonVisibleLeft = 3;
inline constexpr int kButtonVisibleTop = 4;
inline constexpr int kButtonVisibleWidth = 170;
inline constexpr int kButtonVisibleHeight = 45;

// Throws std::runtime_error when a font the pictures are lettered in is not installed: fontconfig would
// quietly substitute another one, and the art would change with the machine.
void requireFonts();

// The card of one reading: the rune's stone with its sign cut in, turned over for a reversed reading, and
// the rune's name; a reversed card says so below the name in the word given. Throws std::runtime_error for
// a name without a glyph.
QImage paintCard(std::string_view runeName, ReadingPosition position, const QString &reversedWord,
                 int scale = 1);

QImage paintBackground(int scale = 1);
QImage paintPlaceholder(int scale = 1);

// The largest letter size at which every caption fits the visible part of a button with room to spare,
// so that the three buttons are lettered alike.
int buttonLetterSize(const QStringList &captions);
QImage paintButtonFace(const QString &caption, int letterPixelSize, int scale = 1);

// The icon on white, as the window and the old menu entry show it.
QImage paintIcon(int scale = 1);

// The icon's rune alone on a transparent ground, for the desktop's themed icons: as an image of
// side x side pixels, and as an SVG document drawn from the same strokes.
QImage paintIconTransparent(int side);
QByteArray iconSvg();

} // namespace art
