// The .xls reader over FreeXL. FreeXL parses the whole Workbook stream on open; our wrapper
// refuses files too large to be a workbook a clerk sends and records FreeXL would trust for
// its memory, checks the handle as well as the return codes, and never asks for a cell
// outside the sheet's dimensions. Formula cells come
// back empty: FreeXL does not report their stored results.

#include <freexl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "history/workbook/workbook_impl.h"

namespace tf::workbook::detail {
namespace {

constexpr FileFormat kFormat = FileFormat::Xls;
constexpr qint64 kMaxFileSize = 256LL * 1024 * 1024;
constexpr unsigned kMaxSheets = 4096;

// Owns a FreeXL handle, so it is closed also when the reader's constructor throws.
struct Handle {
    const void* get;
    explicit Handle(const void* h) : get(h) {}
    ~Handle() { freexl_close(get); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

class XlsReader final : public WorkbookReader {
public:
    XlsReader(const QString& path, const void* handle) : path_(path), owner_(handle) {
        unsigned count = 0;
        if (freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
            throw NotWorkbook();
        unsigned password = 0;
        if (freexl_get_info(handle_, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
            password == FREEXL_BIFF_OBFUSCATED)
            throw NotWorkbook();
        if (count > kMaxSheets) throw NotWorkbook();
        for (unsigned i = 0; i < count; ++i) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(handle_, static_cast<unsigned short>(i), &name) !=
                    FREEXL_OK ||
                !name)
                throw NotWorkbook();
            names_.append(QString::fromUtf8(name));
        }
        if (count > 0) Select(0);
    }

    QStringList SheetNames() const override { return names_; }

    void SelectSheet(const QString& name) override {
        const qsizetype index = FindSheet(names_, name);
        if (index < 0) throw WorkbookError(kNoSuchSheet, QStringLiteral("no sheet %1").arg(name));
        Select(static_cast<unsigned short>(index));
    }

    QString CellText(int row, int col) const override {
        CheckAddress(kFormat, row, col);
        const auto r = static_cast<unsigned>(row - 1);
        const auto c = static_cast<unsigned>(col - 1);
        if (!selected_ || r >= rows_ || c >= cols_) return {};
        FreeXL_CellValue value{};
        if (freexl_get_cell_value(handle_, r, static_cast<unsigned short>(c), &value) != FREEXL_OK)
            return {};
        switch (value.type) {
            case FREEXL_CELL_INT:
                return QString::number(value.value.int_value);
            case FREEXL_CELL_DOUBLE:
                return NumberText(value.value.double_value);
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                return value.value.text_value ? QString::fromUtf8(value.value.text_value)
                                              : QString();
            default:
                return {};
        }
    }

private:
    WorkbookError NotWorkbook() const {
        return WorkbookError(kNotWorkbook, QStringLiteral("%1 is not a workbook").arg(path_));
    }

    void Select(unsigned short index) {
        selected_ = false;
        unsigned rows = 0;
        unsigned short cols = 0;
        if (freexl_select_active_worksheet(handle_, index) != FREEXL_OK ||
            freexl_worksheet_dimensions(handle_, &rows, &cols) != FREEXL_OK)
            throw WorkbookError(kNotWorkbook, QStringLiteral("damaged sheet in %1").arg(path_));
        rows_ = std::min<unsigned>(rows, MaxRows(kFormat));
        cols_ = std::min<unsigned>(cols, MaxColumns(kFormat));
        selected_ = true;
    }

    QString path_;
    Handle owner_;
    const void* handle_ = owner_.get;
    QStringList names_;
    unsigned rows_ = 0;
    unsigned cols_ = 0;
    bool selected_ = false;
};

}  // namespace

std::unique_ptr<WorkbookReader> OpenXls(const QString& path) {
    const QFileInfo info(path);
    if (info.size() > kMaxFileSize)
        throw WorkbookError(kNotWorkbook, QStringLiteral("%1 is too large").arg(path));
    // FreeXL reads a checked copy, which it keeps open; the name goes when the copy is read.
    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/tallyform-xls-XXXXXX"));
    const QString copy = scratch.filePath(QStringLiteral("checked.xls"));
    if (!scratch.isValid())
        throw WorkbookError(kCannotOpen, QStringLiteral("no scratch folder for %1").arg(path));
    if (!CopyCheckedXls(path, copy))
        throw WorkbookError(kNotWorkbook, QStringLiteral("%1 is not a workbook").arg(path));
    const void* handle = nullptr;
    const int rc = freexl_open(QFile::encodeName(copy).constData(), &handle);
    if (rc != FREEXL_OK || !handle) {
        if (handle) freexl_close(handle);
        if (rc == FREEXL_FILE_NOT_FOUND)
            throw WorkbookError(kCannotOpen, QStringLiteral("cannot open %1").arg(path));
        throw WorkbookError(kNotWorkbook, QStringLiteral("%1 is not a workbook").arg(path));
    }
    return std::make_unique<XlsReader>(path, handle);
}

}  // namespace tf::workbook::detail
