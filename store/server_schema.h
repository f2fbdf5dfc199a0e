#pragma once

#include <QString>
#include <optional>

#include "store/database.h"

// The program's tables on the office server (store/postgresql_schema.sql): found, created when
// missing and the login may create them (the database's owner), and the server's locks that
// keep clerks' writes apart where a unique key alone cannot.

namespace tf::store {

// The whole script, as an administrator runs it: tables, triggers, roles and their rights.
QString ServerSchemaSql();
// The part the program runs itself: the tables, their keys and triggers, no roles.
QString ServerTablesSql();

// The voucher list the server keeps beside 记录, one row per stored voucher with the login of
// the clerk who stored it.
inline QString VoucherListTable() {
    return QStringLiteral("凭证");
}
// The channel on which the server tells of every change to the print records.
inline QString RecordsChannel() {
    return QStringLiteral("tallyform_records");
}

// True when the server's database holds a table of exactly this name.
bool ServerTableExists(Database& db, const QString& name);

// Creates the tables the server lacks, when the login may, and the format "默认格式" when no
// format of that name stands. False, with the cause noted on db and told (NoTables when the
// login may not create them), when the tables cannot be used.
bool EnsureServerTables(Database& db);

// Locks held by a transaction on the server until it ends, apart from any row:
enum class ServerLock {
    // One format and its spacing: saves of the same name follow one another.
    Format,
    // Midnight timestamps: imports (which store every row at a midnight) follow one another,
    // and a store that wants a midnight waits for a running import.
    Midnights,
    // The free seconds at the end of the history: stores and batches follow one another, so
    // that one that needs ten seconds is not outrun again and again by single ones.
    Seconds,
};
// Takes the lock in db's open transaction (shared: alongside other shared holders, for a store
// that only needs no import running). True at once for the local file.
bool TakeServerLock(Database& db, ServerLock lock, const QString& name = {}, bool shared = false);
// Takes the lock (exclusive) if no other transaction holds it: true when taken, false when
// held elsewhere, nothing when the server failed (noted on db).
std::optional<bool> TryServerLock(Database& db, ServerLock lock, const QString& name = {});

}  // namespace tf::store
