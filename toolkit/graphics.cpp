#include "graphics.h"

#include "errors.h"
#include "files.h"

#include <QFileInfo>
#include <QHash>
#include <QPainter>

namespace tk {

namespace {

QHash<QString, GraphicFactory> &fileFormats()
{
    static QHash<QString, GraphicFactory> formats;
    return formats;
}

QString extensionOf(const QString &programPath)
{
    // After the last dot of the file name, as the program spells the path.
    const qsizetype slash = std::max(programPath.lastIndexOf(u'\\'), programPath.lastIndexOf(u'/'));
    const qsizetype dot = programPath.lastIndexOf(u'.');
    return dot > slash ? programPath.mid(dot + 1) : QString();
}

std::unique_ptr<Graphic> createGraphicForExtension(const QString &extension)
{
    const auto it = fileFormats().constFind(extension.toLower());
    if (it == fileFormats().constEnd())
        throw Error(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
    return (*it)();
}

} // namespace

void registerFileFormat(const QString &extension, GraphicFactory factory)
{
    fileFormats().insert(extension.toLower(), std::move(factory));
}

std::unique_ptr<Graphic> createGraphicForFile(const QString &programPath)
{
    return createGraphicForExtension(extensionOf(programPath));
}

void BitmapImage::loadFromData(const QByteArray &data)
{
    QImage image;
    if (!image.loadFromData(data, "BMP") || image.isNull())
        throw Error(u"Bitmap image is not valid"_qs);
    m_image = std::move(image);
}

void BitmapImage::draw(QPainter &painter, QPoint origin, const QRect &visible)
{
    const QRect source = visible.translated(-origin) & m_image.rect();
    if (!source.isEmpty())
        painter.drawImage(source.topLeft() + origin, m_image, source);
}

void registerBitmapFormat()
{
    registerFileFormat(u"bmp"_qs, [] { return std::make_unique<BitmapImage>(); });
}

void Picture::LoadFromFile(const QString &programPath)
{
    std::unique_ptr<Graphic> graphic = createGraphicForFile(programPath);
    graphic->loadFromData(
        readWholeFile(programPath, kMaxPictureFileBytes, QStringLiteral("Picture file too large: %s")));
    setGraphic(std::move(graphic));
}

void Picture::LoadFromData(const QString &extension, const QByteArray &data)
{
    std::unique_ptr<Graphic> graphic = createGraphicForExtension(extension);
    graphic->loadFromData(data);
    setGraphic(std::move(graphic));
}

void Picture::setGraphic(std::unique_ptr<Graphic> graphic)
{
    m_graphic = std::move(graphic);
    changed();
}

void Picture::changed()
{
    if (OnChange)
        OnChange();
}

} // namespace tk
