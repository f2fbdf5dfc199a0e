#include "store/server_schema.h"

#include <QSqlQuery>

#include "store/formats.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

// The line of the script after which only roles and rights follow.
const QString kRolesMark = u"-- ==== roles ===="_s;

// Class ids of the server's advisory locks taken by the program (the second id is the name's
// hash for a format, 0 otherwise).
constexpr int kLockClass = 0x7466;

QStringList ProgramTables() {
    return {FormatsTable(), SpacingTable(), RecordsTable(), VoucherListTable(), u"输入提示"_s};
}

bool Missing(Database& db) {
    for (const QString& table : ProgramTables())
        if (!ServerTableExists(db, table)) return true;
    return false;
}

bool CreateTables(Database& db) {
    if (!db.Begin()) return false;
    QSqlQuery q(db.Connection());
    if (q.exec(ServerTablesSql()) && db.Commit()) return true;
    const QSqlError error = q.lastError();
    db.Rollback();
    // Another program may have created them at the same moment.
    if (!Missing(db)) return true;
    db.NoteFailure(error);
    if (db.LastFailure() == DbFailure::NoRight) db.NoteFailure(DbFailure::NoTables, {});
    return false;
}

bool EnsureDefaultFormat(Database& db) {
    if (!db.Begin() || !TakeServerLock(db, ServerLock::Format, DefaultFormatName())) return false;
    QSqlQuery q(db.Connection());
    q.prepare(u"SELECT 1 FROM 参数 WHERE Name=? LIMIT 1"_s);
    q.addBindValue(DefaultFormatName());
    bool ok = q.exec();
    if (!ok) db.NoteFailure(q.lastError());
    if (ok && !q.next()) ok = InsertDefaultFormat(db);
    q.finish();
    if (ok && db.Commit()) return true;
    db.Rollback();
    return false;
}

}  // namespace

QString ServerTablesSql() {
    const QString script = ServerSchemaSql();
    const qsizetype mark = script.indexOf(kRolesMark);
    return mark < 0 ? script : script.left(mark);
}

bool ServerTableExists(Database& db, const QString& name) {
    QSqlQuery q(db.Connection());
    q.prepare(
        u"SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = current_schema() "
        u"AND tablename = ?"_s);
    q.addBindValue(name);
    if (!q.exec()) {
        db.NoteFailure(q.lastError());
        return false;
    }
    return q.next();
}

bool EnsureServerTables(Database& db) {
    if (!db.OpenDatabase()) return false;
    if ((Missing(db) && !CreateTables(db)) || !EnsureDefaultFormat(db)) {
        db.ReportFailure(db.FailureText());
        return false;
    }
    return true;
}

namespace {

bool LockStatement(Database& db, QSqlQuery& q, const QString& function, ServerLock lock,
                   const QString& name) {
    if (lock == ServerLock::Format) {
        q.prepare(u"SELECT "_s + function + u"(?, hashtext(?))"_s);
        q.addBindValue(kLockClass);
        q.addBindValue(name);
    } else {
        q.prepare(u"SELECT "_s + function + u"(?, 0)"_s);
        q.addBindValue(kLockClass + (lock == ServerLock::Midnights ? 1 : 2));
    }
    if (q.exec() && q.next()) return true;
    db.NoteFailure(q.lastError());
    return false;
}

}  // namespace

bool TakeServerLock(Database& db, ServerLock lock, const QString& name, bool shared) {
    if (!db.IsServer()) return true;
    QSqlQuery q(db.Connection());
    return LockStatement(
        db, q, shared ? u"pg_advisory_xact_lock_shared"_s : u"pg_advisory_xact_lock"_s, lock, name);
}

std::optional<bool> TryServerLock(Database& db, ServerLock lock, const QString& name) {
    if (!db.IsServer()) return true;
    QSqlQuery q(db.Connection());
    if (!LockStatement(db, q, u"pg_try_advisory_xact_lock"_s, lock, name)) return std::nullopt;
    return q.value(0).toBool();
}

}  // namespace tf::store
