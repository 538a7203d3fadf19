#pragma once

#include "toolkit/pictures/graphics.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// While on, a glyph keeps its picture only as bytes in a TSmallPictureStream between image builds. Off
// in this program; it trades a decode per build for memory.
extern bool CompactPictureStorage;

// The picture kinds the compact store can write and read back, by class name.
class TabcFileFormatsList {
public:
    struct Entry {
        QString className;
        QString extension; // lower case
        QString description;
        std::int32_t extra = 0;
        tk::GraphicFactory factory;
    };

    TabcFileFormatsList();
    void Add(const QString &extension, const QString &description, std::int32_t extra,
             const QString &className, tk::GraphicFactory factory);
    // The newest entry of exactly that class name (case counts), or null.
    const Entry *findClassName(const QString &className) const;
    int Count() const { return int(m_entries.size()); }

private:
    std::vector<Entry> m_entries;
};

// The program-wide list, made on first use.
TabcFileFormatsList &abcFileFormatsList();

// The class name a picture kind is stored under; empty for kinds the store cannot write.
QString graphicClassName(const tk::Graphic *graphic);

// A picture as bytes: one length byte n (0..63), n bytes of the class name (0 for an empty picture),
// then the picture in its own file format.
class TSmallPictureStream {
public:
    void writePicture(const tk::Picture &picture);
    // Throws tk::Error when the stored class is unknown or the bytes do not load; the picture is then
    // left as it was.
    void readPicture(tk::Picture &picture) const;
    const QByteArray &data() const { return m_data; }
    void setData(QByteArray data) { m_data = std::move(data); }

private:
    QByteArray m_data;
};
