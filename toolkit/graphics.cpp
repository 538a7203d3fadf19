#include "graphics.h"

#include "errors.h"
#include "files.h"

#include <QFileInfo>
#include <QHash>
#include <QPainter>

#include <cmath>

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

QString highDensityPath(const QString &programPath)
{
    const QString extension = extensionOf(programPath);
    if (extension.isEmpty())
        return QString();
    return programPath.left(programPath.size() - extension.size() - 1) + u"@2x."_qs + extension;
}

qreal deviceScale(const QPainter &painter)
{
    const QTransform t = painter.deviceTransform();
    // Length of the images of the unit vectors, so that a rotation does not hide a scale.
    return std::max(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22()));
}

Graphic *Picture::graphicForRatio(qreal ratio) const
{
    if (ratio > 1 && m_highDensity)
        return m_highDensity.get();
    return m_graphic.get();
}

void Picture::LoadFromFile(const QString &programPath)
{
    // An unknown kind is refused before anything is read.
    createGraphicForFile(programPath);
    const QByteArray data =
        readWholeFile(programPath, kMaxPictureFileBytes, QStringLiteral("Picture file too large: %s"));
    QByteArray highDensityData;
    try {
        highDensityData = readWholeFile(highDensityPath(programPath), kMaxPictureFileBytes, QString());
    } catch (const Error &) {
        // No companion (or none we may read): the 1x file serves every screen.
    }
    load(extensionOf(programPath), data, highDensityData);
}

void Picture::LoadFromData(const QString &extension, const QByteArray &data,
                           const QByteArray &highDensityData)
{
    load(extension, data, highDensityData);
}

void Picture::load(const QString &extension, const QByteArray &data, const QByteArray &highDensityData)
{
    std::unique_ptr<Graphic> graphic = createGraphicForExtension(extension);
    graphic->loadFromData(data);
    std::unique_ptr<Graphic> highDensity;
    if (!highDensityData.isEmpty()) {
        highDensity = createGraphicForExtension(extension);
        try {
            highDensity->loadFromData(highDensityData);
        } catch (const Error &) {
            highDensity.reset();
        }
        // Any other size would draw the picture larger or smaller than on a 1x screen.
        if (highDensity &&
            (highDensity->width() != 2 * graphic->width() || highDensity->height() != 2 * graphic->height()))
            highDensity.reset();
    }
    setGraphic(std::move(graphic), std::move(highDensity));
}

void Picture::setGraphic(std::unique_ptr<Graphic> graphic, std::unique_ptr<Graphic> highDensity)
{
    m_graphic = std::move(graphic);
    m_highDensity = m_graphic ? std::move(highDensity) : nullptr;
    changed();
}

void Picture::draw(QPainter &painter, QPoint origin, const QRect &visible) const
{
    Graphic *graphic = graphicForRatio(deviceScale(painter));
    if (!graphic || graphic->empty())
        return;
    painter.save();
    // A picture drawn larger than its pixels is smoothed, never blown up into blocks.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (graphic == m_highDensity.get()) {
        // The companion's pixels are half a unit wide: draw it in its own coordinates, scaled down.
        painter.translate(origin);
        painter.scale(0.5, 0.5);
        const QRect companionVisible(visible.topLeft() * 2 - origin * 2, visible.size() * 2);
        graphic->draw(painter, {0, 0}, companionVisible);
    } else {
        graphic->draw(painter, origin, visible);
    }
    painter.restore();
}

void Picture::changed()
{
    if (OnChange)
        OnChange();
}

} // namespace tk
