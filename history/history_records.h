#pragma once

#include <QString>

#include "common/app_context.h"
#include "common/fields.h"
#include "history/grid_ops.h"
#include "history/text_grid.h"
#include "store/record_store.h"

// The print history as the history window lists it: one grid row per stored voucher, newest
// first. Row 0 is hidden and maps each grid column to its voucher field, row 1 holds the
// field captions, column 0 (hidden) the record's timestamp and column 1 the row number.

namespace tf::history {

constexpr int kHistoryCols = 19;
constexpr int kHistoryFixedRows = 2;
constexpr int kHistoryFixedCols = 2;
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

// The timestamp text of column 0 for a stored Dat: the stored form, the date alone when
// the time is midnight.
QString GridDateText(const QString& storedDat);
// The stored Dat that a timestamp text of column 0 stands for.
QString StoredDat(const QString& gridDateText);

// Lists every stored voucher except the kept voucher text. When the records cannot be read
// the user is told and the grid keeps its two header rows. True when the list was read.
bool FillHistory(const AppContext& ctx, TextGrid& grid, const VoucherFields& voucher,
                 const TextWidth& width);

// Shows the rows with a cell (timestamp and number aside) that contains the text, hides the
// others; the empty text shows every row.
void FilterHistory(TextGrid& grid, const QString& text);

// After asking, deletes every stored voucher but the kept voucher text. True when deleted.
bool ClearHistory(const AppContext& ctx, TextGrid& grid);

// After asking, deletes the vouchers of the selected rows (Row to RowSel) from the database
// and the grid: all of them, or none when the database refuses. True when deleted.
bool DeleteHistoryRows(const AppContext& ctx, TextGrid& grid);

// Puts the current row's texts into the voucher fields, in column order.
void TakeBackRecord(const TextGrid& grid, VoucherFields& voucher);
// Puts record row r's texts into the voucher fields, in column order; header rows and rows
// past the end do nothing.
void TakeBackRow(const TextGrid& grid, int r, VoucherFields& voucher);

// The texts a voucher holding `base` gets when row r is taken back into it, through the
// field-entry rules (sign: the currency box's text), computed on a copy: no window changes.
FieldTexts RecordTexts(const TextGrid& grid, int r, const FieldTexts& base, const QString& sign);

// The rows a batch prints: the shown rows of the range the clerk chose (Row to RowSel, one row
// or more); when the clerk chose none, every shown row.
QList<int> BatchRows(const TextGrid& grid, bool chosen);

}  // namespace tf::history
