#pragma once

#include <QFont>
#include <QString>

namespace tk {

enum FontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// The families the layout names are not on a Linux desktop; map them once to metric-compatible or
// look-alike fonts that the set-up installs. Call before the first font is used.
void installFontSubstitutes();

// Loading the font configuration (its files and the cache of every installed font) takes a few
// milliseconds that the first text measured would otherwise spend on the main thread. Started on a
// thread of its own before the application object exists, it runs while that object connects to the
// display. Finishing waits for it; call that before the first font is used, so that the toolkit does not
// load the configuration a second time beside it. Both may be called more than once.
void startLoadingFontConfiguration();
void finishLoadingFontConfiguration();

class Application;
// Qt fills its font database, and looks up the fallback fonts of each family, the first time a font is
// used: several milliseconds, under one lock that every thread shares. Measuring the fonts a window is
// about to use beside the main thread does that work there while the window is built; the main thread
// finds it done, or waits on the lock for the rest. Each thread still makes its own font engines. Call
// after finishLoadingFontConfiguration.
void loadFontsBeside(Application &app, const QList<QFont> &fonts);

// A font as the layout gives it: a negative height is the character height in pixels, a positive one
// the cell height (character plus internal leading).
QFont makeFont(const QString &family, int height, unsigned styles = 0);

// The window's font: "MS Sans Serif", 11-pixel characters.
QFont defaultFont();

} // namespace tk
