// Paints every picture the program ships and converts its help text, into the source tree given as the
// only argument. The output is committed; run this (target regenerate-art) after changing the art.

#include "divination/RuneCatalogue.h"
#include "tools/artpainters.h"
#include "tools/helptextencoding.h"
#include "tools/imagefiles.h"
#include "tools/translationfile.h"

#include <QFile>
#include <QGuiApplication>
#include <QStringDecoder>

#include <cstdio>
#include <exception>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kCardQuality = 92;
constexpr int kTextureQuality = 88;

// Each picture is written at these scales: the file the program has always read, and its companion for
// screens of twice the density, named the way Qt names such companions.
struct Scale {
    int factor;
    QString suffix;
};
const Scale kScales[] = {{1, QString()}, {2, u"@2x"_s}};

// Themed icon sizes for the desktop, beside the scalable one.
constexpr int kIconThemeSizes[] = {48, 64, 128, 256};

// A colour no wood has: the buttons treat it as see-through, and only these three margin pixels carry it
// (at a finer scale, the blocks of device pixels that make up those three pixels).
constexpr std::uint16_t kButtonKeyColor = 0xF81F;
const std::vector<QPoint> kButtonKeyPixels{{0, 53}, {1, 53}, {0, 52}};

std::vector<QPoint> scaledPixels(const std::vector<QPoint> &pixels, int scale)
{
    std::vector<QPoint> scaled;
    for (const QPoint &p : pixels)
        for (int dy = 0; dy < scale; ++dy)
            for (int dx = 0; dx < scale; ++dx)
                scaled.emplace_back(p.x() * scale + dx, p.y() * scale + dy);
    return scaled;
}

QString readUtf8(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(file.readAll());
    if (decode.hasError())
        throw std::runtime_error(path.toStdString() + " is not valid UTF-8");
    return text;
}

// The words painted into pictures, as the program's own Russian texts; other languages letter their
// pictures with the translations of these texts from their translation files.
const QString kWordsContext = u"rununit1"_s;
const QString kReversedWord = u"перевёрнута"_s;
const QStringList kButtonCaptions{u"Гадание на Рунах"_s, u"Справка"_s, u"Выход"_s};
const QStringList kButtonFiles{u"divine"_s, u"help"_s, u"exit"_s};

struct LanguageArt {
    Language language;
    QString reversedWord;
    QStringList buttonCaptions;
};

LanguageArt artOf(Language language, const QString &root)
{
    if (language == Language::Russian)
        return {language, kReversedWord, kButtonCaptions};
    const translationfile::Translations ts(root + u"/translations/ormex_"_s +
                                           QString::fromLatin1(languageCode(language).data()) + u".ts"_s);
    LanguageArt words{language, ts.translate(kWordsContext, kReversedWord), {}};
    for (const QString &caption : kButtonCaptions)
        words.buttonCaptions << ts.translate(kWordsContext, caption);
    return words;
}

// The file a language keeps its own version of a picture in, at a scale.
QString fileFor(const QString &folder, const QString &name, const QString &extension, Language language,
                const Scale &scale)
{
    const std::string plain = (name + extension).toStdString();
    const QString own = QString::fromStdString(languageFilePath(plain, language));
    return folder + own.left(own.size() - extension.size()) + scale.suffix + extension;
}

void writeCards(const QString &folder, const LanguageArt &words, const Scale &scale)
{
    for (ReadingIndex i = kFirstReading; i <= kLastReading; ++i) {
        const RuneReading &reading = RuneCatalogue::reading(i);
        // Only a reversed card carries a word; the others serve every language as they are.
        if (words.language != Language::Russian && reading.Position != ReadingPosition::Reversed)
            continue;
        const QImage card =
            art::paintCard(reading.RuneName, reading.Position, words.reversedWord, scale.factor);
        imagefiles::writeFile(fileFor(folder, QString::number(i), u".jpg"_s, words.language, scale),
                              imagefiles::encodeJpeg(card, kCardQuality, imagefiles::Chroma::Full));
    }
}

void writeButtons(const QString &folder, const LanguageArt &words, const Scale &scale)
{
    // Measured once, in logical pixels, so that both scales letter the buttons alike.
    const int letterSize = art::buttonLetterSize(words.buttonCaptions);
    for (qsizetype i = 0; i < words.buttonCaptions.size(); ++i) {
        const QImage face = art::paintButtonFace(words.buttonCaptions[i], letterSize, scale.factor);
        std::vector<std::uint16_t> pixels = imagefiles::toRgb565(face);
        imagefiles::placeKeyColor(pixels, face.width(), kButtonKeyColor,
                                  scaledPixels(kButtonKeyPixels, scale.factor));
        imagefiles::writeFile(fileFor(folder, kButtonFiles[i], u".bmp"_s, words.language, scale),
                              imagefiles::encodeBmp565(face.width(), face.height(), pixels));
    }
}

// The help text of each language, from its UTF-8 source beside this program.
void writeHelpText(const QString &root, Language language)
{
    const QString code = QString::fromLatin1(languageCode(language).data());
    const QString file = QString::fromStdString(languageFilePath("readme.txt", language));
    imagefiles::writeFile(root + u"/data/g/"_s + file,
                          cp1251::encodeText(readUtf8(root + u"/tools/readme."_s + code + u".txt"_s)));
}

void writeThemeIcons(const QString &folder)
{
    imagefiles::writeFile(folder + u"ormex.svg"_s, art::iconSvg());
    for (int side : kIconThemeSizes)
        imagefiles::writeFile(folder + u"ormex-"_s + QString::number(side) + u".png"_s,
                              imagefiles::encodePng(art::paintIconTransparent(side)));
}

void generate(const QString &root)
{
    art::requireFonts();
    const QString data = root + u"/data/g/"_s;
    const QString assets = root + u"/assets/"_s;

    const LanguageArt languages[] = {artOf(Language::Russian, root), artOf(Language::English, root)};
    for (const LanguageArt &words : languages)
        writeHelpText(root, words.language);
    for (const Scale &scale : kScales) {
        for (const LanguageArt &words : languages) {
            writeCards(data, words, scale);
            writeButtons(assets, words, scale);
        }
        imagefiles::writeFile(assets + u"background"_s + scale.suffix + u".jpg"_s,
                              imagefiles::encodeJpeg(art::paintBackground(scale.factor), kTextureQuality,
                                                     imagefiles::Chroma::Subsampled));
        imagefiles::writeFile(assets + u"placeholder"_s + scale.suffix + u".jpg"_s,
                              imagefiles::encodeJpeg(art::paintPlaceholder(scale.factor), kTextureQuality,
                                                     imagefiles::Chroma::Subsampled));
        imagefiles::writeFile(assets + u"icon"_s + scale.suffix + u".bmp"_s,
                              imagefiles::encodeBmp24(art::paintIcon(scale.factor)));
    }
    imagefiles::writeFile(root + u"/packaging/ormex.png"_s, imagefiles::encodePng(art::paintIcon()));
    writeThemeIcons(root + u"/packaging/icons/"_s);
}

} // namespace

int main(int argc, char *argv[])
{
    // Nothing is shown; the offscreen platform is enough for fonts and painting.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SOURCE-TREE\n", argv[0]);
        return 2;
    }
    try {
        generate(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "generate_art: %s\n", e.what());
        return 1;
    }
    return 0;
}
