#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <QTransform>

#include <functional>
#include <memory>

class QPainter;

namespace tk {

// A picture of one kind (JPEG, bitmap). Kinds are chosen by file extension through registerFileFormat.
class Graphic {
public:
    virtual ~Graphic() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;
    bool empty() const { return width() <= 0 || height() <= 0; }

    // Replaces the content with the picture held in data. On failure it throws tk::Error and the
    // graphic keeps what it had.
    virtual void loadFromData(const QByteArray &data) = 0;

    // Draws the picture's top-left corner at origin (painter coordinates). Only the part that falls
    // inside visible (painter coordinates) is guaranteed to be drawn, so a kind that decodes lazily
    // need decode no more than that.
    virtual void draw(QPainter &painter, QPoint origin, const QRect &visible) = 0;

    // A hint that draw(painter, origin, visible) is about to be called with a painter whose device
    // transform is toDevice and whose paint may reach the device pixels deviceClip: a kind that decodes
    // lazily may start now, off the caller's thread, on what that draw will need. What is drawn never
    // depends on it.
    virtual void decodeAhead(const QTransform &toDevice, const QRect &deviceClip, QPoint origin,
                             const QRect &visible)
    {
        (void)toDevice, (void)deviceClip, (void)origin, (void)visible;
    }
};

// A device-independent bitmap, read by Qt's own bitmap reader and decoded when loaded.
class BitmapImage : public Graphic {
public:
    int width() const override { return m_image.width(); }
    int height() const override { return m_image.height(); }
    void loadFromData(const QByteArray &data) override;
    void draw(QPainter &painter, QPoint origin, const QRect &visible) override;
    const QImage &image() const { return m_image; }

private:
    QImage m_image;
};

// Registers "bmp" as a bitmap; part of the program's start-up.
void registerBitmapFormat();

using GraphicFactory = std::function<std::unique_ptr<Graphic>()>;

// Extensions are compared without case and without the dot ("jpg").
void registerFileFormat(const QString &extension, const GraphicFactory &factory);
// Throws tk::Error "Unknown picture file extension (.%s)" for an extension nobody registered.
std::unique_ptr<Graphic> createGraphicForFile(const QString &programPath);

// The high-density companion of a picture file, by Qt's naming: "g\\7.jpg" -> "g\\7@2x.jpg",
// ":/assets/x.bmp" -> ":/assets/x@2x.bmp". Empty for a path without an extension.
QString highDensityPath(const QString &programPath);

// A picture held by a control: one graphic or none, and optionally a companion drawn on high-density
// screens. The companion has exactly twice the graphic's width and height; it is only ever an
// improvement, so width(), height(), the failure rules and everything else speak of the 1x graphic.
class Picture {
public:
    Picture() = default;
    Picture(const Picture &) = delete;
    Picture &operator=(const Picture &) = delete;

    Graphic *graphic() const { return m_graphic.get(); }
    // Parses the companion the first time it is asked for, so that a 1x screen never pays for it.
    Graphic *highDensityGraphic() const;
    int width() const { return m_graphic ? m_graphic->width() : 0; }
    int height() const { return m_graphic ? m_graphic->height() : 0; }

    // The graphic to draw where one picture pixel covers ratio device pixels: the companion above 1
    // when there is one, the 1x graphic otherwise (null when the picture is empty).
    Graphic *graphicForRatio(qreal ratio) const;

    // Reads the whole file and parses it with the kind its extension selects; the old graphic is
    // replaced only when all of that succeeded. The companion beside it (highDensityPath) is read too
    // when it exists; a missing, unreadable, broken or wrongly sized companion is silently ignored
    // (it is parsed when first drawn on a dense screen, so that is when it is found wanting).
    void LoadFromFile(const QString &programPath);
    // Loads from bytes held in memory (the pictures stored with the window layout); highDensityData,
    // when not empty, is the companion's bytes, used by the same rules as for a file.
    void loadFromData(const QString &extension, const QByteArray &data,
                      const QByteArray &highDensityData = QByteArray());
    // Drops any companion: a graphic set by hand has none unless given one.
    void setGraphic(std::unique_ptr<Graphic> graphic, std::unique_ptr<Graphic> highDensity = nullptr);

    // Draws like Graphic::draw, choosing the graphic by the device pixels one picture pixel covers under
    // the painter's full transform (device pixel ratio and any scaling), and never enlarging a picture
    // without smoothing.
    void draw(QPainter &painter, QPoint origin, const QRect &visible) const;
    // Passes Graphic::decodeAhead on to the graphic that draw would choose under that device transform.
    void decodeAhead(const QTransform &toDevice, const QRect &deviceClip, QPoint origin,
                     const QRect &visible) const;

    // While held, every ratio draws from the 1x graphic, enlarged: a first frame need not wait for a
    // companion with four times its pixels. A change of the hold repaints through OnChange; loading
    // or setting a picture ends it.
    void holdCompanion(bool hold);
    bool companionHeld() const { return m_companionHeld; }

    std::function<void()> OnChange;

private:
    // The graphic to draw under a device scale, and the origin and visible rect in its own coordinates;
    // companion is set when it is drawn in those, at half a unit a pixel, from the picture's origin.
    struct Placement {
        Graphic *graphic = nullptr;
        bool companion = false;
        QPoint origin;
        QRect visible;
    };
    Placement place(qreal scale, QPoint origin, const QRect &visible) const;
    void load(const QString &extension, const QByteArray &data, const QByteArray &highDensityData);
    void changed();
    std::unique_ptr<Graphic> m_graphic;
    // The companion, parsed from m_highDensityData on first use; logically part of the loaded picture.
    mutable std::unique_ptr<Graphic> m_highDensity;
    mutable QByteArray m_highDensityData;
    QString m_extension;
    bool m_companionHeld = false;
};

// How many device pixels one unit of the painter's coordinates covers (the larger of the two axes).
qreal deviceScale(const QPainter &painter);
qreal deviceScale(const QTransform &toDevice);

// Picture files above this size are refused before they are read: no picture of this program comes near
// it, and reading an arbitrary file whole into memory is not something to offer a hostile folder.
inline constexpr qint64 kMaxPictureFileBytes = qint64(64) * 1024 * 1024;

} // namespace tk
