// The .xlsx reader: the zip package through minizip, each part parsed by libxml2 as it is
// inflated, so no part is held whole (QXmlStreamReader took three times as long as libxml2 on
// a sheet); the small parts through its reader interface, the sheets through its SAX parser
// (xlsx_sheet.cpp). What is kept for the whole workbook is the shared
// string table (one buffer of characters) and the date formats of the cell styles; a sheet is
// read as a stream, its rows delivered one at a time, and reading a corner of it stops past
// the corner. Sizes are bounded against hostile files: a part inflates to at most
// kMaxPartSize bytes whatever its header claims, the shared strings hold at most kMaxStrings
// texts and kMaxChars characters, and one text at most kMaxTextChars characters.

#include <libxml/xmlreader.h>
#include <unzip.h>

#include <QHash>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "history/workbook/workbook_impl.h"
#include "history/workbook/xlsx_sheet.h"

namespace tf::workbook::detail {
namespace {

using namespace xlsx;

constexpr FileFormat kFormat = FileFormat::Xlsx;
constexpr qsizetype kMaxStrings = 16 * 1024 * 1024;
constexpr qint64 kMaxChars = 128 * 1024 * 1024;
constexpr int kMaxSheets = 4096;

enum class Token { Start, End, Text, Done };

// One part of the package, inflated piece by piece into libxml2's streaming reader. An empty
// element gives its start and then its end, as any other.
class Part {
public:
    Part(unzFile zip, const QString& name) : zip_(zip) {
        const QByteArray n = name.toUtf8();
        if (unzLocateFile(zip_, n.constData(), 2) != UNZ_OK) return;  // 2: any case
        if (unzOpenCurrentFile(zip_) != UNZ_OK) throw Damaged(QStringLiteral("unreadable part"));
        open_ = true;
        // No network, no messages on stderr; entities are not expanded.
        reader_ = xmlReaderForIO(
            &Part::Read, nullptr, this, nullptr, nullptr,
            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT);
        if (!reader_) throw Damaged(QStringLiteral("no XML reader"));
    }
    ~Part() {
        if (reader_) xmlFreeTextReader(reader_);
        if (open_) unzCloseCurrentFile(zip_);
    }
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    bool Exists() const { return open_; }
    bool Done() const { return token_ == Token::Done; }

    // The next token; kDamaged at a parse error, a read error or past the size limit.
    Token Next() {
        if (!reader_) throw Damaged(QStringLiteral("missing part"));
        if (pendingEnd_) {
            pendingEnd_ = false;
            return token_ = Token::End;
        }
        for (;;) {
            const int rc = xmlTextReaderRead(reader_);
            if (rc < 0 || failed_) throw Damaged(QStringLiteral("damaged part"));
            if (rc == 0) return token_ = Token::Done;
            switch (xmlTextReaderNodeType(reader_)) {
                case XML_READER_TYPE_ELEMENT:
                    pendingEnd_ = xmlTextReaderIsEmptyElement(reader_) == 1;
                    return token_ = Token::Start;
                case XML_READER_TYPE_END_ELEMENT:
                    return token_ = Token::End;
                case XML_READER_TYPE_TEXT:
                case XML_READER_TYPE_CDATA:
                case XML_READER_TYPE_WHITESPACE:
                case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
                    return token_ = Token::Text;
                default:
                    break;
            }
        }
    }

    // The local name of the current element.
    bool Is(const char* name) const {
        const xmlChar* local = xmlTextReaderConstLocalName(reader_);
        return local && std::strcmp(reinterpret_cast<const char*>(local), name) == 0;
    }
    // The text of the current text token, valid until the next token.
    std::string_view Text() const { return View(xmlTextReaderConstValue(reader_)); }

    // The values of the current element's attributes of these local names, "" for a missing one.
    template <size_t N>
    std::array<std::string, N> Attributes(const std::array<const char*, N>& names) {
        std::array<std::string, N> values;
        for (int more = xmlTextReaderMoveToFirstAttribute(reader_); more == 1;
             more = xmlTextReaderMoveToNextAttribute(reader_)) {
            const std::string_view local = View(xmlTextReaderConstLocalName(reader_));
            for (size_t i = 0; i < N; ++i)
                if (local == names[i]) values[i] = View(xmlTextReaderConstValue(reader_));
        }
        xmlTextReaderMoveToElement(reader_);
        return values;
    }
    QString Attribute(const char* name) { return Utf8(Attributes<1>({name})[0]); }

    // Reads up to the end tag of the element just started.
    void SkipElement() {
        for (int depth = 1; depth > 0;) {
            const Token token = Next();
            if (token == Token::Start) ++depth;
            if (token == Token::End) --depth;
            if (token == Token::Done) return;
        }
    }

private:
    static std::string_view View(const xmlChar* text) {
        return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
    }
    static int Read(void* context, char* buffer, int length) {
        auto* self = static_cast<Part*>(context);
        const int n = unzReadCurrentFile(self->zip_, buffer, length);
        if (n < 0 || (self->read_ += n) > kMaxPartSize) {
            self->failed_ = true;
            return -1;
        }
        return n;
    }

    unzFile zip_;
    xmlTextReaderPtr reader_ = nullptr;
    bool open_ = false;
    bool failed_ = false;
    bool pendingEnd_ = false;
    Token token_ = Token::Start;
    qint64 read_ = 0;
};

// The text of the <t> elements inside the current element (a shared string or an inline
// string), rich-text runs joined, phonetic runs left out. Ends on the element's end tag.
QString ReadStringItem(Part& part) {
    QString text;
    int depth = 1, phonetic = 0;
    bool inText = false;
    while (depth > 0) {
        switch (part.Next()) {
            case Token::Start:
                ++depth;
                if (part.Is("rPh")) ++phonetic;
                inText = part.Is("t") && phonetic == 0;
                break;
            case Token::End:
                --depth;
                if (part.Is("rPh")) --phonetic;
                inText = false;
                break;
            case Token::Text:
                if (inText) text += Utf8(part.Text());
                if (text.size() > kMaxTextChars) throw Damaged(QStringLiteral("text too long"));
                break;
            case Token::Done:
                depth = 0;
                break;
        }
    }
    return Unescape(std::move(text));
}

QString ResolveTarget(const QString& base, const QString& target) {
    if (target.startsWith(u'/')) return target.mid(1);
    QStringList parts = base.split(u'/', Qt::SkipEmptyParts);
    for (const QString& piece : target.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == u"..") {
            if (!parts.isEmpty()) parts.removeLast();
        } else if (piece != u".") {
            parts.append(piece);
        }
    }
    return parts.join(u'/');
}

struct Relationship {
    QString id, type, target;
};

// The relationships of a part ("xl/workbook.xml" → "xl/_rels/workbook.xml.rels").
std::vector<Relationship> ReadRelationships(unzFile zip, const QString& partName) {
    const qsizetype slash = partName.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : partName.left(slash);
    const QString file = partName.mid(slash + 1);
    Part part(zip, (folder.isEmpty() ? QString() : folder + u'/') + u"_rels/" + file + u".rels");
    std::vector<Relationship> rels;
    while (part.Exists() && !part.Done()) {
        if (part.Next() != Token::Start || !part.Is("Relationship")) continue;
        const auto a = part.Attributes<4>({"TargetMode", "Id", "Type", "Target"});
        if (a[0] == "External") continue;
        rels.push_back({Utf8(a[1]), Utf8(a[2]), ResolveTarget(folder, Utf8(a[3]))});
        if (rels.size() > size_t(kMaxSheets) * 4) throw Damaged(QStringLiteral("too many parts"));
    }
    return rels;
}

void ReadStrings(unzFile zip, Book& book) {
    if (book.stringsPart.isEmpty()) return;
    Part part(zip, book.stringsPart);
    while (part.Exists() && !part.Done()) {
        if (part.Next() != Token::Start || !part.Is("si")) continue;
        book.strings.Add(ReadStringItem(part));
        if (book.strings.Size() > kMaxStrings || book.strings.Chars() > kMaxChars)
            throw Damaged(QStringLiteral("too many shared strings"));
    }
    book.strings.Squeeze();
}

void ReadStyles(unzFile zip, Book& book) {
    if (book.stylesPart.isEmpty()) return;
    Part part(zip, book.stylesPart);
    QHash<int, bool> custom;
    enum { Other, NumFmts, CellXfs } section = Other;  // the top-level element being read
    int depth = 0;
    while (part.Exists() && !part.Done()) {
        const Token token = part.Next();
        if (token == Token::End && --depth == 1) section = Other;
        if (token != Token::Start) continue;
        ++depth;
        if (depth == 2)
            section = part.Is("numFmts") ? NumFmts : part.Is("cellXfs") ? CellXfs : Other;
        if (depth != 3) continue;
        const auto a = part.Attributes<2>({"numFmtId", "formatCode"});
        const int id = Utf8(a[0]).toInt();
        if (section == NumFmts && part.Is("numFmt")) {
            custom.insert(id, IsDateFormatCode(Utf8(a[1])));
        } else if (section == CellXfs && part.Is("xf")) {
            book.dateStyle.push_back(custom.contains(id) ? custom.value(id)
                                                         : IsBuiltInDateFormat(id));
            if (book.dateStyle.size() > 1 << 20) throw Damaged(QStringLiteral("too many styles"));
        }
    }
}

class XlsxReader final : public WorkbookReader {
public:
    explicit XlsxReader(const QString& path) : zip_(path) {
        book_.path = path;
        QString workbookPart = QStringLiteral("xl/workbook.xml");
        for (const Relationship& r : ReadRelationships(zip_.get(), QString()))
            if (r.type.endsWith(u"/officeDocument")) workbookPart = r.target;
        const std::vector<Relationship> rels = ReadRelationships(zip_.get(), workbookPart);
        for (const Relationship& r : rels) {
            if (r.type.endsWith(u"/sharedStrings")) book_.stringsPart = r.target;
            if (r.type.endsWith(u"/styles")) book_.stylesPart = r.target;
        }
        Part part(zip_.get(), workbookPart);
        if (!part.Exists())
            throw WorkbookError(kNotWorkbook, QStringLiteral("%1 has no workbook part").arg(path));
        while (!part.Done()) {
            if (part.Next() != Token::Start) continue;
            if (part.Is("workbookPr")) {
                const QString v = part.Attribute("date1904");
                book_.system1904 = v == u"1" || v == u"true";
            }
            if (!part.Is("sheet")) continue;
            // r:id, by its local name whatever the prefix.
            const auto a = part.Attributes<2>({"id", "name"});
            const QString id = Utf8(a[0]);
            const Relationship* target = nullptr;
            for (const Relationship& r : rels)
                if (r.id == id) target = &r;
            book_.names.append(Utf8(a[1]));
            book_.parts.append(target ? target->target : QString());
            book_.worksheet.push_back(target && !target->type.endsWith(u"/chartsheet"));
            if (book_.names.size() > kMaxSheets) throw Damaged(QStringLiteral("too many sheets"));
        }
    }

    QStringList SheetNames() const override { return book_.names; }

    void SelectSheet(const QString& name) override {
        const qsizetype index = FindSheet(book_.names, name);
        if (index < 0 || !book_.worksheet[size_t(index)])
            throw WorkbookError(kNoSuchSheet, QStringLiteral("no worksheet %1").arg(name));
        LoadShared();
        selected_ = index;
        corner_.clear();
        cornerRows_ = 0;
    }

    QString CellText(int row, int col) const override {
        CheckAddress(kFormat, row, col);
        if (!EnsureSelected()) return {};
        if (row > cornerRows_) ReadCorner(std::max({row, 2 * cornerRows_, 32}));
        return corner_.value(quint64(row) << 16 | quint64(col));
    }

    std::unique_ptr<RowCursor> Rows(const std::vector<int>& cols) const override {
        if (!EnsureSelected()) return WorkbookReader::Rows(cols);
        return std::make_unique<XlsxCursor>(book_, selected_, cols);
    }

private:
    void LoadShared() const {
        if (sharedLoaded_) return;
        ReadStrings(zip_.get(), book_);
        ReadStyles(zip_.get(), book_);
        sharedLoaded_ = true;
    }

    // The first worksheet when none was selected; false when the workbook has none.
    bool EnsureSelected() const {
        if (selected_ >= 0) return true;
        for (size_t i = 0; i < book_.worksheet.size(); ++i) {
            if (!book_.worksheet[i]) continue;
            LoadShared();
            selected_ = qsizetype(i);
            return true;
        }
        return false;
    }

    // Keeps the texts of the rows up to `rows`, reading the sheet only that far.
    void ReadCorner(int rows) const {
        corner_.clear();
        cornerRows_ = 0;
        SheetStream stream(book_, selected_, [](int) { return true; });
        SheetRow row;
        int last = 0;
        while (stream.Next(&row) && row.number <= rows) {
            // Rows ascend in a sound sheet; as the row cursor does, a row that repeats or goes
            // back is passed over, and a repeated cell counts as its last occurrence.
            if (row.number <= last) continue;
            last = row.number;
            for (const auto& [col, cell] : row.cells)
                corner_.insert(quint64(row.number) << 16 | quint64(col), cell.text);
        }
        cornerRows_ = rows;
    }

    Package zip_;
    mutable Book book_;
    mutable bool sharedLoaded_ = false;
    mutable qsizetype selected_ = -1;
    mutable QHash<quint64, QString> corner_;
    mutable int cornerRows_ = 0;
};

}  // namespace

std::unique_ptr<WorkbookReader> OpenXlsx(const QString& path) {
    return std::make_unique<XlsxReader>(path);
}

}  // namespace tf::workbook::detail
