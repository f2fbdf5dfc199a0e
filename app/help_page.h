#pragma once

#include <QString>

// The help page installed beside the program.

namespace tf {

class Prompt;

// help/index.html in the program's directory; empty when it is missing.
QString HelpPagePath();

// Opens the help page in the desktop's browser, at the fragment when one is given. Tells
// the user when the page is missing or no browser takes it.
void OpenHelpPage(Prompt& prompt, const QString& fragment);

}  // namespace tf
