#pragma once

#include "store/record_store.h"
#include "store/server_connection.h"

// The record store of an office database server (PostgreSQL through Qt's QPSQL driver).
// Several clerks store, import and delete at the same time:
// - a stored voucher, a batch or an imported row takes a timestamp no other record holds: the
//   server's unique key on (Dat, Ctl) refuses a second group under one timestamp, and a store
//   that meets it picks the next free seconds again inside its transaction;
// - the list of vouchers (table 凭证, kept by the server's triggers) carries the login of the
//   clerk who stored each one, and every change is told on the channel tallyform_records;
// - rows go to the server in bulk (records with COPY, quick fill's changes as arrays unnested
//   by one statement), never a round trip a row.
// The voucher text kept across restarts belongs to the desk, not the office: it stays in the
// local file Par.mdb, so it survives a server that cannot be reached.

namespace tf::store {

class Database;

class ServerRecordStore final : public RecordStore {
public:
    explicit ServerRecordStore(const AppContext& ctx);
    ~ServerRecordStore() override;

    bool LoadCurrentText(FieldTexts& texts) override;
    bool StoreCurrentText(const FieldTexts& texts) override;
    QList<RecordKey> StoreVouchers(const QDateTime& now,
                                   const QList<FieldTexts>& vouchers) override;
    std::unique_ptr<ImportSink> BeginImport(const ImportPlan& plan) override;
    std::optional<QList<RecordKey>> ListKeys() override;
    std::optional<QList<Record>> ReadRecords(std::span<const RecordKey> keys,
                                             Fields which) override;
    bool ReadField(int field, const std::function<void(RecordKey, QStringView)>& each) override;
    std::optional<QList<RecordKey>> Search(const QString& text) override;
    bool Delete(std::span<const RecordKey> keys) override;
    bool Clear() override;
    bool KeepsPrintedBy() const override { return true; }
    std::unique_ptr<RecordsWatch> Watch(std::function<void(const RecordsChange&)> changed) override;
    DbFailure LastFailure() const override { return failure_; }
    QString FailureText(bool withDetail = false) const override;

    // What a failed write was doing, for the clerk's message when the server refused it.
    enum class Action { Read, Store, Import, Delete, Clear };
    // Keeps the failure of an operation on db; false, for returning.
    bool Remember(const Database& db, Action action);

private:
    const AppContext& ctx_;
    // The same surroundings with the local file as the database, for the kept voucher text.
    AppContext local_;
    DbFailure failure_ = DbFailure::None;
    Action action_ = Action::Read;
    QString failureText_;
};

// The COPY that inserts rows of 记录.
CopyStream RecordCopy(Database& db);

// Groups of rows for 记录, sent to the server with one COPY.
class RecordRows {
public:
    void Add(const QString& dat, int ctl, const QString& con);
    void AddVoucher(const QString& dat, const FieldTexts& texts, const QList<int>& fields);
    qsizetype Size() const { return size_; }
    void Clear();
    // Inserts them in db's open transaction. False on failure, noted on db (a unique key met
    // shows as IsUniqueViolation of the error given back in *error).
    bool Insert(Database& db, QSqlError* error = nullptr) const;
    // Sends them into a COPY of RecordCopy kept open by the caller.
    bool SendTo(CopyStream& copy) const { return copy.Send(rows_); }

private:
    CopyRows rows_;
    qsizetype size_ = 0;
};

// `count` timestamps, whole seconds in time order, that no record on the server holds, for
// records the caller inserts in db's open transaction: after every record held up to `now`,
// ending at `now` when the seconds before it are free, running past `now` only as far as that
// needs. Another client may take one before the caller commits; the unique key then refuses
// the insert and the caller picks again. Empty on failure (noted on db).
QList<QDateTime> FreeServerTimestamps(Database& db, const QDateTime& now, qsizetype count);

// Notices on the records' channel that name the vouchers a change stores or deletes, so that a
// watching window takes in those records instead of listing every key again. The triggers on
// 记录 send a plain notice ("insert", "delete" …) for every other change. See server_watch.cpp.
//
// Most vouchers one notice names; a change of more is told by the plain notice.
constexpr qsizetype kMostKeysNamed = 300;
// Makes db's open transaction send its own notice (TellOnCommit) in place of the triggers'
// plain one: call before the transaction writes to 记录.
bool NameChangedRecords(Database& db);
// Sends the notice naming `keys` when db's transaction commits.
bool TellOnCommit(Database& db, RecordsChange::Kind kind, std::span<const RecordKey> keys);
// What a notice tells; Unknown for the triggers' plain notice or one not understood.
RecordsChange ChangeOfNotice(QStringView notice);

// The import of the server: see server_import.cpp.
std::unique_ptr<ImportSink> BeginServerImport(ServerRecordStore& store, const AppContext& ctx,
                                              const ImportPlan& plan);

}  // namespace tf::store
