#include "fonts.h"

#include <QFontMetrics>

namespace tk {

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
