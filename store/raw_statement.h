#pragma once

#include <QString>

#include "store/database.h"

struct sqlite3;
struct sqlite3_stmt;

// Bulk writes through SQLite's own interface on a Database's connection: a statement prepared
// once, its values bound by position straight from the texts, without the per-value names and
// copies of QSqlQuery. For the SQLite file only.

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

private:
    void NoteFailure(int code);

    Database& db_;
    sqlite3* handle_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace tf::store
