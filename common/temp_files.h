#pragma once

#include <QDateTime>
#include <QString>

// Files the program writes (PDF documents, exported workbooks) are written under a temporary
// name beside their target, ".<name>.XXXXXX", and renamed over the target only when complete.
// A run killed half-way leaves its temporary file behind; the next write into that folder
// removes such leftovers of earlier runs.

namespace tf {

// The moment this run of the program started.
QDateTime RunStart();

// The QTemporaryFile template for a file written beside `target`: ".<name>.XXXXXX" in the
// target's folder, with `suffix` (".pdf") added to the name when it does not end with it, so
// the leftover can be told as this program's.
QString TemporaryTemplate(const QString& target, const QString& suffix);

// Removes from `folder` this program's temporary files (".<name>.pdf.XXXXXX",
// ".<name>.xls.XXXXXX", ".<name>.xlsx.XXXXXX") last changed before `before`, usually
// RunStart(): a file still being written by a run that is going on is newer. Returns how
// many were removed.
int RemoveStaleTemporaries(const QString& folder, const QDateTime& before = RunStart());

// Renames the finished temporary file over the target in one step. A replaced file keeps its
// permissions; a new one gets rw-r--r--, not the temporary's rw-------. False, with the
// reason in *error, when the rename failed.
bool ReplaceWithTemporary(const QString& temporary, const QString& target,
                          QString* error = nullptr);

}  // namespace tf
