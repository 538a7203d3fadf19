#pragma once

#include <QFont>
#include <QString>

namespace tk {

enum FontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// The families the layout names are not on a Linux desktop; they map to metric-compatible or look-alike
// fonts that the set-up installs. makeFont asks for those by name; this also maps the names for a font
// made any other way. Call before the first font is used.
void installFontSubstitutes();

// Loading the font configuration (its files and the cache of every installed font) takes a few
// milliseconds that the first text measured would otherwise spend on the main thread. Started on a
// thread of its own before the application object exists, it runs while that object connects to the
// display. Finishing waits for it; call that before the first font is used, so that the toolkit does not
// load the configuration a second time beside it. Both may be called more than once.
void startLoadingFontConfiguration();
void finishLoadingFontConfiguration();

// Qt fills its list of installed fonts (from the font configuration) the first time a font is used: a
// millisecond or two, under a lock every thread shares. Run on a thread beside the main one while the
// window is being built, after finishLoadingFontConfiguration, this fills it there instead.
void fillFontDatabase();

// A font as the layout gives it (a family the layout names becomes its stand-in): a negative height is
// the character height in pixels, a positive one the cell height (character plus internal leading).
QFont makeFont(const QString &family, int height, unsigned styles = 0);

// The window's font: "MS Sans Serif", 11-pixel characters.
QFont defaultFont();

} // namespace tk
