#include "support/tmpfs.h"

#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QStorageInfo>

namespace tf::test {

namespace {

QByteArray Options(qint64 size) {
    return "size=" + QByteArray::number(size) + ",mode=0777";
}

}  // namespace

Tmpfs::Tmpfs(const QString& folder, qint64 sizeBytes) : folder_(folder), size_(sizeBytes) {
    QDir().mkpath(folder_);
    mounted_ = ::mount("tmpfs", QFile::encodeName(folder_).constData(), "tmpfs", 0,
                       Options(size_).constData()) == 0;
}

Tmpfs::~Tmpfs() {
    if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
}

bool Tmpfs::RemountReadOnly() {
    return ::mount("tmpfs", QFile::encodeName(folder_).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                   Options(size_).constData()) == 0;
}

void Tmpfs::Fill() {
    QFile filler(QDir(folder_).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly)) return;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // The last bytes of a partial block.
    while (filler.write("f", 1) == 1 && filler.flush()) {
    }
}

void Tmpfs::FillAllBut(qint64 leave) {
    QFile filler(QDir(folder_).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly)) return;
    const QByteArray block(4096, 'f');
    for (qint64 left = QStorageInfo(folder_).bytesAvailable() - leave; left > 0; left -= 4096)
        if (filler.write(block) != block.size() || !filler.flush()) return;
}

}  // namespace tf::test
