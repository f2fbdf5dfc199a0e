#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "common/app_context.h"
#include "history/text_grid.h"
#include "history/workbook/workbook.h"
#include "store/record_store.h"

// Import of worksheet rows as print records. The dialogs collect the file, the sheet, the
// row range and the column of every field into an ImportRequest; everything after that runs
// here without any window, reporting through the context's prompt and progress.

namespace tf::history {

// Mapping boxes: 序号 and the 17 history columns 2 … 18.
constexpr int kMappedColumns = 18;

struct ImportRequest {
    QString path;
    QString sheet;
    qint32 firstRow = 2;
    qint32 lastRow = 100;
    // Worksheet column of each mapping box; entry k feeds history column k + 1 (entry 0, the
    // sequence number, is not read). 0 is no column: reading it is an out-of-range address.
    std::array<int, kMappedColumns> columnMap{};
};

// The default mapping: box k holds column k + 1 ("A" … "R"), the layout the export writes.
std::array<int, kMappedColumns> DefaultColumnMap();

// Opens a workbook for reading; throws workbook::WorkbookError.
using WorkbookOpener =
    std::function<std::unique_ptr<workbook::WorkbookReader>(const QString& path)>;

// Column letters to a column number: "A"/"a" 1 … "Z" 26, "AA" 27 … "ZZ" 702. Blanks around
// the text are ignored. More than two characters, or no character at all, give 0 (no
// column). Other characters count by their code, so "A1" is 11 and "1" becomes 1; a result
// below 1 becomes 1, and a text with a non-ASCII character is 1.
int ColumnNumber(const QString& text);

// The message shown for a workbook error number.
QString ImportErrorText(int number);

// The caption of the progress display and the closing notice of an import.
QString ImportProgressTitle();
QString ImportDoneText(qint32 firstRow, qint32 lastRow);
// Added to the closing notice when worksheet rows without any text were passed over; "" for
// none.
QString SkippedRowsText(qint64 skipped);
// The question while another program holds the database file (path), and the notice after the
// clerk chose to stop.
QString LockedQuestionText(const QString& path);
QString ImportStoppedText();
// What the closing notice adds for imported numbers of more than 15 digits, which may differ
// from what was typed: one line per cell (worksheet row, column), the first ten of them; ""
// when there is none.
QString InexactCellsText(const QList<std::pair<qint64, int>>& cells);

// Stores the rows of the request as print records, each as a group of records under its own
// free midnight date: yesterday for the first row, then the nearest earlier days no group uses,
// never the reserved current-text date. Mapping box k (1 …) feeds the k-th shown field
// (store::kShownFields). A row whose mapped cells are all empty is passed over. Each row is
// stored whole or not at all; when a row fails, the rows before it are committed. `stored`
// receives the keys of the rows the database holds afterwards, in worksheet order (none when
// the commit failed or the import was stopped). While another program holds the database file
// the clerk is asked after about a second whether to wait on; stopping stores nothing. Returns
// 0, or the workbook error number after showing its message (-1 for a database failure or a
// stop, told as well).
int ImportWorkbook(const AppContext& ctx, const ImportRequest& request, const WorkbookOpener& open,
                   QList<store::RecordKey>* stored = nullptr);

// The names of the workbook's sheets; nothing when it cannot be read, after telling why.
std::optional<QStringList> ReadSheetNames(const AppContext& ctx, const QString& path,
                                          const WorkbookOpener& open);

// Fills the sample grid: rows 1 … 10 by columns A … T of the sheet, with row numbers and
// column letters in the fixed row and column. On a failure the sample keeps what was read, the
// error's message is shown and its number returned; 0 otherwise.
int DisplayXls(const AppContext& ctx, TextGrid& grid, const QString& path, const QString& sheet,
               const WorkbookOpener& open);

}  // namespace tf::history
