#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "common/app_context.h"
#include "common/fields.h"
#include "store/database.h"

// The print records of table 记录 and the voucher text kept across restarts, behind one
// interface: every statement on 记录 lives in an implementation of RecordStore (the local
// SQLite file, an office server), never in its callers.
//
// A stored voucher is the group of rows of one timestamp (Dat), one row per field (Ctl) with
// its text (Con). Imported vouchers hold only the fields the import fills; readers accept
// groups with fewer rows. The group under the reserved timestamp CurrentTextDate() is the
// voucher text kept at exit, never a print record: no listing, search, delete or clear sees it.

namespace tf::store {

// A stored voucher's key: its timestamp as seconds since 1970-01-01 00:00:00, counted on the
// calendar the stored text names (no time zone), so keys order as the timestamps do.
using RecordKey = qint64;

// The reserved timestamp under which the voucher on screen at exit is kept.
QDateTime CurrentTextDate();

// The stored form of a timestamp: "YYYY-MM-DD HH:MM:SS", so text order is time order.
QString DateText(const QDateTime& when);
// A moment as a record keeps it: to the whole second, as its stored form reads back.
QDateTime RecordTime(const QDateTime& when);
// The day part of a stored timestamp, "YYYY-MM-DD", and back (invalid when not of that form).
QString DayText(QDate day);
QDate DayFromText(const QString& text);

// The key of a stored timestamp text; nothing for a text that is not exactly of the stored form
// with a valid date and time.
std::optional<RecordKey> KeyOfDat(QStringView dat);
std::optional<RecordKey> KeyOfDat(QByteArrayView utf8);
// The stored timestamp text of a key.
QString DatOfKey(RecordKey key);
// The key of a moment by its date and time of day as shown (whole seconds), and back.
RecordKey KeyOfTime(const QDateTime& when);
QDateTime TimeOfKey(RecordKey key);

// The fields the history list shows, in its column order: the voucher items and the remarks.
using tf::kRemarksField;
inline constexpr std::array<int, 17> kShownFields{
    2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, kRemarksField};
bool IsShownField(int field);

// The field number ReadShownUtf8 gives the login of the clerk who stored a record.
inline constexpr int kPrintedByField = -1;

// Which texts of a record to read.
enum class Fields {
    Shown,  // the fields of kShownFields
    All,    // every field 2..33
};

// A stored voucher: its key and its texts (fields without a row, or not read, are null).
struct Record {
    RecordKey key = 0;
    FieldTexts texts;
    // The login of the clerk who stored it ("打印人"), where the store keeps one
    // (RecordStore::KeepsPrintedBy); empty otherwise.
    QString printedBy;
};

// What a watch tells: the records stored or deleted, or (Unknown) that anything may have
// changed, when the store cannot say which.
struct RecordsChange {
    enum class Kind { Unknown, Added, Removed };
    Kind kind = Kind::Unknown;
    QList<RecordKey> keys;
};

// While it lives, the store tells its owner of records other programs store or delete.
class RecordsWatch {
public:
    virtual ~RecordsWatch() = default;
};

// What an import stores and how it waits.
struct ImportPlan {
    // The fields each row stores, one row of 记录 per field, also for an empty text.
    QList<int> fields;
    // Rows are stored under free midnight dates: this day first, then the nearest earlier days
    // no voucher uses, never the reserved date.
    QDate firstDay;
    // About how many rows will come (to read the used dates in one go); a hint only.
    qint64 expectedRows = 0;
    // Asked after about a second of waiting for a database another program holds: true waits
    // on, false stops the import (Stopped() then tells so). Unset: wait as every action does.
    std::function<bool()> waitOnLock;
};

// The rows of one import, stored in one transaction.
class ImportSink {
public:
    virtual ~ImportSink() = default;
    // Stores one row's texts of ImportPlan::fields under the next free midnight date, all its
    // fields or none. Its key, or nothing on a failure (the store's LastFailure, or Stopped());
    // the rows stored before stay in the transaction.
    virtual std::optional<RecordKey> Add(const FieldTexts& texts) = 0;
    // Ends the transaction keeping the rows added, or dropping them all. False, with the store's
    // LastFailure, when the commit failed: then nothing is stored. Without a row added there is
    // nothing to end.
    virtual bool Commit() = 0;
    virtual void Rollback() = 0;
    // True once the clerk chose to stop waiting for the database (ImportPlan::waitOnLock).
    virtual bool Stopped() const = 0;
};

// Every operation on the print records and the kept voucher text.
//
// Failures: reading operations tell the clerk themselves why they failed (once per call, a
// damaged file once per run) and return nothing or false; writing operations tell nothing and
// return false or nothing, with LastFailure() and FailureText() for the caller, who names what
// was not kept. A write is all or nothing.
class RecordStore {
public:
    virtual ~RecordStore() = default;

    // ---- the voucher text kept across restarts ----
    // Puts the kept text of each field that has one into texts. False when it cannot be read.
    virtual bool LoadCurrentText(FieldTexts& texts) = 0;
    // Replaces the kept text by fields 2..33 of texts.
    virtual bool StoreCurrentText(const FieldTexts& texts) = 0;

    // ---- storing print records ----
    // Stores each voucher (fields 2..33) as a print record under a timestamp no other record
    // holds, chosen inside the storing transaction: in time order, after every record held up to
    // `now`, ending at `now` when the seconds before it are free. The keys used, oldest first,
    // or none when nothing was stored.
    virtual QList<RecordKey> StoreVouchers(const QDateTime& now,
                                           const QList<FieldTexts>& vouchers) = 0;
    // An import: its transaction begins with the first row added, holding the right to write
    // until it ends.
    virtual std::unique_ptr<ImportSink> BeginImport(const ImportPlan& plan) = 0;

    // ---- reading ----
    // The keys of every print record, oldest first.
    virtual std::optional<QList<RecordKey>> ListKeys() = 0;
    // The records of the keys, in the order of the keys; a key no record has is passed over.
    // Callers read in pages (a screenful, a chunk of an export), not the whole history at once.
    virtual std::optional<QList<Record>> ReadRecords(std::span<const RecordKey> keys,
                                                     Fields which) = 0;
    // The shown fields of the records of the keys as UTF-8, for passing them on unread (an
    // export): each(at, field, text) for every shown field a record holds, in the order of the
    // keys (`at` the key's index), and with kPrintedByField for who stored it where the store
    // keeps that. The text is valid during the call only. False when it cannot be read.
    virtual bool ReadShownUtf8(
        std::span<const RecordKey> keys,
        const std::function<void(size_t at, int field, QByteArrayView text)>& each);
    // Every print record's text of one field (for sorting): each(key, text) once per record
    // holding that field, in no particular order. False when it cannot be read.
    virtual bool ReadField(int field, const std::function<void(RecordKey, QStringView)>& each) = 0;
    // The keys of the print records of which a shown field contains the text (case-sensitive),
    // oldest first; every key for the empty text.
    virtual std::optional<QList<RecordKey>> Search(const QString& text) = 0;

    // ---- removing ----
    // Deletes the print records of the keys, all of them or none.
    virtual bool Delete(std::span<const RecordKey> keys) = 0;
    // Deletes every print record; the kept voucher text stays.
    virtual bool Clear() = 0;

    // ---- several clerks on one database ----
    // True when every record carries the login of the clerk who stored it (Record::printedBy):
    // the history shows it as the column "打印人" and exports it as the last column.
    virtual bool KeepsPrintedBy() const { return false; }
    // Calls `changed` (on this thread, from its event loop) after records were stored or
    // deleted, by this program or another, until the watch returned is destroyed; null where
    // no other program writes.
    virtual std::unique_ptr<RecordsWatch> Watch(std::function<void(const RecordsChange&)> changed) {
        (void)changed;
        return nullptr;
    }

    // ---- failures ----
    // Why the last failed operation failed.
    virtual DbFailure LastFailure() const = 0;
    // The last failure in plain words naming the database; withDetail adds the database's own
    // words where the cause has no message of its own.
    virtual QString FailureText(bool withDetail = false) const = 0;
};

// The record store in use: the context's choice (AppContext::openRecordStore) when one is
// set, otherwise the local file Par.mdb.
std::unique_ptr<RecordStore> OpenRecordStore(const AppContext& ctx);

// The store in use for one step, for callers that only keep the voucher text or store print
// records. Each store tells the clerk what was not kept and why when it fails.
//
// Stores the texts of fields 2..33: at the reserved timestamp as the kept voucher text,
// otherwise as a print record under `when` or the next second no record holds
// (StoreTextsBatch). True when stored.
bool StoreTexts(const AppContext& ctx, const QDateTime& when, const FieldTexts& texts);
// Stores the vouchers as print records in one transaction (RecordStore::StoreVouchers) and
// returns their timestamps, oldest first, or none when nothing was stored.
QList<QDateTime> StoreTextsBatch(const AppContext& ctx, const QDateTime& now,
                                 const QList<FieldTexts>& vouchers);
// Puts the kept voucher text into the fields that have one.
void LoadCurrentText(const AppContext& ctx, FieldTexts& texts);

}  // namespace tf::store
