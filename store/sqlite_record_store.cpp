#include "store/sqlite_record_store.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <algorithm>
#include <vector>

#include "store/database.h"
#include "store/parties.h"
#include "store/raw_statement.h"
#include "store/record_index.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

QString KeptDat() {
    return DateText(CurrentTextDate());
}

// The readable form of a query on one group, for messages.
QString GroupShown(const QString& dat) {
    return u"SELECT * FROM 记录 WHERE Dat=#"_s + dat + u'#';
}

QString ListShown() {
    return u"SELECT * FROM 记录 WHERE Dat<>#1973-08-18# ORDER BY Dat DESC"_s;
}

// The SQL condition on Ctl of the shown fields.
QString ShownCondition() {
    return u"(Ctl BETWEEN 2 AND 17 OR Ctl=27)"_s;
}

// Writes whole vouchers, fields 2..33, one statement a voucher.
class VoucherWriter {
public:
    explicit VoucherWriter(Database& db) : insert_(db, Sql()) {}

    bool Store(const QString& dat, const FieldTexts& texts) {
        int at = 0;
        for (int i = kFirstField; i <= kLastField; ++i) {
            insert_.Bind(at++, dat);
            insert_.Bind(at++, qint64{i});
            insert_.Bind(at++, texts[i]);  // a field without text is stored as the empty text
        }
        return insert_.Run();
    }

private:
    static QString Sql() {
        QStringList tuples;
        for (int i = kFirstField; i <= kLastField; ++i) tuples.append(u"(?,?,?)"_s);
        return u"INSERT INTO 记录 (Dat, Ctl, Con) VALUES "_s + tuples.join(u',');
    }
    RawStatement insert_;
};

bool Exec(Database& db, const QString& sql, const QVariantList& values = {}) {
    return db.ExecuteSql(sql, values);
}

}  // namespace

void SqliteRecordStore::Remember(const Database& db) {
    failure_ = db.LastFailure();
    failureDetailText_ = db.FailureText();
    // The cause in plain words naming the file; SQLite's own words only on request.
    failureText_ =
        failure_ == DbFailure::None || failure_ == DbFailure::Other
            ? FailureMessage(DbFailure::Other, QFileInfo(ctx_.DatabasePath()).absoluteFilePath())
            : failureDetailText_;
}

QString SqliteRecordStore::FailureText(bool withDetail) const {
    return withDetail ? failureDetailText_ : failureText_;
}

bool SqliteRecordStore::LoadCurrentText(FieldTexts& texts) {
    Database db(ctx_);
    const QString dat = KeptDat();
    if (db.OpenDatabase()) {
        RawStatement group(db, u"SELECT Ctl, Con FROM 记录 WHERE Dat=?"_s);
        group.Bind(0, dat);
        while (group.Next()) {
            const qint64 ctl = group.Int(0);
            if (ctl >= kFirstField && ctl <= kLastField)
                texts[static_cast<int>(ctl)] = group.Text(1).toString();
        }
        if (!group.Failed()) return true;
    }
    Remember(db);
    db.ReportQueryFailure(GroupShown(dat));
    return false;
}

bool SqliteRecordStore::StoreCurrentText(const FieldTexts& texts) {
    Database db(ctx_, Database::Reports::ToCaller);
    const QString dat = KeptDat();
    // The kept voucher text is replaced as a whole or stays as it was.
    if (db.Begin() && Exec(db, u"DELETE FROM 记录 WHERE Dat=?"_s, {dat}) &&
        VoucherWriter(db).Store(dat, texts) && db.Commit())
        return true;
    db.Rollback();
    Remember(db);
    return false;
}

QList<RecordKey> SqliteRecordStore::StoreVouchers(const QDateTime& now,
                                                  const QList<FieldTexts>& vouchers) {
    if (vouchers.isEmpty()) return {};
    Database db(ctx_, Database::Reports::ToCaller);
    QList<RecordKey> keys;
    bool ok = db.Begin();
    if (ok) {
        // Chosen inside the transaction that inserts them: no other store can take them.
        const QList<QDateTime> stamps = FreeTimestamps(db, now, vouchers.size());
        ok = stamps.size() == vouchers.size();
        PartyUpdates parties(db);
        VoucherWriter writer(db);
        for (qsizetype i = 0; ok && i < vouchers.size(); ++i) {
            const QString dat = DateText(stamps[i]);
            ok = writer.Store(dat, vouchers[i]);
            parties.Add(dat, vouchers[i]);
            keys.append(KeyOfTime(stamps[i]));
        }
        ok = ok && parties.Write() && db.Commit();
    }
    if (ok) return keys;
    db.Rollback();
    Remember(db);
    return {};
}

std::unique_ptr<ImportSink> SqliteRecordStore::BeginImport(const ImportPlan& plan) {
    return BeginSqliteImport(*this, ctx_, plan);
}

std::optional<QList<RecordKey>> SqliteRecordStore::ListKeys() {
    Database db(ctx_);
    if (db.OpenDatabase()) {
        if (RecordIndexReady(db)) {
            if (std::optional<QList<RecordKey>> keys = IndexedKeys(db)) return keys;
        } else {
            RawStatement dats(db, u"SELECT DISTINCT Dat FROM 记录 WHERE Dat<>? ORDER BY Dat"_s);
            const QString kept = KeptDat();
            dats.Bind(0, kept);
            QList<RecordKey> keys;
            while (dats.Next())
                if (const std::optional<RecordKey> key = KeyOfDat(dats.Utf8(0))) keys.append(*key);
            if (!dats.Failed()) return keys;
        }
    }
    Remember(db);
    db.ReportQueryFailure(ListShown());
    return std::nullopt;
}

bool SqliteRecordStore::ReadGroups(
    std::span<const RecordKey> keys, Fields which,
    const std::function<void(size_t i, int field, const RawStatement& row)>& each) {
    Database db(ctx_);
    QString dat;
    if (db.OpenDatabase()) {
        RawStatement group(
            db, u"SELECT Ctl, Con FROM 记录 WHERE Dat=?"_s +
                    (which == Fields::Shown ? u" AND "_s + ShownCondition() : QString()));
        const ReadTransaction reading(db);
        bool ok = group.IsReady();
        for (size_t i = 0; ok && i < keys.size(); ++i) {
            dat = DatOfKey(keys[i]);
            group.Bind(0, dat);
            while (group.Next()) each(i, static_cast<int>(group.Int(0)), group);
            ok = !group.Failed();
        }
        if (ok) return true;
    }
    Remember(db);
    db.ReportQueryFailure(GroupShown(dat));
    return false;
}

std::optional<QList<Record>> SqliteRecordStore::ReadRecords(std::span<const RecordKey> keys,
                                                            Fields which) {
    QList<Record> records;
    records.reserve(static_cast<qsizetype>(keys.size()));
    // A key no record has (deleted meanwhile) has no rows and is passed over.
    size_t last = keys.size();
    const bool read = ReadGroups(keys, which, [&](size_t i, int field, const RawStatement& row) {
        if (field < kFirstField || field > kLastField) return;
        if (i != last) {
            records.emplace_back().key = keys[i];
            last = i;
        }
        records.back().texts[field] = row.Text(1).toString();
    });
    if (!read) return std::nullopt;
    return records;
}

bool SqliteRecordStore::ReadShownUtf8(
    std::span<const RecordKey> keys,
    const std::function<void(size_t at, int field, QByteArrayView text)>& each) {
    return ReadGroups(keys, Fields::Shown, [&](size_t i, int field, const RawStatement& row) {
        each(i, field, row.Utf8(1));
    });
}

bool SqliteRecordStore::ReadField(int field,
                                  const std::function<void(RecordKey, QStringView)>& each) {
    Database db(ctx_);
    if (db.OpenDatabase()) {
        RawStatement column(db, u"SELECT Dat, Con FROM 记录 WHERE Ctl=?"_s);
        column.Bind(0, qint64{field});
        const RecordKey kept = KeyOfTime(CurrentTextDate());
        // The texts are decoded into one buffer, not each into a string of its own.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        std::vector<QChar> text;
        while (column.Next()) {
            const std::optional<RecordKey> key = KeyOfDat(column.Utf8(0));
            if (!key || *key == kept) continue;
            const QByteArrayView utf8 = column.Utf8(1);
            text.resize(static_cast<size_t>(decoder.requiredSpace(utf8.size())));
            const QChar* end = decoder.appendToBuffer(text.data(), utf8);
            each(*key, QStringView(text.data(), end));
        }
        if (!column.Failed()) return true;
    }
    Remember(db);
    db.ReportQueryFailure(u"SELECT Dat, Con FROM 记录 WHERE Ctl="_s + QString::number(field));
    return false;
}

std::optional<QList<RecordKey>> SqliteRecordStore::Search(const QString& text) {
    if (text.isEmpty()) return ListKeys();
    Database db(ctx_);
    if (db.OpenDatabase()) {
        if (RecordIndexReady(db) && IndexCanSearch(text)) {
            if (std::optional<QList<RecordKey>> keys = SearchIndex(db, text)) return keys;
        } else {
            // Without the index: every shown field of every record.
            RawStatement scan(db, u"SELECT DISTINCT Dat FROM 记录 WHERE Dat<>? AND "_s +
                                      ShownCondition() + u" AND instr(Con, ?)>0"_s);
            const QString kept = KeptDat();
            scan.Bind(0, kept);
            scan.Bind(1, text);
            QList<RecordKey> keys;
            while (scan.Next())
                if (const std::optional<RecordKey> key = KeyOfDat(scan.Utf8(0))) keys.append(*key);
            if (!scan.Failed()) {
                std::sort(keys.begin(), keys.end());
                return keys;
            }
        }
    }
    Remember(db);
    db.ReportQueryFailure(u"SELECT * FROM 记录 WHERE Con LIKE '%"_s + text + u"%'"_s);
    return std::nullopt;
}

bool SqliteRecordStore::Delete(std::span<const RecordKey> keys) {
    Database db(ctx_, Database::Reports::ToCaller);
    bool ok = db.Begin();
    if (ok) {
        PartyUpdates parties(db);
        RawStatement remove(db, u"DELETE FROM 记录 WHERE Dat=?"_s);
        for (size_t i = 0; ok && i < keys.size(); ++i) {
            const QString dat = DatOfKey(keys[i]);
            remove.Bind(0, dat);
            ok = parties.Remove(dat) && remove.Run();
        }
        ok = ok && parties.Write() && db.Commit();
    }
    if (ok) return true;
    // Nothing was deleted.
    db.Rollback();
    Remember(db);
    return false;
}

bool SqliteRecordStore::Clear() {
    Database db(ctx_, Database::Reports::ToCaller);
    bool ok = db.Begin();
    if (ok) {
        // The whole history goes in one statement, or none of it.
        const bool indexed = RecordIndexReady(db);
        PartyUpdates parties(db);
        ok = (!indexed || DropIndexTriggers(db)) &&
             Exec(db, u"DELETE FROM 记录 WHERE Dat<>?"_s, {KeptDat()}) &&
             (!indexed || EmptyIndexAndRestoreTriggers(db)) && parties.Clear() && parties.Write() &&
             db.Commit();
    }
    if (ok) return true;
    db.Rollback();
    Remember(db);
    return false;
}

QList<QDateTime> FreeTimestamps(Database& db, const QDateTime& now, qsizetype count) {
    if (count <= 0) return {};
    const QDateTime last = RecordTime(now);
    QDateTime start = last.addSecs(-(count - 1));
    QSqlQuery latest(db.Connection());
    latest.prepare(u"SELECT MAX(Dat) FROM 记录 WHERE Dat<=?"_s);
    latest.addBindValue(DateText(last));
    if (!latest.exec() || !latest.next()) {
        db.NoteFailure(latest.lastError());
        return {};
    }
    // After the latest record up to now, so a later print never sorts before an earlier one.
    const std::optional<RecordKey> held = KeyOfDat(latest.value(0).toString());
    if (held && TimeOfKey(*held) >= start) start = TimeOfKey(*held).addSecs(1);

    // Beyond that record only timestamps after now can be held (a clock set back, a batch
    // that had to run ahead): those are stepped over.
    QSqlQuery used(db.Connection());
    used.prepare(u"SELECT 1 FROM 记录 WHERE Dat=? LIMIT 1"_s);
    QList<QDateTime> free;
    for (QDateTime t = start; free.size() < count; t = t.addSecs(1)) {
        if (t == CurrentTextDate()) continue;
        used.addBindValue(DateText(t));
        if (!used.exec()) {
            db.NoteFailure(used.lastError());
            return {};
        }
        if (!used.next()) free.append(t);
        used.finish();
    }
    return free;
}

}  // namespace tf::store
