#include "app/rununit1.h"

#include "app/language.h"
#include "divination/RuneCatalogue.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

// Every text the main window shows or tells a screen reader, in the program's own words. Each is marked
// for the translation tools, which find it here by its context and Russian words.

namespace rununit1 {
QString WindowText::text() const
{
    return QCoreApplication::translate("rununit1", source);
}

const WindowText kSlotHint{QT_TRANSLATE_NOOP("rununit1",
                                             "Для того,  чтобы прочесть подробную интерпритацию руны - "
                                             "кликните сюда, после того, как кликните кнопку "
                                             "\"Гадание на рунах\". Удачного вам гадания!")};
const WindowText kDivineHint{QT_TRANSLATE_NOOP(
    "rununit1",
    "Для того, чтобы погадать, - мысленно сформруйте вопрос и клинкните эту кнопку. Удачного "
    "вам гадания, и пусть рунические божества вам помогут в благих делах! Будьте счастливы!!! ;-)")};
const WindowText kHelpHint{QT_TRANSLATE_NOOP("rununit1", "Справка по программе ORMEX")};
const WindowText kExitHint{QT_TRANSLATE_NOOP(
    "rununit1",
    "Выход из программы тут, а вот выход из жизненной ситуации ищите сами или попросите совета у рун.")};
const WindowText kPanelCaption{QT_TRANSLATE_NOOP("rununit1", "Справка по руне такой-то")};
const WindowText kCloseHintInitial{QT_TRANSLATE_NOOP("rununit1", "Закрыть справку по руне")};
const WindowText kCloseHintRune{QT_TRANSLATE_NOOP(
    "rununit1", "Закрыть справку по руне.\nНадеюсь, вы узнали много нового и интересного :-)")};
const WindowText kCloseHintHelp{QT_TRANSLATE_NOOP(
    "rununit1", "Закрыть справку по программе.\nНадеюсь, вы узнали много нового и интересного :-)")};
const WindowText kNotYetDrawn{
    QT_TRANSLATE_NOOP("rununit1", "Вы еще не разу не кликали кнопку \"Гадание на рунах\"... ")};
const WindowText kCloseCaption{QT_TRANSLATE_NOOP("rununit1", "Закрыть")};
const WindowText kMemoInitialText{QT_TRANSLATE_NOOP("rununit1", "Интерпритация руны")};
const QString kHelpFile = u"g\\readme.txt"_s;
// A reserved name: the address can never lead to somebody else's site.
const QString kMakerUrl = u"http://www.ormex.example"_s;
// The Russian sign is a Cyrillic letter in brackets; other languages write their own.
const WindowText kCopyright{QT_TRANSLATE_NOOP("rununit1", "(С) ")};
const WindowText kLinkHint{
    QT_TRANSLATE_NOOP("rununit1", "Сайт программы ORMEX: руны и их толкования, руническая магия, советы по "
                                  "гаданию и новые версии программы. Заходите в гости!")};

const WindowText kDivineName{QT_TRANSLATE_NOOP("rununit1", "Гадание на Рунах")};
const WindowText kHelpName{QT_TRANSLATE_NOOP("rununit1", "Справка")};
const WindowText kExitName{QT_TRANSLATE_NOOP("rununit1", "Выход")};
const WindowText kSlotNames[3] = {{QT_TRANSLATE_NOOP("rununit1", "Левая руна")},
                                  {QT_TRANSLATE_NOOP("rununit1", "Средняя руна")},
                                  {QT_TRANSLATE_NOOP("rununit1", "Правая руна")}};
// The word under a reversed card, which the art generator letters the card with, too.
const WindowText kReversed{QT_TRANSLATE_NOOP("rununit1", "перевёрнута")};

QString linkCaption()
{
    return kCopyright.text() + kMakerUrl;
}

QString readingTitle(int reading)
{
    const RuneReading &r = RuneCatalogue::reading(reading, programLanguage());
    QString title = QString::fromUtf8(r.RuneName.data(), qsizetype(r.RuneName.size()));
    if (r.Position == ReadingPosition::Reversed)
        title += u", "_s + kReversed.text();
    return title;
}
} // namespace rununit1
