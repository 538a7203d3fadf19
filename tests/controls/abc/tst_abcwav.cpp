#include "abcwav.h"
#include "errors.h"
#include "files.h"
#include "waveimage.h"
#include "waveoutput.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(TabcWavePlayMode)

namespace {

// A wave component of the kind an application writes: it owns its image and points FWaveData at it.
class GeneratedWave : public TabcCustomWave {
public:
    explicit GeneratedWave(const QByteArray &image, bool tellSize = false) : m_image(image)
    {
        if (!m_image.isEmpty())
            FWaveData = m_image.constData();
        if (tellSize)
            FWaveSize = std::size_t(m_image.size());
    }
    std::uint16_t soundFlags() const { return FSoundFlags; }

private:
    QByteArray m_image;
};

constexpr qint64 deviceBufferBytes = 1024 * 4;

qint64 bytesFor(int milliseconds)
{
    return qint64(tk::waveDeviceFormat.bytesPerSecond()) * milliseconds / 1000;
}

bool sdlMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libSDL2");
}

QByteArray tone(int milliseconds)
{
    WaveShape shape;
    shape.milliseconds = std::uint32_t(milliseconds);
    return makeWaveImage(shape);
}

} // namespace

class TestAbcWav : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void libraryMappedOnlyByFirstPlay();
    void creation();
    void syncLastsTheSound();
    void asyncReturnsAtOnce();
    void loopGoesOnUntilStop();
    void modeChange_data();
    void modeChange();
    void anotherSoundEndsTheLoop();
    void formatsPlay_data();
    void formatsPlay();
    void refusedImages_data();
    void refusedImages();
    void abstractPlayIndexRaises();
    void waveListPlaysByIndex_data();
    void waveListPlaysByIndex();
    void waveListDeleteKeepsItemIndex();
    void waveListReadsFiles();

private:
    qint64 outputSize() const { return QFileInfo(m_output).size(); }
    QByteArray outputAt(qint64 offset, qint64 length) const;
    void waitForOutput(qint64 size) const;

    QTemporaryDir m_folder;
    QString m_output;
};

void TestAbcWav::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_output = m_folder.filePath(QStringLiteral("device.raw"));
    // SDL's disk driver stands in for a sound card: it writes what it would play to a file, in time.
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_output));
}

void TestAbcWav::cleanup()
{
    tk::WaveOutput::process().stop();
}

QByteArray TestAbcWav::outputAt(qint64 offset, qint64 length) const
{
    QFile file(m_output);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {};
    return file.read(length);
}

void TestAbcWav::waitForOutput(qint64 size) const
{
    QTRY_VERIFY_WITH_TIMEOUT(outputSize() >= size, 20000);
}

// All zero: silence in the device's signed 16-bit format. Neither holds for a stretch not yet written.
static bool silent(const QByteArray &samples)
{
    return !samples.isEmpty() && samples.count('\0') == samples.size();
}

static bool audible(const QByteArray &samples)
{
    return !samples.isEmpty() && samples.count('\0') != samples.size();
}

void TestAbcWav::libraryMappedOnlyByFirstPlay()
{
    GeneratedWave wave(tone(20));
    wave.SetPlayMode(awpSync);
    wave.Stop();
    QVERIFY2(!sdlMapped(), "creating, setting and stopping a wave must not load SDL");
    QVERIFY(wave.Play());
    QVERIFY(sdlMapped());
}

void TestAbcWav::creation()
{
    GeneratedWave wave({});
    QCOMPARE(wave.PlayMode(), awpAsync);
    QCOMPARE(wave.soundFlags(), 7);
    TabcCustomWaveList list;
    QCOMPARE(list.ItemIndex(), -1);
    QVERIFY(list.Items().isEmpty());
    QCOMPARE(list.PlayMode(), awpAsync);
}

void TestAbcWav::syncLastsTheSound()
{
    const int length = 300;
    GeneratedWave wave(tone(length));
    wave.SetPlayMode(awpSync);
    const qint64 before = outputSize();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(wave.Play());
    // Lower bounds only: the device's buffers make the end up to one buffer early, a busy machine late.
    QVERIFY2(clock.elapsed() >= length - 50, qPrintable(QString::number(clock.elapsed())));
    // The disk file may hold back a stdio buffer of what the device has written.
    QVERIFY(outputSize() - before >= bytesFor(length) - 3 * deviceBufferBytes);
    QVERIFY(!tk::WaveOutput::process().isSounding());
}

void TestAbcWav::asyncReturnsAtOnce()
{
    GeneratedWave wave(tone(5000));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(wave.Play());
    QVERIFY(clock.elapsed() < 2500);
    QVERIFY(tk::WaveOutput::process().isSounding());
    wave.Stop();
    QVERIFY(!tk::WaveOutput::process().isSounding());
}

void TestAbcWav::loopGoesOnUntilStop()
{
    const int length = 50;
    GeneratedWave wave(tone(length));
    wave.SetPlayMode(awpLoop);
    const qint64 start = outputSize();
    QVERIFY(wave.Play());
    waitForOutput(start + 8 * bytesFor(length));
    QVERIFY(tk::WaveOutput::process().isSounding());
    const qint64 late = outputSize() - deviceBufferBytes;
    QVERIFY(audible(outputAt(late, deviceBufferBytes)));

    wave.Stop();
    QVERIFY(!tk::WaveOutput::process().isSounding());
    // Only the buffer filled before the stop still carries the sound; the file may lag behind the device
    // by a stdio buffer or two besides.
    const qint64 stopped = outputSize() + 4 * deviceBufferBytes;
    waitForOutput(stopped + 2 * deviceBufferBytes);
    QVERIFY(silent(outputAt(stopped, 2 * deviceBufferBytes)));
}

void TestAbcWav::modeChange_data()
{
    QTest::addColumn<TabcWavePlayMode>("playing");
    QTest::addColumn<TabcWavePlayMode>("changedTo");
    QTest::addColumn<bool>("stillSounding");
    QTest::newRow("loop to loop") << awpLoop << awpLoop << true;
    QTest::newRow("async to async") << awpAsync << awpAsync << true;
    QTest::newRow("loop to async") << awpLoop << awpAsync << false;
    QTest::newRow("loop to sync") << awpLoop << awpSync << false;
    QTest::newRow("async to loop") << awpAsync << awpLoop << false;
}

void TestAbcWav::modeChange()
{
    QFETCH(TabcWavePlayMode, playing);
    QFETCH(TabcWavePlayMode, changedTo);
    QFETCH(bool, stillSounding);
    GeneratedWave wave(tone(3000));
    wave.SetPlayMode(playing);
    QVERIFY(wave.Play());
    wave.SetPlayMode(changedTo);
    QCOMPARE(tk::WaveOutput::process().isSounding(), stillSounding);
}

void TestAbcWav::anotherSoundEndsTheLoop()
{
    GeneratedWave looped(tone(50));
    looped.SetPlayMode(awpLoop);
    QVERIFY(looped.Play());
    GeneratedWave once(tone(50));
    QVERIFY(once.Play());
    // The loop does not come back when the sound that replaced it ends.
    QTRY_VERIFY_WITH_TIMEOUT(!tk::WaveOutput::process().isSounding(), 20000);
}

void TestAbcWav::formatsPlay_data()
{
    QTest::addColumn<int>("formatTag");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("tellSize");
    QTest::newRow("8-bit mono 4000") << 1 << 1 << 4000 << 8 << true;
    QTest::newRow("16-bit stereo 44100, extent from the header") << 1 << 2 << 44100 << 16 << false;
    QTest::newRow("24-bit mono 96000") << 1 << 1 << 96000 << 24 << true;
    QTest::newRow("32-bit stereo 8000") << 1 << 2 << 8000 << 32 << true;
    QTest::newRow("float mono 22050") << 3 << 1 << 22050 << 32 << true;
    QTest::newRow("A-law mono 8000") << 6 << 1 << 8000 << 8 << true;
    QTest::newRow("mu-law stereo 11025, extent from the header") << 7 << 2 << 11025 << 8 << false;
}

void TestAbcWav::formatsPlay()
{
    QFETCH(int, formatTag);
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(bool, tellSize);
    const int length = 300;
    WaveShape shape{std::uint16_t(formatTag), std::uint16_t(channels), std::uint32_t(rate),
                    std::uint16_t(bits), std::uint32_t(length)};
    GeneratedWave wave(makeWaveImage(shape), tellSize);
    wave.SetPlayMode(awpSync);
    const qint64 start = outputSize();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(wave.Play());
    // Converted whole: a conversion that lost samples would end early.
    QVERIFY2(clock.elapsed() >= length - 50, qPrintable(QString::number(clock.elapsed())));
    // And heard (a conversion gone wrong could give silence), once the disk file has flushed it. The
    // first two buffers may still hold what was written, and not flushed, before.
    const qint64 from = start + 2 * deviceBufferBytes;
    QTRY_VERIFY_WITH_TIMEOUT(audible(outputAt(from, outputSize() - from)), 20000);
}

void TestAbcWav::refusedImages_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<bool>("tellSize");
    QTest::addColumn<bool>("earlierGoesOn");
    const QByteArray good = tone(100);
    auto patched = [&good](int offset, std::uint32_t value, int bytes) {
        QByteArray image = good;
        for (int i = 0; i < bytes; ++i)
            image[offset + i] = char(value >> (8 * i));
        return image;
    };
    // Offsets in a plain PCM image: channels 22, rate 24, bits 34, data size 40, samples from 44.
    // Without an image the output is not even asked, so what plays goes on.
    QTest::newRow("no image") << QByteArray() << false << true;
    QTest::newRow("headers only") << good.left(44) << true << false;
    QTest::newRow("cut off in the samples") << good.left(good.size() / 2) << true << false;
    QTest::newRow("data chunk beyond the data")
        << patched(40, std::uint32_t(good.size()), 4) << true << false;
    QTest::newRow("data chunk beyond, extent from the header")
        << patched(40, std::uint32_t(good.size()), 4) << false << false;
    QTest::newRow("RIFF chunk beyond the image")
        << patched(4, std::uint32_t(good.size() * 2), 4) << true << false;
    QTest::newRow("zero channels") << patched(22, 0, 2) << true << false;
    QTest::newRow("zero channels, extent from the header") << patched(22, 0, 2) << false << false;
    QTest::newRow("rate 0") << patched(24, 0, 4) << true << false;
    QTest::newRow("rate beyond any recording") << patched(24, 5769472, 4) << true << false;
    QTest::newRow("zero bits") << patched(34, 0, 2) << true << false;
    QTest::newRow("unknown format") << patched(20, 0x1234, 2) << true << false;
    QTest::newRow("not RIFF") << patched(0, 0x58464952 /* RIFX */, 4) << true << false;
    QTest::newRow("not RIFF, extent from the header") << patched(0, 0x58464952, 4) << false << false;
}

void TestAbcWav::refusedImages()
{
    QFETCH(QByteArray, image);
    QFETCH(bool, tellSize);
    QFETCH(bool, earlierGoesOn);
    GeneratedWave earlier(tone(3000));
    QVERIFY(earlier.Play());
    GeneratedWave damaged(image, tellSize);
    QVERIFY(!damaged.Play());
    // A refused image sounds nothing, and ends the sound it was meant to replace.
    QCOMPARE(tk::WaveOutput::process().isSounding(), earlierGoesOn);
}

void TestAbcWav::abstractPlayIndexRaises()
{
    TabcCustomWaveList list;
    QVERIFY_THROWS_EXCEPTION(tk::AbstractError, list.PlayIndex(0));
}

void TestAbcWav::waveListPlaysByIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("itemIndex");
    QTest::addColumn<bool>("sounding");
    QTest::newRow("first") << 0 << 0 << true;
    QTest::newRow("last") << 1 << 1 << true;
    QTest::newRow("negative") << -1 << -1 << false;
    QTest::newRow("past the end") << 2 << -1 << false;
    QTest::newRow("largest sound number a label asks for") << 65535 << -1 << false;
}

void TestAbcWav::waveListPlaysByIndex()
{
    QFETCH(int, index);
    QFETCH(int, itemIndex);
    QFETCH(bool, sounding);
    TabcWaveList list;
    QCOMPARE(list.AddImage(QStringLiteral("first"), tone(3000)), 0);
    QCOMPARE(list.AddImage(QStringLiteral("second"), tone(3000)), 1);
    QCOMPARE(list.Items(), QStringList({QStringLiteral("first"), QStringLiteral("second")}));
    list.PlayIndex(index);
    QCOMPARE(list.ItemIndex(), itemIndex);
    QCOMPARE(tk::WaveOutput::process().isSounding(), sounding);
}

void TestAbcWav::waveListDeleteKeepsItemIndex()
{
    TabcWaveList list;
    for (int i = 0; i < 3; ++i)
        list.AddImage(QString::number(i), tone(3000));
    list.PlayIndex(2);
    list.Delete(0);
    QCOMPARE(list.ItemIndex(), 1);
    QCOMPARE(list.Items(), QStringList({QStringLiteral("1"), QStringLiteral("2")}));
    // The device plays its own copy: deleting the image does not cut the sound short.
    list.Delete(1);
    QCOMPARE(list.ItemIndex(), -1);
    QVERIFY(tk::WaveOutput::process().isSounding());
    list.Clear();
    QCOMPARE(list.Count(), 0);
    QVERIFY(!list.Play());
}

void TestAbcWav::waveListReadsFiles()
{
    const QString path = m_folder.filePath(QStringLiteral("click.wav"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(tone(3000));
    file.close();
    TabcWaveList list;
    QCOMPARE(list.Add(path), 0);
    list.PlayIndex(0);
    QVERIFY(tk::WaveOutput::process().isSounding());
    const QString missing = m_folder.filePath(QStringLiteral("missing.wav"));
    try {
        list.Add(missing);
        QFAIL("a missing file was added");
    } catch (const tk::Error &error) {
        QCOMPARE(error.message(), tk::cannotOpenMessage(missing));
    }
    QCOMPARE(list.Count(), 1);
}

QTEST_GUILESS_MAIN(TestAbcWav)
#include "tst_abcwav.moc"
