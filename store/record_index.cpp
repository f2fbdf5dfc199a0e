#include "store/record_index.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "common/progress.h"
#include "store/database.h"
#include "store/raw_statement.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

// An entry of the full-text table is one shown field of one record: its rowid is the record's
// key times 64 plus the field, so a match names its record without reading 记录.
constexpr int kFieldBits = 6;

// Every indexed text ends in two of these, so that a text of one or two characters starts some
// trigram of every field it occurs in, even a field of one or two characters. A search text
// holding one cannot use the index.
constexpr char16_t kEnd = u'\x1f';

// Vouchers per step of a build, and the history from which a build shows its progress.
constexpr int kBuildChunk = 5000;
constexpr int kBuildWorthProgress = 10000;

const QString kIndexNames[] = {u"记录键"_s, u"记录检索"_s};
const QString kTriggerNames[] = {u"记录_增"_s, u"记录_删"_s, u"记录_改"_s};

// SQL pieces over a row of 记录 (NEW or OLD): the conditions that make it part of the index and
// its values there. Only the stored form of a timestamp has a key (datetime() gives back
// exactly that form), and the kept voucher text is no print record.
QString IsRecord(const QString& row) {
    return u"datetime(%1.Dat) IS %1.Dat AND %1.Dat<>'1973-08-18 00:00:00'"_s.arg(row);
}
QString IsShown(const QString& row) {
    return u"(%1.Ctl BETWEEN 2 AND 17 OR %1.Ctl=27)"_s.arg(row);
}
QString KeySql(const QString& row) {
    return u"unixepoch(%1.Dat)"_s.arg(row);
}
QString EntrySql(const QString& row) {
    return u"unixepoch(%1.Dat)*64+%1.Ctl, %1.Con||char(31,31)"_s.arg(row);
}

QString AddRow(const QString& row) {
    return u"INSERT OR IGNORE INTO 记录键 (Key) SELECT "_s + KeySql(row) + u" WHERE "_s +
           IsRecord(row) + u"; INSERT INTO 记录检索 (rowid, Con) SELECT "_s + EntrySql(row) +
           u" WHERE "_s + IsRecord(row) + u" AND "_s + IsShown(row) + u";"_s;
}

QString RemoveRow(const QString& row) {
    return u"DELETE FROM 记录键 WHERE Key="_s + KeySql(row) + u" AND "_s + IsRecord(row) +
           u" AND NOT EXISTS (SELECT 1 FROM 记录 WHERE Dat="_s + row +
           u".Dat); INSERT INTO 记录检索 (记录检索, rowid, Con) SELECT 'delete', "_s +
           EntrySql(row) + u" WHERE "_s + IsRecord(row) + u" AND "_s + IsShown(row) + u";"_s;
}

QStringList TriggerSql() {
    return {
        u"CREATE TRIGGER 记录_增 AFTER INSERT ON 记录 BEGIN "_s + AddRow(u"NEW"_s) + u" END"_s,
        u"CREATE TRIGGER 记录_删 AFTER DELETE ON 记录 BEGIN "_s + RemoveRow(u"OLD"_s) + u" END"_s,
        u"CREATE TRIGGER 记录_改 AFTER UPDATE OF Dat, Ctl, Con ON 记录 BEGIN "_s +
            RemoveRow(u"OLD"_s) + u" "_s + AddRow(u"NEW"_s) + u" END"_s};
}

bool Exec(Database& db, const QString& sql, const QVariantList& values = {}) {
    QSqlQuery q(db.Connection());
    bool ok = q.prepare(sql);
    for (int i = 0; ok && i < values.size(); ++i) q.bindValue(i, values[i]);
    ok = ok && q.exec();
    if (!ok) db.NoteFailure(q.lastError());
    return ok;
}

bool CreateTriggers(Database& db) {
    for (const QString& sql : TriggerSql())
        if (!Exec(db, sql)) return false;
    return true;
}

// Fills the full-text table from the records, a chunk of keys at a time in key order (the
// order the table takes its entries fastest in), with progress for a large history.
bool FillSearchTable(Database& db, const QList<RecordKey>& keys) {
    Progress& progress = db.Context().ProgressDisplay();
    const bool shown = keys.size() >= kBuildWorthProgress;
    const auto chunks = static_cast<qint32>((keys.size() + kBuildChunk - 1) / kBuildChunk);
    if (shown) {
        qint32 start = 0;
        progress.ShowProgress(u"正在整理历史记录，供快速查找 …"_s, chunks, start);
    }
    RawStatement fill(db, u"INSERT INTO 记录检索 (rowid, Con) SELECT "_s + EntrySql(u"记录"_s) +
                              u" FROM 记录 WHERE Dat BETWEEN ? AND ? AND "_s + IsRecord(u"记录"_s) +
                              u" AND "_s + IsShown(u"记录"_s) + u" ORDER BY Dat, Ctl"_s);
    bool ok = fill.IsReady();
    for (qsizetype at = 0; ok && at < keys.size(); at += kBuildChunk) {
        const QString from = DatOfKey(keys[at]);
        const QString to = DatOfKey(keys[std::min(at + kBuildChunk, keys.size()) - 1]);
        fill.Bind(0, from);
        fill.Bind(1, to);
        ok = fill.Run();
        if (shown) progress.StepProgress(1, u"pages"_s);
    }
    if (shown) progress.CloseProgress();
    return ok;
}

// The statement reading the keys of a full-text query's matches.
QString MatchSql() {
    return u"SELECT rowid FROM 记录检索 WHERE 记录检索 MATCH ?"_s;
}

// Appends the keys of a full-text query's matches, oldest first: the entries come in rowid
// order, so the fields of one record come together.
bool CollectMatches(RawStatement& match, const QString& query, QList<RecordKey>& keys) {
    match.Bind(0, query);
    while (match.Next()) {
        const RecordKey key = match.Int(0) >> kFieldBits;
        if (keys.isEmpty() || keys.constLast() != key) keys.append(key);
    }
    return !match.Failed();
}

QString Phrase(const QString& text) {
    return u'"' + QString(text).replace(u'"', u"\"\""_s) + u'"';
}

qsizetype CodePoints(const QString& text) {
    qsizetype n = 0;
    for (const QChar c : text) n += c.isLowSurrogate() ? 0 : 1;
    return n;
}

}  // namespace

bool IndexCanSearch(const QString& text) {
    return !text.contains(QChar(kEnd));
}

bool RecordIndexReady(Database& db) {
    if (!db.OpenDatabase()) return false;
    QSqlQuery q(db.Connection());
    q.prepare(
        u"SELECT COUNT(*) FROM sqlite_master WHERE (type='table' AND name IN (?,?)) OR "
        u"(type='trigger' AND tbl_name='记录' AND name IN (?,?,?))"_s);
    int i = 0;
    for (const QString& name : kIndexNames) q.bindValue(i++, name);
    for (const QString& name : kTriggerNames) q.bindValue(i++, name);
    return q.exec() && q.next() && q.value(0).toInt() == 5;
}

bool EnsureRecordIndex(Database& db) {
    if (RecordIndexReady(db)) return true;
    if (!db.TableExists(RecordsTable())) return false;
    // Whatever stands of an incomplete index is made again.
    for (const QString& name : kTriggerNames)
        if (!Exec(db, u"DROP TRIGGER IF EXISTS "_s + name)) return false;
    for (const QString& name : kIndexNames)
        if (!Exec(db, u"DROP TABLE IF EXISTS "_s + name)) return false;
    if (!Exec(db, u"CREATE TABLE 记录键 (Key INTEGER PRIMARY KEY)"_s) ||
        !Exec(db,
              u"CREATE VIRTUAL TABLE 记录检索 USING fts5(Con, content='', columnsize=0, "
              u"tokenize='trigram case_sensitive 1')"_s) ||
        !Exec(db, u"INSERT INTO 记录键 (Key) SELECT DISTINCT "_s + KeySql(u"记录"_s) +
                      u" FROM 记录 WHERE "_s + IsRecord(u"记录"_s)))
        return false;
    const std::optional<QList<RecordKey>> keys = IndexedKeys(db);
    return keys && FillSearchTable(db, *keys) && CreateTriggers(db);
}

bool DropIndexTriggers(Database& db) {
    for (const QString& name : kTriggerNames)
        if (!Exec(db, u"DROP TRIGGER IF EXISTS "_s + name)) return false;
    return true;
}

bool EmptyIndexAndRestoreTriggers(Database& db) {
    return Exec(db, u"DELETE FROM 记录键"_s) &&
           Exec(db, u"INSERT INTO 记录检索 (记录检索) VALUES ('delete-all')"_s) &&
           CreateTriggers(db);
}

std::optional<QList<RecordKey>> IndexedKeys(Database& db) {
    RawStatement list(db, u"SELECT Key FROM 记录键 ORDER BY Key"_s);
    QList<RecordKey> keys;
    while (list.Next()) keys.append(list.Int(0));
    if (list.Failed()) return std::nullopt;
    return keys;
}

std::optional<QList<RecordKey>> SearchIndex(Database& db, const QString& text) {
    QList<RecordKey> keys;
    if (CodePoints(text) >= 3) {
        RawStatement match(db, MatchSql());
        if (!CollectMatches(match, Phrase(text), keys)) return std::nullopt;
        return keys;
    }
    // One or two characters are no trigram: they match the trigrams that start with them, which
    // the table's own list of its tokens names.
    if (!Exec(db,
              u"CREATE VIRTUAL TABLE IF NOT EXISTS temp.记录检索_词 USING "
              u"fts5vocab(main, '记录检索', 'row')"_s))
        return std::nullopt;
    RawStatement terms(db, u"SELECT term FROM temp.记录检索_词 WHERE term >= ? AND term < ?"_s);
    const QString upper = text + QString::fromUcs4(U"\U0010FFFF", 1);
    terms.Bind(0, text);
    terms.Bind(1, upper);
    QStringList found;
    while (terms.Next()) found.append(Phrase(terms.Text(0).toString()));
    if (terms.Failed()) return std::nullopt;
    // One query a token, the keys gathered and sorted once: twice as fast as a query joining
    // the tokens with OR, which merges the lists of all its tokens in rowid order.
    RawStatement match(db, MatchSql());
    for (const QString& term : found)
        if (!CollectMatches(match, term, keys)) return std::nullopt;
    if (found.size() > 1) {
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    }
    return keys;
}

}  // namespace tf::store
