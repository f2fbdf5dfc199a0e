// The .xlsx reader: the zip package through minizip, each part parsed by QXmlStreamReader as
// it is inflated, so no part is held whole. What is kept for the whole workbook is the shared
// string table (one buffer of characters) and the date formats of the cell styles; a sheet is
// read as a stream, its rows delivered one at a time, and reading a corner of it stops past
// the corner. Sizes are bounded against hostile files: a part inflates to at most
// kMaxPartSize bytes whatever its header claims, the shared strings hold at most kMaxStrings
// texts and kMaxChars characters, and one text at most kMaxTextChars characters.

#include <unzip.h>

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QXmlStreamReader>
#include <climits>
#include <vector>

#include "history/workbook/workbook_impl.h"

namespace tf::workbook::detail {
namespace {

constexpr FileFormat kFormat = FileFormat::Xlsx;
constexpr qint64 kMaxPartSize = 2048LL * 1024 * 1024;
constexpr qsizetype kMaxStrings = 16 * 1024 * 1024;
constexpr qint64 kMaxChars = 128 * 1024 * 1024;
constexpr qsizetype kMaxTextChars = 1024 * 1024;
constexpr int kMaxSheets = 4096;

WorkbookError Damaged(const QString& what) {
    return WorkbookError(kDamaged, what);
}

// Excel writes characters XML cannot carry as _xHHHH_ (and a literal "_x" of that form as
// _x005F_x).
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

// The column of a cell reference ("B12" → 2); 0 for anything that is no reference within
// the format's limits.
int ColumnOf(QStringView ref) {
    int c = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128; ++i) {
        c = c * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
        if (c > MaxColumns(kFormat)) return 0;
    }
    if (i == 0 || i == ref.size()) return 0;
    return c;
}

// An open zip package; minizip reads one entry at a time per handle, so every sheet stream
// has a handle of its own.
class Package {
public:
    explicit Package(const QString& path) : zip_(unzOpen64(QFile::encodeName(path).constData())) {
        if (!zip_) throw Damaged(QStringLiteral("no zip directory in %1").arg(path));
    }
    ~Package() { unzClose(zip_); }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;
    unzFile get() const { return zip_; }

private:
    unzFile zip_;
};

// One part of the package, inflated piece by piece into an XML stream reader.
class Part {
public:
    Part(unzFile zip, const QString& name) : zip_(zip) {
        const QByteArray n = name.toUtf8();
        if (unzLocateFile(zip_, n.constData(), 2) != UNZ_OK) return;  // 2: any case
        if (unzOpenCurrentFile(zip_) != UNZ_OK) throw Damaged(QStringLiteral("unreadable part"));
        open_ = true;
    }
    ~Part() {
        if (open_) unzCloseCurrentFile(zip_);
    }
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    bool Exists() const { return open_; }
    // The next token; kDamaged at a parse error, a read error or past the size limit.
    QXmlStreamReader::TokenType Next() {
        for (;;) {
            const auto token = xml.readNext();
            if (token != QXmlStreamReader::Invalid) return token;
            if (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || atEnd_)
                throw Damaged(QStringLiteral("damaged part: %1").arg(xml.errorString()));
            Feed();
        }
    }
    bool Done() const { return xml.tokenType() == QXmlStreamReader::EndDocument; }
    // Reads up to the end tag of the element just started.
    void SkipElement() {
        for (int depth = 1; depth > 0;) {
            const auto token = Next();
            if (token == QXmlStreamReader::StartElement) ++depth;
            if (token == QXmlStreamReader::EndElement) --depth;
            if (token == QXmlStreamReader::EndDocument) return;
        }
    }

    QXmlStreamReader xml;

private:
    void Feed() {
        if (!open_) throw Damaged(QStringLiteral("missing part"));
        const int n = unzReadCurrentFile(zip_, buffer_.data(), int(buffer_.size()));
        if (n < 0 || (read_ += n) > kMaxPartSize)
            throw Damaged(QStringLiteral("part cannot be inflated"));
        if (n == 0) atEnd_ = true;
        xml.addData(QByteArray(buffer_.data(), n));
    }

    unzFile zip_;
    bool open_ = false;
    bool atEnd_ = false;
    qint64 read_ = 0;
    std::vector<char> buffer_ = std::vector<char>(1 << 16);
};

QString Attribute(const QXmlStreamReader& xml, const char* name) {
    return xml.attributes().value(QLatin1StringView(name)).toString();
}

// The text of the <t> elements inside the current element (a shared string or an inline
// string), rich-text runs joined, phonetic runs left out. Ends on the element's end tag.
QString ReadStringItem(Part& part) {
    QString text;
    int depth = 1, phonetic = 0;
    bool inText = false;
    while (depth > 0) {
        switch (part.Next()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                if (part.xml.name() == u"rPh") ++phonetic;
                inText = part.xml.name() == u"t" && phonetic == 0;
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                if (part.xml.name() == u"rPh") --phonetic;
                inText = false;
                break;
            case QXmlStreamReader::Characters:
                if (inText) text += part.xml.text();
                if (text.size() > kMaxTextChars) throw Damaged(QStringLiteral("text too long"));
                break;
            case QXmlStreamReader::EndDocument:
                depth = 0;
                break;
            default:
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
        if (part.Next() != QXmlStreamReader::StartElement || part.xml.name() != u"Relationship")
            continue;
        if (Attribute(part.xml, "TargetMode") == u"External") continue;
        rels.push_back({Attribute(part.xml, "Id"), Attribute(part.xml, "Type"),
                        ResolveTarget(folder, Attribute(part.xml, "Target"))});
        if (rels.size() > size_t(kMaxSheets) * 4) throw Damaged(QStringLiteral("too many parts"));
    }
    return rels;
}

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

void ReadStrings(unzFile zip, Book& book) {
    if (book.stringsPart.isEmpty()) return;
    Part part(zip, book.stringsPart);
    while (part.Exists() && !part.Done()) {
        if (part.Next() != QXmlStreamReader::StartElement || part.xml.name() != u"si") continue;
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
    QString section;  // the top-level element being read
    int depth = 0;
    while (part.Exists() && !part.Done()) {
        const auto token = part.Next();
        if (token == QXmlStreamReader::EndElement && --depth == 1) section.clear();
        if (token != QXmlStreamReader::StartElement) continue;
        ++depth;
        const auto name = part.xml.name();
        if (depth == 2) section = name.toString();
        if (depth != 3) continue;
        const int id = Attribute(part.xml, "numFmtId").toInt();
        if (section == u"numFmts" && name == u"numFmt") {
            custom.insert(id, IsDateFormatCode(Attribute(part.xml, "formatCode")));
        } else if (section == u"cellXfs" && name == u"xf") {
            book.dateStyle.push_back(custom.contains(id) ? custom.value(id)
                                                         : IsBuiltInDateFormat(id));
            if (book.dateStyle.size() > 1 << 20) throw Damaged(QStringLiteral("too many styles"));
        }
    }
}

// A date cell stored as text (t="d"): ISO 8601 into the form of a date-formatted number.
QString IsoDateText(const QString& text) {
    const QDateTime at = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    if (!at.isValid()) return text;
    const QString date = at.date().toString(u"yyyy-MM-dd");
    return at.time() == QTime(0, 0) ? date : date + at.time().toString(u" hh:mm:ss");
}

// One sheet read as a stream, row by row.
class SheetStream {
public:
    SheetStream(const Book& book, qsizetype index)
        : book_(book), zip_(book.path), part_(zip_.get(), book.parts[index]) {
        if (!part_.Exists()) throw Damaged(QStringLiteral("missing sheet part"));
    }

    // Moves to the next <row>: its number, or 0 past the sheet's rows.
    int NextRow() {
        for (;;) {
            const auto token = part_.Next();
            if (token == QXmlStreamReader::EndDocument) return 0;
            if (token == QXmlStreamReader::EndElement && part_.xml.name() == u"sheetData") return 0;
            if (token != QXmlStreamReader::StartElement || part_.xml.name() != u"row") continue;
            bool ok = false;
            const int r = part_.xml.attributes().value(QLatin1StringView("r")).toInt(&ok);
            row_ = ok ? r : row_ + 1;
            if (row_ < 1 || row_ > MaxRows(kFormat)) throw Damaged(QStringLiteral("bad row"));
            return row_;
        }
    }

    // Reads the current row's cells up to its end tag; take(col, cell) gets each cell whose
    // column want(col) asks for.
    template <typename Want, typename Take>
    void ReadCells(const Want& want, const Take& take) {
        int col = 0;
        for (;;) {
            const auto token = part_.Next();
            if (token == QXmlStreamReader::EndDocument) return;
            if (token == QXmlStreamReader::EndElement && part_.xml.name() == u"row") return;
            if (token != QXmlStreamReader::StartElement) continue;
            if (part_.xml.name() != u"c") {
                part_.SkipElement();
                continue;
            }
            const auto a = part_.xml.attributes();
            const QStringView ref = a.value(QLatin1StringView("r"));
            col = ref.isEmpty() ? col + 1 : ColumnOf(ref);
            if (col < 1 || col > MaxColumns(kFormat)) throw Damaged(QStringLiteral("bad cell"));
            if (!want(col)) {
                part_.SkipElement();
                continue;
            }
            const QString type = a.value(QLatin1StringView("t")).toString();
            const int style = a.value(QLatin1StringView("s")).toInt();
            take(col, ReadCell(type, style));
        }
    }

private:
    // Reads one <c> element up to its end tag.
    Cell ReadCell(const QString& type, int style) {
        QString value, inlineText;
        bool inValue = false;
        for (int depth = 1; depth > 0;) {
            const auto token = part_.Next();
            if (token == QXmlStreamReader::EndDocument) break;
            if (token == QXmlStreamReader::StartElement) {
                if (part_.xml.name() == u"is") {
                    inlineText = ReadStringItem(part_);
                    continue;
                }
                ++depth;
                inValue = part_.xml.name() == u"v";
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
                inValue = false;
            } else if (token == QXmlStreamReader::Characters && inValue) {
                value += part_.xml.text();
                if (value.size() > kMaxTextChars) throw Damaged(QStringLiteral("text too long"));
            }
        }
        if (type == u"s") {
            bool ok = false;
            const qsizetype i = QStringView(value).trimmed().toLongLong(&ok);
            if (!ok || i < 0 || i >= book_.strings.Size())
                throw Damaged(QStringLiteral("shared string index past the table"));
            return {book_.strings.At(i), false};
        }
        if (type == u"inlineStr") return {inlineText, false};
        if (value.isEmpty()) return {};
        if (type == u"b")
            return {QStringView(value).trimmed() == u"1" ? QStringLiteral("TRUE")
                                                         : QStringLiteral("FALSE"),
                    false};
        if (type == u"str" || type == u"e") return {Unescape(std::move(value)), false};
        if (type == u"d") return {IsoDateText(value), false};
        bool ok = false;
        const double number = QStringView(value).trimmed().toDouble(&ok);
        if (!ok) return {value, false};
        const bool date =
            style >= 0 && size_t(style) < book_.dateStyle.size() && book_.dateStyle[size_t(style)];
        return FormattedNumber(number, date, book_.system1904);
    }

    const Book& book_;
    Package zip_;
    Part part_;
    int row_ = 0;
};

class XlsxCursor final : public RowCursor {
public:
    XlsxCursor(const Book& book, qsizetype sheet, const std::vector<int>& cols)
        : stream_(book, sheet), cols_(cols), cells_(cols.size()) {}

    const std::vector<Cell>& Read(int row) override {
        for (const int col : cols_) CheckAddress(kFormat, row, col);
        for (Cell& cell : cells_) cell = {};
        for (;;) {
            if (next_ == 0) next_ = stream_.NextRow();
            if (next_ == 0) next_ = INT_MAX;  // past the last row
            if (next_ > row) break;
            // Rows before the one asked for are passed over, cells of unwanted columns too.
            const bool asked = next_ == row;
            stream_.ReadCells(
                [&](int col) {
                    return asked && std::find(cols_.begin(), cols_.end(), col) != cols_.end();
                },
                [&](int col, const Cell& cell) {
                    for (size_t i = 0; i < cols_.size(); ++i)
                        if (cols_[i] == col) cells_[i] = cell;
                });
            next_ = 0;
            if (asked) break;
        }
        return cells_;
    }

private:
    SheetStream stream_;
    std::vector<int> cols_;
    std::vector<Cell> cells_;
    int next_ = 0;  // the row whose start tag was read and whose cells were not, 0 when none
};

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
            if (part.Next() != QXmlStreamReader::StartElement) continue;
            if (part.xml.name() == u"workbookPr") {
                const QString v = Attribute(part.xml, "date1904");
                book_.system1904 = v == u"1" || v == u"true";
            }
            if (part.xml.name() != u"sheet") continue;
            QString id;
            for (const auto& attribute : part.xml.attributes())
                if (attribute.name() == u"id") id = attribute.value().toString();
            const Relationship* target = nullptr;
            for (const Relationship& r : rels)
                if (r.id == id) target = &r;
            book_.names.append(Attribute(part.xml, "name"));
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
        SheetStream stream(book_, selected_);
        for (int row = stream.NextRow(); row > 0 && row <= rows; row = stream.NextRow())
            stream.ReadCells([](int) { return true; },
                             [&](int col, const Cell& cell) {
                                 if (!cell.text.isEmpty())
                                     corner_.insert(quint64(row) << 16 | quint64(col), cell.text);
                             });
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
