#include "gui/main/help_page.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include "common/prompt.h"

namespace tf {

QString FindHelpPage(const QString& programDir, const QStringList& dataDirs) {
    const QString page = QStringLiteral("tallyform/help/index.html");
    QStringList candidates{programDir + QStringLiteral("/help/index.html"),
                           programDir + QStringLiteral("/../share/") + page};
    for (const QString& dir : dataDirs) candidates << dir + u'/' + page;
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile()) return QDir::cleanPath(path);
    return {};
}

QString HelpPagePath() {
    return FindHelpPage(QCoreApplication::applicationDirPath(),
                        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
}

void OpenHelpPage(Prompt& prompt, const QString& fragment) {
    const QString path = HelpPagePath();
    if (path.isEmpty()) {
        prompt.Message(QStringLiteral("找不到帮助文件：") + QCoreApplication::applicationDirPath() +
                       QStringLiteral("/help/index.html"));
        return;
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (!fragment.isEmpty()) url.setFragment(fragment);
    if (!QDesktopServices::openUrl(url))
        prompt.Message(QStringLiteral("无法打开浏览器，请手工打开帮助文件：") + path);
}

}  // namespace tf
