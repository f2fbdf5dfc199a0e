#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "history/workbook/workbook.h"

// What the four backends share: factories, the text of a number, the cell styles that the
// declared ranges give, and the step that puts a finished file at its target.

namespace tf::workbook::detail {

std::unique_ptr<WorkbookReader> OpenXls(const QString& path);
std::unique_ptr<WorkbookReader> OpenXlsx(const QString& path);
std::unique_ptr<WorkbookWriter> CreateXls(const QString& path);
std::unique_ptr<WorkbookWriter> CreateXlsx(const QString& path);

// A number as a cell gives it: the shortest decimal that reads back to the same double, in
// plain form (no exponent, whole numbers without a fraction), inexact past 15 significant
// digits (trailing zeros of a whole number count: they stand for digits that were lost).
Cell NumberCell(double value);

// A date-formatted number: yyyy-MM-dd, with " hh:mm:ss" when it has a time of day, or the
// time alone for a value below one day; rounded to the second. Day 1 is 1900-01-01, or
// 1904-01-02 in the 1904 system; day 60 of the 1900 system is the 1900-02-29 spreadsheets
// count. Nothing for a negative value or one past 9999-12-31.
std::optional<QString> DateText(double value, bool system1904);

// The cell of a number under its number format: a date or a number.
Cell FormattedNumber(double value, bool dateFormat, bool system1904);

// Whether a number format shows a date or time: a built-in one of the date and time numbers
// (14–22, 45–47, and the East Asian 27–36 and 50–58), or a format code with more year, month,
// day, hour or second letters than digit places outside quotes, escapes and brackets.
bool IsBuiltInDateFormat(int id);
bool IsDateFormatCode(QStringView code);

// The text of a cell error code of the binary format (0x07 "#DIV/0!" …).
QString ErrorText(int code);

// Texts kept once for the whole workbook, numbered in order: one buffer of characters and
// the end of each text, instead of a string object per text.
class TextTable {
public:
    void Add(QStringView text);
    qsizetype Size() const { return static_cast<qsizetype>(ends_.size()); }
    qint64 Chars() const { return chars_.size(); }
    QString At(qsizetype i) const;
    void Squeeze() { chars_.squeeze(); }

private:
    QString chars_;
    std::vector<qsizetype> ends_;
};

// The index of the sheet of that name, the exact spelling first, then any case as a spreadsheet
// compares sheet names; -1 when there is none.
qsizetype FindSheet(const QStringList& names, const QString& name);

// The characters a cell holds at most.
inline constexpr qsizetype kMaxTextLength = 32767;

// At most the kMaxTextLength characters a cell holds, never ending in half a surrogate pair.
QStringView Clipped(QStringView text);

// Whether text[at] starts an escape _xHHHH_ (four hexadecimal digits), the form in which .xlsx
// files carry characters XML cannot.
bool IsXmlEscapeAt(QStringView text, qsizetype at);

// Throws kOutOfRange unless 1 ≤ row ≤ MaxRows and 1 ≤ col ≤ MaxColumns of the format.
void CheckAddress(FileFormat format, int row, int col);

// The formatting one cell gets from the ranges declared so far.
struct CellStyle {
    bool filled = false;
    qint32 fill = 0;  // 0x00BBGGRR
    bool bold = false;
    int border = 0;  // 0: none, else the border weight
    bool IsPlain() const { return !filled && !bold && border == 0; }
    bool operator==(const CellStyle&) const = default;
};

// The declared fill, bold and border ranges; later declarations win over earlier ones.
class StyleRanges {
public:
    void AddFill(const CellRange& range, qint32 bgr);
    void AddBold(const CellRange& range);
    void AddBorders(const CellRange& range, int weight);
    bool Empty() const { return ranges_.empty(); }
    CellStyle StyleAt(int row, int col) const;
    // The last row any range covers, 0 when there is none.
    int LastRow() const;
    // The columns [first, last] of the cells in row that some range covers; false when none.
    bool ColumnsInRow(int row, int* first, int* last) const;

private:
    enum class Kind { Fill, Bold, Border };
    struct Entry {
        CellRange range;
        Kind kind;
        qint32 value;
    };
    std::vector<Entry> ranges_;
};

// A range with its corners in order, or false when it lies outside the format's limits.
bool NormalisedRange(FileFormat format, const CellRange& in, CellRange* out);

// A file in the target's folder that a finished workbook is written to and then renamed over
// the target; removed again unless Commit() ran.
class PendingFile {
public:
    explicit PendingFile(const QString& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    // Reserves the temporary name; false when the folder cannot take a file.
    bool Reserve();
    const QString& TempPath() const { return temp_; }
    // Renames the temporary file over the target; throws kCannotOpen when that fails.
    void Commit();

private:
    QString target_;
    QString temp_;
    bool committed_ = false;
};

[[noreturn]] void ThrowCannotWrite(const QString& path, const QString& why);

}  // namespace tf::workbook::detail
