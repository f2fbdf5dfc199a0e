#include "store/parties.h"

#include <QHash>
#include <QSqlError>
#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "common/pinyin.h"
#include "common/progress.h"
#include "store/database.h"
#include "store/record_store.h"
#include "store/server_connection.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

// The table's Fld for parties; the other entries carry their field's number.
constexpr int kPartyList = 0;
constexpr int kDrawerName = FieldOf(FieldRole::DrawerName);
constexpr int kPayeeName = FieldOf(FieldRole::PayeeName);
// The fields that offer their own texts.
constexpr int kTextFields[] = {FieldOf(FieldRole::DrawerBank), FieldOf(FieldRole::PayeeBank),
                               FieldOf(FieldRole::BillKind),   FieldOf(FieldRole::Checker),
                               FieldOf(FieldRole::BookKeeper), kRemarksField};
// A use counts half as much every 90 days.
constexpr double kHalfLifeDays = 90;

// One entry of the table: a party (name, account, bank) or a field's text.
struct Entry {
    int list = kPartyList;
    QString name;
    QString account;
    QString bank;
};

// The entries one voucher uses: a party per side with a name, and each offered field's text.
// Texts are trimmed, so a stray blank makes no second entry.
QList<Entry> EntriesOf(const FieldTexts& t) {
    // Never null: a missing field is the empty text, as the table's columns require.
    const auto text = [&t](int field) { return t[field].isNull() ? u""_s : t[field].trimmed(); };
    QList<Entry> entries;
    for (int name : {kDrawerName, kPayeeName})
        if (!text(name).isEmpty())
            entries.append({kPartyList, text(name), text(name + 1), text(name + 2)});
    for (int field : kTextFields)
        if (!text(field).isEmpty()) entries.append({field, text(field), u""_s, u""_s});
    return entries;
}

int ListOf(int field) {
    if (field == kDrawerName || field == kPayeeName) return kPartyList;
    for (int f : kTextFields)
        if (f == field) return f;
    return -1;
}

// The weight of one use at a stored timestamp: 2^(days since 2000 / half-life). Every use's
// weight falls alike as time passes, so their sum orders entries by frequency and recency
// without ever being recomputed. The exponent is bounded so that no sum overflows.
double UseWeight(QStringView dat) {
    const QDate day(dat.mid(0, 4).toInt(), dat.mid(5, 2).toInt(), dat.mid(8, 2).toInt());
    if (!day.isValid()) return std::exp2(-1000.0);
    const double seconds =
        dat.mid(11, 2).toInt() * 3600.0 + dat.mid(14, 2).toInt() * 60.0 + dat.mid(17, 2).toInt();
    const double days =
        static_cast<double>(day.toJulianDay() - QDate(2000, 1, 1).toJulianDay()) + seconds / 86400;
    return std::exp2(std::clamp(days / kHalfLifeDays, -1000.0, 900.0));
}

QString KeptDat() {
    return DateText(CurrentTextDate());
}

QString OfferedFieldList() {
    QStringList fields;
    for (int f : {kDrawerName, kDrawerName + 1, kDrawerName + 2, kPayeeName, kPayeeName + 1,
                  kPayeeName + 2})
        fields.append(QString::number(f));
    for (int f : kTextFields) fields.append(QString::number(f));
    return fields.join(u',');
}

bool Exec(Database& db, QSqlQuery& q, const QString& sql) {
    if (q.exec(sql)) return true;
    db.NoteFailure(q.lastError());
    return false;
}

bool Prepare(Database& db, QSqlQuery& q, const QString& sql) {
    if (q.prepare(sql)) return true;
    db.NoteFailure(q.lastError());
    return false;
}

bool ExecBound(Database& db, QSqlQuery& q, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
    if (q.exec()) return true;
    db.NoteFailure(q.lastError());
    return false;
}

// Plain SQL that SQLite and PostgreSQL both take.
bool CreateTable(Database& db) {
    QSqlQuery q(db.Connection());
    return Exec(db, q,
                u"CREATE TABLE 输入提示 (Fld INTEGER NOT NULL, Name TEXT NOT NULL, "
                u"Acct TEXT NOT NULL, Bank TEXT NOT NULL, Uses INTEGER NOT NULL, "
                u"Last TEXT NOT NULL, Weight DOUBLE PRECISION NOT NULL, Folded TEXT NOT NULL, "
                u"Letters INTEGER NOT NULL, Pairs BIGINT NOT NULL)"_s) &&
           Exec(db, q, u"CREATE UNIQUE INDEX 输入提示_键 ON 输入提示 (Fld, Name, Acct, Bank)"_s) &&
           // Best first, with everything a keystroke reads: its search runs in this index
           // alone, and rows that cannot match are passed over there.
           Exec(db, q,
                u"CREATE INDEX 输入提示_次序 ON 输入提示 (Fld, Weight, Last, Letters, Pairs, "
                u"Folded, Name, Acct, Bank)"_s);
}

}  // namespace

// What the entries of a set of vouchers add up to: uses, weight and the latest timestamp of
// each entry.
class Tallies {
public:
    struct Tally {
        Entry entry;
        int uses = 0;
        double weight = 0;
        QString last;  // the latest timestamp counted in; empty when only counted out
    };

    // Counts a voucher's entries in (+1) or out (-1).
    void Count(const QString& dat, const FieldTexts& texts, int delta) {
        const double weight = UseWeight(dat);
        for (const Entry& e : EntriesOf(texts)) {
            const QString key =
                QString::number(e.list) % u'\x1f' % e.name % u'\x1f' % e.account % u'\x1f' % e.bank;
            Tally& t = tallies_[key];
            t.entry = e;
            t.uses += delta;
            t.weight += delta * weight;
            if (delta > 0) t.last = std::max(t.last, dat);
        }
    }
    const QHash<QString, Tally>& All() const { return tallies_; }
    void Clear() { tallies_.clear(); }

private:
    QHash<QString, Tally> tallies_;
};

namespace {

// Rows of 记录 from which a build shows its progress: about 6,000 vouchers, a fifth of a
// second of reading.
constexpr int kRowsWorthProgress = 200000;

// The progress of a build that reads a large history in time order, by days of history read.
class BuildProgress {
public:
    explicit BuildProgress(Database& db) : progress_(db.Context().ProgressDisplay()) {
        QSqlQuery q(db.Connection());
        const bool large =
            q.prepare(u"SELECT Dat FROM 记录 WHERE Dat>? ORDER BY Dat LIMIT 1 OFFSET ?"_s) &&
            ExecBound(db, q, {KeptDat(), kRowsWorthProgress}) && q.next();
        QString first, last;
        if (large && q.prepare(u"SELECT MIN(Dat) FROM 记录 WHERE Dat>?"_s) &&
            ExecBound(db, q, {KeptDat()}) && q.next())
            first = q.value(0).toString();
        if (large && q.exec(u"SELECT MAX(Dat) FROM 记录"_s) && q.next())
            last = q.value(0).toString();
        first_ = DayFromText(first.left(10));
        const QDate end = DayFromText(last.left(10));
        if (!first_.isValid() || !end.isValid()) return;
        qint32 start = 0;
        total_ = static_cast<qint32>(first_.daysTo(end)) + 1;
        progress_.ShowProgress(u"正在整理历史记录中的名称，供输入时提示 …"_s, total_, start);
        shown_ = true;
    }
    ~BuildProgress() {
        if (shown_) progress_.CloseProgress();
    }
    // Everything is read: the display stands at its end before it closes.
    void Finish() {
        if (shown_) progress_.StepProgress(total_ - done_, u"pages"_s);
        done_ = total_;
    }
    BuildProgress(const BuildProgress&) = delete;
    BuildProgress& operator=(const BuildProgress&) = delete;

    // The build has read up to this timestamp.
    void At(const QString& dat) {
        if (!shown_) return;
        const QDate day = DayFromText(dat.left(10));
        const auto days = day.isValid() ? static_cast<qint32>(first_.daysTo(day)) : 0;
        if (days <= done_) return;
        progress_.StepProgress(days - done_, u"pages"_s);
        done_ = days;
    }

private:
    Progress& progress_;
    QDate first_;
    qint32 total_ = 0;
    qint32 done_ = 0;
    bool shown_ = false;
};

// Reads every record's offered fields, a voucher at a time, and writes one row per entry.
bool FillTable(Database& db) {
    BuildProgress progress(db);
    Tallies tallies;
    QSqlQuery read(db.Connection());
    read.setForwardOnly(true);
    if (!Prepare(db, read,
                 u"SELECT Dat, Ctl, Con FROM 记录 WHERE Dat<>? AND Ctl IN ("_s +
                     OfferedFieldList() + u") ORDER BY Dat"_s) ||
        !ExecBound(db, read, {KeptDat()}))
        return false;
    QString dat;
    FieldTexts texts;
    while (read.next()) {
        const QString rowDat = read.value(0).toString();
        if (rowDat != dat) {
            if (!dat.isEmpty()) tallies.Count(dat, texts, +1);
            progress.At(rowDat);
            dat = rowDat;
            texts = FieldTexts();
        }
        const int ctl = read.value(1).toInt();
        if (ctl >= kFirstField && ctl <= kLastField) texts[ctl] = read.value(2).toString();
    }
    if (read.lastError().isValid()) {
        db.NoteFailure(read.lastError());
        return false;
    }
    if (!dat.isEmpty()) tallies.Count(dat, texts, +1);
    read.finish();
    progress.Finish();

    QSqlQuery insert(db.Connection());
    if (!Prepare(db, insert,
                 u"INSERT INTO 输入提示 (Fld, Name, Acct, Bank, Uses, Last, Weight, Folded, "
                 u"Letters, Pairs) VALUES (?,?,?,?,?,?,?,?,?,?)"_s))
        return false;
    for (const Tallies::Tally& t : tallies.All()) {
        const Entry& e = t.entry;
        const pinyin::Signature signature = pinyin::SignatureOf(e.name);
        if (!ExecBound(db, insert,
                       {e.list, e.name, e.account, e.bank, t.uses, t.last, t.weight,
                        pinyin::Folded(e.name), signature.letters, signature.pairs}))
            return false;
    }
    return true;
}

}  // namespace

bool OffersSuggestions(int field) {
    return ListOf(field) >= 0;
}

QString SuggestionLabel(const Suggestion& entry) {
    if (!entry.sharedName) return entry.text;
    QString label = entry.text;
    QString digits;
    for (qsizetype i = entry.account.size() - 1; i >= 0 && digits.size() < 4; --i)
        if (entry.account[i].isDigit()) digits.prepend(entry.account[i]);
    if (!digits.isEmpty()) label += u"  尾号"_s + digits;
    if (!entry.bank.isEmpty()) label += u"  "_s + entry.bank;
    return label;
}

QList<Suggestion> Suggest(Database& db, int field, QStringView typed, int limit) {
    const int list = ListOf(field);
    const pinyin::Query query(typed);
    if (list < 0 || query.IsEmpty() || !db.TableExists(PartiesTable())) return {};
    QSqlQuery q(db.Connection());
    q.setForwardOnly(true);
    // The table narrows the rows down to those that may match, best first; the match itself
    // is decided here, stopping at the limit.
    const QString select = u"SELECT Name, Acct, Bank FROM 输入提示 WHERE Fld=? AND "_s;
    const QString order = u" ORDER BY Weight DESC, Last DESC"_s;
    const auto letters = static_cast<qint64>(query.Required().letters);
    const qint64 pairs = query.Required().pairs;
    QVariantList values{list, letters, letters, pairs, pairs};
    QString where = u"(Letters & ?) = ? AND (Pairs & ?) = ?"_s;
    if (!query.ByInitials()) {
        QString pattern = query.FoldedText();
        pattern.replace(u'\\', u"\\\\"_s).replace(u'%', u"\\%"_s).replace(u'_', u"\\_"_s);
        where += u" AND Folded LIKE ? ESCAPE '\\'"_s;
        values.append(QString(u'%' + pattern + u'%'));
    }
    const bool ok = Prepare(db, q, select + where + order) && ExecBound(db, q, values);
    QList<Suggestion> found;
    while (ok && found.size() < limit && q.next()) {
        const QString name = q.value(0).toString();
        if (query.Matches(name)) found.append({name, q.value(1).toString(), q.value(2).toString()});
    }
    q.finish();
    if (list != kPartyList) return found;
    QSqlQuery shared(db.Connection());
    if (!Prepare(db, shared, u"SELECT COUNT(*) FROM 输入提示 WHERE Fld=? AND Name=?"_s))
        return found;
    for (Suggestion& s : found) {
        if (ExecBound(db, shared, {kPartyList, s.text}) && shared.next())
            s.sharedName = shared.value(0).toInt() > 1;
        shared.finish();
    }
    return found;
}

QList<Suggestion> Suggest(const AppContext& ctx, int field, QStringView typed) {
    Database db(ctx, Database::Reports::ToCaller);
    return Suggest(db, field, typed);
}

bool EnsurePartyTable(Database& db) {
    if (!db.OpenDatabase()) return false;
    if (db.TableExists(PartiesTable())) return true;
    return CreateTable(db) && FillTable(db);
}

bool RebuildPartyTable(Database& db) {
    if (!db.OpenDatabase()) return false;
    QSqlQuery q(db.Connection());
    if (db.TableExists(PartiesTable()) && !Exec(db, q, u"DROP TABLE 输入提示"_s)) return false;
    return CreateTable(db) && FillTable(db);
}

bool EnsurePartyTable(const AppContext& ctx) {
    Database db(ctx, Database::Reports::ToCaller);
    if (!db.OpenDatabase() || db.IsReadOnly()) return false;
    if (db.TableExists(PartiesTable())) return true;
    if (db.Begin() && EnsurePartyTable(db) && db.Commit()) return true;
    db.Rollback();
    db.ReportFailure(u"输入时提示历史名称所需的数据没有建立，这次运行中不会提示。\n"_s +
                     db.FailureText());
    return false;
}

// ---- PartyUpdates ----------------------------------------------------------------------

PartyUpdates::PartyUpdates(Database& db)
    : db_(db), pending_(std::make_unique<Tallies>()), group_(db.Connection()) {
    present_ = db.OpenDatabase() && db.TableExists(PartiesTable());
    group_.setForwardOnly(true);
    // A statement that cannot be prepared fails, with its error, when it runs.
    if (present_) group_.prepare(u"SELECT Ctl, Con FROM 记录 WHERE Dat=?"_s);
}

PartyUpdates::~PartyUpdates() = default;

void PartyUpdates::Add(const QString& dat, const FieldTexts& texts) {
    if (present_ && dat != KeptDat()) pending_->Count(dat, texts, +1);
}

bool PartyUpdates::Remove(const QString& dat) {
    if (!present_ || dat == KeptDat()) return true;
    if (!ExecBound(db_, group_, {dat})) return false;
    FieldTexts texts;
    while (group_.next()) {
        const int ctl = group_.value(0).toInt();
        if (ctl >= kFirstField && ctl <= kLastField) texts[ctl] = group_.value(1).toString();
    }
    if (group_.lastError().isValid()) {
        db_.NoteFailure(group_.lastError());
        return false;
    }
    group_.finish();
    pending_->Count(dat, texts, -1);
    return true;
}

bool PartyUpdates::Clear() {
    pending_->Clear();
    if (!present_) return true;
    QSqlQuery q(db_.Connection());
    return Exec(db_, q, u"DELETE FROM 输入提示"_s);
}

bool PartyUpdates::Write() {
    if (!present_ || pending_->All().isEmpty()) return true;
    if (db_.IsServer()) return WriteInBulk();
    QSqlQuery insert(db_.Connection()), update(db_.Connection()), drop(db_.Connection());
    bool ok =
        Prepare(db_, insert,
                u"INSERT INTO 输入提示 (Fld, Name, Acct, Bank, Uses, Last, Weight, Folded, "
                u"Letters, Pairs) VALUES (?,?,?,?,0,?,0,?,?,?) "
                u"ON CONFLICT (Fld, Name, Acct, Bank) DO NOTHING"_s) &&
        Prepare(db_, update,
                u"UPDATE 输入提示 SET Uses=Uses+?, Weight=Weight+?, "
                u"Last=CASE WHEN Last<? THEN ? ELSE Last END "
                u"WHERE Fld=? AND Name=? AND Acct=? AND Bank=?"_s) &&
        Prepare(db_, drop,
                u"DELETE FROM 输入提示 WHERE Fld=? AND Name=? AND Acct=? AND Bank=? AND Uses<=0"_s);
    for (auto it = pending_->All().cbegin(); ok && it != pending_->All().cend(); ++it) {
        const Tallies::Tally& t = it.value();
        const Entry& e = t.entry;
        // A voucher counted out and in again under its timestamp changes nothing.
        if (t.uses == 0 && t.last.isEmpty()) continue;
        const QVariantList key{e.list, e.name, e.account, e.bank};
        if (t.uses > 0) {
            const pinyin::Signature signature = pinyin::SignatureOf(e.name);
            ok = ExecBound(db_, insert,
                           {e.list, e.name, e.account, e.bank, t.last, pinyin::Folded(e.name),
                            signature.letters, signature.pairs});
        }
        ok = ok && ExecBound(db_, update, QVariantList{t.uses, t.weight, t.last, t.last} + key);
        if (ok && t.uses < 0) ok = ExecBound(db_, drop, key);
    }
    if (ok) pending_->Clear();
    return ok;
}

bool PartyUpdates::WriteInBulk() {
    // In the order of the table's key: the server then adds each entry beside the last one
    // instead of somewhere in the whole key, a third less work for a large import.
    std::vector<const Tallies::Tally*> sorted;
    sorted.reserve(pending_->All().size());
    for (const Tallies::Tally& t : pending_->All())
        if (t.uses != 0 || !t.last.isEmpty()) sorted.push_back(&t);
    std::sort(sorted.begin(), sorted.end(), [](const Tallies::Tally* a, const Tallies::Tally* b) {
        const Entry &x = a->entry, &y = b->entry;
        return std::tie(x.list, x.name, x.account, x.bank) <
               std::tie(y.list, y.name, y.account, y.bank);
    });
    QList<int> lists, uses, letters;
    QStringList names, accounts, banks, lasts, folded;
    QList<double> weights;
    QList<qint64> pairs;
    bool removed = false;
    for (const Tallies::Tally* t : sorted) {
        const Entry& e = t->entry;
        const pinyin::Signature signature = pinyin::SignatureOf(e.name);
        lists.append(e.list);
        names.append(e.name);
        accounts.append(e.account);
        banks.append(e.bank);
        uses.append(t->uses);
        lasts.append(t->last);
        weights.append(t->weight);
        folded.append(pinyin::Folded(e.name));
        letters.append(static_cast<int>(signature.letters));
        pairs.append(signature.pairs);
        removed = removed || t->uses < 0;
    }
    // Added to the entries that stand, new ones made; an entry counted out that the table
    // lacks comes in below zero and leaves with the others no record uses any more.
    bool ok = RunWithTexts(
        db_,
        u"INSERT INTO 输入提示 AS p (Fld, Name, Acct, Bank, Uses, Last, Weight, Folded, "
        u"Letters, Pairs) SELECT * FROM unnest($1::integer[], $2::text[], $3::text[], "
        u"$4::text[], $5::integer[], $6::text[], $7::double precision[], $8::text[], "
        u"$9::integer[], $10::bigint[]) ON CONFLICT (Fld, Name, Acct, Bank) DO UPDATE SET "
        u"Uses = p.Uses + EXCLUDED.Uses, Weight = p.Weight + EXCLUDED.Weight, "
        u"Last = GREATEST(p.Last, EXCLUDED.Last)"_s,
        {ServerNumberArray(lists), ServerTextArray(names), ServerTextArray(accounts),
         ServerTextArray(banks), ServerNumberArray(uses), ServerTextArray(lasts),
         ServerNumberArray(weights), ServerTextArray(folded), ServerNumberArray(letters),
         ServerNumberArray(pairs)});
    QSqlQuery q(db_.Connection());
    if (ok && removed) ok = Exec(db_, q, u"DELETE FROM 输入提示 WHERE Uses <= 0"_s);
    if (ok) pending_->Clear();
    return ok;
}

}  // namespace tf::store
