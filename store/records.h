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

// Stores the texts of fields 2..33 as the group of that timestamp, replacing any group
// already there, in one transaction. Returns true when stored; otherwise the clerk has been
// told that the voucher text (at the reserved timestamp) or the print record was not kept,
// and why.
bool StoreTexts(const AppContext& ctx, const QDateTime& when, const FieldTexts& texts);

// Stores several vouchers as print records in one transaction, all or none: the first under
// `from`, each next one under the next second that no stored record uses yet. Returns the
// timestamps used, or an empty list when nothing was stored.
QList<QDateTime> StoreTextsBatch(const AppContext& ctx, const QDateTime& from,
                                 const QList<FieldTexts>& vouchers);

// Puts the texts of the group of that timestamp into the fields that have a row.
void LoadCurrentText(const AppContext& ctx, const QDateTime& when, FieldTexts& texts);

}  // namespace tf::store
