#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "history/text_grid.h"
#include "history/workbook/workbook.h"
#include "store/record_store.h"

namespace tf {
struct AppContext;
class Prompt;
}  // namespace tf

// Saving a grid as a formatted workbook: a grey bold header, thin borders over the written
// range and column widths taken from the grid.

namespace tf::history {

// Asks for the workbook file to write; "" when the user cancels. A name that ends neither
// in .xls nor in .xlsx (any case) gets the extension of the file type chosen in the dialog,
// ".xls" when none was.
QString ChooseSaveWorkbook(Prompt& prompt);

// Makes the writer of a new workbook at a path.
using WorkbookFactory =
    std::function<std::unique_ptr<workbook::WorkbookWriter>(const QString& path)>;

// Writes rows 1 … and columns 1 … of the grid (row 0 and column 0 are hidden bookkeeping)
// to a workbook at path, in the grid's row order and hidden rows included; every text with
// one leading blank, so the spreadsheet keeps numbers as text. The progress display shows
// how far it is. A formatting step that fails is skipped; a workbook that cannot be written
// gets one message naming the file, and an existing file is then left as it was. Returns
// true when the workbook was saved.
bool ExportGrid(const AppContext& ctx, const TextGrid& grid, const QString& path);
bool ExportGrid(const AppContext& ctx, const TextGrid& grid, const QString& path,
                const WorkbookFactory& create);

// The header and column widths of an export of records, as the list shows them: column 1 is
// the row number, columns 2 … hold the shown fields (store::kShownFields), and where the store
// keeps who stored each record, the last column that login ("打印人").
struct ExportLayout {
    QStringList captions;  // of columns 1 …, with a sort marker where the list shows one
    QList<double> widths;  // of columns 1 …, twips
};

// Writes the records of the keys in their order, as ExportGrid writes the list: the header
// row, then one row per record numbered from 1. The records are read from the store a chunk at
// a time, so memory stays the same at any size. False when the workbook was not saved (the
// clerk has been told why).
bool ExportRecords(const AppContext& ctx, store::RecordStore& records,
                   const QList<store::RecordKey>& keys, const ExportLayout& layout,
                   const QString& path, const WorkbookFactory& create = workbook::CreateWorkbook);

}  // namespace tf::history
