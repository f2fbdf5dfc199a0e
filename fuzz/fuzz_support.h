#pragma once

#include <dirent.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

// Helpers the fuzz targets share: the workbook layer reads files, so every input is written to
// a file of the given name in a folder of the process's own (in memory where /dev/shm exists).

namespace tf::fuzz {

inline const QTemporaryDir& Folder() {
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/tallyform-fuzz-XXXXXX")
                                       : QDir::tempPath() +
                                             QStringLiteral("/tallyform-fuzz-XXXXXX"));
    return dir;
}

// The number of files the process holds open: a target checks that every run gives back
// what it opened.
inline qsizetype OpenFiles() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) abort();
    qsizetype count = 0;
    while (readdir(dir)) ++count;
    closedir(dir);
    return count;
}

inline QString InputFile(const uint8_t* data, size_t size, const QString& name) {
    const QString path = Folder().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return path;
}

}  // namespace tf::fuzz
