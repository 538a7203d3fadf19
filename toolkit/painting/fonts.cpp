#include "toolkit/painting/fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

using namespace Qt::StringLiterals;

namespace tk {

namespace {

// Joined at the latest when the program ends, so that the thread never outlives what it touches.
struct FontConfigurationLoader {
    std::mutex mutex;
    std::thread thread;
    ~FontConfigurationLoader() { finish(); }
    void finish()
    {
        const std::lock_guard lock(mutex);
        if (thread.joinable())
            thread.join();
    }
};

FontConfigurationLoader &fontConfigurationLoader()
{
    static FontConfigurationLoader loader;
    return loader;
}

} // namespace

void startLoadingFontConfiguration()
{
    FontConfigurationLoader &loader = fontConfigurationLoader();
    const std::lock_guard lock(loader.mutex);
    if (loader.thread.joinable())
        return;
    try {
        // The library keeps the configuration as its current one, where the toolkit finds it.
        loader.thread = std::thread([] { FcInit(); });
    } catch (const std::system_error &) {
        // No thread to be had: the toolkit loads the configuration itself when it needs it.
    }
}

void finishLoadingFontConfiguration()
{
    fontConfigurationLoader().finish();
}

void fillFontDatabase()
{
    // Only the shared list: a font engine made there would serve that thread alone, and making it
    // would hold the database's lock while the main thread waits for its own.
    QFontDatabase::families();
}

namespace {

// The families the layout names, and the installed fonts that stand in for them.
const std::pair<QString, QString> kStandIns[] = {
    {u"Arial"_s, u"Liberation Sans"_s},
    {u"MS Sans Serif"_s, u"DejaVu Sans"_s},
    {u"Century Gothic"_s, u"DejaVu Sans"_s},
};

QString standInFor(const QString &family)
{
    for (const auto &[named, standIn] : kStandIns)
        if (family.compare(named, Qt::CaseInsensitive) == 0)
            return standIn;
    return family;
}

} // namespace

void installFontSubstitutes()
{
    for (const auto &[named, standIn] : kStandIns)
        QFont::insertSubstitution(named, standIn);
}

QFont makeFont(const QString &family, int height, unsigned styles)
{
    // The stand-in by name rather than through the substitutes: for a family that has substitutes, Qt
    // sorts the whole font list for fallbacks each time it loads a font (about a millisecond), even when
    // the font itself has every character.
    QFont font(standInFor(family));
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    if (height < 0) {
        font.setPixelSize(-height);
    } else if (height > 0) {
        // A cell height: take off the leading the font adds above its characters.
        font.setPixelSize(height);
        const QFontMetrics metrics(font);
        const int leading = metrics.height() - font.pixelSize();
        if (leading > 0 && height - leading > 0)
            font.setPixelSize(height - leading);
    }
    font.setBold(styles & fsBold);
    font.setItalic(styles & fsItalic);
    font.setUnderline(styles & fsUnderline);
    font.setStrikeOut(styles & fsStrikeOut);
    return font;
}

QFont defaultFont()
{
    return makeFont(u"MS Sans Serif"_s, -11);
}

} // namespace tk
