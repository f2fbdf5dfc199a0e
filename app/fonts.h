#pragma once

#include <QString>
#include <QStringList>

// Formats name the Windows fonts the forms were designed with ("宋体", "黑体" …). They are
// mapped once at start to the CJK faces installed here, so every widget and the printer use
// the same face for the same name.

namespace tf {

// The installed faces a Windows font name stands for, best first; empty for other names.
QStringList FontSubstitutesFor(const QString& windowsName);

// Registers the substitutions with QFont. Safe to call more than once.
void InstallFontSubstitutions();

}  // namespace tf
