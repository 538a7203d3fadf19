#pragma once

#include <QString>

// The program reads its pictures and help text as g\... under the current folder. Started from a
// terminal somewhere else, the installed program would find none of them; so it moves to the folder
// its menu entry starts it in. A program run from its build tree, or from any folder that has a g,
// stays where it is, so that its failures stay what the user made them.

// The folder to change to at start-up, or an empty string to stay: installedData when executable is
// the program at installedExecutable and currentFolder has no g.
QString startFolder(const QString &currentFolder, const QString &executable,
                    const QString &installedExecutable, const QString &installedData);

// Changes to the installed data folder when startFolder says so; for the process's own paths.
void enterInstalledDataFolder();
