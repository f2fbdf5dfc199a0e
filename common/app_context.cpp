#include "common/app_context.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tf {

namespace {

// access() rather than the permission bits: it also answers for read-only mounts.
bool Writable(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

const QString kDatabaseName = QStringLiteral("Par.mdb");

}  // namespace

QString AppContext::DatabasePath() const {
    return QDir(dataDir).filePath(kDatabaseName);
}

bool AppContext::DatabaseWritable(const QString& path) {
    const QFileInfo file(path);
    if (file.exists() && !Writable(file.absoluteFilePath())) return false;
    return Writable(file.absolutePath());
}

QString AppContext::DefaultDataDir() {
    return DefaultDataDir(QCoreApplication::applicationDirPath(),
                          QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString AppContext::DefaultDataDir(const QString& programDir, const QString& userDir) {
    const QString fromEnv = qEnvironmentVariable("TALLYFORM_DATA_DIR");
    if (!fromEnv.isEmpty()) {
        QDir().mkpath(fromEnv);
        return fromEnv;
    }
    // A build folder or an installation folder is no home for the clerk's formats and
    // history; only a file that already stands beside the program is used there.
    if (!programDir.isEmpty() && QFileInfo::exists(QDir(programDir).filePath(kDatabaseName)))
        return programDir;
    QDir().mkpath(userDir);
    return userDir;
}

}  // namespace tf
