#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// How a wave component plays its sound.
enum TabcWavePlayMode : std::uint8_t {
    awpAsync, // start the sound and return at once
    awpSync,  // return when the sound has ended
    awpLoop,  // repeat the sound until it is stopped, replaced or the mode changes
};

// Plays one wave sound held as a RIFF WAVE image in memory. Descendants hold the sound data: they set
// FWaveData and keep the image alive while a sound started from it may still be playing, since the sound
// is read from the image as it plays; releaseImage ends such a sound before its image goes. Only one
// sound sounds in the process at a time; starting one or stopping ends the one before.
class TabcCustomWave : public QObject {
    Q_OBJECT
public:
    explicit TabcCustomWave(QObject *owner = nullptr);

    TabcWavePlayMode PlayMode() const { return FPlayMode; }
    // Changing the mode stops the sound that is playing; setting the same mode leaves it.
    virtual void SetPlayMode(TabcWavePlayMode mode);
    // False, with nothing sounding, when there is no image or it cannot be played.
    virtual bool Play();
    virtual void Stop();

protected:
    // Ends the sound if it is played from image; a sound started from another image plays on.
    static void releaseImage(const void *image);

    std::uint16_t FSoundFlags;
    TabcWavePlayMode FPlayMode;
    const void *FWaveData = nullptr;
    // The length of the image at FWaveData when the descendant knows it; 0 lets the image's RIFF header
    // say where it ends. A known length keeps a damaged header from sending the reader past the image.
    std::size_t m_waveSize = 0;
};

// The base of a list of sounds that mouse-sensitive controls ask for by number. A concrete list
// decides where its sounds come from and what it does with a number it does not hold; the controls
// only ask and never look at a result.
class TabcCustomWaveList : public TabcCustomWave {
    Q_OBJECT
public:
    explicit TabcCustomWaveList(QObject *owner = nullptr);

    int ItemIndex() const { return FItemIndex; }
    const QStringList &Items() const { return FItems; }

    // Starts sound number index of the list. A list that does not implement it raises tk::AbstractError.
    virtual void PlayIndex(int index);

protected:
    int FItemIndex = -1;
    QStringList FItems;
};

// A list of wave images read from files or Qt resources (":/..."), or handed over in memory. Items
// holds each sound's name, ItemIndex the sound played last (-1 for none). A number outside the list
// plays nothing.
class TabcWaveList : public TabcCustomWaveList {
    Q_OBJECT
public:
    using TabcCustomWaveList::TabcCustomWaveList;
    ~TabcWaveList() override;

    // Reads a whole file as a sound and returns its number; raises tk::Error when the file cannot be
    // read. A damaged image is kept and refuses to play, like any other.
    int Add(const QString &fileName);
    int AddImage(const QString &name, const QByteArray &image);
    void Delete(int index);
    void Clear();
    int Count() const { return int(m_images.size()); }

    void PlayIndex(int index) override;

private:
    void forgetImage(int index);

    QList<QByteArray> m_images;
    // The image of the sound started last, kept while it may sound even when the list lets it go.
    QByteArray m_sounding;
};
