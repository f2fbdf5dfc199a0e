#pragma once

#include "store/record_store.h"

// The record store of the local file Par.mdb. Every operation opens a connection of its own for
// its duration (nothing is held open between the clerk's actions); statements are prepared once
// an operation and bound by position through SQLite's own interface. Listing and searching read
// the file's index of its records (store/record_index.h) when it stands, the records themselves
// otherwise.

namespace tf::store {

class RawStatement;

class SqliteRecordStore : public RecordStore {
public:
    explicit SqliteRecordStore(const AppContext& ctx) : ctx_(ctx) {}

    bool LoadCurrentText(FieldTexts& texts) override;
    bool StoreCurrentText(const FieldTexts& texts) override;
    QList<RecordKey> StoreVouchers(const QDateTime& now,
                                   const QList<FieldTexts>& vouchers) override;
    std::unique_ptr<ImportSink> BeginImport(const ImportPlan& plan) override;
    std::optional<QList<RecordKey>> ListKeys() override;
    std::optional<QList<Record>> ReadRecords(std::span<const RecordKey> keys,
                                             Fields which) override;
    bool ReadShownUtf8(
        std::span<const RecordKey> keys,
        const std::function<void(size_t at, int field, QByteArrayView text)>& each) override;
    bool ReadField(int field, const std::function<void(RecordKey, QStringView)>& each) override;
    std::optional<QList<RecordKey>> Search(const QString& text) override;
    bool Delete(std::span<const RecordKey> keys) override;
    bool Clear() override;
    DbFailure LastFailure() const override { return failure_; }
    QString FailureText(bool withDetail = false) const override;

    // Keeps the failure of an operation on db.
    void Remember(const Database& db);

private:
    // Reads the rows of each key's group, of the fields asked for, in one read transaction:
    // each(i, field, row) for every row of keys[i], its text in the row's column 1. False when
    // it failed (the clerk has been told why).
    bool ReadGroups(std::span<const RecordKey> keys, Fields which,
                    const std::function<void(size_t i, int field, const RawStatement& row)>& each);

    const AppContext& ctx_;
    DbFailure failure_ = DbFailure::None;
    QString failureText_;
    QString failureDetailText_;
};

// `count` timestamps, whole seconds in time order, that no record holds, for records the
// caller stores in db's open transaction (so no other writer can take them in between).
// They come after every record held up to `now` and end at `now` when the seconds before it
// are free, running past `now` only as far as that needs; the reserved timestamp is never
// one. Empty when the held timestamps cannot be read (the cause is db's last failure).
QList<QDateTime> FreeTimestamps(Database& db, const QDateTime& now, qsizetype count);

// The import of the local file: see sqlite_import.cpp.
std::unique_ptr<ImportSink> BeginSqliteImport(SqliteRecordStore& store, const AppContext& ctx,
                                              const ImportPlan& plan);

}  // namespace tf::store
