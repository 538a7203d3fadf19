#include "controls/abc/abcpicturestream.h"

#include "toolkit/base/errors.h"

#include <QBuffer>

using namespace Qt::StringLiterals;

bool CompactPictureStorage = false;

TabcFileFormatsList::TabcFileFormatsList()
{
    // Bitmaps are the only kind whose own file format we can write back.
    Add(u"bmp"_s, u"Bitmaps"_s, 0, u"BitmapImage"_s, [] { return std::make_unique<tk::BitmapImage>(); });
}

void TabcFileFormatsList::Add(const QString &extension, const QString &description, std::int32_t extra,
                              const QString &className, tk::GraphicFactory factory)
{
    m_entries.push_back({className, extension.toLower(), description, extra, std::move(factory)});
}

const TabcFileFormatsList::Entry *TabcFileFormatsList::findClassName(const QString &className) const
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (it->className == className)
            return &*it;
    return nullptr;
}

TabcFileFormatsList &abcFileFormatsList()
{
    static TabcFileFormatsList list;
    return list;
}

QString graphicClassName(const tk::Graphic *graphic)
{
    return dynamic_cast<const tk::BitmapImage *>(graphic) ? u"BitmapImage"_s : QString();
}

void TSmallPictureStream::writePicture(const tk::Picture &picture)
{
    m_data.clear();
    const tk::Graphic *graphic = picture.graphic();
    const QByteArray name = graphicClassName(graphic).toLatin1();
    if (!graphic || name.isEmpty()) {
        m_data.append(char(0));
        return;
    }
    m_data.append(char(name.size()));
    m_data.append(name);
    QBuffer buffer(&m_data);
    buffer.open(QIODevice::WriteOnly | QIODevice::Append);
    static_cast<const tk::BitmapImage *>(graphic)->image().save(&buffer, "BMP");
}

void TSmallPictureStream::readPicture(tk::Picture &picture) const
{
    const int length = m_data.isEmpty() ? 0 : int(quint8(m_data.at(0)) & 0x3F);
    if (length == 0) {
        picture.setGraphic(nullptr);
        return;
    }
    const QString name = QString::fromLatin1(m_data.mid(1, length));
    const TabcFileFormatsList::Entry *entry = abcFileFormatsList().findClassName(name);
    if (!entry)
        throw tk::Error(
            QStringLiteral(
                "Graphic Class \"%1\" needs to be registered with the abcFileFormatsList in unit abcgreg")
                .arg(name));
    std::unique_ptr<tk::Graphic> graphic = entry->factory();
    graphic->loadFromData(m_data.mid(1 + length));
    picture.setGraphic(std::move(graphic));
}
