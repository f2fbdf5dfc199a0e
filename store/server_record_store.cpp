#include "store/server_record_store.h"

#include <QSqlError>
#include <QSqlQuery>

#include "store/database.h"
#include "store/database_setting.h"
#include "store/parties.h"
#include "store/record_store.h"
#include "store/server_connection.h"
#include "store/server_schema.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

// How often a store picks its timestamps again after another client took one of them.
constexpr int kPickTries = 50;

QString KeptDat() {
    return DateText(CurrentTextDate());
}

QStringList DatsOf(std::span<const RecordKey> keys) {
    QStringList dats;
    dats.reserve(static_cast<qsizetype>(keys.size()));
    for (const RecordKey key : keys) dats.append(DatOfKey(key));
    return dats;
}

QList<int> ShownFieldList() {
    return QList<int>(kShownFields.begin(), kShownFields.end());
}

QList<int> AllFields() {
    QList<int> fields;
    for (int i = kFirstField; i <= kLastField; ++i) fields.append(i);
    return fields;
}

// The keys of the first column of a query's rows, in their order.
bool ReadKeys(Database& db, const QString& sql, const QVariantList& values,
              QList<RecordKey>& keys) {
    QSqlQuery q(db.Connection());
    if (!RunOnServer(db, q, sql, values)) return false;
    keys.reserve(q.size() > 0 ? q.size() : 0);
    while (q.next())
        if (const auto key = KeyOfDat(q.value(0).toString())) keys.append(*key);
    return true;
}

// A savepoint in the open transaction, to step back to when a unique key is met.
bool Savepoint(Database& db, const QString& command) {
    QSqlQuery q(db.Connection());
    return RunOnServer(db, q, command + u" tf_pick"_s);
}

QString NoRightText(ServerRecordStore::Action action) {
    switch (action) {
        case ServerRecordStore::Action::Store:
            return u"没有保存打印记录的权限，请联系管理员"_s;
        case ServerRecordStore::Action::Import:
            return u"没有导入数据的权限，请联系管理员"_s;
        case ServerRecordStore::Action::Delete:
            return u"没有删除记录的权限，请联系管理员"_s;
        case ServerRecordStore::Action::Clear:
            return u"没有清空历史记录的权限，请联系管理员"_s;
        case ServerRecordStore::Action::Read:
            break;
    }
    return u"没有读取历史记录的权限，请联系管理员"_s;
}

}  // namespace

// ---- RecordRows ------------------------------------------------------------------------

void RecordRows::Add(const QString& dat, int ctl, const QString& con) {
    rows_.AddText(dat);
    rows_.AddNumber(ctl);
    rows_.AddText(con);
    rows_.EndRow();
    ++size_;
}

void RecordRows::AddVoucher(const QString& dat, const FieldTexts& texts, const QList<int>& fields) {
    for (const int field : fields) Add(dat, field, texts[field]);
}

void RecordRows::Clear() {
    rows_ = {};
    size_ = 0;
}

CopyStream RecordCopy(Database& db) {
    return CopyStream(db, u"COPY 记录 (Dat, Ctl, Con) FROM STDIN"_s);
}

bool RecordRows::Insert(Database& db, QSqlError* error) const {
    CopyStream copy = RecordCopy(db);
    return copy.Send(rows_, error) && copy.Finish(error);
}

// ---- free timestamps -------------------------------------------------------------------

namespace {

// The first second at or after `from` that no record holds: past the run of held seconds that
// starts there, found by the server in one pass over its voucher list.
std::optional<QDateTime> FirstFreeFrom(Database& db, const QDateTime& from) {
    QSqlQuery q(db.Connection());
    const QString next = u"to_char(d::timestamp + interval '1 second', 'YYYY-MM-DD HH24:MI:SS')"_s;
    if (!RunOnServer(db, q,
                     u"SELECT CASE WHEN NOT EXISTS (SELECT 1 FROM 凭证 WHERE Dat = ?) THEN ? ELSE ("
                     u"SELECT "_s +
                         next +
                         u" FROM (SELECT Dat AS d, lead(Dat) OVER (ORDER BY Dat) AS n FROM 凭证 "
                         u"WHERE Dat >= ?) run WHERE n IS NULL OR n <> "_s +
                         next + u" ORDER BY d LIMIT 1) END"_s,
                     {DateText(from), DateText(from), DateText(from)}) ||
        !q.next())
        return std::nullopt;
    return TimeOfKey(KeyOfDat(q.value(0).toString()).value_or(KeyOfTime(from)));
}

// The earliest held second after `from`, or nothing when none is held.
bool NextHeldAfter(Database& db, const QDateTime& from, std::optional<QDateTime>& held) {
    QSqlQuery q(db.Connection());
    if (!RunOnServer(db, q, u"SELECT MIN(Dat) FROM 凭证 WHERE Dat > ?"_s, {DateText(from)}) ||
        !q.next())
        return false;
    const auto key = KeyOfDat(q.value(0).toString());
    held = key ? std::optional(TimeOfKey(*key)) : std::nullopt;
    return true;
}

}  // namespace

QList<QDateTime> FreeServerTimestamps(Database& db, const QDateTime& now, qsizetype count) {
    if (count <= 0) return {};
    const QDateTime last = RecordTime(now);
    QDateTime start = last.addSecs(-(count - 1));
    QSqlQuery latest(db.Connection());
    if (!RunOnServer(db, latest, u"SELECT MAX(Dat) FROM 凭证 WHERE Dat <= ?"_s, {DateText(last)}) ||
        !latest.next())
        return {};
    // After the latest record up to now, so a later print never sorts before an earlier one.
    if (const auto held = KeyOfDat(latest.value(0).toString()); held && TimeOfKey(*held) >= start)
        start = TimeOfKey(*held).addSecs(1);

    QList<QDateTime> free;
    QDateTime t = start;
    // Up to now every second after the latest record is free; beyond it only records stored
    // ahead (a clock set back, batches that ran ahead, other clerks) are stepped over.
    while (free.size() < count) {
        std::optional<QDateTime> end;  // the first held second after the free run at t
        if (t > last) {
            const auto first = FirstFreeFrom(db, t);
            if (!first || !NextHeldAfter(db, *first, end)) return {};
            t = *first;
        } else {
            end = last.addSecs(1);
        }
        for (; free.size() < count && (!end || t < *end); t = t.addSecs(1))
            if (t != CurrentTextDate()) free.append(t);
    }
    return free;
}

// ---- ServerRecordStore -----------------------------------------------------------------

ServerRecordStore::ServerRecordStore(const AppContext& ctx)
    : ctx_(ctx), local_(LocalFileContext(ctx)) {}

ServerRecordStore::~ServerRecordStore() = default;

bool ServerRecordStore::Remember(const Database& db, Action action) {
    failure_ = db.LastFailure();
    action_ = action;
    failureText_ = failure_ == DbFailure::NoRight ? NoRightText(action) : db.FailureText();
    return false;
}

QString ServerRecordStore::FailureText(bool withDetail) const {
    (void)withDetail;  // the server's own words are part of the text where no cause names them
    return failureText_;
}

bool ServerRecordStore::LoadCurrentText(FieldTexts& texts) {
    store::LoadCurrentText(local_, texts);
    return true;
}

bool ServerRecordStore::StoreCurrentText(const FieldTexts& texts) {
    return StoreTexts(local_, CurrentTextDate(), texts);
}

QList<RecordKey> ServerRecordStore::StoreVouchers(const QDateTime& now,
                                                  const QList<FieldTexts>& vouchers) {
    if (vouchers.isEmpty()) return {};
    Database db(ctx_, Database::Reports::ToCaller);
    // Stores of all clerks pick their seconds one after another; the unique key and the
    // picking again below guard against writers outside the program.
    const bool named = vouchers.size() <= kMostKeysNamed;
    if (!db.Begin() || !TakeServerLock(db, ServerLock::Seconds) ||
        (named && !NameChangedRecords(db)))
        return Remember(db, Action::Store), QList<RecordKey>{};
    const QList<int> fields = AllFields();
    QList<QDateTime> stamps;
    bool stored = false;
    for (int attempt = 0; !stored && attempt < kPickTries; ++attempt) {
        if (!Savepoint(db, u"SAVEPOINT"_s)) break;
        stamps = FreeServerTimestamps(db, now, vouchers.size());
        // A midnight belongs to imports: wait until no import runs, then pick again.
        const bool midnight = std::any_of(stamps.cbegin(), stamps.cend(), [](const QDateTime& t) {
            return t.time() == QTime(0, 0);
        });
        if (midnight && (!TakeServerLock(db, ServerLock::Midnights, {}, true) ||
                         (stamps = FreeServerTimestamps(db, now, vouchers.size())).isEmpty()))
            break;
        if (stamps.size() != vouchers.size()) break;
        RecordRows rows;
        for (qsizetype i = 0; i < vouchers.size(); ++i)
            rows.AddVoucher(DateText(stamps[i]), vouchers[i], fields);
        QSqlError error;
        stored = rows.Insert(db, &error);
        // Another clerk stored under one of these seconds first: step back and pick again.
        if (!stored && (!IsUniqueViolation(error) || !Savepoint(db, u"ROLLBACK TO SAVEPOINT"_s)))
            break;
    }
    QList<RecordKey> keys;
    for (const QDateTime& t : stamps) keys.append(KeyOfTime(t));
    if (stored) {
        PartyUpdates parties(db);
        for (qsizetype i = 0; i < vouchers.size(); ++i)
            parties.Add(DateText(stamps[i]), vouchers[i]);
        stored = parties.Write() &&
                 (!named || TellOnCommit(db, RecordsChange::Kind::Added, keys)) && db.Commit();
    }
    if (!stored) {
        db.Rollback();
        return Remember(db, Action::Store), QList<RecordKey>{};
    }
    return keys;
}

std::unique_ptr<ImportSink> ServerRecordStore::BeginImport(const ImportPlan& plan) {
    return BeginServerImport(*this, ctx_, plan);
}

std::optional<QList<RecordKey>> ServerRecordStore::ListKeys() {
    Database db(ctx_);
    QList<RecordKey> keys;
    const RecordKey kept = KeyOfTime(CurrentTextDate());
    // Streamed: a million keys come in half the time the rows of a query take.
    if (db.OpenDatabase() &&
        CopyFromServer(db, u"COPY (SELECT Dat FROM 凭证 ORDER BY Dat) TO STDOUT"_s,
                       [&](QByteArrayView dat) {
                           if (const auto key = KeyOfDat(dat); key && *key != kept)
                               keys.append(*key);
                       }))
        return keys;
    Remember(db, Action::Read);
    db.ReportFailure(failureText_);
    return std::nullopt;
}

std::optional<QList<Record>> ServerRecordStore::ReadRecords(std::span<const RecordKey> keys,
                                                            Fields which) {
    Database db(ctx_);
    const QList<int> fields = which == Fields::Shown ? ShownFieldList() : AllFields();
    const bool open = db.OpenDatabase();
    QSqlQuery q(db.Connection());
    if (!open ||
        !RunOnServer(
            db, q,
            u"SELECT r.Dat, r.Ctl, r.Con, v.Usr FROM 记录 r LEFT JOIN 凭证 v ON v.Dat = r.Dat "
            u"WHERE r.Dat = ANY(?::text[]) AND r.Ctl = ANY(?::smallint[]) AND r.Dat <> ?"_s,
            {ServerTextArray(DatsOf(keys)), ServerNumberArray(fields), KeptDat()})) {
        Remember(db, Action::Read);
        db.ReportFailure(failureText_);
        return std::nullopt;
    }
    QHash<RecordKey, qsizetype> index;
    QList<Record> records;
    while (q.next()) {
        const auto key = KeyOfDat(q.value(0).toString());
        const int ctl = q.value(1).toInt();
        if (!key || ctl < kFirstField || ctl > kLastField) continue;
        auto at = index.find(*key);
        if (at == index.end()) {
            at = index.insert(*key, records.size());
            records.append({*key, {}, q.value(3).toString()});
        }
        records[*at].texts[ctl] = q.value(2).toString();
    }
    // In the order of the keys asked for.
    QList<Record> ordered;
    ordered.reserve(records.size());
    for (const RecordKey key : keys)
        if (const auto at = index.constFind(key); at != index.cend()) ordered.append(records[*at]);
    return ordered;
}

bool ServerRecordStore::ReadField(int field,
                                  const std::function<void(RecordKey, QStringView)>& each) {
    Database db(ctx_);
    const bool open = db.OpenDatabase();
    QSqlQuery q(db.Connection());
    // Read row by row: every record's text of a field is more than a page.
    q.setForwardOnly(true);
    if (!open || !RunOnServer(db, q, u"SELECT Dat, Con FROM 记录 WHERE Ctl = ? AND Dat <> ?"_s,
                              {field, KeptDat()})) {
        Remember(db, Action::Read);
        db.ReportFailure(failureText_);
        return false;
    }
    while (q.next())
        if (const auto key = KeyOfDat(q.value(0).toString())) each(*key, q.value(1).toString());
    if (q.lastError().isValid()) {
        db.NoteFailure(q.lastError());
        Remember(db, Action::Read);
        db.ReportFailure(failureText_);
        return false;
    }
    return true;
}

std::optional<QList<RecordKey>> ServerRecordStore::Search(const QString& text) {
    if (text.isEmpty()) return ListKeys();
    Database db(ctx_);
    QList<RecordKey> keys;
    if (db.OpenDatabase() &&
        ReadKeys(db,
                 u"SELECT DISTINCT Dat FROM 记录 WHERE Ctl = ANY(?::smallint[]) AND Dat <> ? "
                 u"AND strpos(Con, ?) > 0 ORDER BY Dat"_s,
                 {ServerNumberArray(ShownFieldList()), KeptDat(), ServerText(text)}, keys))
        return keys;
    Remember(db, Action::Read);
    db.ReportFailure(failureText_);
    return std::nullopt;
}

bool ServerRecordStore::Delete(std::span<const RecordKey> keys) {
    if (keys.empty()) return true;
    Database db(ctx_, Database::Reports::ToCaller);
    const QStringList dats = DatsOf(keys);
    const bool named = std::ssize(keys) <= kMostKeysNamed;
    bool ok = db.Begin() && (!named || NameChangedRecords(db));
    if (ok) {
        PartyUpdates parties(db);
        for (qsizetype i = 0; ok && i < dats.size(); ++i) ok = parties.Remove(dats[i]);
        QSqlQuery q(db.Connection());
        ok = ok &&
             RunOnServer(db, q, u"DELETE FROM 记录 WHERE Dat = ANY(?::text[]) AND Dat <> ?"_s,
                         {ServerTextArray(dats), KeptDat()}) &&
             parties.Write() && (!named || TellOnCommit(db, RecordsChange::Kind::Removed, keys)) &&
             db.Commit();
    }
    if (ok) return true;
    db.Rollback();
    return Remember(db, Action::Delete);
}

bool ServerRecordStore::Clear() {
    Database db(ctx_, Database::Reports::ToCaller);
    bool ok = db.Begin();
    if (ok) {
        PartyUpdates parties(db);
        QSqlQuery q(db.Connection());
        ok = RunOnServer(db, q, u"DELETE FROM 记录 WHERE Dat <> ?"_s, {KeptDat()}) &&
             parties.Clear() && db.Commit();
    }
    if (ok) return true;
    db.Rollback();
    return Remember(db, Action::Clear);
}

}  // namespace tf::store
