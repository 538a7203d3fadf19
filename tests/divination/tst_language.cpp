#include "divination/language.h"

#include <QTest>

class TestLanguage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void filePath_data();
    void filePath();
};

void TestLanguage::filePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("russian");
    QTest::addColumn<QString>("english");
    QTest::newRow("card") << "g\\2.jpg"
                          << "g\\2.jpg"
                          << "g\\2.en.jpg";
    QTest::newRow("help file") << "g\\readme.txt"
                               << "g\\readme.txt"
                               << "g\\readme.en.txt";
    QTest::newRow("resource") << ":/assets/divine.bmp"
                              << ":/assets/divine.bmp"
                              << ":/assets/divine.en.bmp";
    QTest::newRow("last dot only") << "g/a.b.c"
                                   << "g/a.b.c"
                                   << "g/a.b.en.c";
    QTest::newRow("dot in a folder name, none in the file's") << "g.d\\readme"
                                                              << "g.d\\readme"
                                                              << "g.d\\readme.en";
    QTest::newRow("hidden name") << ".profile"
                                 << ".profile"
                                 << ".profile.en";
    QTest::newRow("empty") << ""
                           << ""
                           << ".en";
}

void TestLanguage::filePath()
{
    QFETCH(QString, path);
    QFETCH(QString, russian);
    QFETCH(QString, english);
    const std::string p = path.toStdString();
    QCOMPARE(QString::fromStdString(languageFilePath(p, Language::Russian)), russian);
    QCOMPARE(QString::fromStdString(languageFilePath(p, Language::English)), english);
}

QTEST_APPLESS_MAIN(TestLanguage)
#include "tst_language.moc"
