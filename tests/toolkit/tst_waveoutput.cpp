#include "waveimage.h"
#include "waveoutput.h"

#include <QDir>
#include <QtTest>

// The output when no sound can be made, and what it leaves behind when it closes. SDL's audio is one
// per process, so these cases have a process of their own.
class TestWaveOutput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusedWithoutSound_data();
    void refusedWithoutSound();
    void driverFoundLaterIsUsed();
    void closeLeavesNoThread();

private:
    QByteArray m_image = makeWaveImage(WaveShape{});
};

static int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

void TestWaveOutput::refusedWithoutSound_data()
{
    QTest::addColumn<QByteArray>("library");
    QTest::addColumn<unsigned>("flags");
    QTest::newRow("unknown driver, async") << QByteArray() << unsigned(tk::SND_ASYNC | tk::SND_MEMORY);
    QTest::newRow("unknown driver, sync") << QByteArray() << unsigned(tk::SND_MEMORY);
    QTest::newRow("unknown driver, loop")
        << QByteArray() << unsigned(tk::SND_ASYNC | tk::SND_MEMORY | tk::SND_LOOP);
    QTest::newRow("no library") << QByteArray("libSDL2-no-such-version.so.0") << unsigned(tk::SND_MEMORY);
}

void TestWaveOutput::refusedWithoutSound()
{
    QFETCH(QByteArray, library);
    QFETCH(unsigned, flags);
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    if (library.isEmpty()) {
        QVERIFY(!tk::PlaySound(m_image.constData(), std::size_t(m_image.size()), flags));
        QVERIFY(!tk::WaveOutput::process().isSounding());
    } else {
        tk::WaveOutput output(library.constData());
        QVERIFY(!output.play(m_image.constData(), std::size_t(m_image.size()), flags));
        QVERIFY(!output.isSounding());
    }
}

void TestWaveOutput::driverFoundLaterIsUsed()
{
    // A sound server that comes up after a failed play is used by the next one.
    qputenv("SDL_AUDIODRIVER", "dummy");
    QVERIFY(tk::PlaySound(m_image.constData(), std::size_t(m_image.size()), tk::SND_ASYNC | tk::SND_MEMORY));
}

void TestWaveOutput::closeLeavesNoThread()
{
    tk::WaveOutput::process().stop();
    const int withDevice = threadCount();
    tk::WaveOutput::process().close();
    QVERIFY2(threadCount() < withDevice, "the device's thread must end when the output closes");
    QVERIFY(!tk::PlaySound(m_image.constData(), std::size_t(m_image.size()), tk::SND_ASYNC | tk::SND_MEMORY));
}

QTEST_GUILESS_MAIN(TestWaveOutput)
#include "tst_waveoutput.moc"
