#include "app/help_page.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "common/prompt.h"

namespace tf {

QString HelpPagePath() {
    const QString path =
        QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html");
    return QFileInfo::exists(path) ? path : QString();
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
