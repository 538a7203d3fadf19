#pragma once

#include <QFont>
#include <QString>

namespace tk {

enum FontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// The families the layout names are not on a Linux desktop; map them once to metric-compatible or
// look-alike fonts that the set-up installs. Call before the first font is used.
void installFontSubstitutes();

// A font as the layout gives it: a negative height is the character height in pixels, a positive one
// the cell height (character plus internal leading).
QFont makeFont(const QString &family, int height, unsigned styles = 0);

// The window's font: "MS Sans Serif", 11-pixel characters.
QFont defaultFont();

} // namespace tk
