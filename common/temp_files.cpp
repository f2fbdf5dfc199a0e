#include "common/temp_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tf {

namespace {

// Set when the program is loaded, before any file is written.
const QDateTime kRunStart = QDateTime::currentDateTimeUtc();

}  // namespace

QDateTime RunStart() {
    return kRunStart;
}

QString TemporaryTemplate(const QString& target, const QString& suffix) {
    const QFileInfo info(target);
    QString name = info.fileName();
    if (!name.endsWith(suffix, Qt::CaseInsensitive)) name += suffix;
    return info.absolutePath() + u"/." + name + u".XXXXXX";
}

int RemoveStaleTemporaries(const QString& folder, const QDateTime& before) {
    // QTemporaryFile puts six letters or digits in place of XXXXXX.
    static const QRegularExpression ours(
        QStringLiteral(R"(^\..+\.(pdf|xls|xlsx)\.[A-Za-z0-9]{6}$)"),
        QRegularExpression::CaseInsensitiveOption);
    int removed = 0;
    const QFileInfoList files =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& f : files) {
        if (!ours.match(f.fileName()).hasMatch() || f.lastModified() >= before) continue;
        if (QFile::remove(f.absoluteFilePath())) ++removed;
    }
    return removed;
}

bool ReplaceWithTemporary(const QString& temporary, const QString& target, QString* error) {
    const QFileInfo old(target);
    const QFile::Permissions perms =
        old.exists() ? old.permissions()
                     : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(temporary, perms);
    // rename(2) replaces the target in one step; QFile::rename would refuse an existing file.
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(target).constData()) == 0)
        return true;
    if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

}  // namespace tf
