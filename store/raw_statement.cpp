#include "store/raw_statement.h"

#include <sqlite3.h>

#include <QSqlDriver>

namespace tf::store {

sqlite3* SqliteHandle(Database& db) {
    if (!db.IsOpen()) return nullptr;
    const QVariant handle = db.Connection().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

ReadTransaction::ReadTransaction(Database& db) : handle_(SqliteHandle(db)) {
    // A failed BEGIN leaves each statement its own transaction, as without this.
    if (handle_ && (!sqlite3_get_autocommit(handle_) ||
                    sqlite3_exec(handle_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK))
        handle_ = nullptr;
}

ReadTransaction::~ReadTransaction() {
    if (handle_ && !sqlite3_get_autocommit(handle_))
        sqlite3_exec(handle_, "COMMIT", nullptr, nullptr, nullptr);
}

RawStatement::RawStatement(Database& db, const QString& sql) : db_(db), handle_(SqliteHandle(db)) {
    if (!handle_) {
        db_.NoteFailure(DbFailure::Other, QStringLiteral("no SQLite connection"));
        return;
    }
    const int code = sqlite3_prepare16_v3(handle_, sql.utf16(), int(sql.size() * 2),
                                          SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (code != SQLITE_OK) {
        NoteFailure(code);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

RawStatement::~RawStatement() {
    sqlite3_finalize(stmt_);
}

void RawStatement::Bind(int index, const QString& text) {
    static const char16_t kEmpty[] = u"";
    const void* data = text.isNull() ? kEmpty : static_cast<const void*>(text.utf16());
    sqlite3_bind_text16(stmt_, index + 1, data, int(text.size() * 2), SQLITE_STATIC);
}

void RawStatement::Bind(int index, qint64 value) {
    sqlite3_bind_int64(stmt_, index + 1, value);
}

bool RawStatement::Run() {
    if (!stmt_) return false;
    const int code = sqlite3_step(stmt_);
    const bool ok = code == SQLITE_DONE || code == SQLITE_ROW;
    if (!ok) NoteFailure(code);
    sqlite3_reset(stmt_);
    return ok;
}

bool RawStatement::Next() {
    failed_ = false;
    if (!stmt_) {
        failed_ = true;
        return false;
    }
    const int code = sqlite3_step(stmt_);
    if (code == SQLITE_ROW) return true;
    if (code != SQLITE_DONE) {
        failed_ = true;
        NoteFailure(code);
    }
    sqlite3_reset(stmt_);
    return false;
}

void RawStatement::Reset() {
    if (stmt_) sqlite3_reset(stmt_);
}

qint64 RawStatement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

QStringView RawStatement::Text(int column) const {
    const void* text = sqlite3_column_text16(stmt_, column);
    const int bytes = sqlite3_column_bytes16(stmt_, column);
    return {static_cast<const char16_t*>(text), bytes / 2};
}

QByteArrayView RawStatement::Utf8(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    const int bytes = sqlite3_column_bytes(stmt_, column);
    return {reinterpret_cast<const char*>(text), bytes};
}

void RawStatement::NoteFailure(int code) {
    // Classified as every other failure of the connection, by SQLite's result code.
    const QString text = QString::fromUtf8(sqlite3_errmsg(handle_));
    db_.NoteFailure(QSqlError(QString(), text, QSqlError::StatementError, QString::number(code)));
}

}  // namespace tf::store
