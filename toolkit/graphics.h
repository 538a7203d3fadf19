#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

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

    // A hint that region (picture coordinates) is about to be drawn: a kind that decodes lazily may start
    // on it now, off the caller's thread. What is drawn never depends on it.
    virtual void decodeAhead(const QRect &region) { (void)region; }
};

// A device-independent bitmap (and whatever else Qt's image readers take), decoded when loaded.
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
void registerFileFormat(const QString &extension, GraphicFactory factory);
// Throws tk::Error "Unknown picture file extension (.%s)" for an extension nobody registered.
std::unique_ptr<Graphic> createGraphicForFile(const QString &programPath);

// A picture held by a control: one graphic or none.
class Picture {
public:
    Picture() = default;
    Picture(const Picture &) = delete;
    Picture &operator=(const Picture &) = delete;

    Graphic *graphic() const { return m_graphic.get(); }
    int width() const { return m_graphic ? m_graphic->width() : 0; }
    int height() const { return m_graphic ? m_graphic->height() : 0; }

    // Reads the whole file and parses it with the kind its extension selects; the old graphic is
    // replaced only when all of that succeeded.
    void LoadFromFile(const QString &programPath);
    // Loads from bytes held in memory (the pictures stored with the window layout).
    void LoadFromData(const QString &extension, const QByteArray &data);
    void setGraphic(std::unique_ptr<Graphic> graphic);

    std::function<void()> OnChange;

private:
    void changed();
    std::unique_ptr<Graphic> m_graphic;
};

// Picture files above this size are refused before they are read: no picture of this program comes near
// it, and reading an arbitrary file whole into memory is not something to offer a hostile folder.
inline constexpr qint64 kMaxPictureFileBytes = 64 * 1024 * 1024;

} // namespace tk
