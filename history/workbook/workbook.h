#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <exception>
#include <memory>
#include <vector>

// Reading and writing spreadsheet workbooks, .xls (BIFF8) and .xlsx, behind one interface.
// Failures are WorkbookError exceptions carrying the numbers the import tells apart.

namespace tf::workbook {

enum ErrorNumber : int {
    kCannotOpen = 5,     // the file cannot be opened or written
    kNoSuchSheet = 9,    // no worksheet of that name
    kNotWorkbook = 438,  // the file is not a workbook
    kOutOfRange = 1004,  // a cell address out of range
    // Numbers of our own, beyond those of the spreadsheet interface:
    kDamaged = 2001,    // a workbook whose content is damaged or cut short
    kEncrypted = 2002,  // a workbook protected by a password
};

class WorkbookError : public std::exception {
public:
    WorkbookError(int number, QString detail);
    int Number() const { return number_; }
    const QString& Detail() const { return detail_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    QString detail_;
    std::string what_;
};

enum class FileFormat { Xls, Xlsx };

// .xlsx (any case) is an .xlsx workbook; every other name an .xls one.
FileFormat FormatOfPath(const QString& path);
// The last row and column a worksheet of the format can hold (65,536 × 256 for .xls).
int MaxRows(FileFormat format);
int MaxColumns(FileFormat format);

// The column name of column n, 1 = "A", 27 = "AA".
QString ColumnLetters(int n);

// A rectangle of cells, numbered from 1, both corners included.
struct CellRange {
    int firstRow = 1;
    int firstCol = 1;
    int lastRow = 1;
    int lastCol = 1;
};

// One cell as a reader gives it. Numbers come back in plain decimal form, never with an
// exponent, whole ones without a fraction; a date-formatted number as yyyy-MM-dd (with
// " hh:mm:ss" when it has a time of day, the time alone below one day), booleans as
// TRUE/FALSE, formula cells as their stored result.
struct Cell {
    QString text;
    // A number of more than 15 significant digits: no workbook keeps it exactly, so its last
    // digits may differ from what was typed.
    bool inexact = false;
};

// The rows of a sheet, read in ascending order, each in the columns the cursor was made for.
class RowCursor {
public:
    virtual ~RowCursor() = default;
    // The cells of the row, one per column, empty ones with "". Rows are asked for in
    // ascending order. kOutOfRange for a row or column the format cannot have.
    virtual const std::vector<Cell>& Read(int row) = 0;
};

class WorkbookReader {
public:
    virtual ~WorkbookReader() = default;
    // The names of all sheets in the workbook's order.
    virtual QStringList SheetNames() const = 0;
    // Makes the named worksheet the one cells are read from; kNoSuchSheet when there is none.
    virtual void SelectSheet(const QString& name) = 0;
    // The text of a cell of the selected sheet (see Cell), "" when empty. kOutOfRange for row
    // or column 0 or past the format's last.
    virtual QString CellText(int row, int col) const = 0;
    // A cursor over the rows of the selected sheet that reads the given columns. It reads the
    // sheet as it goes: memory does not grow with the rows passed. A reader gives the same
    // texts through CellText and a cursor; this one asks CellText.
    virtual std::unique_ptr<RowCursor> Rows(const std::vector<int>& cols) const;
};

// Opens a workbook for reading. kCannotOpen when the file cannot be read, kNotWorkbook when
// it is no workbook, kDamaged when it is one that cannot be read, kEncrypted when it needs a
// password. Reading a sheet can fail with kDamaged as well.
std::unique_ptr<WorkbookReader> OpenWorkbook(const QString& path);

class WorkbookWriter {
public:
    virtual ~WorkbookWriter() = default;
    // Formatting applies to cells written after it, so declare it before the cells it covers;
    // every cell of a formatted range is written, blank ones included.
    virtual void SetColumnWidth(int col, double characters) = 0;
    virtual void Fill(const CellRange& range, qint32 bgr) = 0;  // colour 0x00BBGGRR
    virtual void Bold(const CellRange& range) = 0;
    virtual void Borders(const CellRange& range, int weight) = 0;  // 2: thin lines
    // Writes a text cell. Rows come in ascending order; kOutOfRange past the format's limits.
    virtual void WriteText(int row, int col, const QString& text) = 0;
    // The same for a text in UTF-8, for writers that can take it as it is.
    virtual void WriteUtf8(int row, int col, QByteArrayView text) {
        WriteText(row, col, QString::fromUtf8(text));
    }
    // Completes the workbook and puts it at the target path in one step: an existing file is
    // replaced only by a complete workbook. kCannotOpen when it cannot be written.
    virtual void Save() = 0;
};

// A new workbook of one sheet that Save() writes to path, in the format of its extension.
// Nothing appears at path until Save() succeeds.
std::unique_ptr<WorkbookWriter> CreateWorkbook(const QString& path);

}  // namespace tf::workbook
