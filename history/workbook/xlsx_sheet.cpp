#include "history/workbook/xlsx_sheet.h"

#include <libxml/parser.h>

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstring>
#include <deque>
#include <string>

namespace tf::workbook::detail::xlsx {
namespace {

constexpr FileFormat kFormat = FileFormat::Xlsx;

// The column of a cell reference ("B12" → 2); 0 for anything that is no reference within
// the format's limits.
int ColumnOf(std::string_view ref) {
    int c = 0;
    size_t i = 0;
    for (; i < ref.size() && std::isalpha(static_cast<unsigned char>(ref[i])); ++i) {
        c = c * 26 + (std::toupper(static_cast<unsigned char>(ref[i])) - 'A' + 1);
        if (c > MaxColumns(kFormat)) return 0;
    }
    if (i == 0 || i == ref.size()) return 0;
    return c;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

template <typename T>
bool Whole(std::string_view text, T* value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

// A date cell stored as text (t="d"): ISO 8601 into the form of a date-formatted number.
QString IsoDateText(const QString& text) {
    const QDateTime at = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    if (!at.isValid()) return text;
    const QString date = at.date().toString(u"yyyy-MM-dd");
    return at.time() == QTime(0, 0) ? date : date + at.time().toString(u" hh:mm:ss");
}

bool Is(const xmlChar* name, const char* what) {
    return std::strcmp(reinterpret_cast<const char*>(name), what) == 0;
}

}  // namespace

WorkbookError Damaged(const QString& what) {
    return WorkbookError(kDamaged, what);
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Unescape(QString text) {
    if (!text.contains(u"_x")) return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsXmlEscapeAt(text, i)) {
            out.append(QChar(QStringView(text).mid(i + 2, 4).toUShort(nullptr, 16)));
            i += 6;
            continue;
        }
        out.append(text[i]);
    }
    return out;
}

Package::Package(const QString& path) : zip_(unzOpen64(QFile::encodeName(path).constData())) {
    if (!zip_) throw Damaged(QStringLiteral("no zip directory in %1").arg(path));
}

Package::~Package() {
    unzClose(zip_);
}

// The SAX side: callbacks that never throw (libxml2 is C); a fault stops the parser and is
// thrown when control is back in Next().
struct SheetStream::Parser {
    const Book& book;
    std::function<bool(int)> want;
    Package zip;
    xmlParserCtxtPtr context = nullptr;
    bool open = false;
    bool ended = false;
    QString fault;
    qint64 read = 0;
    std::deque<SheetRow> rows;

    // Where the parser is.
    bool inSheetData = false;
    bool inRow = false;
    SheetRow row;
    int col = 0;
    bool capture = false;  // the current cell is wanted
    std::string type;
    int style = 0;
    std::string value;
    std::string inlineText;
    bool inValue = false;
    bool inInline = false;
    bool inText = false;
    int phonetic = 0;

    Parser(const Book& b, qsizetype index, std::function<bool(int)> w)
        : book(b), want(std::move(w)), zip(b.path) {
        const QByteArray name = b.parts[index].toUtf8();
        if (unzLocateFile(zip.get(), name.constData(), 2) != UNZ_OK ||
            unzOpenCurrentFile(zip.get()) != UNZ_OK)
            throw Damaged(QStringLiteral("missing sheet part"));
        open = true;
        xmlSAXHandler sax{};
        sax.initialized = XML_SAX2_MAGIC;
        sax.startElementNs = &Parser::Start;
        sax.endElementNs = &Parser::End;
        sax.characters = &Parser::Characters;
        sax.cdataBlock = &Parser::Characters;
        context = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
        if (!context) throw Damaged(QStringLiteral("no XML parser"));
        // No network, no messages on stderr; entities are not expanded.
        xmlCtxtUseOptions(
            context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT);
    }
    ~Parser() {
        if (context) xmlFreeParserCtxt(context);
        if (open) unzCloseCurrentFile(zip.get());
    }

    void Stop(const char* why) {
        if (fault.isEmpty()) fault = QString::fromLatin1(why);
        xmlStopParser(context);
    }

    // Feeds the next piece of the part; false at its end.
    bool Feed() {
        char buffer[1 << 16];
        const int n = unzReadCurrentFile(zip.get(), buffer, sizeof buffer);
        if (n < 0 || (read += n) > kMaxPartSize)
            throw Damaged(QStringLiteral("part cannot be inflated"));
        const int rc = xmlParseChunk(context, buffer, n, n == 0);
        if (!fault.isEmpty()) throw Damaged(fault);
        if (ended) return false;  // stopped after the rows, on purpose
        if (rc != 0) throw Damaged(QStringLiteral("damaged sheet part"));
        return n > 0;
    }

    static Parser& Of(void* self) { return *static_cast<Parser*>(self); }

    static void Start(void* self, const xmlChar* name, const xmlChar*, const xmlChar*, int,
                      const xmlChar**, int count, int, const xmlChar** attributes) {
        Parser& p = Of(self);
        // Five pointers per attribute: local name, prefix, URI, value, end of value.
        const auto attribute = [&](const char* wanted) -> std::string_view {
            for (int i = 0; i < count; ++i) {
                const xmlChar* const* a = attributes + 5 * i;
                if (Is(a[0], wanted))
                    return {reinterpret_cast<const char*>(a[3]), size_t(a[4] - a[3])};
            }
            return {};
        };
        if (p.capture) {
            if (Is(name, "v")) p.inValue = true;
            if (Is(name, "is")) p.inInline = true;
            if (p.inInline && Is(name, "rPh")) ++p.phonetic;
            if (p.inInline && Is(name, "t")) p.inText = p.phonetic == 0;
        } else if (p.inRow && Is(name, "c")) {
            const std::string_view ref = attribute("r");
            p.col = ref.empty() ? p.col + 1 : ColumnOf(ref);
            if (p.col < 1 || p.col > MaxColumns(kFormat)) return p.Stop("bad cell reference");
            if (!p.want(p.col)) return;
            p.capture = true;
            p.type = attribute("t");
            p.style = 0;
            Whole(attribute("s"), &p.style);
            p.value.clear();
            p.inlineText.clear();
        } else if (p.inSheetData && Is(name, "row")) {
            int number = 0;
            p.row.number = Whole(attribute("r"), &number) ? number : p.row.number + 1;
            if (p.row.number < 1 || p.row.number > MaxRows(kFormat)) return p.Stop("bad row");
            p.row.cells.clear();
            p.inRow = true;
            p.col = 0;
        } else if (Is(name, "sheetData")) {
            p.inSheetData = true;
        }
    }

    static void End(void* self, const xmlChar* name, const xmlChar*, const xmlChar*) {
        Parser& p = Of(self);
        if (p.capture) {
            if (Is(name, "v")) p.inValue = false;
            if (Is(name, "t")) p.inText = false;
            if (Is(name, "rPh")) --p.phonetic;
            if (Is(name, "is")) p.inInline = false;
            if (Is(name, "c")) {
                p.capture = false;
                p.row.cells.emplace_back(p.col, p.MakeCell());
            }
        } else if (p.inRow && Is(name, "row")) {
            p.inRow = false;
            p.rows.push_back(std::move(p.row));
            p.row.cells.clear();
        } else if (Is(name, "sheetData")) {
            p.inSheetData = false;
            p.ended = true;
            xmlStopParser(p.context);  // nothing after the rows is wanted
        }
    }

    static void Characters(void* self, const xmlChar* text, int length) {
        Parser& p = Of(self);
        std::string* into = p.inValue ? &p.value : p.inText ? &p.inlineText : nullptr;
        if (!into) return;
        into->append(reinterpret_cast<const char*>(text), size_t(length));
        if (into->size() > size_t(kMaxTextChars) * 4) p.Stop("text too long");
    }

    Cell MakeCell() {
        const std::string_view trimmed = Trimmed(value);
        if (type == "s") {
            qint64 i = -1;
            if (!Whole(trimmed, &i) || i < 0 || i >= book.strings.Size()) {
                Stop("shared string index past the table");
                return {};
            }
            return {book.strings.At(i), false};
        }
        if (type == "inlineStr") return {Unescape(Utf8(inlineText)), false};
        if (value.empty()) return {};
        if (type == "b")
            return {trimmed == "1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), false};
        if (type == "str" || type == "e") return {Unescape(Utf8(value)), false};
        if (type == "d") return {IsoDateText(Utf8(value)), false};
        double number = 0;
        if (!Whole(trimmed, &number)) return {Utf8(value), false};
        const bool date =
            style >= 0 && size_t(style) < book.dateStyle.size() && book.dateStyle[size_t(style)];
        return FormattedNumber(number, date, book.system1904);
    }
};

SheetStream::SheetStream(const Book& book, qsizetype index, std::function<bool(int)> want)
    : parser_(std::make_unique<Parser>(book, index, std::move(want))) {}

SheetStream::~SheetStream() = default;

bool SheetStream::Next(SheetRow* row) {
    Parser& p = *parser_;
    while (p.rows.empty() && !p.ended)
        if (!p.Feed()) p.ended = true;
    if (p.rows.empty()) return false;
    *row = std::move(p.rows.front());
    p.rows.pop_front();
    return true;
}

XlsxCursor::XlsxCursor(const Book& book, qsizetype sheet, const std::vector<int>& cols)
    : cols_(cols),
      stream_(
          book, sheet,
          [this](int col) { return std::find(cols_.begin(), cols_.end(), col) != cols_.end(); }),
      cells_(cols.size()) {}

const std::vector<Cell>& XlsxCursor::Read(int row) {
    for (const int col : cols_) CheckAddress(kFormat, row, col);
    for (Cell& cell : cells_) cell = {};
    for (;;) {
        if (!hasPending_) {
            if (!stream_.Next(&pending_)) pending_.number = INT_MAX;  // past the last row
            hasPending_ = true;
        }
        // Rows before the one asked for are passed over.
        if (pending_.number > row) break;
        hasPending_ = false;
        if (pending_.number < row) continue;
        for (const auto& [col, cell] : pending_.cells)
            for (size_t i = 0; i < cols_.size(); ++i)
                if (cols_[i] == col) cells_[i] = cell;
        break;
    }
    return cells_;
}

}  // namespace tf::workbook::detail::xlsx
