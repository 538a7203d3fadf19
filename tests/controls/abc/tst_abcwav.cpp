#include "controls/abc/abcwav.h"
#include "tests/support/waveimage.h"
#include "toolkit/base/errors.h"
#include "toolkit/sound/waveoutput.h"
#include "toolkit/text/files.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

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
            m_waveSize = std::size_t(m_image.size());
    }
    ~GeneratedWave() override { releaseImage(m_image.constData()); }
    std::uint16_t soundFlags() const { return FSoundFlags; }

private:
    QByteArray m_image;
};

constexpr qint64 kDeviceBufferBytes = qint64{1024} * 4;

qint64 bytesFor(int milliseconds)
{
    return qint64(tk::kWaveDeviceFormat.bytesPerSecond()) * milliseconds / 1000;
}

// SDL, or one of the libraries loaded beside it for sound.
bool soundLibraryMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    const QByteArray mapped = maps.readAll();
    return mapped.contains("libSDL2") || mapped.contains("libsamplerate") || mapped.contains("libasound");
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
    void samplesExact_data();
    void samplesExact();
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
    qint64 quietOutputEnd() const;

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

// Where the file ends once everything the device made before the call is in it: the disk driver writes
// through a stdio buffer, and the device fills a buffer or two ahead.
qint64 TestAbcWav::quietOutputEnd() const
{
    // The device makes nothing before the first play opens it.
    if (!QFileInfo::exists(m_output))
        return 0;
    waitForOutput(outputSize() + 4 * kDeviceBufferBytes);
    return outputSize();
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
    QVERIFY2(!soundLibraryMapped(), "creating, setting and stopping a wave must not load SDL");
    QVERIFY(wave.Play());
    QVERIFY(soundLibraryMapped());
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
    QVERIFY(outputSize() - before >= bytesFor(length) - 3 * kDeviceBufferBytes);
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
    const qint64 late = outputSize() - kDeviceBufferBytes;
    QVERIFY(audible(outputAt(late, kDeviceBufferBytes)));

    wave.Stop();
    QVERIFY(!tk::WaveOutput::process().isSounding());
    // Only the buffer filled before the stop still carries the sound; the file may lag behind the device
    // by a stdio buffer or two besides.
    const qint64 stopped = outputSize() + 4 * kDeviceBufferBytes;
    waitForOutput(stopped + 2 * kDeviceBufferBytes);
    QVERIFY(silent(outputAt(stopped, 2 * kDeviceBufferBytes)));
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
    const qint64 from = start + 2 * kDeviceBufferBytes;
    QTRY_VERIFY_WITH_TIMEOUT(audible(outputAt(from, outputSize() - from)), 20000);
}

void TestAbcWav::samplesExact_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 96000, 192000})
        QTest::addRow("%d Hz mono", rate) << rate << 1;
    QTest::newRow("48000 Hz stereo") << 48000 << 2;
    QTest::newRow("22050 Hz stereo") << 22050 << 2;
}

namespace {

// The tone as the device's output shows it in one channel.
struct ToneFit {
    qint64 first = -1; // the sound's first and last frame: the output is exactly zero around it
    qint64 last = -1;
    double offset = 0;
    double amplitude = 0;
    double residual = 0;  // root mean square distance from the fitted tone
    double worstKink = 0; // the largest second difference: where a frame was lost or doubled
};

ToneFit fitTone(const QByteArray &output, int channel, double frequency)
{
    const auto *frames = reinterpret_cast<const qint16 *>(output.constData());
    const qint64 count = output.size() / 4;
    std::vector<double> x;
    ToneFit fit;
    for (qint64 i = 0; i < count; ++i) {
        x.push_back(frames[2 * i + channel] / 32768.0);
        if (x.back() != 0) {
            if (fit.first < 0)
                fit.first = i;
            fit.last = i;
        }
    }
    // The edges ring where the sound starts and stops; the fit and the kinks are measured inside.
    constexpr qint64 kEdge = 64;
    if (fit.first < 0 || fit.last - fit.first < 1000 + 2 * kEdge)
        return fit;
    const auto from = std::size_t(fit.first + kEdge);
    const auto to = std::size_t(fit.last - kEdge);
    // Least squares of offset + a sin + b cos, by its normal equations.
    const double omega = 2 * M_PI * frequency / tk::kWaveDeviceFormat.rate;
    auto basis = [omega](std::size_t i) {
        return std::array<double, 3>{1, std::sin(omega * double(i)), std::cos(omega * double(i))};
    };
    double m[3][4] = {};
    for (std::size_t i = from; i <= to; ++i) {
        const auto b = basis(i);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                m[r][c] += b[r] * b[c];
            m[r][3] += b[r] * x[i];
        }
    }
    for (int pivot = 0; pivot < 3; ++pivot) {
        for (int r = 0; r < 3; ++r) {
            if (r == pivot)
                continue;
            const double factor = m[r][pivot] / m[pivot][pivot];
            for (int c = pivot; c < 4; ++c)
                m[r][c] -= factor * m[pivot][c];
        }
    }
    const double coefficient[3] = {m[0][3] / m[0][0], m[1][3] / m[1][1], m[2][3] / m[2][2]};
    fit.offset = coefficient[0];
    fit.amplitude = std::hypot(coefficient[1], coefficient[2]);
    double squares = 0;
    for (std::size_t i = from; i <= to; ++i) {
        const auto b = basis(i);
        const double model = coefficient[0] * b[0] + coefficient[1] * b[1] + coefficient[2] * b[2];
        squares += (x[i] - model) * (x[i] - model);
        fit.worstKink = std::max(fit.worstKink, std::abs(x[i + 1] - 2 * x[i] + x[i - 1]));
    }
    fit.residual = std::sqrt(squares / double(to - from + 1));
    return fit;
}

} // namespace

void TestAbcWav::samplesExact()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    WaveShape shape;
    shape.rate = std::uint32_t(rate);
    shape.channels = std::uint16_t(channels);
    shape.milliseconds = 500;
    const SineTone tone;
    GeneratedWave wave(makeSineImage(shape, tone), true);
    wave.SetPlayMode(awpSync);
    const qint64 from = quietOutputEnd();
    QVERIFY(wave.Play());
    const QByteArray output = outputAt(from, quietOutputEnd() - from);

    // Every output instant inside the sound, and no other.
    const qint64 expected = (qint64(waveFrames(shape)) * tk::kWaveDeviceFormat.rate + rate - 1) / rate;
    for (int channel = 0; channel < tk::kWaveDeviceFormat.channels; ++channel) {
        const ToneFit fit = fitTone(output, channel, tone.frequency);
        const QByteArray where = "channel " + QByteArray::number(channel) + ": frames " +
                                 QByteArray::number(fit.first) + " to " + QByteArray::number(fit.last) +
                                 ", residual " + QByteArray::number(fit.residual) + ", worst kink " +
                                 QByteArray::number(fit.worstKink);
        QVERIFY2(fit.first >= 0, where.constData());
        QVERIFY2(fit.last - fit.first + 1 == expected, where.constData());
        QVERIFY2(std::abs(fit.offset - tone.offset) < 0.002, where.constData());
        QVERIFY2(std::abs(fit.amplitude - tone.amplitude) < 0.004, where.constData());
        QVERIFY2(fit.residual < 0.001, where.constData());
        // The tone's own second difference is 0.0003; a lost frame makes one of 0.011.
        QVERIFY2(fit.worstKink < 0.002, where.constData());
    }
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
    auto list = std::make_unique<TabcWaveList>();
    for (int i = 0; i < 3; ++i)
        list->AddImage(QString::number(i), tone(3000));
    list->PlayIndex(2);
    list->Delete(0);
    QCOMPARE(list->ItemIndex(), 1);
    QCOMPARE(list->Items(), QStringList({QStringLiteral("1"), QStringLiteral("2")}));
    // The list keeps the image of its sound: deleting it does not cut the sound short.
    list->Delete(1);
    QCOMPARE(list->ItemIndex(), -1);
    QVERIFY(tk::WaveOutput::process().isSounding());
    list->Clear();
    QCOMPARE(list->Count(), 0);
    QVERIFY(!list->Play());
    QVERIFY(tk::WaveOutput::process().isSounding());
    // Another list's end leaves the sound alone; its own list's end stops it before the image goes.
    delete new TabcWaveList;
    QVERIFY(tk::WaveOutput::process().isSounding());
    list.reset();
    QVERIFY(!tk::WaveOutput::process().isSounding());
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
