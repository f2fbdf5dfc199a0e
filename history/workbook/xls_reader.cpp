// The .xls reader: libgsf opens the compound file and gives the workbook stream (Workbook,
// or Book for BIFF5), which is read into memory once; its records are read through the
// bounds-checked cursor of xls_records.h. The globals give the sheets, the shared strings,
// the date formats and the date system; a sheet's cell records are read when it is selected
// into a compact table sorted by row and column, whose texts are made when asked for.

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>

#include <QFile>
#include <algorithm>
#include <bit>
#include <map>

#include "history/workbook/workbook_impl.h"
#include "history/workbook/xls_records.h"

namespace tf::workbook::detail {
namespace {

using namespace xls;

constexpr FileFormat kFormat = FileFormat::Xls;
constexpr gsf_off_t kMaxStreamSize = 512LL * 1024 * 1024;
constexpr size_t kMaxSheets = 4096;

struct SheetEntry {
    QString name;
    uint32_t offset = 0;
    bool worksheet = true;  // false for a chart sheet
};

// What the workbook globals say.
struct Globals {
    bool biff8 = true;
    bool system1904 = false;
    CodePage codePage;
    std::vector<SheetEntry> sheets;
    std::vector<bool> dateXf;  // by XF index: the cell format shows a date
    TextTable strings;
};

WorkbookError NotWorkbook() {
    return WorkbookError(kNotWorkbook, QStringLiteral("no BIFF5 or BIFF8 workbook stream"));
}

void ReadSharedStrings(Record sst, RecordStream& records, Globals& globals) {
    ByteCursor header(sst.data);
    header.U32();  // references to the table
    const uint32_t unique = header.U32();
    std::vector<Bytes> parts{sst.data.subspan(header.At())};
    Record next;
    while (records.PeekType() == kContinue && records.Next(&next)) parts.push_back(next.data);
    ContinuedData data(std::move(parts));
    // The count is the writer's word: strings are read while there are both.
    for (uint32_t i = 0; i < unique && !data.AtEnd(); ++i)
        globals.strings.Add(ReadRichString(data));
    globals.strings.Squeeze();
}

Globals ReadGlobals(Bytes stream) {
    Globals g;
    RecordStream records(stream, 0);
    Record r;
    if (!records.Next(&r) || r.type != kBof) throw NotWorkbook();
    ByteCursor bof(r.data);
    const uint16_t version = bof.U16();
    if ((version != 0x0600 && version != 0x0500) || bof.U16() != 0x0005) throw NotWorkbook();
    g.biff8 = version == 0x0600;
    std::map<int, bool> dateFormats;
    std::vector<uint16_t> xfFormats;
    bool sstSeen = false;
    while (records.Next(&r) && r.type != kEof) {
        ByteCursor c(r.data);
        switch (r.type) {
            case kFilePass:
                throw WorkbookError(kEncrypted, QStringLiteral("workbook needs a password"));
            case kCodePage:
                g.codePage.Set(c.U16());
                break;
            case kDateMode:
                g.system1904 = c.U16() == 1;
                break;
            case kFormatRecord: {
                const uint16_t id = c.U16();
                dateFormats[id] = IsDateFormatCode(ReadText(c, g.biff8, g.biff8, g.codePage));
                break;
            }
            case kXf:
                c.Skip(2);
                xfFormats.push_back(c.U16());
                break;
            case kBoundSheet: {
                SheetEntry sheet;
                sheet.offset = c.U32();
                c.U8();  // visibility: hidden sheets are listed too
                const uint8_t type = c.U8();
                sheet.name = ReadText(c, g.biff8, false, g.codePage);
                sheet.worksheet = type != 2;
                if (type != 6) g.sheets.push_back(std::move(sheet));  // 6: a macro module
                if (g.sheets.size() > kMaxSheets) ThrowDamaged("too many sheets");
                break;
            }
            case kSst:
                if (sstSeen) ThrowDamaged("second shared string table");
                sstSeen = true;
                ReadSharedStrings(r, records, g);
                break;
            default:
                break;
        }
    }
    g.dateXf.reserve(xfFormats.size());
    for (const uint16_t id : xfFormats) {
        const auto custom = dateFormats.find(id);
        g.dateXf.push_back(custom != dateFormats.end() ? custom->second : IsBuiltInDateFormat(id));
    }
    return g;
}

// One cell of a sheet as stored: 16 bytes, its text made when asked for.
enum class Kind : uint8_t { Number, Shared, Own, Bool, Error, Pending };
struct XlsCell {
    uint16_t row = 0;  // from 0
    uint16_t col = 0;
    uint16_t xf = 0;
    Kind kind = Kind::Number;
    uint64_t value = 0;  // the double's bits, a string index, a boolean or an error code
    uint32_t Key() const { return uint32_t(row) << 16 | col; }
};

double RkNumber(uint32_t rk) {
    const double value = (rk & 0x02) ? double(int32_t(rk) >> 2)
                                     : std::bit_cast<double>(uint64_t(rk & 0xFFFFFFFC) << 32);
    return (rk & 0x01) ? value / 100 : value;
}

// The cells of one sheet, sorted by row and column; texts not in the shared table are kept
// beside them.
struct SheetCells {
    std::vector<XlsCell> cells;
    std::vector<QString> texts;
};

class SheetParser {
public:
    SheetParser(Globals& globals, SheetCells& out) : g_(globals), out_(out) {}

    void Parse(Bytes stream, uint32_t offset) {
        RecordStream records(stream, offset);
        Record r;
        if (!records.Next(&r) || r.type != kBof) ThrowDamaged("sheet without its BOF record");
        int depth = 0;  // inside an embedded chart's own BOF … EOF
        while (records.Next(&r)) {
            if (r.type == kBof) {
                ++depth;
            } else if (r.type == kEof) {
                if (depth-- == 0) break;
            } else if (depth == 0) {
                Take(r, records);
            }
        }
        auto& cells = out_.cells;
        std::stable_sort(cells.begin(), cells.end(),
                         [](const XlsCell& a, const XlsCell& b) { return a.Key() < b.Key(); });
        // Of two records for one cell the later one counts.
        size_t kept = 0;
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i + 1 < cells.size() && cells[i + 1].Key() == cells[i].Key()) continue;
            if (cells[i].kind != Kind::Pending) cells[kept++] = cells[i];
        }
        cells.resize(kept);
        cells.shrink_to_fit();
    }

private:
    XlsCell& Add(ByteCursor& c, uint16_t row, uint16_t col, Kind kind, uint64_t value) {
        if (col >= MaxColumns(kFormat)) ThrowDamaged("cell past column IV");
        XlsCell cell;
        cell.row = row;
        cell.col = col;
        cell.xf = c.U16();
        cell.kind = kind;
        cell.value = value;
        out_.cells.push_back(cell);
        return out_.cells.back();
    }
    XlsCell& Add(ByteCursor& c, Kind kind) {
        const uint16_t row = c.U16();
        const uint16_t col = c.U16();
        return Add(c, row, col, kind, 0);
    }
    uint64_t OwnText(QString text) {
        out_.texts.push_back(std::move(text));
        return out_.texts.size() - 1;
    }

    void Take(const Record& r, RecordStream& records) {
        ByteCursor c(r.data);
        switch (r.type) {
            case kNumber: {
                XlsCell& cell = Add(c, Kind::Number);
                cell.value = std::bit_cast<uint64_t>(c.F64());
                break;
            }
            case kRk: {
                XlsCell& cell = Add(c, Kind::Number);
                cell.value = std::bit_cast<uint64_t>(RkNumber(c.U32()));
                break;
            }
            case kMulRk: {
                const uint16_t row = c.U16();
                const uint16_t first = c.U16();
                if (c.Left() < 2 || (c.Left() - 2) % 6 != 0) ThrowDamaged("MULRK of odd length");
                const size_t count = (c.Left() - 2) / 6;
                for (size_t i = 0; i < count; ++i) {
                    if (first + i > 0xFFFF) ThrowDamaged("MULRK past column IV");
                    XlsCell& cell = Add(c, row, static_cast<uint16_t>(first + i), Kind::Number, 0);
                    cell.value = std::bit_cast<uint64_t>(RkNumber(c.U32()));
                }
                break;
            }
            case kLabelSst: {
                XlsCell& cell = Add(c, Kind::Shared);
                cell.value = c.U32();
                if (cell.value >= uint64_t(g_.strings.Size()))
                    ThrowDamaged("shared string index past the table");
                break;
            }
            case kLabel:
            case kRString: {
                XlsCell& cell = Add(c, Kind::Own);
                cell.value = OwnText(ReadText(c, g_.biff8, true, g_.codePage));
                break;
            }
            case kBoolErr: {
                XlsCell& cell = Add(c, Kind::Bool);
                cell.value = c.U8();
                if (c.U8() != 0) cell.kind = Kind::Error;
                break;
            }
            case kFormula:
                Formula(c);
                break;
            case kString:
                if (pending_ < out_.cells.size()) {
                    out_.cells[pending_].kind = Kind::Own;
                    out_.cells[pending_].value = OwnText(StringResult(r, records));
                }
                pending_ = SIZE_MAX;
                return;
            case kArray:
            case kSharedFormula:
            case kTableOp:
                return;  // may stand between a formula and its STRING result
            default:
                break;
        }
        if (r.type != kFormula) pending_ = SIZE_MAX;
    }

    // A formula's cached result: a number, or a type in byte 0 when bytes 6 and 7 are 0xFF.
    void Formula(ByteCursor& c) {
        XlsCell& cell = Add(c, Kind::Number);
        ByteCursor value(c.Take(8));
        const uint64_t bits = uint64_t(value.U32()) | uint64_t(value.U32()) << 32;
        pending_ = SIZE_MAX;
        if ((bits >> 48) != 0xFFFF) {
            cell.value = bits;
            return;
        }
        const uint8_t type = bits & 0xFF;
        const uint8_t data = (bits >> 16) & 0xFF;
        switch (type) {
            case 0:  // text, in the STRING record that follows
                cell.kind = Kind::Pending;
                pending_ = out_.cells.size() - 1;
                break;
            case 1:
                cell.kind = Kind::Bool;
                cell.value = data;
                break;
            case 2:
                cell.kind = Kind::Error;
                cell.value = data;
                break;
            default:  // an empty text
                cell.kind = Kind::Own;
                cell.value = OwnText(QString());
                break;
        }
    }

    QString StringResult(const Record& r, RecordStream& records) {
        if (!g_.biff8) {
            ByteCursor c(r.data);
            return ReadText(c, false, true, g_.codePage);
        }
        std::vector<Bytes> parts{r.data};
        Record next;
        while (records.PeekType() == kContinue && records.Next(&next)) parts.push_back(next.data);
        ContinuedData data(std::move(parts));
        return ReadRichString(data);
    }

    Globals& g_;
    SheetCells& out_;
    size_t pending_ = SIZE_MAX;  // the formula cell waiting for its STRING record
};

class XlsReader final : public WorkbookReader {
public:
    explicit XlsReader(std::vector<uint8_t> stream)
        : stream_(std::move(stream)), globals_(ReadGlobals(stream_)) {
        for (const SheetEntry& sheet : globals_.sheets) names_.append(sheet.name);
    }

    QStringList SheetNames() const override { return names_; }

    void SelectSheet(const QString& name) override {
        const qsizetype index = FindSheet(names_, name);
        if (index < 0 || !globals_.sheets[size_t(index)].worksheet)
            throw WorkbookError(kNoSuchSheet, QStringLiteral("no worksheet %1").arg(name));
        Load(index);
    }

    QString CellText(int row, int col) const override {
        CheckAddress(kFormat, row, col);
        EnsureSelected();
        return At(row, col).text;
    }

    std::unique_ptr<RowCursor> Rows(const std::vector<int>& cols) const override;

    // The cell at a checked address.
    Cell At(int row, int col) const {
        const uint32_t key = uint32_t(row - 1) << 16 | uint32_t(col - 1);
        const auto& cells = sheet_.cells;
        const auto it = std::lower_bound(cells.begin(), cells.end(), key,
                                         [](const XlsCell& c, uint32_t k) { return c.Key() < k; });
        if (it == cells.end() || it->Key() != key) return {};
        return CellOf(*it);
    }

private:
    Cell CellOf(const XlsCell& cell) const {
        switch (cell.kind) {
            case Kind::Number: {
                const bool date = cell.xf < globals_.dateXf.size() && globals_.dateXf[cell.xf];
                return FormattedNumber(std::bit_cast<double>(cell.value), date,
                                       globals_.system1904);
            }
            case Kind::Shared:
                return {globals_.strings.At(qsizetype(cell.value)), false};
            case Kind::Own:
                return {sheet_.texts[cell.value], false};
            case Kind::Bool:
                return {cell.value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), false};
            case Kind::Error:
                return {ErrorText(int(cell.value)), false};
            case Kind::Pending:
                break;
        }
        return {};
    }

    void EnsureSelected() const {
        if (selected_ >= 0) return;
        for (size_t i = 0; i < globals_.sheets.size(); ++i)
            if (globals_.sheets[i].worksheet) return Load(qsizetype(i));
    }

    void Load(qsizetype index) const {
        sheet_ = {};
        selected_ = -1;
        SheetCells cells;
        SheetParser(globals_, cells).Parse(stream_, globals_.sheets[size_t(index)].offset);
        sheet_ = std::move(cells);
        selected_ = index;
    }

    std::vector<uint8_t> stream_;
    mutable Globals globals_;
    QStringList names_;
    mutable SheetCells sheet_;
    mutable qsizetype selected_ = -1;
};

class XlsCursor final : public RowCursor {
public:
    XlsCursor(const XlsReader& reader, const std::vector<int>& cols)
        : reader_(reader), cols_(cols), cells_(cols.size()) {}
    const std::vector<Cell>& Read(int row) override {
        for (size_t i = 0; i < cols_.size(); ++i) {
            CheckAddress(kFormat, row, cols_[i]);
            cells_[i] = reader_.At(row, cols_[i]);
        }
        return cells_;
    }

private:
    const XlsReader& reader_;
    std::vector<int> cols_;
    std::vector<Cell> cells_;
};

std::unique_ptr<RowCursor> XlsReader::Rows(const std::vector<int>& cols) const {
    EnsureSelected();
    return std::make_unique<XlsCursor>(*this, cols);
}

// Holds a GObject reference for the scope.
template <typename T>
struct Ref {
    T* get = nullptr;
    ~Ref() {
        if (get) g_object_unref(get);
    }
};

// The child stream of that name in any case, or null.
GsfInput* Child(GsfInfile* ole, const char* name) {
    for (int i = 0; i < gsf_infile_num_children(ole); ++i) {
        const char* child = gsf_infile_name_by_index(ole, i);
        if (child && g_ascii_strcasecmp(child, name) == 0) return gsf_infile_child_by_index(ole, i);
    }
    return nullptr;
}

std::vector<uint8_t> ReadStream(GsfInput* stream) {
    const gsf_off_t size = gsf_input_size(stream);
    if (size < 0 || size > kMaxStreamSize) ThrowDamaged("workbook stream too large");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = std::min<size_t>(bytes.size() - at, 1 << 16);
        if (!gsf_input_read(stream, n, bytes.data() + at))
            ThrowDamaged("workbook stream cut short");
        at += n;
    }
    return bytes;
}

}  // namespace

std::unique_ptr<WorkbookReader> OpenXls(const QString& path) {
    // libgsf describes every fault of a damaged compound file on stderr; the caller gets the
    // one error that matters instead.
    static const guint quiet = g_log_set_handler(
        "libgsf:msole", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
        [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    Q_UNUSED(quiet);
    Ref<GsfInput> file{gsf_input_stdio_new(QFile::encodeName(path).constData(), nullptr)};
    if (!file.get) throw WorkbookError(kCannotOpen, QStringLiteral("cannot open %1").arg(path));
    Ref<GsfInfile> ole{gsf_infile_msole_new(file.get, nullptr)};
    if (!ole.get) ThrowDamaged("damaged compound file");
    Ref<GsfInput> stream{Child(ole.get, "Workbook")};
    if (!stream.get) stream.get = Child(ole.get, "Book");
    if (!stream.get) {
        // An .xlsx saved with a password is a compound file holding the encrypted package.
        Ref<GsfInput> encrypted{Child(ole.get, "EncryptedPackage")};
        if (encrypted.get)
            throw WorkbookError(kEncrypted, QStringLiteral("%1 needs a password").arg(path));
        throw NotWorkbook();
    }
    return std::make_unique<XlsReader>(ReadStream(stream.get));
}

}  // namespace tf::workbook::detail
