#include "app/rununit1.h"

#include "divination/RuneCatalogue.h"

using namespace Qt::StringLiterals;

// Every text the main window shows or tells a screen reader, in the program's own words.

namespace rununit1 {
const QString kSlotHint = u"Для того,  чтобы прочесть подробную интерпритацию руны - кликните сюда, после "
                          u"того, как кликните кнопку "
                          "\"Гадание на рунах\". Удачного вам гадания!"_s;
const QString kDivineHint =
    u"Для того, чтобы погадать, - мысленно сформруйте вопрос и клинкните эту кнопку. Удачного вам гадания, и "
    "пусть рунические божества вам помогут в благих делах! Будьте счастливы!!! ;-)"_s;
const QString kHelpHint = u"Справка по программе ORMEX"_s;
const QString kExitHint =
    u"Выход из программы тут, а вот выход из жизненной ситуации ищите сами или попросите совета у рун."_s;
const QString kPanelCaption = u"Справка по руне такой-то"_s;
const QString kCloseHintInitial = u"Закрыть справку по руне"_s;
const QString kCloseHintRune =
    u"Закрыть справку по руне.\nНадеюсь, вы узнали много нового и интересного :-)"_s;
const QString kCloseHintHelp =
    u"Закрыть справку по программе.\nНадеюсь, вы узнали много нового и интересного :-)"_s;
const QString kNotYetDrawn = u"Вы еще не разу не кликали кнопку \"Гадание на рунах\"... "_s;
const QString kCloseCaption = u"Закрыть"_s;
const QString kMemoInitialText = u"Интерпритация руны"_s;
const QString kHelpFile = u"g\\readme.txt"_s;
// A reserved name: the address can never lead to somebody else's site.
const QString kMakerUrl = u"http://www.ormex.example"_s;
const QString kLinkCaption = u"(С) "_s + kMakerUrl;
const QString kLinkHint =
    u"Сайт программы ORMEX: руны и их толкования, руническая магия, советы по гаданию и "
    "новые версии программы. Заходите в гости!"_s;

const QString kDivineName = u"Гадание на Рунах"_s;
const QString kHelpName = u"Справка"_s;
const QString kExitName = u"Выход"_s;
const QString kSlotNames[3] = {u"Левая руна"_s, u"Средняя руна"_s, u"Правая руна"_s};

QString readingTitle(int reading)
{
    const RuneReading &r = RuneCatalogue::Reading(reading);
    QString title = QString::fromUtf8(r.RuneName.data(), qsizetype(r.RuneName.size()));
    if (r.Position == ReadingPosition::Reversed)
        title += u", перевёрнута"_s;
    return title;
}
} // namespace rununit1
