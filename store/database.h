#pragma once

#include <QSqlDatabase>
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

// One query: rows of a table matching a condition with '?' placeholders.
struct Statement {
    QString table;
    QString where;  // empty: every row
    QVariantList params;
    QString orderBy;  // empty: storage order
    QString shown;    // readable statement text for messages
};

class Database;

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

    Database& db_;
    QString table_;
    QStringList columns_;
    QVector<Row> rows_;
    int current_ = 0;
    bool adding_ = false;
    Row pending_;
    QStringList changed_;
    QString lastError_;
};

class Database {
public:
    explicit Database(const AppContext& ctx);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the file. On failure the user is told once for this action ("无法建立数据库连接！",
    // or which file is not a database) and later calls fail quietly.
    bool OpenDatabase();
    bool IsOpen() const { return open_; }

    // Opens a record set, positioned on its first row. On failure shows
    // "数据库打开错误(" + statement + ")！" (once per action) and returns null.
    std::unique_ptr<Recordset> OpenRecordset(const Statement& st);

    // Runs a statement. Errors are not shown but returned to the caller.
    bool ExecuteSql(const QString& sql, const QVariantList& params = {}, QString* error = nullptr);

    // True when a table of exactly this name (case-sensitive) exists.
    bool TableExists(const QString& name);

    // Creates whatever the file lacks: the formats table with a complete default format,
    // the records table, the spacing table, and the indexes.
    void EnsureTables();

    // Multi-row writes run inside one transaction.
    bool Begin();
    bool Commit();
    void Rollback();

    QSqlDatabase& Connection() { return db_; }
    const AppContext& Context() const { return ctx_; }
    // Shows a failure of this action unless one was shown already.
    void ReportFailure(const QString& text);

private:
    const AppContext& ctx_;
    QString connectionName_;
    QSqlDatabase db_;
    bool open_ = false;
    bool triedOpen_ = false;
    bool reported_ = false;
};

// The exact statement that creates the spacing table.
QString CreateSpacingTableSql();

}  // namespace tf::store
