#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "store/record_store.h"

// The SQLite file's index of its print records, beside the three tables and never changing
// them: the table 记录键 lists every print record's key, and the full-text table 记录检索
// (FTS5, trigram tokens, case-sensitive) holds the text of every shown field, so a search of a
// million vouchers reads an index instead of every row. Triggers on 记录 keep both up to date
// whoever writes the file; the index is built from the records when it is missing or
// incomplete.

namespace tf::store {

class Database;

// True when the file holds the whole index: both tables and the triggers on 记录.
bool RecordIndexReady(Database& db);

// Builds the index from the records when it is not whole, inside the caller's transaction,
// showing progress for a large history. True when it stands.
bool EnsureRecordIndex(Database& db);

// For deleting every print record at once: without the triggers, which would update the index
// row by row, the records go in one sweep; then the index is emptied and the triggers come
// back. Inside the caller's transaction.
bool DropIndexTriggers(Database& db);
bool EmptyIndexAndRestoreTriggers(Database& db);

// Whether the index can answer a search for the text: all but a text holding the character
// that ends every indexed text.
bool IndexCanSearch(const QString& text);

// The keys, oldest first, of the print records a shown field of which contains the text, read
// from the index (RecordIndexReady, IndexCanSearch). A failed read is noted in the database's
// last failure.
std::optional<QList<RecordKey>> SearchIndex(Database& db, const QString& text);

// The keys of the index's key table, oldest first.
std::optional<QList<RecordKey>> IndexedKeys(Database& db);

}  // namespace tf::store
