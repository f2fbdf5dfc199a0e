#include "common/app_context.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "common/progress.h"
#include "common/prompt.h"

namespace tf {

Prompt& AppContext::UserPrompt() const {
    static NullPrompt none;
    return prompt_ ? *prompt_ : none;
}

Progress& AppContext::ProgressDisplay() const {
    static NullProgress none;
    return progress_ ? *progress_ : none;
}

QString AppContext::DatabasePath() const {
    return QDir(dataDir).filePath(QStringLiteral("Par.mdb"));
}

QString AppContext::DefaultDataDir() {
    const QString fromEnv = qEnvironmentVariable("TALLYFORM_DATA_DIR");
    if (!fromEnv.isEmpty()) {
        QDir().mkpath(fromEnv);
        return fromEnv;
    }
    const QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.isEmpty() && QFileInfo(appDir).isWritable()) return appDir;
    QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userDir);
    return userDir;
}

}  // namespace tf
