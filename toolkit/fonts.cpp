#include "fonts.h"

#include "application.h"

#include <QFontMetrics>

#include <fontconfig/fontconfig.h>

#include <mutex>
#include <system_error>
#include <thread>

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

void loadFontsBeside(Application &app, const QList<QFont> &fonts)
{
    app.startBeside([fonts] {
        // Finding the font is the shared work; shaping text would only be this thread's own.
        for (const QFont &font : fonts)
            QFontMetrics(font).height();
    });
}

void installFontSubstitutes()
{
    QFont::insertSubstitution(u"Arial"_qs, u"Liberation Sans"_qs);
    QFont::insertSubstitution(u"MS Sans Serif"_qs, u"DejaVu Sans"_qs);
    QFont::insertSubstitution(u"Century Gothic"_qs, u"DejaVu Sans"_qs);
}

QFont makeFont(const QString &family, int height, unsigned styles)
{
    QFont font(family);
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
    return makeFont(u"MS Sans Serif"_qs, -11);
}

} // namespace tk
