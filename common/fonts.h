#pragma once

#include <QString>
#include <QStringList>

// Formats name the Windows fonts the forms were designed with ("宋体", "黑体" …). They are
// mapped once at start to the CJK faces installed here, so every widget and the printer use
// the same face for the same name.

namespace tf {

// The installed faces a Windows font name stands for, best first; empty for other names.
QStringList FontSubstitutesFor(const QString& windowsName);

// Registers the substitutions with QFont, and makes every face chosen for Chinese text the
// simplified-Chinese variant (Noto … CJK SC, not the Japanese forms fontconfig prefers
// outside a Chinese locale), also for families that lack Chinese glyphs. Call before the
// first text is drawn. Safe to call more than once.
void InstallFontSubstitutions();

// The installed family the font dialog shows for a stored family: the face that draws it
// ("宋体" → "Noto Serif CJK SC"), or the family itself when it is installed.
QString DialogFamilyFor(const QString& stored);

// The family to store after the font dialog: the stored name when the clerk kept the face
// it stands for (changed only size or style), else the family chosen.
QString StoredFamilyFrom(const QString& chosen, const QString& stored);

}  // namespace tf
