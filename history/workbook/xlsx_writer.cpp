// The .xlsx writer: libxlsxwriter in constant-memory mode, which streams each finished row to
// disk, so a long history is written without holding it in memory.

#include <unzip.h>
#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <cstdio>
#include <vector>

#include "history/workbook/workbook_impl.h"

namespace tf::workbook::detail {
namespace {

constexpr FileFormat kFormat = FileFormat::Xlsx;

uint8_t BorderStyle(int weight) {
    switch (weight) {
        case 1:
            return LXW_BORDER_HAIR;
        case 4:
            return LXW_BORDER_THICK;
        case -4138:  // the automation model's "medium"
            return LXW_BORDER_MEDIUM;
        default:
            return LXW_BORDER_THIN;
    }
}

// The zip's central directory, written last, is readable: the file was written to its end.
bool IsCompleteZip(const QString& path) {
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip) return false;
    unz_global_info64 info{};
    const bool ok = unzGetGlobalInfo64(zip, &info) == UNZ_OK && info.number_entry > 0;
    unzClose(zip);
    return ok;
}

// libxlsxwriter writes control characters as _xHHHH_ but leaves a literal text of that form
// as it is, which every reader would then turn into one character: escape its "_" as _x005F_.
// "_xHHHH" before a control character needs the same, since the library's escape of that
// character supplies the closing "_".
QString EscapeLiteral(const QString& text) {
    if (!text.contains(u"_x")) return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool controlFollows = i + 6 < text.size() && text[i + 6].unicode() < 0x20;
        if (IsXmlEscapeAt(text, i) ||
            (controlFollows && IsXmlEscapeAt(QString(text.mid(i, 6) + u'_'), 0)))
            out.append(u"_x005F");
        out.append(text[i]);
    }
    return out;
}

class XlsxWriter final : public WorkbookWriter {
public:
    explicit XlsxWriter(const QString& path) : path_(path), pending_(path) {
        if (!pending_.Reserve()) return;
        const QByteArray temp = QFile::encodeName(pending_.TempPath());
        lxw_workbook_options options{};
        options.constant_memory = 1;
        // The library's own scratch files go where TMPDIR says, not always to /tmp.
        options.tmpdir = tmpdir_.data();
        workbook_ = workbook_new_opt(temp.constData(), &options);
        if (workbook_) sheet_ = workbook_add_worksheet(workbook_, nullptr);
    }

    ~XlsxWriter() override {
        if (!workbook_) return;
        CloseRowFile();  // lxw_workbook_free leaves it open
        lxw_workbook_free(workbook_);
    }

    void SetColumnWidth(int col, double characters) override {
        CheckAddress(kFormat, 1, col);
        if (!sheet_) return;
        lxw_row_col_options options{};
        options.hidden = characters <= 0 ? 1 : 0;
        const auto c = static_cast<lxw_col_t>(col - 1);
        worksheet_set_column_opt(sheet_, c, c, characters > 0 ? characters : 0, nullptr, &options);
    }

    void Fill(const CellRange& range, qint32 bgr) override { styles_.AddFill(Checked(range), bgr); }
    void Bold(const CellRange& range) override { styles_.AddBold(Checked(range)); }
    void Borders(const CellRange& range, int weight) override {
        styles_.AddBorders(Checked(range), weight);
    }

    void WriteText(int row, int col, const QString& text) override {
        if (!StartCell(row, col)) return;
        const QString escaped = EscapeLiteral(text);
        const QStringView view = Clipped(escaped);
        utf8_.resize(encoder_.requiredSpace(view.size()) + 1);
        char* end = encoder_.appendToBuffer(utf8_.data(), view);
        *end = '\0';
        WriteCell(row, col);
    }

    // Well-formed UTF-8 short enough to need no clipping, without a literal escape, goes to
    // the library as it is; any other text takes the way of WriteText.
    void WriteUtf8(int row, int col, QByteArrayView text) override {
        if (text.size() > kMaxTextLength || text.contains(QByteArrayView("_x")) ||
            !text.isValidUtf8()) {
            WriteText(row, col, QString::fromUtf8(text));
            return;
        }
        if (!StartCell(row, col)) return;
        utf8_.assign(text.begin(), text.end());
        utf8_.push_back('\0');
        WriteCell(row, col);
    }

    void Save() override {
        if (!workbook_ || !sheet_) ThrowCannotWrite(path_, QStringLiteral("no temporary file"));
        FinishRowsBefore(std::max(row_, styles_.LastRow()) + 1);
        // The rows went to a temporary file whose write errors libxlsxwriter does not check:
        // a full disk there would silently cut the sheet short.
        FILE* rows = sheet_->optimize_tmpfile;
        const bool rowsOk = !rows || (std::fflush(rows) == 0 && !std::ferror(rows));
        if (!rowsOk) ThrowCannotWrite(path_, QStringLiteral("the rows could not be stored"));
        // A sheet without a single cell never reads its row file back, and libxlsxwriter then
        // leaves it open: one file handle lost per empty workbook.
        if (sheet_->dim_rowmin == LXW_ROW_MAX) CloseRowFile();
        const lxw_error error = workbook_close(workbook_);
        workbook_ = nullptr;
        sheet_ = nullptr;
        if (error != LXW_NO_ERROR) ThrowCannotWrite(path_, QString::fromUtf8(lxw_strerror(error)));
        if (!IsCompleteZip(pending_.TempPath()))
            ThrowCannotWrite(path_, QStringLiteral("the package is incomplete"));
        pending_.Commit();
    }

private:
    // Checks a cell's place and finishes the rows before it; false when there is no sheet.
    bool StartCell(int row, int col) {
        CheckAddress(kFormat, row, col);
        if (row < row_)
            throw WorkbookError(kOutOfRange,
                                QStringLiteral("row %1 written after row %2").arg(row).arg(row_));
        if (!sheet_) return false;
        if (row > row_) FinishRowsBefore(row);
        MarkWritten(col);
        return true;
    }

    // Writes the text in utf8_ (NUL-terminated) into the cell.
    void WriteCell(int row, int col) {
        worksheet_write_string(sheet_, static_cast<lxw_row_t>(row - 1),
                               static_cast<lxw_col_t>(col - 1), utf8_.data(), FormatAt(row, col));
    }

    void CloseRowFile() {
        if (!sheet_ || !sheet_->optimize_tmpfile) return;
        std::fclose(sheet_->optimize_tmpfile);
        sheet_->optimize_tmpfile = nullptr;
    }

    CellRange Checked(const CellRange& range) const {
        CellRange r;
        if (!NormalisedRange(kFormat, range, &r))
            throw WorkbookError(kOutOfRange, QStringLiteral("range out of range"));
        return r;
    }

    void MarkWritten(int col) {
        if (col >= static_cast<int>(written_.size())) written_.resize(col + 1, 0);
        written_[col] = row_;
    }

    // Writes blank cells where a formatted range covers a cell that got no text, so borders and
    // fills show on every cell, for the current row and every row up to (not including) next.
    void FinishRowsBefore(int next) {
        const int last = std::min(next - 1, styles_.LastRow());
        for (int r = std::max(row_, 1); r <= last; ++r) {
            int first = 0, lastCol = 0;
            if (!styles_.ColumnsInRow(r, &first, &lastCol)) continue;
            for (int c = first; c <= lastCol; ++c) {
                if (r == row_ && c < static_cast<int>(written_.size()) && written_[c] == row_)
                    continue;
                lxw_format* format = FormatAt(r, c);
                if (format)
                    worksheet_write_blank(sheet_, static_cast<lxw_row_t>(r - 1),
                                          static_cast<lxw_col_t>(c - 1), format);
            }
        }
        row_ = next;
    }

    lxw_format* FormatAt(int row, int col) {
        if (styles_.Empty()) return nullptr;
        const CellStyle style = styles_.StyleAt(row, col);
        if (style.IsPlain()) return nullptr;
        for (const auto& [s, f] : formats_)
            if (s == style) return f;
        lxw_format* format = workbook_add_format(workbook_);
        if (style.filled) {
            const quint32 bgr = static_cast<quint32>(style.fill);
            const quint32 rgb = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
            format_set_pattern(format, LXW_PATTERN_SOLID);
            format_set_bg_color(format, rgb);
        }
        if (style.bold) format_set_bold(format);
        if (style.border != 0) format_set_border(format, BorderStyle(style.border));
        formats_.emplace_back(style, format);
        return format;
    }

    QString path_;
    PendingFile pending_;
    QByteArray tmpdir_ = QFile::encodeName(QDir::tempPath());
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    StyleRanges styles_;
    std::vector<std::pair<CellStyle, lxw_format*>> formats_;
    std::vector<int> written_;  // per column, the row it was last written in
    int row_ = 0;               // the row being written
    QStringEncoder encoder_{QStringEncoder::Utf8};
    std::vector<char> utf8_;
};

}  // namespace

std::unique_ptr<WorkbookWriter> CreateXlsx(const QString& path) {
    return std::make_unique<XlsxWriter>(path);
}

}  // namespace tf::workbook::detail
