// A check of an .xls file's records before FreeXL parses it. FreeXL trusts lengths and counts
// it reads: a sheet's DIMENSIONS size its cell table, and a shared string's length is copied
// from its buffer unchecked (a crafted length reads past the end of the heap block). Files
// whose records say more than they hold are refused here instead. FreeXL reads the checked
// bytes themselves from a fresh compound file: its own reading of a damaged file's sector
// chains may assemble a different stream from the one that was checked.

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>

#include <QFile>
#include <algorithm>
#include <vector>

#include "history/workbook/workbook_impl.h"

namespace tf::workbook::detail {
namespace {

constexpr unsigned kDimensions = 0x0200;
constexpr unsigned kSst = 0x00FC;
constexpr unsigned kContinue = 0x003C;
constexpr unsigned kBof = 0x0809;

// The data of an SST record and its CONTINUE records, read as the strings run through them.
class SstReader {
public:
    explicit SstReader(const std::vector<std::vector<guint8>>& records) : records_(records) {}

    // Every string the table announces lies within its records.
    bool Valid() {
        if (records_.empty() || records_[0].size() < 8) return false;
        const std::vector<guint8>& first = records_[0];
        const unsigned unique =
            first[4] | first[5] << 8 | first[6] << 16 | unsigned(first[7]) << 24;
        at_ = 8;
        for (unsigned i = 0; i < unique; ++i)
            if (!String()) return false;
        return true;
    }

private:
    size_t Left() const { return records_[record_].size() - at_; }
    bool NextRecord() {
        if (record_ + 1 >= records_.size()) return false;
        ++record_;
        at_ = 0;
        return true;
    }
    unsigned Byte() { return records_[record_][at_++]; }

    bool String() {
        if (Left() == 0 && !NextRecord()) return false;
        if (Left() < 3) return false;  // a string's header never spans two records
        const unsigned chars = Byte() | Byte() << 8;
        unsigned flags = Byte();
        if (chars > 32767) return false;
        unsigned runs = 0, extra = 0;
        if (flags & 0x08) {
            if (Left() < 2) return false;
            runs = Byte() | Byte() << 8;
        }
        if (flags & 0x04) {
            if (Left() < 4) return false;
            extra = Byte() | Byte() << 8 | Byte() << 16;
            extra |= Byte() << 24;
        }
        for (unsigned left = chars; left > 0;) {
            const size_t width = (flags & 0x01) ? 2 : 1;
            const size_t fit = Left() / width;
            if (fit == 0) {
                // The characters go on in the next record, which starts with its own flags.
                if (!NextRecord() || Left() < 1) return false;
                flags = Byte();
                continue;
            }
            const size_t take = std::min<size_t>(fit, left);
            at_ += take * width;
            left -= static_cast<unsigned>(take);
        }
        return Skip(size_t(runs) * 4 + extra);
    }

    bool Skip(size_t bytes) {
        while (bytes > 0) {
            if (Left() == 0 && !NextRecord()) return false;
            const size_t take = std::min(bytes, Left());
            at_ += take;
            bytes -= take;
        }
        return true;
    }

    const std::vector<std::vector<guint8>>& records_;
    size_t record_ = 0;
    size_t at_ = 0;
};

// FreeXL allocates 16 bytes for every cell of a sheet's DIMENSIONS rectangle, reading the
// record in the layout of the workbook's version whatever its length. A record shorter than
// that layout is refused, and so is a rectangle far larger than the file could fill: at most
// 4 million cells (64 MB), or half a cell per byte of the stream for larger files.
bool Dimensions(const std::vector<guint8>& d, bool biff8, gsf_off_t streamSize) {
    auto u16 = [&](size_t at) { return unsigned(d[at] | d[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    unsigned firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    if (biff8) {  // 32-bit rows
        if (d.size() < 14) return false;
        firstRow = u32(0), lastRow = u32(4), firstCol = u16(8), lastCol = u16(10);
    } else {  // 16-bit rows
        if (d.size() < 10) return false;
        firstRow = u16(0), lastRow = u16(2), firstCol = u16(4), lastCol = u16(6);
    }
    const qint64 cells = qint64(lastRow) * lastCol;
    return lastRow <= 65536 && lastCol <= 256 && firstRow <= lastRow && firstCol <= lastCol &&
           cells <= std::max<qint64>(4 * 1024 * 1024, streamSize / 2);
}

// Records that place one cell (row and column in their first four bytes) or a run of cells in
// a row (MULRK, MULBLANK: the last column in their last two bytes).
bool IsCellRecord(unsigned type) {
    switch (type) {
        case 0x0006:  // FORMULA
        case 0x00D6:  // RSTRING
        case 0x00FD:  // LABELSST
        case 0x0201:  // BLANK
        case 0x0203:  // NUMBER
        case 0x0204:  // LABEL
        case 0x0205:  // BOOLERR
        case 0x027E:  // RK
        case 0x00BD:  // MULRK
        case 0x00BE:  // MULBLANK
            return true;
        default:
            return false;
    }
}

// FreeXL also sizes a sheet's cell table by the cells it meets: every cell must lie within
// the format's 65536 rows and 256 columns, and the rectangle up to the farthest cell of a
// sheet within the same limit as DIMENSIONS.
class CellExtent {
public:
    explicit CellExtent(gsf_off_t streamSize) : streamSize_(streamSize) {}
    void NewSheet() { rows_ = cols_ = 0; }
    bool Add(unsigned type, const std::vector<guint8>& d) {
        if (d.size() < 4 || ((type == 0x00BD || type == 0x00BE) && d.size() < 6)) return false;
        auto u16 = [&](size_t at) { return unsigned(d[at] | d[at + 1] << 8); };
        const unsigned row = u16(0);
        const unsigned lastCol = (type == 0x00BD || type == 0x00BE) ? u16(d.size() - 2) : u16(2);
        if (lastCol >= 256 || lastCol < u16(2)) return false;
        rows_ = std::max(rows_, qint64(row) + 1);
        cols_ = std::max(cols_, qint64(lastCol) + 1);
        return rows_ * cols_ <= std::max<qint64>(4 * 1024 * 1024, streamSize_ / 2);
    }

private:
    gsf_off_t streamSize_;
    qint64 rows_ = 0;
    qint64 cols_ = 0;
};

// A record whose text announces more characters than the record holds: FreeXL copies the
// announced length out of its record buffer (FORMAT, LABEL, RSTRING and STRING in BIFF8 count
// characters in 16 bits, so the copy can run far past the buffer's end).
bool TextFits(unsigned type, const std::vector<guint8>& d, bool biff8) {
    size_t countAt = 0, charsAt = 0;
    bool wide = false;  // a 16-bit count
    switch (type) {
        case 0x041E:  // FORMAT
            countAt = 2, charsAt = biff8 ? 5 : 3, wide = biff8;
            break;
        case 0x0204:  // LABEL
        case 0x00D6:  // RSTRING
            countAt = 6, charsAt = biff8 ? 9 : 8, wide = true;
            break;
        case 0x0207:  // STRING
            countAt = 0, charsAt = biff8 ? 3 : 2, wide = true;
            break;
        default:
            return true;
    }
    if (d.size() < charsAt) return false;
    const size_t chars = wide ? size_t(d[countAt] | d[countAt + 1] << 8) : d[countAt];
    const size_t width = biff8 && (d[charsAt - 1] & 0x01) ? 2 : 1;
    return charsAt + chars * width <= d.size();
}

bool IsTextRecord(unsigned type) {
    return type == 0x041E || type == 0x0204 || type == 0x00D6 || type == 0x0207;
}

bool StreamLooksSane(GsfInput* stream) {
    std::vector<std::vector<guint8>> sst;
    bool inSst = false;
    bool biff8 = true;
    bool seenBof = false;
    CellExtent extent(gsf_input_size(stream));
    while (gsf_input_remaining(stream) >= 4) {
        guint8 header[4];
        if (!gsf_input_read(stream, 4, header)) return false;
        const unsigned type = header[0] | header[1] << 8;
        const unsigned length = header[2] | header[3] << 8;
        if (length > 8224 || length > gsf_input_remaining(stream)) return false;
        if (type == kBof) extent.NewSheet();
        const bool cell = IsCellRecord(type);
        const bool keep = type == kDimensions || type == kSst || (inSst && type == kContinue) ||
                          (type == kBof && !seenBof) || cell || IsTextRecord(type);
        if (inSst && type != kContinue) {
            if (!SstReader(sst).Valid()) return false;
            inSst = false;
        }
        if (!keep) {
            if (gsf_input_seek(stream, length, G_SEEK_CUR)) return false;  // true on failure
            continue;
        }
        std::vector<guint8> data(length);
        if (length > 0 && !gsf_input_read(stream, length, data.data())) return false;
        if (type == kBof) {  // the workbook's first BOF gives the version of every record
            seenBof = true;
            biff8 = data.size() < 2 || (data[0] | data[1] << 8) == 0x0600;
        }
        if (type == kDimensions && !Dimensions(data, biff8, gsf_input_size(stream))) return false;
        if (cell && !extent.Add(type, data)) return false;
        if (!TextFits(type, data, biff8)) return false;
        if (type == kSst) {
            if (!sst.empty()) return false;  // one table per workbook
            inSst = true;
        }
        if (inSst) sst.push_back(std::move(data));
    }
    return !inSst || SstReader(sst).Valid();
}

}  // namespace

bool CopyCheckedXls(const QString& path, const QString& copy) {
    // libgsf describes every fault of a damaged compound file on stderr; the caller gets the
    // one error that matters instead.
    static const guint quiet = g_log_set_handler(
        "libgsf:msole", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
        [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    Q_UNUSED(quiet);
    GsfInput* file = gsf_input_stdio_new(QFile::encodeName(path).constData(), nullptr);
    if (!file) return false;
    GsfInfile* ole = gsf_infile_msole_new(file, nullptr);
    GsfInput* stream = nullptr;
    const char* name = "Workbook";
    if (ole) {
        stream = gsf_infile_child_by_name(ole, name);
        if (!stream) stream = gsf_infile_child_by_name(ole, name = "Book");
    }
    std::vector<guint8> bytes;
    bool ok = false;
    if (stream && gsf_input_size(stream) <= gsf_input_size(file)) {
        bytes.resize(size_t(gsf_input_size(stream)));
        ok = bytes.empty() || gsf_input_read(stream, bytes.size(), bytes.data());
    }
    if (stream) g_object_unref(stream);
    if (ole) g_object_unref(ole);
    g_object_unref(file);
    if (!ok) return false;

    GsfInput* checked = gsf_input_memory_new(bytes.data(), gsf_off_t(bytes.size()), FALSE);
    ok = StreamLooksSane(checked);
    g_object_unref(checked);
    if (!ok) return false;

    // A stream under 4096 bytes is padded with zeros after its records, as the writer does,
    // so it lies in the file's regular sectors.
    if (bytes.size() < 4096) bytes.resize(4096, 0);
    GsfOutput* sink = gsf_output_stdio_new(QFile::encodeName(copy).constData(), nullptr);
    GsfOutfile* out = sink ? gsf_outfile_msole_new(sink) : nullptr;
    GsfOutput* child = out ? gsf_outfile_new_child(out, name, FALSE) : nullptr;
    ok = child && gsf_output_write(child, bytes.size(), bytes.data());
    if (child) ok = gsf_output_close(child) && ok;
    if (out) ok = gsf_output_close(reinterpret_cast<GsfOutput*>(out)) && ok;
    if (sink && !gsf_output_is_closed(sink)) ok = gsf_output_close(sink) && ok;
    if (child) g_object_unref(child);
    if (out) g_object_unref(out);
    if (sink) g_object_unref(sink);
    return ok;
}

}  // namespace tf::workbook::detail
