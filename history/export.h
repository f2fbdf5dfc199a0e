#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "history/text_grid.h"
#include "history/workbook/workbook.h"

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

}  // namespace tf::history
