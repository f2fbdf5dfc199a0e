#pragma once

#include <unzip.h>

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "history/workbook/workbook_impl.h"

// What the .xlsx reader's parts share: the package, what the workbook says, and a sheet read
// as a stream of rows.

namespace tf::workbook::detail::xlsx {

constexpr qint64 kMaxPartSize = 2048LL * 1024 * 1024;
constexpr qsizetype kMaxTextChars = 1024 * 1024;

WorkbookError Damaged(const QString& what);
QString Utf8(std::string_view text);
// Excel writes characters XML cannot carry as _xHHHH_ (and a literal "_x" of that form as
// _x005F_x).
QString Unescape(QString text);

// An open zip package; minizip reads one entry at a time per handle, so every sheet stream
// has a handle of its own.
class Package {
public:
    explicit Package(const QString& path);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;
    unzFile get() const { return zip_; }

private:
    unzFile zip_;
};

// What the whole workbook says: its sheets, the date system, the shared strings and which
// cell styles show dates.
struct Book {
    QString path;
    QStringList names;
    QStringList parts;
    std::vector<bool> worksheet;
    QString stringsPart;
    QString stylesPart;
    bool system1904 = false;
    TextTable strings;
    std::vector<bool> dateStyle;
};

struct SheetRow {
    int number = 0;
    std::vector<std::pair<int, Cell>> cells;  // column, cell
};

// One sheet read as a stream: libxml2's SAX parser is fed one inflated piece of the part at a
// time, and the rows it completes wait in a short queue. Only the cells of the columns `want`
// asks for get a text.
class SheetStream {
public:
    SheetStream(const Book& book, qsizetype index, std::function<bool(int col)> want);
    ~SheetStream();
    SheetStream(const SheetStream&) = delete;
    SheetStream& operator=(const SheetStream&) = delete;
    // The next row of the sheet; false past its last. kDamaged when the part is.
    bool Next(SheetRow* row);

private:
    struct Parser;
    std::unique_ptr<Parser> parser_;
};

// The rows of a sheet in the columns asked for.
class XlsxCursor final : public RowCursor {
public:
    XlsxCursor(const Book& book, qsizetype sheet, const std::vector<int>& cols);
    const std::vector<Cell>& Read(int row) override;

private:
    std::vector<int> cols_;
    SheetStream stream_;
    std::vector<Cell> cells_;
    SheetRow pending_;  // the next row of the sheet, once read
    bool hasPending_ = false;
};

}  // namespace tf::workbook::detail::xlsx
