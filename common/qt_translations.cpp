#include "common/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace tf {

QLocale DialogLocale(const QLocale& user) {
    if (user.language() == QLocale::Chinese) return user;
    return QLocale(QLocale::Chinese, QLocale::China);
}

bool InstallQtTranslations(const QLocale& user) {
    auto* app = QCoreApplication::instance();
    if (!app) return false;
    // One catalogue at a time; a second call (another locale) replaces the first.
    static QPointer<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(app);
    translator->setObjectName(QStringLiteral("qtbaseTranslator"));
    const QLocale locale = DialogLocale(user);
    bool loaded = translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder);
    if (!loaded)
        loaded = translator->load(QLocale(QLocale::Chinese, QLocale::China),
                                  QStringLiteral("qtbase"), QStringLiteral("_"), folder);
    if (!loaded) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

}  // namespace tf
