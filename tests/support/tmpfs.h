#pragma once

#include <QString>

namespace tf::test {

// A tmpfs mounted on a folder for one test: a disk that fills up, or a folder that becomes
// read-only. Mounting needs privileges a test run may not have; Mounted() says whether it
// worked, and the test skips otherwise.
class Tmpfs {
public:
    Tmpfs(const QString& folder, qint64 sizeBytes);
    ~Tmpfs();
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;

    bool Mounted() const { return mounted_; }
    QString Path() const { return folder_; }
    // Makes the whole mount read-only; false when the kernel refused.
    bool RemountReadOnly();
    // Fills the free space with a file, so the next write finds the disk full.
    void Fill();
    // Fills the free space but for about `leave` bytes, so a longer write runs out of room.
    void FillAllBut(qint64 leave);

private:
    QString folder_;
    qint64 size_;
    bool mounted_ = false;
};

}  // namespace tf::test
