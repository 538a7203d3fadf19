#include "controls/abc/abcwav.h"

#include "toolkit/base/errors.h"
#include "toolkit/text/files.h"

#include <QFile>

#include <utility>

namespace {

// A list holds its sounds in memory, whole: a file larger than this (25 minutes of CD sound) is refused
// rather than read.
constexpr qint64 kMaxWaveFileBytes = qint64(256) << 20;

QByteArray readSound(const QString &fileName)
{
    if (!fileName.startsWith(u':'))
        return tk::readWholeFile(fileName, kMaxWaveFileBytes, QStringLiteral("Sound file %s is too large"));
    QFile resource(fileName);
    if (!resource.open(QIODevice::ReadOnly))
        throw tk::Error(tk::cannotOpenMessage(fileName));
    return resource.readAll();
}

} // namespace

TabcWaveList::~TabcWaveList()
{
    if (!m_sounding.isNull())
        releaseImage(m_sounding.constData());
}

int TabcWaveList::Add(const QString &fileName)
{
    return AddImage(fileName, readSound(fileName));
}

int TabcWaveList::AddImage(const QString &name, const QByteArray &image)
{
    m_images.append(image);
    FItems.append(name);
    return int(m_images.size()) - 1;
}

void TabcWaveList::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    forgetImage(index);
    if (FItemIndex > index)
        --FItemIndex;
    m_images.removeAt(index);
    FItems.removeAt(index);
}

void TabcWaveList::Clear()
{
    for (int index = 0; index < Count(); ++index)
        forgetImage(index);
    m_images.clear();
    FItems.clear();
}

void TabcWaveList::forgetImage(int index)
{
    // A sound started from this image plays on from m_sounding; only the pointer to it must not outlive
    // it.
    if (index == FItemIndex) {
        FWaveData = nullptr;
        m_waveSize = 0;
        FItemIndex = -1;
    }
}

void TabcWaveList::PlayIndex(int index)
{
    if (index < 0 || index >= Count())
        return;
    FItemIndex = index;
    const QByteArray &image = m_images.at(index);
    FWaveData = image.constData();
    m_waveSize = std::size_t(image.size());
    // An empty image still has a valid pointer; a zero length would mean "ask the header".
    if (image.isEmpty()) {
        Stop();
        return;
    }
    // The image of the sound this one replaces is let go only once the output has stopped reading it.
    const QByteArray replaced = std::exchange(m_sounding, image);
    Play();
}
