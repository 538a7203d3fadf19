#include "tests/soak/soakverdict.h"

#include <QTest>

Q_DECLARE_METATYPE(std::vector<SoakSample>)

class TestSoakVerdict : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void verdict_data();
    void verdict();
};

namespace {
constexpr long kSettle = 1000;
constexpr long kToleranceKiB = 1024;
} // namespace

void TestSoakVerdict::verdict_data()
{
    QTest::addColumn<std::vector<SoakSample>>("samples");
    QTest::addColumn<bool>("pass");
    QTest::addColumn<QString>("reasonHas");

    // actions, resident KiB, open files, threads
    QTest::newRow("flat after settling, growth before it ignored")
        << std::vector<SoakSample>{{0, 30000, 12, 4},
                                   {500, 38000, 14, 6},
                                   {1000, 40000, 13, 5},
                                   {1500, 40900, 13, 5},
                                   {2000, 40100, 13, 5}}
        << true << QStringLiteral("within 900 KiB, 13 open files, 5 threads");
    QTest::newRow("memory exactly at the tolerance")
        << std::vector<SoakSample>{{1000, 40000, 13, 5}, {1500, 41024, 13, 5}} << true << QString();
    QTest::newRow("memory one KiB over the tolerance")
        << std::vector<SoakSample>{{1000, 40000, 13, 5}, {1500, 41025, 13, 5}} << false
        << QStringLiteral("resident memory from 40000 KiB (at 1000 actions) to 41025 KiB (at 1500)");
    QTest::newRow("memory that falls as far counts too")
        << std::vector<SoakSample>{{1000, 42000, 13, 5}, {1500, 40000, 13, 5}} << false
        << QStringLiteral("from 40000 KiB (at 1500 actions) to 42000 KiB (at 1000)");
    QTest::newRow("one open file more")
        << std::vector<SoakSample>{{1000, 40000, 13, 5}, {1500, 40000, 14, 5}, {2000, 40000, 13, 5}} << false
        << QStringLiteral("open files from 13 (at 1000 actions) to 14 (at 1500)");
    QTest::newRow("one thread fewer, and memory: both named")
        << std::vector<SoakSample>{{1000, 40000, 13, 5}, {1500, 45000, 13, 4}} << false
        << QStringLiteral("KiB (at 1500); threads from 4");
    QTest::newRow("a single sample after settling proves nothing")
        << std::vector<SoakSample>{{0, 30000, 12, 4}, {500, 30000, 12, 4}, {1000, 30000, 12, 4}} << false
        << QStringLiteral("fewer than two samples");
    QTest::newRow("no samples") << std::vector<SoakSample>{} << false << QStringLiteral("fewer than two");
}

void TestSoakVerdict::verdict()
{
    QFETCH(std::vector<SoakSample>, samples);
    QFETCH(bool, pass);
    QFETCH(QString, reasonHas);
    const SoakVerdict v = judgeSoak(samples, kSettle, kToleranceKiB);
    QCOMPARE(v.pass, pass);
    QVERIFY2(QString::fromStdString(v.reason).contains(reasonHas), v.reason.c_str());
}

QTEST_APPLESS_MAIN(TestSoakVerdict)
#include "tst_soakverdict.moc"
