#include "app/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {

Language g_chosen = Language::Russian;

// Loads one translation file into a translator owned by the application; a file that is missing or
// unreadable leaves those texts as their source says (Qt's own are English already).
void installTranslation(QCoreApplication &app, const QString &file, const QString &folder)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(file, folder))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

Language languageFromList(const QStringList &uiLanguages)
{
    for (const QString &entry : uiLanguages) {
        // "en", "en-US", "en_GB.UTF-8", "en-Latn-US": the language is the letters before the first
        // separator.
        qsizetype end = 0;
        while (end < entry.size() && entry[end].isLetter())
            ++end;
        const QString language = entry.left(end).toLower();
        if (language == u"ru")
            return Language::Russian;
        if (language == u"en")
            return Language::English;
    }
    return Language::Russian;
}

void chooseProgramLanguage(QCoreApplication &app)
{
    g_chosen = languageFromList(QLocale::system().uiLanguages());
    if (g_chosen == Language::Russian)
        return;
    const QString code = QString::fromLatin1(languageCode(g_chosen).data());
    installTranslation(app, u"ormex_"_s + code, u":/i18n"_s);
    // Qt's own texts, such as the error box's button, where the system has them.
    installTranslation(app, u"qtbase_"_s + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

Language programLanguage()
{
    return g_chosen;
}
