#include "app/language.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Run as a child with this argument, the program prints the language it would speak and nothing else.
const char kPrintLanguage[] = "--print-language";

QString name(Language language)
{
    return language == Language::English ? u"English"_s : u"Russian"_s;
}

} // namespace

class TestLanguageChoice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fromList_data();
    void fromList();
    void fromEnvironment_data();
    void fromEnvironment();
};

void TestLanguageChoice::fromList_data()
{
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<QString>("language");
    QTest::newRow("Russian") << QStringList{u"ru-RU"_s, u"ru-Cyrl-RU"_s, u"ru"_s} << u"Russian"_s;
    QTest::newRow("American English") << QStringList{u"en-US"_s, u"en-Latn-US"_s, u"en"_s} << u"English"_s;
    QTest::newRow("British English") << QStringList{u"en-GB"_s, u"en-Latn-GB"_s} << u"English"_s;
    QTest::newRow("German, then English")
        << QStringList{u"de"_s, u"de-DE"_s, u"en"_s, u"en-US"_s} << u"English"_s;
    QTest::newRow("Russian before English") << QStringList{u"ru"_s, u"en"_s} << u"Russian"_s;
    QTest::newRow("English before Russian") << QStringList{u"en"_s, u"ru"_s} << u"English"_s;
    QTest::newRow("German alone") << QStringList{u"de-DE"_s, u"de"_s} << u"Russian"_s;
    QTest::newRow("C") << QStringList{u"C"_s} << u"Russian"_s;
    QTest::newRow("empty") << QStringList{} << u"Russian"_s;
    QTest::newRow("upper case, POSIX form") << QStringList{u"EN_us.UTF-8"_s} << u"English"_s;
    // A language whose code only starts like one of ours is another language.
    QTest::newRow("Rusyn is not Russian") << QStringList{u"rue"_s, u"en"_s} << u"English"_s;
    QTest::newRow("Old English is not English") << QStringList{u"ang"_s, u"enm"_s} << u"Russian"_s;
    QTest::newRow("empty entry skipped") << QStringList{QString(), u"en"_s} << u"English"_s;
}

void TestLanguageChoice::fromList()
{
    QFETCH(QStringList, uiLanguages);
    QFETCH(QString, language);
    QCOMPARE(name(languageFromList(uiLanguages)), language);
}

void TestLanguageChoice::fromEnvironment_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("language");
    QTest::newRow("LANG Russian") << QStringList{u"LANG=ru_RU.UTF-8"_s} << u"Russian"_s;
    QTest::newRow("LANG C") << QStringList{u"LANG=C.UTF-8"_s} << u"Russian"_s;
    QTest::newRow("LANG POSIX") << QStringList{u"LANG=POSIX"_s} << u"Russian"_s;
    QTest::newRow("LANG German") << QStringList{u"LANG=de_DE.UTF-8"_s} << u"Russian"_s;
    QTest::newRow("nothing set") << QStringList{} << u"Russian"_s;
    QTest::newRow("LANG American") << QStringList{u"LANG=en_US.UTF-8"_s} << u"English"_s;
    QTest::newRow("LANG British") << QStringList{u"LANG=en_GB.UTF-8"_s} << u"English"_s;
    QTest::newRow("LANGUAGE German then English")
        << QStringList{u"LANGUAGE=de:en"_s, u"LANG=de_DE.UTF-8"_s} << u"English"_s;
    QTest::newRow("LANGUAGE Russian then English under English LANG")
        << QStringList{u"LANGUAGE=ru:en"_s, u"LANG=en_US.UTF-8"_s} << u"Russian"_s;
    QTest::newRow("LANGUAGE English under Russian LANG")
        << QStringList{u"LANGUAGE=en"_s, u"LANG=ru_RU.UTF-8"_s} << u"English"_s;
    QTest::newRow("LANGUAGE alone") << QStringList{u"LANGUAGE=en"_s} << u"English"_s;
    // Qt reads LANGUAGE even where the locale is C, unlike gettext.
    QTest::newRow("LANGUAGE English under LC_ALL C")
        << QStringList{u"LANGUAGE=en"_s, u"LC_ALL=C"_s} << u"English"_s;
    QTest::newRow("LANGUAGE French hides an English LANG")
        << QStringList{u"LANGUAGE=fr"_s, u"LANG=en_US.UTF-8"_s} << u"Russian"_s;
    QTest::newRow("LC_ALL over LANG")
        << QStringList{u"LC_ALL=en_US.UTF-8"_s, u"LANG=ru_RU.UTF-8"_s} << u"English"_s;
    QTest::newRow("LC_MESSAGES over LANG")
        << QStringList{u"LC_MESSAGES=en_US.UTF-8"_s, u"LANG=ru_RU.UTF-8"_s} << u"English"_s;
    QTest::newRow("LC_ALL over LC_MESSAGES")
        << QStringList{u"LC_ALL=ru_RU.UTF-8"_s, u"LC_MESSAGES=en_US.UTF-8"_s} << u"Russian"_s;
}

// The whole road from the settings to the choice, through Qt's reading of them in a fresh process (the
// system locale is read once per process).
void TestLanguageChoice::fromEnvironment()
{
    QFETCH(QStringList, environment);
    QFETCH(QString, language);
    // Everything else as this process has it (a sanitizer's settings, say), the locale as the row says.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &key : env.keys())
        if (key == u"LANG" || key == u"LANGUAGE" || key.startsWith(u"LC_"_s))
            env.remove(key);
    for (const QString &setting : environment)
        env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kPrintLanguage)});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromLatin1(child.readAllStandardOutput()).trimmed(), language);
}

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], kPrintLanguage) == 0) {
        QCoreApplication app(argc, argv);
        chooseProgramLanguage(app);
        std::printf("%s\n", qPrintable(name(programLanguage())));
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestLanguageChoice test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_languagechoice.moc"
