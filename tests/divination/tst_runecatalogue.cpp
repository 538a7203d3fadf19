#include "divination/RuneCatalogue.h"

#include <QRegularExpression>
#include <QTest>

#include <set>

using namespace Qt::StringLiterals;

namespace {

struct Opening {
    int index;
    const char *rune;
    const char *position;
    const char *text;
};

// The opening of every short meaning, as readers have always seen it.
const Opening kOpenings[] = {
    {1, "MANNAZ", "upright", "MANNAZ - Человек (Прямо) Ключ - \"Я\"."},
    {2, "MANNAZ", "reversed", "MANNAZ - Человек (Перевернуто) Ключ - \"внутренний враг\"."},
    {3, "GEBO", "single", "GEBO - Партнерствоб дар Неожиданное приобретение, везение, \"подарок судьбы\"."},
    {4, "ANSUZ", "upright", "ANSUZ - Руна Одина (Прямо) Рождена новая жизнь, но ситуация еще очень хрупкая."},
    {5, "ANSUZ", "reversed", "ANSUZ - Руна Одина (Перевернуто) Неудачи, неспособность в общении могут"},
    {6, "OTHILIA", "upright",
     "OTHILIA - Собственность наследие (Прямо) Ключ - \"избавление и приобретение\"."},
    {7, "OTHILIA", "reversed", "OTHILIA - Собственность наследие (Перевернуто) \"Промедление\" - сейчас не"},
    {8, "URUZ", "upright", "URUZ - Руна Тура. Женственность, мужественность (Прямо) Руна нового начала."},
    {9, "URUZ", "reversed", "URUZ - Руна Тура. Женственность, мужественность (Перевернуто) Вам не"},
    {10, "PERTH", "upright", "PERTH - Мешоек для рун. Чрево. (Прмо) Настало время перемен, трансформации"},
    {11, "PERTH", "reversed",
     "PERTH - Мешоек для рун. Чрево. (Перевернуто) Не стоит ожидать слишком многого."},
    {12, "NAUTHIZ", "upright", "NAUTHIZ - Нужда, необходимость. (Прямо) Вы сейчас не в лучшей форме, на"},
    {13, "NAUTHIZ", "reversed", "NAUTHIZ - Нужда, необходимость. (Перевернуто) Трактуется как"},
    {14, "INGUZ", "single", "INGUZ - Руна Инга. Плодородие, возрождение (Прямо) Ключ - \"завершение\"."},
    {15, "EIHWAZ", "single", "EIHWAZ На пути появились непреодолимые препятствия."},
    {16, "ALGIZ", "upright",
     "ALGIZ Время обратиться за помощью, или в помощи нуждается кто-то из ваших близких."},
    {17, "ALGIZ", "reversed",
     "ALGIZ (Перевернуто) Предостережение о том, что необходимо сдерживать собственные эмоции."},
    {18, "FEHU", "upright",
     "FEHU Руна позитивная, ассоциирована с материальным достатком, благополучием, разумными целями."},
    {19, "FEHU", "reversed", "FEHU (Перевернуто) Предоставляет решить в чем \"истинная пища\"."},
    {20, "WUNJO", "upright", "WUNJO Глубинное смещение реальности, вызванное переменами, завершилось."},
    {21, "WUNJO", "reversed", "WUNJO (перевернуто) Созревание урожая затягивается, предстоит трудный этап."},
    {22, "JERA", "single", "JERA Плодотворное завершение одного цикла, и переход к другому."},
    {23, "KENAZ", "upright", "KENAZ Точка сосредоточения жизненных сил гармонии."},
    {24, "KENAZ", "reversed", "KENAZ (Перевернуто) Руна светлая даже в обратном положении."},
    {25, "TEIWAZ", "upright", "TEIWAZ Указание на то, что в ближайшее время все будет пронизано духом"},
    {26, "TEIWAZ", "reversed",
     "TEIWAZ (Перевернуто) Упадок сил, возможный проигрыш, недостаток идей и творческих замыслов."},
    {27, "BERCANA", "upright", "BERCANA Ключевое слово \"рост\", период роста наступил."},
    {28, "BERCANA", "reversed",
     "BERCANA (Перевернуто) Торможение роста, препятствия к развитию, внешние или внутренние."},
    {29, "EHWAZ", "upright", "EHWAZ Перемены, появление чего-то нового, изменение места работы,"},
    {30, "EHWAZ", "reversed", "EHWAZ (Перевернуто) Появились препятствия."},
    {31, "LAGUZ", "upright",
     "LAGUZ Предполагает ситуацию, в которой необходимо изменение, перестройка себя."},
    {32, "LAGUZ", "reversed",
     "LAGUZ (Перевернуто) Предупреждение, возможно об опасности, зависит от остальных рун расклада."},
    {33, "HAGALAZ", "single", "HAGALAZ Драматическое событие или душевная травма, истоки или причины"},
    {34, "RAIDO", "upright", "RAIDO Указание на предстоящее путешествие, возможно перемены."},
    {35, "RAIDO", "reversed", "RAIDO (Перевернуто) Помехи в пути - физические и духовные."},
    {36, "THURISAZ", "upright", "THURISAZ Вы вступили в полосу испытаний, вам брошен вызов."},
    {37, "THURISAZ", "reversed", "THURISAZ (Перевернуто) Слабость или принуждение."},
    {38, "ORMEX", "single", "ORMEX Ключ - \"прорыв\", \"новый день\"."},
    {39, "ISA", "single", "ISA Руна промедления, в целом негативная, но может свидетельствовать о"},
    {40, "SOWULO", "single", "SOWULO Предвестник прорыва, прозрения, успеха."},
    {41, "WIERD", "single", "WIERD Вы находитесь в руках судьбы, вами управляют высшие силы."},
};

QString q(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// Lengths count characters, as the single-byte texts did.
qsizetype chars(std::string_view s)
{
    return q(s).toUcs4().size();
}

const char kShort1[] =
    "MANNAZ - Человек (Прямо) Ключ - \"Я\". Совет - скромность. Время проявить гибкость и умение вовремя "
    "отступить. Сейчас не время перемен, но время готовить их. Сeйчас необходимо понимание состороны "
    "других людей. Возможно судебное дело. Не подписывайте никаких договоров до наступления ближайшего "
    "полнолуния. ";
const char kDescriptionMannaz[] =
    "MANNAZ Символ Мидгарда, мира людей и связей каждого человека с окружающими его людьми. Руна "
    "равновесия, всей сети человеческих взаимоотношений в Узоре. Представляет также тех, чьих жизней "
    "странник может коснуться полученными от Богов дарами.";
const char kMagicMannaz[] =
    "Как единичная руна используется только для передачи энергии от мага кому-либо. В составных "
    "заклинаниях обозначает определенное лицо или группу лиц. Помогает проявлению \"божественной искры\", "
    "уникальных личностных свойств у объекта операции.  $  m   : МАННАС. Человек, его \"Я\". Применяется "
    "для воздействия на какого-л. человека, группу людей или организацию, чтобы привлечь их внимание к "
    "идее, взгляду или точке зрения, отличным от их собственной, и завоевать их на свою сторону. "
    "Умиротворяет врагов.";
const char kShort41[] =
    "WIERD Вы находитесь в руках судьбы, вами управляют высшие силы. Не мешайте Богам, но не забывайте, "
    "что свою судьбу вы творите сами. Стремление к тайному знанию, предвещает неожиданности.Совет - "
    "встречайте перемены доброжелательно. Божья воля. Карма. То, что предрешено и не подлежит изменению.";
const char kDescriptionWierd[] =
    "WIERD Руна \"Предначертание\". Посвящена норнам. Скрывает мистерию воина, следующего предначертаниям "
    "и неуклонно исполняющего свой долг. На более высоко уровне посвящена Одину - через Эту руну он "
    "говорит с теми, кто осмеливается его вопрошать. Связано с понятием друидов Naugal - \"без слов\", "
    "неописываемое. Ассоциируется с Арканом 0 - \"Шут\".";

} // namespace

class TestRuneCatalogue : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eachReading_data();
    void eachReading();
    void examplesWordForWord();
    void marks_data();
    void marks();
    void englishReading_data();
    void englishReading();
    void runesShareTheirTexts_data();
    void runesShareTheirTexts();
    void readingsAreDistinct_data();
    void readingsAreDistinct();
    void picturePath_data();
    void picturePath();
};

void TestRuneCatalogue::eachReading_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("rune");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("opening");
    for (const Opening &o : kOpenings)
        QTest::addRow("%d %s", o.index, o.rune) << o.index << QString::fromUtf8(o.rune)
                                                << QString::fromUtf8(o.position) << QString::fromUtf8(o.text);
}

void TestRuneCatalogue::eachReading()
{
    QFETCH(int, index);
    QFETCH(QString, rune);
    QFETCH(QString, position);
    QFETCH(QString, opening);
    const RuneReading &r = RuneCatalogue::reading(index);

    QCOMPARE(q(r.RuneName), rune);
    const ReadingPosition expected = position == u"upright"_s    ? ReadingPosition::Upright
                                     : position == u"reversed"_s ? ReadingPosition::Reversed
                                                                 : ReadingPosition::Single;
    QCOMPARE(r.Position, expected);

    const QString shortMeaning = q(RuneCatalogue::ShortMeaning(index));
    QVERIFY2(shortMeaning.startsWith(opening), qPrintable(shortMeaning.left(opening.size() + 10)));
    if (index <= 14)
        QVERIFY(shortMeaning.startsWith(rune + u" - "_s));
    QVERIFY(!shortMeaning.contains(u'\n') && !shortMeaning.contains(u'\r'));
    QVERIFY2(chars(r.ShortMeaning) >= 168 && chars(r.ShortMeaning) <= 347,
             qPrintable(QString::number(chars(r.ShortMeaning))));

    QVERIFY(q(r.Description).startsWith(rune + u' '));
    QVERIFY(!q(r.Description).contains(u'\n'));
    QVERIFY2(chars(r.Description) >= 132 && chars(r.Description) <= 339,
             qPrintable(QString::number(chars(r.Description))));

    if (rune == u"WIERD") {
        QVERIFY(r.MagicSection.empty());
    } else {
        QVERIFY(!q(r.MagicSection).contains(u'\n'));
        QVERIFY2(chars(r.MagicSection) >= 314 && chars(r.MagicSection) <= 809,
                 qPrintable(QString::number(chars(r.MagicSection))));
        // The entry of the magic section: "$", the sound value, a colon, the name in Cyrillic capitals.
        static const QRegularExpression entry(u"\\$ *[a-z]{1,2} *: *[А-ЯЁ]{2,}[ .,]"_s);
        const auto m = entry.match(q(r.MagicSection));
        QVERIFY2(m.hasMatch(), qPrintable(q(r.MagicSection)));
        QVERIFY2(m.capturedStart() > 40, "the entry follows the opening sentences");
        QVERIFY(!m.captured().contains(rune));
    }

    const std::string interpretation = RuneCatalogue::Interpretation(index);
    const qsizetype length = chars(interpretation);
    QVERIFY2(length >= 634 && length <= 1389, qPrintable(QString::number(length)));
    std::string expectedText = std::string(r.ShortMeaning) + "\n\n" + std::string(r.Description);
    if (!r.MagicSection.empty())
        expectedText += "\n\n" + std::string(r.MagicSection);
    QCOMPARE(interpretation, expectedText);
    QCOMPARE(qsizetype(std::count(interpretation.begin(), interpretation.end(), '\n')),
             qsizetype(index == 41 ? 2 : 4));
    QVERIFY(interpretation.find('\r') == std::string::npos);
}

void TestRuneCatalogue::examplesWordForWord()
{
    QCOMPARE(RuneCatalogue::ShortMeaning(1), std::string_view(kShort1));
    QCOMPARE(RuneCatalogue::reading(1).Description, std::string_view(kDescriptionMannaz));
    QCOMPARE(RuneCatalogue::reading(2).Description, std::string_view(kDescriptionMannaz));
    QCOMPARE(RuneCatalogue::reading(1).MagicSection, std::string_view(kMagicMannaz));
    QCOMPARE(RuneCatalogue::ShortMeaning(41), std::string_view(kShort41));
    QCOMPARE(RuneCatalogue::Interpretation(41), std::string(kShort41) + "\n\n" + kDescriptionWierd);

    // The blank before the first line feed, and the Latin e among Cyrillic letters.
    QVERIFY(RuneCatalogue::Interpretation(1).find(". \n\n") != std::string::npos);
    QVERIFY(q(RuneCatalogue::ShortMeaning(1)).contains(u"С\u0065йчас"_s));
    QVERIFY(RuneCatalogue::ShortMeaning(19).ends_with(". "));
}

void TestRuneCatalogue::marks_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("mark"); // empty: no mark in parentheses at all
    QTest::newRow("INGUZ single, marked upright") << 14 << u"(Прямо)"_s;
    QTest::newRow("PERTH misspelt mark") << 10 << u"(Прмо)"_s;
    QTest::newRow("WUNJO lower-case mark") << 21 << u"(перевернуто)"_s;
    for (int index : {16, 18, 20, 23, 25, 27, 29, 31, 34, 36})
        QTest::addRow("%d upright without mark", index) << index << QString();
}

void TestRuneCatalogue::marks()
{
    QFETCH(int, index);
    QFETCH(QString, mark);
    const QString text = q(RuneCatalogue::ShortMeaning(index));
    const QString rune = q(RuneCatalogue::reading(index).RuneName);
    if (mark.isEmpty()) {
        QVERIFY(!text.contains(u"(Прямо)"_s) && !text.contains(u"(Перевернуто)"_s));
        QVERIFY(!text.mid(rune.size(), 3).contains(u'('));
    } else {
        QVERIFY(text.left(60).contains(mark));
    }
}

void TestRuneCatalogue::englishReading_data()
{
    QTest::addColumn<int>("index");
    for (int index = kFirstReading; index <= kLastReading; ++index)
        QTest::addRow("%d %s", index, std::string(RuneCatalogue::reading(index).RuneName).c_str()) << index;
}

// Every English reading has the shape of its Russian one: the same rune and position, the same opening
// (name, the title of the first fourteen, the position mark where the Russian has one), the same entry in
// the magic section, paragraphs of like length, and not one Cyrillic letter.
void TestRuneCatalogue::englishReading()
{
    QFETCH(int, index);
    const RuneReading &ru = RuneCatalogue::reading(index);
    const RuneReading &en = RuneCatalogue::reading(index, Language::English);
    const QString rune = q(ru.RuneName);

    QCOMPARE(q(en.RuneName), rune);
    QCOMPARE(en.Position, ru.Position);
    for (std::string_view text : {en.ShortMeaning, en.Description, en.MagicSection}) {
        static const QRegularExpression cyrillic(u"\\p{Cyrillic}"_s);
        const auto m = cyrillic.match(q(text));
        QVERIFY2(!m.hasMatch(), qPrintable(q(text).mid(m.capturedStart() - 20, 40)));
        QVERIFY(text.find('\n') == std::string_view::npos && text.find('\r') == std::string_view::npos);
    }

    const QString shortMeaning = q(en.ShortMeaning);
    QVERIFY(shortMeaning.startsWith(rune + (index <= 14 ? u" - "_s : u" "_s)));
    const QString ruOpening = q(ru.ShortMeaning).left(60).toLower();
    const QString mark = ruOpening.contains(u"(перевернуто)"_s) ? u"(Reversed)"_s
                         : ruOpening.contains(u"(прямо)"_s) || ruOpening.contains(u"(прмо)"_s)
                             ? u"(Upright)"_s
                             : QString();
    if (mark.isEmpty())
        QVERIFY(!shortMeaning.left(60).contains(u"(Upright)"_s) &&
                !shortMeaning.left(60).contains(u"(Reversed)"_s));
    else
        QVERIFY2(shortMeaning.left(80).contains(mark), qPrintable(shortMeaning.left(80)));
    QVERIFY2(chars(en.ShortMeaning) >= 168 && chars(en.ShortMeaning) <= 347,
             qPrintable(QString::number(chars(en.ShortMeaning))));

    QVERIFY(q(en.Description).startsWith(rune + u' '));
    QVERIFY2(chars(en.Description) >= 132 && chars(en.Description) <= 339,
             qPrintable(QString::number(chars(en.Description))));

    QCOMPARE(en.MagicSection.empty(), ru.MagicSection.empty());
    if (!en.MagicSection.empty()) {
        QVERIFY2(chars(en.MagicSection) >= 314 && chars(en.MagicSection) <= 809,
                 qPrintable(QString::number(chars(en.MagicSection))));
        // The Russian entry names the rune in Cyrillic, the English one as the rune is called everywhere.
        static const QRegularExpression ruEntry(u"\\$ *([a-z]{1,2}) *: *[А-ЯЁ]{2,}[ .,]"_s);
        const QRegularExpression enEntry(u"\\$ *([a-z]{1,2}) *: *"_s + rune + u"[ .,]"_s);
        const auto ruMatch = ruEntry.match(q(ru.MagicSection));
        const auto enMatch = enEntry.match(q(en.MagicSection));
        QVERIFY2(enMatch.hasMatch(), qPrintable(q(en.MagicSection)));
        QVERIFY2(enMatch.capturedStart() > 40, "the entry follows the opening sentences");
        QCOMPARE(enMatch.captured(1), ruMatch.captured(1));
    }

    const std::string interpretation = RuneCatalogue::Interpretation(index, Language::English);
    const qsizetype length = chars(interpretation);
    QVERIFY2(length >= 634 && length <= 1389, qPrintable(QString::number(length)));
    std::string expected = std::string(en.ShortMeaning) + "\n\n" + std::string(en.Description);
    if (!en.MagicSection.empty())
        expected += "\n\n" + std::string(en.MagicSection);
    QCOMPARE(interpretation, expected);
}

void TestRuneCatalogue::runesShareTheirTexts_data()
{
    QTest::addColumn<int>("column");
    QTest::newRow("Russian") << int(Language::Russian);
    QTest::newRow("English") << int(Language::English);
}

void TestRuneCatalogue::runesShareTheirTexts()
{
    QFETCH(int, column);
    const auto language = Language(column);
    // Both readings of a rune differ only in their first paragraph.
    for (int i = kFirstReading; i < kLastReading; ++i) {
        const RuneReading &a = RuneCatalogue::reading(i, language);
        const RuneReading &b = RuneCatalogue::reading(i + 1, language);
        if (a.RuneName != b.RuneName)
            continue;
        QCOMPARE(a.Position, ReadingPosition::Upright);
        QCOMPARE(b.Position, ReadingPosition::Reversed);
        const std::string ia = RuneCatalogue::Interpretation(i, language);
        const std::string ib = RuneCatalogue::Interpretation(i + 1, language);
        QCOMPARE(ia.substr(ia.find('\n')), ib.substr(ib.find('\n')));
        QVERIFY(ia.substr(0, ia.find('\n')) != ib.substr(0, ib.find('\n')));
    }
}

void TestRuneCatalogue::readingsAreDistinct_data()
{
    runesShareTheirTexts_data();
}

void TestRuneCatalogue::readingsAreDistinct()
{
    QFETCH(int, column);
    const auto language = Language(column);
    std::set<std::string_view> meanings, descriptions, magic;
    std::set<std::string_view> names;
    for (int i = kFirstReading; i <= kLastReading; ++i) {
        const RuneReading &r = RuneCatalogue::reading(i, language);
        meanings.insert(r.ShortMeaning);
        descriptions.insert(r.Description);
        magic.insert(r.MagicSection);
        names.insert(r.RuneName);
    }
    QCOMPARE(meanings.size(), size_t(kLastReading));
    QCOMPARE(names.size(), size_t(kRuneCount));
    QCOMPARE(descriptions.size(), size_t(kRuneCount));
    QCOMPARE(magic.size(), size_t(kRuneCount)); // 24 sections and the blank rune's empty one
}

void TestRuneCatalogue::picturePath_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("path");
    QTest::newRow("first") << 1 << u"g\\1.jpg"_s;
    QTest::newRow("last one-digit") << 9 << u"g\\9.jpg"_s;
    QTest::newRow("first two-digit, no leading zero") << 10 << u"g\\10.jpg"_s;
    QTest::newRow("last") << 41 << u"g\\41.jpg"_s;
}

void TestRuneCatalogue::picturePath()
{
    QFETCH(int, index);
    QFETCH(QString, path);
    QCOMPARE(QString::fromStdString(RuneCatalogue::PicturePath(index)), path);
}

QTEST_APPLESS_MAIN(TestRuneCatalogue)
#include "tst_runecatalogue.moc"
