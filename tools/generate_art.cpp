// Paints every picture the program ships and converts its help text, into the source tree given as the
// only argument. The output is committed; run this (target regenerate-art) after changing the art.

#include "ArtPainters.h"
#include "Cp1251.h"
#include "ImageFiles.h"
#include "RuneCatalogue.h"

#include <QFile>
#include <QGuiApplication>
#include <QStringDecoder>

#include <cstdio>
#include <exception>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int CardQuality = 92;
constexpr int TextureQuality = 88;

// A colour no wood has: the buttons treat it as see-through, and only these three margin pixels carry it.
constexpr std::uint16_t ButtonKeyColour = 0xF81F;
const std::vector<QPoint> ButtonKeyPixels{{0, 53}, {1, 53}, {0, 52}};

QString ReadUtf8(const QString &path)
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

void WriteCards(const QString &folder)
{
    for (ReadingIndex i = FirstReading; i <= LastReading; ++i) {
        const RuneReading &reading = RuneCatalogue::Reading(i);
        const QImage card = art::PaintCard(reading.RuneName, reading.Position);
        imagefiles::WriteFile(folder + QString::number(i) + u".jpg"_s,
                              imagefiles::EncodeJpeg(card, CardQuality, imagefiles::Chroma::Full));
    }
}

void WriteButtons(const QString &folder)
{
    const QStringList captions{u"Гадание на Рунах"_s, u"Справка"_s, u"Выход"_s};
    const QStringList files{u"divine.bmp"_s, u"help.bmp"_s, u"exit.bmp"_s};
    const int letterSize = art::ButtonLetterSize(captions);
    for (qsizetype i = 0; i < captions.size(); ++i) {
        const QImage face = art::PaintButtonFace(captions[i], letterSize);
        std::vector<std::uint16_t> pixels = imagefiles::ToRgb565(face);
        imagefiles::PlaceKeyColour(pixels, face.width(), ButtonKeyColour, ButtonKeyPixels);
        imagefiles::WriteFile(folder + files[i],
                              imagefiles::EncodeBmp565(face.width(), face.height(), pixels));
    }
}

void Generate(const QString &root)
{
    art::RequireFonts();
    const QString data = root + u"/data/g/"_s;
    const QString assets = root + u"/assets/"_s;

    WriteCards(data);
    imagefiles::WriteFile(data + u"readme.txt"_s,
                          cp1251::EncodeText(ReadUtf8(root + u"/tools/readme.ru.txt"_s)));

    imagefiles::WriteFile(
        assets + u"background.jpg"_s,
        imagefiles::EncodeJpeg(art::PaintBackground(), TextureQuality, imagefiles::Chroma::Subsampled));
    imagefiles::WriteFile(
        assets + u"placeholder.jpg"_s,
        imagefiles::EncodeJpeg(art::PaintPlaceholder(), TextureQuality, imagefiles::Chroma::Subsampled));
    WriteButtons(assets);

    const QImage icon = art::PaintIcon();
    imagefiles::WriteFile(assets + u"icon.bmp"_s, imagefiles::EncodeBmp24(icon));
    imagefiles::WriteFile(root + u"/packaging/ormex.png"_s, imagefiles::EncodePng(icon));
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
        Generate(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "generate_art: %s\n", e.what());
        return 1;
    }
    return 0;
}
