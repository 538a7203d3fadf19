#pragma once

#include "divination/language.h"

#include <QStringList>

class QCoreApplication;

// The language the program speaks, chosen once before the first window is built.

// The first entry of a desktop's language list (as QLocale::uiLanguages gives it, most wanted first)
// that is Russian or English decides; a list that names neither gives Russian, the program's own.
Language languageFromList(const QStringList &uiLanguages);

// Chooses from the desktop's list (QLocale::system(), which reads LANGUAGE, LC_ALL, LC_MESSAGES and
// LANG) and installs the translations of the chosen language into the application: the program's own
// and Qt's. Russian needs none, so for Russian nothing is loaded at all. Call once, before any text is
// translated; programLanguage() answers the choice afterwards.
void chooseProgramLanguage(QCoreApplication &app);

// The language chooseProgramLanguage chose; Russian before it runs.
Language programLanguage();
