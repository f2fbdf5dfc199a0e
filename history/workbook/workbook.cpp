#include "history/workbook/workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "history/workbook/workbook_impl.h"

namespace tf::workbook {

WorkbookError::WorkbookError(int number, QString detail)
    : number_(number), detail_(std::move(detail)) {
    what_ = QStringLiteral("workbook error %1: %2").arg(number_).arg(detail_).toStdString();
}

FileFormat FormatOfPath(const QString& path) {
    return path.endsWith(u".xlsx", Qt::CaseInsensitive) ? FileFormat::Xlsx : FileFormat::Xls;
}

int MaxRows(FileFormat format) {
    return format == FileFormat::Xls ? 65536 : 1048576;
}
int MaxColumns(FileFormat format) {
    return format == FileFormat::Xls ? 256 : 16384;
}

QString ColumnLetters(int n) {
    QString letters;
    for (; n > 0; n = (n - 1) / 26) letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

namespace {

// The first bytes tell the two kinds apart: an OLE2 compound file or a zip package. A file
// named .xls that is really an .xlsx (or the other way round) is read by what it is.
enum class Signature { Unreadable, CompoundFile, Zip, Other };

Signature SniffSignature(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Signature::Unreadable;
    const QByteArray head = file.read(8);
    if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return Signature::CompoundFile;
    if (head.startsWith("PK\x03\x04")) return Signature::Zip;
    return Signature::Other;
}

}  // namespace

std::unique_ptr<WorkbookReader> OpenWorkbook(const QString& path) {
    const QFileInfo info(path);
    const Signature signature =
        path.isEmpty() || !info.isFile() ? Signature::Unreadable : SniffSignature(path);
    switch (signature) {
        case Signature::Unreadable:
            throw WorkbookError(kCannotOpen, QStringLiteral("cannot open %1").arg(path));
        case Signature::CompoundFile:
            return detail::OpenXls(path);
        case Signature::Zip:
            return detail::OpenXlsx(path);
        case Signature::Other:
            break;
    }
    throw WorkbookError(kNotWorkbook, QStringLiteral("%1 is not a workbook").arg(path));
}

namespace {

// Reads each row's cells through CellText, for readers that have nothing better.
class CellTextCursor final : public RowCursor {
public:
    CellTextCursor(const WorkbookReader& reader, const std::vector<int>& cols)
        : reader_(reader), cols_(cols), cells_(cols.size()) {}
    const std::vector<Cell>& Read(int row) override {
        for (size_t i = 0; i < cols_.size(); ++i) cells_[i].text = reader_.CellText(row, cols_[i]);
        return cells_;
    }

private:
    const WorkbookReader& reader_;
    std::vector<int> cols_;
    std::vector<Cell> cells_;
};

}  // namespace

std::unique_ptr<RowCursor> WorkbookReader::Rows(const std::vector<int>& cols) const {
    return std::make_unique<CellTextCursor>(*this, cols);
}

std::unique_ptr<WorkbookWriter> CreateWorkbook(const QString& path) {
    return FormatOfPath(path) == FileFormat::Xls ? detail::CreateXls(path)
                                                 : detail::CreateXlsx(path);
}

namespace detail {

qsizetype FindSheet(const QStringList& names, const QString& name) {
    const qsizetype exact = names.indexOf(name);
    if (exact >= 0) return exact;
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QStringView Clipped(QStringView text) {
    if (text.size() <= kMaxTextLength) return text;
    return text.left(text[kMaxTextLength - 1].isHighSurrogate() ? kMaxTextLength - 1
                                                                : kMaxTextLength);
}

bool IsXmlEscapeAt(QStringView text, qsizetype at) {
    if (at + 7 > text.size() || text[at] != u'_' || text[at + 1] != u'x' || text[at + 6] != u'_')
        return false;
    for (qsizetype i = at + 2; i < at + 6; ++i)
        if (!isxdigit(text[i].unicode())) return false;
    return true;
}

void CheckAddress(FileFormat format, int row, int col) {
    if (row < 1 || col < 1 || row > MaxRows(format) || col > MaxColumns(format))
        throw WorkbookError(kOutOfRange,
                            QStringLiteral("cell (%1, %2) out of range").arg(row).arg(col));
}

bool NormalisedRange(FileFormat format, const CellRange& in, CellRange* out) {
    out->firstRow = std::min(in.firstRow, in.lastRow);
    out->lastRow = std::max(in.firstRow, in.lastRow);
    out->firstCol = std::min(in.firstCol, in.lastCol);
    out->lastCol = std::max(in.firstCol, in.lastCol);
    return out->firstRow >= 1 && out->firstCol >= 1 && out->lastRow <= MaxRows(format) &&
           out->lastCol <= MaxColumns(format);
}

void StyleRanges::AddFill(const CellRange& range, qint32 bgr) {
    ranges_.push_back({range, Kind::Fill, bgr});
}
void StyleRanges::AddBold(const CellRange& range) {
    ranges_.push_back({range, Kind::Bold, 1});
}
void StyleRanges::AddBorders(const CellRange& range, int weight) {
    ranges_.push_back({range, Kind::Border, weight});
}

CellStyle StyleRanges::StyleAt(int row, int col) const {
    CellStyle style;
    for (const Entry& e : ranges_) {
        const CellRange& r = e.range;
        if (row < r.firstRow || row > r.lastRow || col < r.firstCol || col > r.lastCol) continue;
        switch (e.kind) {
            case Kind::Fill:
                style.filled = true;
                style.fill = e.value;
                break;
            case Kind::Bold:
                style.bold = true;
                break;
            case Kind::Border:
                style.border = e.value;
                break;
        }
    }
    return style;
}

int StyleRanges::LastRow() const {
    int last = 0;
    for (const Entry& e : ranges_) last = std::max(last, e.range.lastRow);
    return last;
}

bool StyleRanges::ColumnsInRow(int row, int* first, int* last) const {
    bool any = false;
    for (const Entry& e : ranges_) {
        if (row < e.range.firstRow || row > e.range.lastRow) continue;
        *first = any ? std::min(*first, e.range.firstCol) : e.range.firstCol;
        *last = any ? std::max(*last, e.range.lastCol) : e.range.lastCol;
        any = true;
    }
    return any;
}

PendingFile::PendingFile(const QString& target) : target_(QFileInfo(target).absoluteFilePath()) {}

PendingFile::~PendingFile() {
    if (!committed_ && !temp_.isEmpty()) QFile::remove(temp_);
}

bool PendingFile::Reserve() {
    const QFileInfo info(target_);
    if (info.isDir()) return false;
    QTemporaryFile file(info.absolutePath() + u"/." + info.fileName() + u".XXXXXX");
    file.setAutoRemove(false);
    if (!file.open()) return false;
    temp_ = file.fileName();
    return true;
}

void PendingFile::Commit() {
    // rename(2) replaces the target in one step; QFile::rename would refuse an existing file.
    const QByteArray from = QFile::encodeName(temp_);
    const QByteArray to = QFile::encodeName(target_);
    // A replaced file keeps its permissions; a new one gets rw-r--r--, not the temporary 0600.
    const QFileInfo old(target_);
    const QFile::Permissions perms =
        old.exists() ? old.permissions()
                     : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(temp_, perms);
    if (std::rename(from.constData(), to.constData()) != 0)
        ThrowCannotWrite(target_, QString::fromLocal8Bit(std::strerror(errno)));
    committed_ = true;
}

void ThrowCannotWrite(const QString& path, const QString& why) {
    throw WorkbookError(kCannotOpen, QStringLiteral("cannot write %1: %2").arg(path, why));
}

}  // namespace detail

}  // namespace tf::workbook
