#pragma once

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringView>
#include <memory>

#include "common/app_context.h"
#include "common/fields.h"

// Quick fill's memory of the history: the parties (a name with the account and bank it was
// used with, on either side of a voucher) and the distinct texts of the other offered fields,
// each with how often and how lately it was used. They live in a table of their own beside
// the records, which the record store keeps up to date in the same transaction as every
// stored, imported or deleted record, so a keystroke reads this small table and never the
// history.

namespace tf::store {

class Database;

inline QString PartiesTable() {
    return QStringLiteral("输入提示");
}

// Most entries offered for one keystroke.
constexpr int kSuggestionLimit = 10;

// The fields that offer entries: the two full names offer parties, the drawer's and payee's
// banks, the kind of bill, the checker, the book-keeper and the remarks their own texts.
bool OffersSuggestions(int field);

// One entry offered for a field. For a name field: a party, with `sharedName` when the
// history holds the name with more than one account or bank; otherwise the text alone.
struct Suggestion {
    QString text;
    QString account;
    QString bank;
    bool sharedName = false;
    friend bool operator==(const Suggestion&, const Suggestion&) = default;
};

// The line the list shows: the name, and for a name used with several accounts or banks the
// account's last four digits and the bank, e.g. "庚方物流有限公司  尾号6789  中国银行".
QString SuggestionLabel(const Suggestion& entry);

// The best entries for what was typed into a field, used more often and more lately first
// (each use counts less as it ages, halving in 90 days). Entries match by characters or by
// pinyin initials (common/pinyin.h). Empty for a field without entries, for blank text, when
// the table is missing or cannot be read.
QList<Suggestion> Suggest(Database& db, int field, QStringView typed, int limit = kSuggestionLimit);
// The same through a connection of its own that tells the clerk nothing: a keystroke never
// brings up a message.
QList<Suggestion> Suggest(const AppContext& ctx, int field, QStringView typed);

// Creates the table and fills it from the history when it is missing; true when it stands.
// Runs inside the caller's transaction.
bool EnsurePartyTable(Database& db);
// Drops the table and fills it again from the history, inside the caller's transaction.
bool RebuildPartyTable(Database& db);
// EnsurePartyTable in a transaction of its own, as a start does. On failure the clerk is told
// that suggestions are not available, and why; nothing else changes.
bool EnsurePartyTable(const AppContext& ctx);

class Tallies;

// Keeps the table in step with the records, inside the record store's transaction: Add and
// Remove count vouchers in memory, Write puts the sum into the table and must run before the
// transaction commits. A batch of many vouchers thus writes each entry once. When the table
// is missing every call does nothing: the table is built from the whole history when it is
// made. The reserved timestamp of the voucher on screen is no record and is ignored.
class PartyUpdates {
public:
    explicit PartyUpdates(Database& db);
    ~PartyUpdates();
    PartyUpdates(const PartyUpdates&) = delete;
    PartyUpdates& operator=(const PartyUpdates&) = delete;

    // Counts in the parties and texts of a voucher stored under `dat`. A voucher replacing
    // the group of the same timestamp is Removed first.
    void Add(const QString& dat, const FieldTexts& texts);
    // Counts out the voucher of `dat` as 记录 holds it: call before its rows are deleted.
    bool Remove(const QString& dat);
    // Empties the table (and what was counted so far), for a history cleared of every record.
    bool Clear();
    // Writes what was counted: uses and weights added or taken away; an entry no record uses
    // any more leaves the table. False, with the failure noted on the database, when a
    // statement failed: the caller rolls back.
    bool Write();

private:
    // The server's Write: every entry in one statement.
    bool WriteInBulk();

    Database& db_;
    bool present_ = false;
    std::unique_ptr<Tallies> pending_;
    QSqlQuery group_;
};

}  // namespace tf::store
