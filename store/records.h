#pragma once

#include <QDateTime>
#include <QList>

#include "common/app_context.h"
#include "common/fields.h"

namespace tf::store {

// The reserved timestamp under which the voucher on screen at exit is kept.
QDateTime CurrentTextDate();

// The stored form of a timestamp: "YYYY-MM-DD HH:MM:SS", so text order is time order.
QString DateText(const QDateTime& when);

// A moment as a record keeps it: to the whole second, as its stored form reads back.
QDateTime RecordTime(const QDateTime& when);

// The day part of a stored timestamp, "YYYY-MM-DD", and back (invalid when not of that form).
QString DayText(QDate day);
QDate DayFromText(const QString& text);

class Database;

// Stores the texts of fields 2..33 as one group, in one transaction. At the reserved
// timestamp the group replaces the voucher text kept before; any other timestamp stores a
// print record under a timestamp of its own (see StoreTextsBatch). Returns true when stored;
// otherwise the clerk has been told that the voucher text or the print record was not kept,
// and why.
bool StoreTexts(const AppContext& ctx, const QDateTime& when, const FieldTexts& texts);

// Stores several vouchers as print records in one transaction, all or none, each under a
// timestamp that no other record holds (FreeTimestamps at `now`), oldest first. Returns the
// timestamps used, or an empty list when nothing was stored (the clerk has been told why).
QList<QDateTime> StoreTextsBatch(const AppContext& ctx, const QDateTime& now,
                                 const QList<FieldTexts>& vouchers);

// `count` timestamps, whole seconds in time order, that no record holds, for records the
// caller stores in db's open transaction (so no other writer can take them in between).
// They come after every record held up to `now` and end at `now` when the seconds before it
// are free, running past `now` only as far as that needs; the reserved timestamp is never
// one. Empty when the held timestamps cannot be read (the cause is db's last failure).
QList<QDateTime> FreeTimestamps(Database& db, const QDateTime& now, qsizetype count);

// Puts the texts of the group of that timestamp into the fields that have a row.
void LoadCurrentText(const AppContext& ctx, const QDateTime& when, FieldTexts& texts);

}  // namespace tf::store
