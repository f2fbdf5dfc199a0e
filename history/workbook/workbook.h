#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <memory>

// Reading and writing spreadsheet workbooks, .xls (BIFF8) and .xlsx, behind one interface.
// Failures are WorkbookError exceptions carrying the numbers the import tells apart.

namespace tf::workbook {

enum ErrorNumber : int {
    kCannotOpen = 5,     // the file cannot be opened or written
    kNoSuchSheet = 9,    // no worksheet of that name
    kNotWorkbook = 438,  // the file is not a workbook
    kOutOfRange = 1004,  // a cell address out of range
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

class WorkbookReader {
public:
    virtual ~WorkbookReader() = default;
    // The names of all sheets in the workbook's order.
    virtual QStringList SheetNames() const = 0;
    // Makes the named worksheet the one cells are read from; kNoSuchSheet when there is none.
    virtual void SelectSheet(const QString& name) = 0;
    // The text of a cell of the selected sheet, "" when empty. Numbers come back in their
    // shortest decimal form (whole numbers of up to 15 digits without exponent), formula cells
    // as their stored value. kOutOfRange for row or column 0 or past the format's last.
    virtual QString CellText(int row, int col) const = 0;
};

// Opens a workbook for reading. kCannotOpen when the file cannot be read, kNotWorkbook when
// its content is not a workbook of its kind.
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
    // Completes the workbook and puts it at the target path in one step: an existing file is
    // replaced only by a complete workbook. kCannotOpen when it cannot be written.
    virtual void Save() = 0;
};

// A new workbook of one sheet that Save() writes to path, in the format of its extension.
// Nothing appears at path until Save() succeeds.
std::unique_ptr<WorkbookWriter> CreateWorkbook(const QString& path);

}  // namespace tf::workbook
