#include "abcwav.h"

#include "errors.h"
#include "files.h"

#include <QFile>

namespace {

// The output refuses sounds that would take more memory than this once converted; no file a sound
// fits in is larger.
constexpr qint64 maxWaveFileBytes = qint64(256) << 20;

QByteArray readSound(const QString &fileName)
{
    if (!fileName.startsWith(u':'))
        return tk::readWholeFile(fileName, maxWaveFileBytes, QStringLiteral("Sound file %s is too large"));
    QFile resource(fileName);
    if (!resource.open(QIODevice::ReadOnly))
        throw tk::Error(tk::cannotOpenMessage(fileName));
    return resource.readAll();
}

} // namespace

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
    // The output plays its own converted copy, so a sound started from this image plays on; only the
    // pointer to it must not outlive it.
    if (index == FItemIndex) {
        FWaveData = nullptr;
        FWaveSize = 0;
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
    FWaveSize = std::size_t(image.size());
    // An empty image still has a valid pointer; a zero length would mean "ask the header".
    if (image.isEmpty()) {
        Stop();
        return;
    }
    Play();
}
