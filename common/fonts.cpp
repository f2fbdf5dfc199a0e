#include "common/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>

namespace tf {

namespace {

const QString kSerif = QStringLiteral("Noto Serif CJK SC");
const QString kSans = QStringLiteral("Noto Sans CJK SC");
const QString kFallback = QStringLiteral("WenQuanYi Zen Hei");

QStringList SerifNames() {
    return {QStringLiteral("宋体"),     QStringLiteral("新宋体"), QStringLiteral("SimSun"),
            QStringLiteral("NSimSun"),  QStringLiteral("仿宋"),   QStringLiteral("仿宋_GB2312"),
            QStringLiteral("FangSong"), QStringLiteral("楷体"),   QStringLiteral("楷体_GB2312"),
            QStringLiteral("KaiTi")};
}

QStringList SansNames() {
    return {QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("微软雅黑"),
            QStringLiteral("Microsoft YaHei")};
}

}  // namespace

QStringList FontSubstitutesFor(const QString& windowsName) {
    const bool serif = SerifNames().contains(windowsName, Qt::CaseInsensitive);
    const bool sans = SansNames().contains(windowsName, Qt::CaseInsensitive);
    if (!serif && !sans) return {};
    // A serif face missing from the system falls back to the sans one before WenQuanYi.
    if (serif) return {kSerif, kSans, kFallback};
    return {kSans, kFallback};
}

void InstallFontSubstitutions() {
    // fontconfig picks the regional variant of a CJK family by the language it is asked for;
    // without one it takes the locale's, and outside a Chinese locale that gives the Japanese
    // glyph forms. Vouchers are simplified Chinese whatever the desktop's language.
    qputenv("FC_LANG", "zh-cn");
    const QStringList names = SerifNames() + SansNames();
    for (const QString& name : names) {
        const QStringList subs = FontSubstitutesFor(name);
        // insertSubstitutions appends (and keeps names in lower case); add only what is missing.
        const QStringList existing = QFont::substitutes(name);
        QStringList missing;
        for (const QString& s : subs)
            if (!existing.contains(s, Qt::CaseInsensitive)) missing << s;
        if (!missing.isEmpty()) QFont::insertSubstitutions(name, missing);
    }
}

QString DialogFamilyFor(const QString& stored) {
    if (stored.isEmpty()) return stored;
    if (QFontDatabase::families().contains(stored, Qt::CaseInsensitive)) return stored;
    return QFontInfo(QFont(stored)).family();
}

QString StoredFamilyFrom(const QString& chosen, const QString& stored) {
    if (stored.isEmpty()) return chosen;
    if (chosen.compare(DialogFamilyFor(stored), Qt::CaseInsensitive) == 0) return stored;
    return chosen;
}

}  // namespace tf
