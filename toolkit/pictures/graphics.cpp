#include "toolkit/pictures/graphics.h"

#include "toolkit/base/errors.h"
#include "toolkit/text/files.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>

#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;

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

void registerFileFormat(const QString &extension, const GraphicFactory &factory)
{
    fileFormats().insert(extension.toLower(), factory);
}

std::unique_ptr<Graphic> createGraphicForFile(const QString &programPath)
{
    return createGraphicForExtension(extensionOf(programPath));
}

void BitmapImage::loadFromData(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    // Qt's own reader of the format, asked directly: with detection on, every image format plugin
    // would be loaded and asked first, and none of them reads bitmaps.
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull())
        throw Error(u"Bitmap image is not valid"_s);
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
    registerFileFormat(u"bmp"_s, [] { return std::make_unique<BitmapImage>(); });
}

QString highDensityPath(const QString &programPath)
{
    const QString extension = extensionOf(programPath);
    if (extension.isEmpty())
        return QString();
    return programPath.left(programPath.size() - extension.size() - 1) + u"@2x."_s + extension;
}

qreal deviceScale(const QTransform &toDevice)
{
    const QTransform &t = toDevice;
    // Length of the images of the unit vectors, so that a rotation does not hide a scale.
    return std::max(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22()));
}

qreal deviceScale(const QPainter &painter)
{
    return deviceScale(painter.deviceTransform());
}

Graphic *Picture::highDensityGraphic() const
{
    if (m_highDensityData.isEmpty())
        return m_highDensity.get();
    // Taken first, so that a companion that throws is dropped rather than parsed again on every paint.
    const QByteArray data = std::exchange(m_highDensityData, QByteArray());
    std::unique_ptr<Graphic> highDensity;
    try {
        highDensity = createGraphicForExtension(m_extension);
        highDensity->loadFromData(data);
    } catch (const Error &) {
        return nullptr;
    }
    // Any other size would draw the picture larger or smaller than on a 1x screen.
    if (m_graphic && highDensity->width() == 2 * m_graphic->width() &&
        highDensity->height() == 2 * m_graphic->height())
        m_highDensity = std::move(highDensity);
    return m_highDensity.get();
}

Graphic *Picture::graphicForRatio(qreal ratio) const
{
    if (ratio > 1)
        if (Graphic *highDensity = highDensityGraphic())
            return highDensity;
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

void Picture::loadFromData(const QString &extension, const QByteArray &data,
                           const QByteArray &highDensityData)
{
    load(extension, data, highDensityData);
}

void Picture::load(const QString &extension, const QByteArray &data, const QByteArray &highDensityData)
{
    std::unique_ptr<Graphic> graphic = createGraphicForExtension(extension);
    graphic->loadFromData(data);
    m_graphic = std::move(graphic);
    m_highDensity.reset();
    // Parsing waits for a dense screen to ask (a bitmap decodes in full when parsed).
    m_highDensityData = highDensityData;
    m_extension = extension;
    m_companionHeld = false;
    changed();
}

void Picture::setGraphic(std::unique_ptr<Graphic> graphic, std::unique_ptr<Graphic> highDensity)
{
    m_graphic = std::move(graphic);
    m_highDensity = m_graphic ? std::move(highDensity) : nullptr;
    m_highDensityData.clear();
    m_companionHeld = false;
    changed();
}

void Picture::holdCompanion(bool hold)
{
    if (m_companionHeld == hold)
        return;
    m_companionHeld = hold;
    changed();
}

Picture::Placement Picture::place(qreal scale, QPoint origin, const QRect &visible) const
{
    Graphic *graphic = m_companionHeld ? m_graphic.get() : graphicForRatio(scale);
    if (!graphic || graphic->empty())
        return {};
    if (graphic == m_graphic.get())
        return {graphic, false, origin, visible};
    // The companion's pixels are half a unit wide: it is drawn in its own coordinates, scaled down.
    return {graphic, true, {0, 0}, QRect(visible.topLeft() * 2 - origin * 2, visible.size() * 2)};
}

void Picture::draw(QPainter &painter, QPoint origin, const QRect &visible) const
{
    const Placement placement = place(deviceScale(painter), origin, visible);
    if (!placement.graphic)
        return;
    painter.save();
    // A picture drawn larger than its pixels is smoothed, never blown up into blocks.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (placement.companion) {
        painter.translate(origin);
        painter.scale(0.5, 0.5);
    }
    placement.graphic->draw(painter, placement.origin, placement.visible);
    painter.restore();
}

void Picture::decodeAhead(const QTransform &toDevice, const QRect &deviceClip, QPoint origin,
                          const QRect &visible) const
{
    const Placement placement = place(deviceScale(toDevice), origin, visible);
    if (!placement.graphic)
        return;
    // The same steps as the painter's in draw, so that the graphic sees the transform it will be drawn
    // with.
    QTransform transform = toDevice;
    if (placement.companion) {
        transform.translate(origin.x(), origin.y());
        transform.scale(0.5, 0.5);
    }
    placement.graphic->decodeAhead(transform, deviceClip, placement.origin, placement.visible);
}

void Picture::changed()
{
    if (OnChange)
        OnChange();
}

} // namespace tk
