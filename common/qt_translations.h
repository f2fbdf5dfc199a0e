#pragma once

#include <QLocale>

// Qt's own dialogs (printer, font, file, message buttons) speak the language of Qt's
// translation catalogues. The program's interface is simplified Chinese, so those dialogs
// follow the user's Chinese locale, and a user whose locale is not Chinese gets simplified
// Chinese as well rather than English dialogs around Chinese windows.

namespace tf {

// The locale whose catalogue the Qt dialogs use: the user's own when it is Chinese,
// otherwise zh_CN.
QLocale DialogLocale(const QLocale& user);

// Loads Qt's base catalogue for DialogLocale(user) from Qt's translations folder and installs
// it in the application, replacing one installed before. Falls back to zh_CN when the
// Chinese variant asked for has no catalogue. False when no catalogue could be loaded.
bool InstallQtTranslations(const QLocale& user = QLocale::system());

}  // namespace tf
