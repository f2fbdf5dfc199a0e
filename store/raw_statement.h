#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include "store/database.h"

struct sqlite3;
struct sqlite3_stmt;

// Bulk reads and writes through SQLite's own interface on a Database's connection: a statement
// prepared once, its values bound by position straight from the texts and its columns read in
// place, without the per-value names, copies and row cache of QSqlQuery. For the SQLite file
// only.

namespace tf::store {

// The SQLite handle of an open connection; null when the database is not open or is no SQLite
// file.
sqlite3* SqliteHandle(Database& db);

class RawStatement {
public:
    // Prepares sql on the database's connection; a failure is noted in the database's last
    // failure and leaves the statement not ready.
    RawStatement(Database& db, const QString& sql);
    ~RawStatement();
    RawStatement(const RawStatement&) = delete;
    RawStatement& operator=(const RawStatement&) = delete;

    bool IsReady() const { return stmt_ != nullptr; }

    // Binds the value of placeholder `index` (from 0). The text must stay unchanged until
    // Run(); a null text is stored as an empty one.
    void Bind(int index, const QString& text);
    void Bind(int index, qint64 value);

    // Runs the statement once with the values bound; false on failure, noted in the database's
    // last failure. The values stay bound for the next run.
    bool Run();

    // Steps a query to its next row: true while there is one. At the end, or on a failure
    // (then Failed() and the database's last failure tell), false, and the statement is reset
    // for the next run with the values still bound.
    bool Next();
    bool Failed() const { return failed_; }
    // Ends a query before its last row.
    void Reset();
    // A column of the current row: an integer; a text in place, valid until the next step.
    qint64 Int(int column) const;
    QStringView Text(int column) const;
    // The UTF-8 bytes of a text column, valid until the next step.
    QByteArrayView Utf8(int column) const;

private:
    void NoteFailure(int code);

    Database& db_;
    sqlite3* handle_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};

// Holds one read transaction on a database's connection for its lifetime, unless one is open
// already: statements run inside it share one lock of the file and one check that it is
// unchanged, where each would otherwise take its own.
class ReadTransaction {
public:
    explicit ReadTransaction(Database& db);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    sqlite3* handle_ = nullptr;
};

}  // namespace tf::store
