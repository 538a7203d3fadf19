#pragma once

#include "RuneCatalogue.h"

#include <QImage>
#include <QSize>
#include <QStringList>

#include <string_view>

// The pictures of the program, painted from scratch: the rune cards, the board behind the window, the
// card shown before the first draw, the faces of the three command buttons and the program's icon.
namespace art {

inline constexpr QSize CardSize{145, 177};
inline constexpr QSize BackgroundSize{1152, 864};
inline constexpr QSize PlaceholderSize{150, 180};
inline constexpr QSize ButtonSize{177, 54};
inline constexpr QSize IconSize{100, 100};

// The part of a button face that the button shows at rest: columns 3..172, rows 4..48.
inline constexpr int ButtonVisibleLeft = 3;
inline constexpr int ButtonVisibleTop = 4;
inline constexpr int ButtonVisibleWidth = 170;
inline constexpr int ButtonVisibleHeight = 45;

// Throws std::runtime_error when a font the pictures are lettered in is not installed: fontconfig would
// quietly substitute another one, and the art would change with the machine.
void RequireFonts();

// The card of one reading: the rune's stone with its sign cut in, turned over for a reversed reading, and
// the rune's name. Throws std::runtime_error for a name without a glyph.
QImage PaintCard(std::string_view runeName, ReadingPosition position);

QImage PaintBackground();
QImage PaintPlaceholder();

// The largest letter size at which every caption fits the visible part of a button with room to spare,
// so that the three buttons are lettered alike.
int ButtonLetterSize(const QStringList &captions);
QImage PaintButtonFace(const QString &caption, int letterPixelSize);

QImage PaintIcon();

} // namespace art
