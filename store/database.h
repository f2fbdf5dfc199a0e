#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>

#include "common/app_context.h"

// Access to Par.mdb. A Database object stands for one user action: it opens its connection
// when first needed and closes it when destroyed, so nothing is held open between actions.
// Values are always bound as parameters; the statement text shown in messages is only the
// readable form of the query.

namespace tf::store {

inline QString FormatsTable() {
    return QStringLiteral("参数");
}
inline QString SpacingTable() {
    return QStringLiteral("字距");
}
inline QString RecordsTable() {
    return QStringLiteral("记录");
}

// Why a database step failed, from SQLite's result code or the server's SQLSTATE.
enum class DbFailure {
    None,
    NotADatabase,  // SQLITE_NOTADB: some other kind of file
    Damaged,       // SQLITE_CORRUPT: a database with damaged pages
    Locked,        // SQLITE_BUSY / SQLITE_LOCKED: another program holds the file
    ReadOnly,      // SQLITE_READONLY, SQLITE_CANTOPEN: the file or its folder cannot be written
    Full,          // SQLITE_FULL: the disk is full
    Other,         // anything else (a faulty statement, a missing table or column)
    // The office server only:
    Unreachable,     // the server does not answer (address, network, server stopped)
    PasswordNeeded,  // the server wants a password and none was given
    LoginRefused,    // user name or password not accepted, or the login may not connect
    NoSuchDatabase,  // the server has no database of that name (or the login may not use it)
    ConnectionLost,  // the connection broke during the action
    NoRight,         // the server refused the statement: the login lacks the right
    NoTables,        // the program's tables are missing and the login may not create them
};

// The cause of a failed step of the local file; None for no error.
DbFailure FailureOf(const QSqlError& error);
// True for the causes after which the clerk may go on with the local file for the run: the
// server cannot be reached or used at all.
bool ServerOutOfReach(DbFailure cause);

// One query: rows of a table matching a condition with '?' placeholders.
struct Statement {
    QString table;
    QString where;  // empty: every row
    QVariantList params;
    QString orderBy;  // empty: storage order
    QString shown;    // readable statement text for messages
};

class Database;
class ServerConnection;

// The rows of one query with a current row. Rows are read when the set is opened; changes
// are written through at once.
class Recordset {
public:
    int RecordCount() const { return static_cast<int>(rows_.size()); }
    bool Eof() const { return current_ < 0 || current_ >= RecordCount(); }
    void MoveFirst() { current_ = 0; }
    void MoveNext() {
        if (current_ < RecordCount()) ++current_;
    }
    void MoveLast() { current_ = RecordCount() - 1; }

    // A column of the current row; an invalid QVariant at the end or for an unknown column.
    QVariant Value(const QString& column) const;

    // Starts a new row; SetValue then fills it and Update stores it.
    void AddNew();
    // A column the table lacks makes the next Update fail: the value is never dropped quietly.
    void SetValue(const QString& column, const QVariant& value);
    // Stores the new row or the changes of the current row. False when the write failed.
    bool Update();
    // Deletes the current row; afterwards the set must be moved to its first row again.
    bool Delete();

    QString LastError() const { return lastError_; }

private:
    friend class Database;
    struct Row {
        qint64 rowid = -1;
        QVector<QVariant> values;
    };
    Recordset(Database& db, QString table) : db_(db), table_(std::move(table)) {}
    int ColumnIndex(const QString& column) const;
    bool RefuseOnServer();

    Database& db_;
    QString table_;
    QStringList columns_;
    QVector<Row> rows_;
    int current_ = 0;
    bool adding_ = false;
    Row pending_;
    QStringList changed_;
    QStringList unknownColumns_;
    QString lastError_;
};

class Database {
public:
    // Who tells the clerk about a failure: the database itself (reading actions), or the
    // caller, which names what was not kept together with FailureText() (writing actions).
    enum class Reports { Own, ToCaller };

    explicit Database(const AppContext& ctx, Reports reports = Reports::Own);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the file. On failure the user is told once for this action why (not a database,
    // damaged, locked, read-only, or "无法建立数据库连接！") and later calls fail quietly.
    // A file that cannot be written opens read-only; the clerk is told so once in a run.
    bool OpenDatabase();
    bool IsOpen() const { return open_; }
    bool IsReadOnly() const { return readOnly_; }
    // True when this action works on the office server rather than the local file (known
    // before the connection is opened).
    bool IsServer() const { return server_; }
    // How messages name the database: the local file's path, or the server.
    QString Shown() const;

    // Opens a record set, positioned on its first row. On failure shows the cause, or
    // OpenErrorText(statement) when SQLite names none (once per action), and returns null.
    std::unique_ptr<Recordset> OpenRecordset(const Statement& st);

    // Runs a statement. Errors are not shown but returned to the caller (and kept as the
    // action's last failure).
    bool ExecuteSql(const QString& sql, const QVariantList& params = {}, QString* error = nullptr);

    // True when a table of exactly this name (case-sensitive) exists.
    bool TableExists(const QString& name);

    // Creates whatever the file lacks: the formats table with a complete default format,
    // the records table, the spacing table, and the indexes.
    void EnsureTables();

    // Multi-row writes run inside one transaction. Begin refuses a file found damaged.
    bool Begin();
    bool Commit();
    void Rollback();

    QSqlDatabase& Connection() { return db_; }
    const AppContext& Context() const { return ctx_; }
    // Shows a failure of this action unless one was shown already.
    void ReportFailure(const QString& text);
    // Shows why a query failed, as OpenRecordset does: the cause when SQLite named one (a damaged
    // file once in a run), otherwise OpenErrorText(statement). Nothing for Reports::ToCaller.
    void ReportQueryFailure(const QString& statement);

    // Notes a failed step: keeps its cause, marks a damaged file for the rest of the run and,
    // once the file was found locked, stops waiting for it in this action.
    void NoteFailure(const QSqlError& error);
    void NoteFailure(DbFailure cause, const QString& detail);
    DbFailure LastFailure() const { return failure_; }
    // True, with the failure noted, when the file was found damaged in this run: nothing is
    // written to it any more.
    bool WritesRefused();
    // The last failure in plain words naming the file, for the message of a failed write.
    QString FailureText() const;
    // The message for a failed statement: the cause in plain words when SQLite named one
    // (damaged, locked, read-only, disk full), otherwise OpenErrorText(statement).
    QString StatementFailureText(const QString& statement) const;

private:
    void ReportCause(DbFailure cause, const QString& otherwise);

    bool OpenServer();

    const AppContext& ctx_;
    Reports reports_;
    QString connectionName_;
    bool server_ = false;
    std::unique_ptr<ServerConnection> serverConnection_;
    QSqlDatabase db_;
    bool open_ = false;
    bool triedOpen_ = false;
    bool readOnly_ = false;
    bool reported_ = false;
    DbFailure failure_ = DbFailure::None;
    QString failureDetail_;
};

// The plain message for a cause, naming the file; detail is SQLite's own text, shown only
// for causes without a message of their own.
QString FailureMessage(DbFailure cause, const QString& path, const QString& detail = {});

// The message for a statement that failed without a known cause: "数据库打开错误(…)！".
QString OpenErrorText(const QString& statement);

// The exact statement that creates the spacing table.
QString CreateSpacingTableSql();

}  // namespace tf::store
