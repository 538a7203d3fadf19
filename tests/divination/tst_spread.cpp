#include "divination/Spread.h"

#include <QTest>

#include <vector>

class TestSpread : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void workedExamples_data();
    void workedExamples();
    void extremes_data();
    void extremes();
    void pairwiseDifferentOverManySeeds();
    void sameSeedSameSpread();
    void spreadCarriesTextsAndPaths();
    void clockSeedIsTimeOfDay();
};

void TestSpread::workedExamples_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<std::vector<int>>("draws"); // every DrawReading result, rejected ones included
    QTest::addColumn<std::vector<int>>("spread");
    QTest::newRow("00:00:00.000") << 0u << std::vector{1, 2, 36} << std::vector{1, 2, 36};
    QTest::newRow("00:00:00.833 middle repeats left")
        << 833u << std::vector{6, 6, 15, 33} << std::vector{6, 15, 33};
    QTest::newRow("00:00:00.497 right repeats left")
        << 497u << std::vector{25, 16, 25, 7} << std::vector{25, 16, 7};
    QTest::newRow("00:00:00.014 right repeats middle")
        << 14u << std::vector{19, 27, 27, 8} << std::vector{19, 27, 8};
    QTest::newRow("12:34:56.789") << ((12u * 60 + 34) * 60 + 56) * 1000 + 789 << std::vector<int>()
                                  << std::vector{21, 12, 15};
}

void TestSpread::workedExamples()
{
    QFETCH(quint32, seed);
    QFETCH(std::vector<int>, draws);
    QFETCH(std::vector<int>, spread);

    g_randSeed = seed;
    for (int expected : draws)
        QCOMPARE(DrawReading(), expected);

    drawFromSeed(seed);
    QCOMPARE(Spread.SpreadIndexes[SpreadLeft], spread[0]);
    QCOMPARE(Spread.SpreadIndexes[SpreadMiddle], spread[1]);
    QCOMPARE(Spread.SpreadIndexes[SpreadRight], spread[2]);
}

void TestSpread::extremes_data()
{
    QTest::addColumn<quint32>("stateAfterStep");
    QTest::addColumn<int>("index");
    QTest::newRow("state 0") << 0u << 1;
    QTest::newRow("state 2^32-1") << 0xFFFFFFFFu << 41;
    QTest::newRow("just below 41's band") << quint32((40ull << 32) / 41 - 1) << 40;
    QTest::newRow("first of 41's band") << quint32(((40ull << 32) + 40) / 41) << 41;
}

void TestSpread::extremes()
{
    QFETCH(quint32, stateAfterStep);
    QFETCH(int, index);
    // Find the state whose step lands on the wanted one: the step is a bijection, so invert it.
    // 134775813 is odd; its inverse modulo 2^32 follows from Newton's iteration.
    quint32 inverse = 134775813u;
    for (int i = 0; i < 5; ++i)
        inverse *= 2u - 134775813u * inverse;
    g_randSeed = (stateAfterStep - 1u) * inverse;
    QCOMPARE(DrawReading(), index);
    QCOMPARE(g_randSeed, stateAfterStep);
}

void TestSpread::pairwiseDifferentOverManySeeds()
{
    // Every millisecond of a day is a possible seed; a stride through all of them covers every hour.
    std::vector<int> seen(kLastReading + 1, 0);
    for (quint32 seed = 0; seed < 86'400'000u; seed += 997) {
        drawFromSeed(seed);
        const auto &s = Spread.SpreadIndexes;
        for (int p = SpreadLeft; p <= SpreadRight; ++p) {
            if (s[p] < kFirstReading || s[p] > kLastReading)
                QFAIL(qPrintable(QStringLiteral("seed %1 gave index %2").arg(seed).arg(s[p])));
            ++seen[s[p]];
        }
        if (s[1] == s[2] || s[1] == s[3] || s[2] == s[3])
            QFAIL(qPrintable(QStringLiteral("seed %1 repeated a reading").arg(seed)));
    }
    for (int i = kFirstReading; i <= kLastReading; ++i)
        QVERIFY2(seen[i] > 0, qPrintable(QString::number(i)));
}

void TestSpread::sameSeedSameSpread()
{
    drawFromSeed(45296789);
    const SpreadState first = Spread;
    Spread = SpreadState{};
    drawFromSeed(45296789);
    QCOMPARE(Spread.SpreadIndexes, first.SpreadIndexes);
    QCOMPARE(Spread.SpreadTexts, first.SpreadTexts);
    QCOMPARE(Spread.SpreadPictures, first.SpreadPictures);
}

void TestSpread::spreadCarriesTextsAndPaths()
{
    Spread.HasDrawn = 7;
    drawFromSeed(833);
    QCOMPARE(Spread.SpreadPictures[SpreadLeft], std::string("g\\6.jpg"));
    QCOMPARE(Spread.SpreadPictures[SpreadRight], std::string("g\\33.jpg"));
    QCOMPARE(Spread.SpreadTexts[SpreadMiddle], RuneCatalogue::Interpretation(15));
    QCOMPARE(Spread.HasDrawn, 7); // the draw leaves the flag to the command that loads the pictures

    // The language chooses the texts, never the readings or their pictures.
    const SpreadState russian = Spread;
    drawFromSeed(833, Language::English);
    QCOMPARE(Spread.SpreadIndexes, russian.SpreadIndexes);
    QCOMPARE(Spread.SpreadPictures, russian.SpreadPictures);
    for (int p = SpreadLeft; p <= SpreadRight; ++p)
        QCOMPARE(Spread.SpreadTexts[p],
                 RuneCatalogue::Interpretation(Spread.SpreadIndexes[p], Language::English));
}

void TestSpread::clockSeedIsTimeOfDay()
{
    const quint32 seed = timeOfDaySeed();
    QVERIFY(seed < 86'400'000u);
    const QTime utc = QDateTime::currentDateTimeUtc().time();
    const qint64 now = utc.msecsSinceStartOfDay();
    // The two clock reads lie a moment apart; allow for midnight in between.
    const qint64 gap = (now - qint64(seed) + 86'400'000) % 86'400'000;
    QVERIFY2(gap < 5000, qPrintable(QString::number(gap)));
}

QTEST_APPLESS_MAIN(TestSpread)
#include "tst_spread.moc"
