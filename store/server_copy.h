#pragma once

#include <optional>

#include "common/app_context.h"

// Moving an office onto its server: the formats, spacing and print records of a clerk's
// Par.mdb copied into the server's database, in one transaction, with progress.
//
// A format the server already has under the same name is left as the server has it. A record
// whose timestamp the server already holds with the same texts was copied before and is left
// out, so copying twice copies nothing twice; one whose timestamp the server holds with other
// texts (another clerk's file) is stored under the next free second, and the clerk is told how
// many were.

namespace tf::store {

class RecordStore;

struct CopyCounts {
    int formats = 0;          // copied, with their spacing
    int formatsKept = 0;      // left out: the server has a format of that name
    qint64 records = 0;       // copied
    qint64 moved = 0;         // of those, stored under a later second than in the file
    qint64 alreadyThere = 0;  // left out: copied before
};

// Copies the local file of ctx's data folder into the server ctx names: its formats and spacing,
// and the print records of localRecords, the record store of that file
// (OpenRecordStore(LocalFileContext(ctx))). Nothing, with the cause noted for the caller's
// message in *failure, when the copy failed; then the server is as it was.
std::optional<CopyCounts> CopyLocalToServer(const AppContext& ctx, RecordStore& localRecords,
                                            QString* failure = nullptr);

// What the clerk does behind "复制本机数据到服务器": asks, copies with progress, and tells what
// was copied or why nothing was. True when copied.
bool CopyLocalDataToServer(const AppContext& ctx, RecordStore& localRecords);

// The closing notice of a copy.
QString CopyReport(const CopyCounts& counts);

}  // namespace tf::store
