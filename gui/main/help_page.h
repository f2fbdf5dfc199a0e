#pragma once

#include <QString>
#include <QStringList>

// The help page: beside the program (a build or a portable copy), or installed in the
// share folder of the installation.

namespace tf {

class Prompt;

// help/index.html in programDir, else tallyform/help/index.html in programDir/../share, else
// in the first of dataDirs that has it; empty when none has.
QString FindHelpPage(const QString& programDir, const QStringList& dataDirs);

// FindHelpPage for this program and the desktop's data folders.
QString HelpPagePath();

// Opens the help page in the desktop's browser, at the fragment when one is given. Tells
// the user when the page is missing or no browser takes it.
void OpenHelpPage(Prompt& prompt, const QString& fragment);

}  // namespace tf
