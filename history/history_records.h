#pragma once

#include <QList>
#include <QString>
#include <array>

#include "common/app_context.h"
#include "common/fields.h"
#include "history/grid_ops.h"
#include "history/history_model.h"

// What the history window does with the records of its list, without any widget: the column
// captions and widths, deleting and clearing after asking, taking a record back into the
// voucher and the rows a batch prints. Rows are the list's shown rows.

namespace tf::history {

// The field shown in the last column.
using tf::kRemarksField;

// The main window's voucher as far as the history reads and fills it.
class VoucherFields {
public:
    virtual ~VoucherFields() = default;
    // The caption of field i's label.
    virtual QString Caption(int field) const = 0;
    // Sets field i's text, then runs the rule for leaving that field (stub copy, amount).
    virtual void TakeText(int field, const QString& text) = 0;
};

// The header texts of the list's columns: the captions of the shown fields' labels.
QStringList HistoryCaptions(const VoucherFields& voucher);

// Widths the list gives its columns, twips: the numbering column and one per model column.
struct HistoryColumnWidths {
    double numbering = 0;
    QList<double> columns;
};

// Fits the columns to the texts of `count` rows from `first` (a screenful, not the whole list)
// and the header: a column with a text is wide enough for its widest text and its caption
// (sort marker included) and 100 twips more; a column without one gets 50. The numbering column
// fits the largest row number.
HistoryColumnWidths FitHistoryColumns(const HistoryModel& model, int first, int count,
                                      const TextWidth& width);

// After asking, naming the row numbers of the two ends, deletes the records from row a's to
// row b's (either order), rows hidden by a search between them included. True when deleted; a
// refusal of the store is told and deletes nothing.
bool DeleteHistoryRows(const AppContext& ctx, HistoryModel& model, int a, int b);

// After asking, deletes every print record; the kept voucher text stays. True when deleted.
bool ClearHistory(const AppContext& ctx, HistoryModel& model);

// Puts shown row r's texts into the voucher fields, in column order; a row outside the list
// does nothing.
void TakeBackRow(const HistoryModel& model, int r, VoucherFields& voucher);

// The texts a voucher holding `base` gets when row r is taken back into it, through the
// field-entry rules (sign: the currency box's text), computed on a copy: no window changes.
FieldTexts RecordTexts(const HistoryModel& model, int r, const FieldTexts& base,
                       const QString& sign);

// The rows a batch prints: the shown rows from a to b (either order) when the clerk chose
// them; when the clerk chose none, or the range is outside the list, every shown row.
QList<int> BatchRows(const HistoryModel& model, int a, int b, bool chosen);

}  // namespace tf::history
