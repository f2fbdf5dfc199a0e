// The .xls writer: BIFF8 records of one worksheet, put as the Workbook stream into an OLE2
// compound file that libgsf writes. The cells are kept until Save(), because the shared string
// table and the cell formats stand in the workbook globals, before the sheet.

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-output.h>

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <map>

#include "history/workbook/biff8.h"

namespace tf::workbook::detail {
namespace {

using biff8::RecordBuffer;

constexpr FileFormat kFormat = FileFormat::Xls;

constexpr uint32_t kNoText = UINT32_MAX;

struct Cell {
    uint32_t position;  // (row - 1) << 8 | (col - 1)
    uint32_t text;      // index into the shared strings
};

// Writes bytes to a gsf output; false on failure.
bool WriteAll(GsfOutput* out, const std::vector<uint8_t>& bytes) {
    return bytes.empty() || gsf_output_write(out, bytes.size(), bytes.data());
}

class XlsWriter final : public WorkbookWriter {
public:
    explicit XlsWriter(const QString& path) : path_(path) {}

    void SetColumnWidth(int col, double characters) override {
        CheckAddress(kFormat, 1, col);
        widths_[col] = characters;
    }

    void Fill(const CellRange& range, qint32 bgr) override { styles_.AddFill(Checked(range), bgr); }
    void Bold(const CellRange& range) override { styles_.AddBold(Checked(range)); }
    void Borders(const CellRange& range, int weight) override {
        styles_.AddBorders(Checked(range), weight);
    }

    void WriteText(int row, int col, const QString& text) override {
        CheckAddress(kFormat, row, col);
        if (row < lastRow_)
            throw WorkbookError(
                kOutOfRange, QStringLiteral("row %1 written after row %2").arg(row).arg(lastRow_));
        lastRow_ = row;
        const uint32_t position = uint32_t(row - 1) << 8 | uint32_t(col - 1);
        sortedInRow_ = sortedInRow_ && (cells_.empty() || cells_.back().position < position);
        // An empty text is no text: readers refuse an empty shared string, and the cell gets a
        // BLANK when a formatted range covers it.
        const uint32_t index =
            text.isEmpty()
                ? kNoText
                : strings_.Add(text.size() > kMaxTextLength ? Clipped(text).toString() : text);
        cells_.push_back({position, index});
    }

    void Save() override {
        PendingFile pending(path_);
        if (!pending.Reserve()) ThrowCannotWrite(path_, QStringLiteral("no temporary file"));

        RecordBuffer sheet;
        const uint32_t references = WriteSheet(sheet);
        RecordBuffer globals;
        const size_t sheetOffsetAt = WriteGlobals(globals, references);
        globals.PatchU32(sheetOffsetAt, static_cast<uint32_t>(globals.Size()));

        WriteCompoundFile(pending.TempPath(), globals, sheet);
        pending.Commit();
    }

private:
    CellRange Checked(const CellRange& range) const {
        CellRange r;
        if (!NormalisedRange(kFormat, range, &r))
            throw WorkbookError(kOutOfRange, QStringLiteral("range out of range"));
        return r;
    }

    // Workbook globals; returns where BOUNDSHEET keeps the sheet's stream offset.
    size_t WriteGlobals(RecordBuffer& out, uint32_t references) {
        out.Record(0x0809, {0x0600, 0x0005, 0x0DBB, 0x07CC, 0, 0, 6, 0});  // BOF: globals
        out.Record(0x0042, {0x04B0});                                      // CODEPAGE: UTF-16
        out.Record(0x003D, {0x01E0, 0x005A, 0x3FCF, 0x2A4E, 0x0038, 0, 0, 1, 0x0258});  // WINDOW1
        out.Record(0x0022, {0});  // DATEMODE: 1900
        out.Record(0x000E, {1});  // PRECISION: as displayed is off
        formats_.Write(out);
        out.Begin(0x0085);  // BOUNDSHEET
        const size_t offsetAt = out.Size();
        out.U32(0);
        out.U16(0);  // visible worksheet
        out.ShortString(u"Sheet1");
        out.End();
        strings_.Write(out, references);
        out.Record(0x000A, {});  // EOF
        return offsetAt;
    }

    // The worksheet substream; returns the number of LABELSST cells.
    uint32_t WriteSheet(RecordBuffer& out) {
        if (!sortedInRow_)
            std::stable_sort(cells_.begin(), cells_.end(),
                             [](const Cell& a, const Cell& b) { return a.position < b.position; });
        out.Reserve(cells_.size() * 14 + 4096);
        out.Record(0x0809, {0x0600, 0x0010, 0x0DBB, 0x07CC, 0, 0, 6, 0});  // BOF: worksheet
        out.Record(0x0055, {8});                                           // DEFCOLWIDTH
        for (const auto& [col, width] : widths_) {
            // Stored widths include the 5-pixel cell padding (at 7 pixels a character), so a
            // spreadsheet shows the column `width` characters wide, as in the .xlsx writer.
            const double units =
                width > 0 ? std::clamp((width + 5.0 / 7.0) * 256.0, 0.0, 65535.0) : 0;
            const auto c = static_cast<uint16_t>(col - 1);
            out.Record(0x007D,
                       {c, c, static_cast<uint16_t>(units + 0.5), biff8::CellFormats::kDefaultXf,
                        uint16_t(width <= 0 ? 1 : 0), 0});  // COLINFO, hidden at 0
        }
        out.Begin(0x0200);  // DIMENSIONS, filled in below
        const size_t dimensionsAt = out.Size();
        for (int i = 0; i < 14; ++i) out.U8(0);
        out.End();

        bool any = false;
        uint32_t firstRow = UINT32_MAX, lastRow = 0, firstCol = UINT32_MAX, lastCol = 0;
        uint32_t references = 0;
        const int rows =
            std::max(cells_.empty() ? 0 : int(cells_.back().position >> 8) + 1, styles_.LastRow());
        size_t next = 0;
        std::vector<std::pair<uint16_t, int64_t>> line;  // column → shared string or -1: blank
        for (int row = 1; row <= rows; ++row) {
            line.clear();
            for (; next < cells_.size() && int(cells_[next].position >> 8) == row - 1; ++next) {
                // A cell written twice keeps its last text.
                if (next + 1 < cells_.size() && cells_[next + 1].position == cells_[next].position)
                    continue;
                if (cells_[next].text == kNoText) continue;
                line.emplace_back(uint16_t(cells_[next].position & 0xFF), cells_[next].text);
            }
            int from = 0, to = 0;
            if (styles_.ColumnsInRow(row, &from, &to)) {
                const size_t texts = line.size();
                size_t t = 0;
                for (int c = from; c <= to; ++c) {
                    while (t < texts && line[t].first < c - 1) ++t;
                    if (t < texts && line[t].first == c - 1) continue;
                    if (!styles_.StyleAt(row, c).IsPlain()) line.emplace_back(uint16_t(c - 1), -1);
                }
                if (line.size() != texts)
                    std::inplace_merge(line.begin(), line.begin() + texts, line.end());
            }
            if (line.empty()) continue;
            const auto rw = static_cast<uint16_t>(row - 1);
            any = true;
            firstRow = std::min<uint32_t>(firstRow, rw);
            lastRow = rw;
            firstCol = std::min<uint32_t>(firstCol, line.front().first);
            lastCol = std::max<uint32_t>(lastCol, line.back().first);
            for (size_t i = 0; i < line.size();) {
                const uint16_t col = line[i].first;
                const uint16_t xf = formats_.XfFor(styles_.StyleAt(row, col + 1));
                if (line[i].second >= 0) {
                    out.Record(0x00FD, {rw, col, xf, uint16_t(line[i].second),
                                        uint16_t(line[i].second >> 16)});  // LABELSST
                    ++references;
                    ++i;
                    continue;
                }
                size_t j = i + 1;  // a run of blanks in adjacent columns
                while (j < line.size() && line[j].second < 0 && line[j].first == col + (j - i)) ++j;
                if (j - i == 1) {
                    out.Record(0x0201, {rw, col, xf});  // BLANK
                } else {
                    out.Begin(0x00BE);  // MULBLANK
                    out.U16(rw);
                    out.U16(col);
                    for (size_t k = i; k < j; ++k)
                        out.U16(formats_.XfFor(styles_.StyleAt(row, line[k].first + 1)));
                    out.U16(static_cast<uint16_t>(col + (j - i) - 1));
                    out.End();
                }
                i = j;
            }
        }
        if (any) {
            out.PatchU32(dimensionsAt, firstRow);
            out.PatchU32(dimensionsAt + 4, lastRow + 1);
            out.PatchU16(dimensionsAt + 8, static_cast<uint16_t>(firstCol));
            out.PatchU16(dimensionsAt + 10, static_cast<uint16_t>(lastCol + 1));
        }
        // WINDOW2: grid lines, headers, zeros, outline symbols; the sheet is selected.
        out.Record(0x023E, {0x06B6, 0, 0, 0x40, 0, 0, 0, 0, 0});
        out.Record(0x000A, {});  // EOF
        return references;
    }

    void WriteCompoundFile(const QString& temp, const RecordBuffer& globals,
                           const RecordBuffer& sheet) {
        FILE* file = std::fopen(QFile::encodeName(temp).constData(), "wb");
        if (!file) ThrowCannotWrite(path_, QStringLiteral("cannot create the file"));
        GsfOutput* sink =
            gsf_output_stdio_new_FILE(QFile::encodeName(temp).constData(), file, TRUE);
        GsfOutfile* ole = sink ? gsf_outfile_msole_new(sink) : nullptr;
        GsfOutput* stream = ole ? gsf_outfile_new_child(ole, "Workbook", FALSE) : nullptr;
        bool ok = stream && WriteAll(stream, globals.Bytes()) && WriteAll(stream, sheet.Bytes());
        // A Workbook stream under 4096 bytes would go to the compound file's mini stream,
        // which older spreadsheet programs do not read workbooks from: pad it with zeros
        // after the last EOF record, as other writers do.
        const size_t size = globals.Size() + sheet.Size();
        if (ok && size < 4096) ok = WriteAll(stream, std::vector<uint8_t>(4096 - size, 0));
        if (stream) ok = gsf_output_close(stream) && ok;
        if (ole) ok = gsf_output_close(reinterpret_cast<GsfOutput*>(ole)) && ok;
        // Closing the compound file closes its sink as well.
        if (sink && !gsf_output_is_closed(sink)) ok = gsf_output_close(sink) && ok;
        if (sink && gsf_output_error(sink)) ok = false;
        if (stream) g_object_unref(stream);
        if (ole) g_object_unref(ole);
        if (sink) g_object_unref(sink);
        ok = std::fflush(file) == 0 && ok;
        ok = std::ferror(file) == 0 && ok;
        ok = std::fclose(file) == 0 && ok;
        if (!ok) ThrowCannotWrite(path_, QStringLiteral("writing failed"));
    }

    QString path_;
    StyleRanges styles_;
    biff8::SharedStrings strings_;
    biff8::CellFormats formats_;
    std::map<int, double> widths_;
    std::vector<Cell> cells_;
    int lastRow_ = 0;
    bool sortedInRow_ = true;
};

}  // namespace

std::unique_ptr<WorkbookWriter> CreateXls(const QString& path) {
    return std::make_unique<XlsWriter>(path);
}

}  // namespace tf::workbook::detail
