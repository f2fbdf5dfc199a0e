// The .xlsx reader: the zip package through minizip, each part parsed as it is inflated by
// QXmlStreamReader, so no part is held whole in memory. Sizes are bounded against hostile
// files: every part inflates to at most kMaxPartSize bytes whatever its header claims, and a
// workbook holds at most kMaxStrings shared strings and kMaxCells cells per sheet.

#include <unzip.h>

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>
#include <vector>

#include "history/workbook/workbook_impl.h"

namespace tf::workbook::detail {
namespace {

constexpr FileFormat kFormat = FileFormat::Xlsx;
constexpr qint64 kMaxPartSize = 512LL * 1024 * 1024;
constexpr qsizetype kMaxStrings = 8 * 1024 * 1024;
constexpr qsizetype kMaxCells = 16 * 1024 * 1024;
constexpr int kMaxSheets = 4096;

WorkbookError Damaged(const QString& path, const QString& what) {
    return WorkbookError(kNotWorkbook, QStringLiteral("%1: %2").arg(path, what));
}

// Excel writes characters XML cannot carry as _xHHHH_ (and a literal "_x" of that form as
// _x005F_x).
QString Unescape(const QString& text) {
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

// "B12" → row 12, column 2; false for anything else or an address past the format's limits.
bool ParseAddress(QStringView ref, int* row, int* col) {
    qsizetype i = 0;
    int c = 0, r = 0;
    for (; i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128; ++i) {
        c = c * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
        if (c > MaxColumns(kFormat)) return false;
    }
    if (i == 0 || i == ref.size()) return false;
    for (; i < ref.size(); ++i) {
        if (!ref[i].isDigit()) return false;
        r = r * 10 + ref[i].digitValue();
        if (r > MaxRows(kFormat)) return false;
    }
    if (r < 1) return false;
    *row = r;
    *col = c;
    return true;
}

// One part of the package, inflated piece by piece into an XML stream reader.
class Part {
public:
    Part(unzFile zip, const QString& name) : zip_(zip) {
        const QByteArray n = name.toUtf8();
        if (unzLocateFile(zip_, n.constData(), 2) != UNZ_OK) return;  // 2: any case
        if (unzOpenCurrentFile(zip_) != UNZ_OK) return;
        open_ = true;
    }
    ~Part() {
        if (open_) unzCloseCurrentFile(zip_);
    }
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    bool Exists() const { return open_; }
    // The next token; Invalid at a parse error, a read error or past the size limit.
    QXmlStreamReader::TokenType Next() {
        for (;;) {
            const auto token = xml.readNext();
            if (token != QXmlStreamReader::Invalid ||
                xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || atEnd_)
                return token;
            if (!Feed()) return QXmlStreamReader::Invalid;
        }
    }
    bool Failed() const { return failed_ || (xml.hasError() && !Done()); }
    bool Done() const { return xml.tokenType() == QXmlStreamReader::EndDocument; }

    QXmlStreamReader xml;

private:
    bool Feed() {
        if (!open_) return false;
        char buffer[1 << 16];
        const int n = unzReadCurrentFile(zip_, buffer, sizeof buffer);
        if (n < 0 || (read_ += n) > kMaxPartSize) {
            failed_ = true;
            return false;
        }
        if (n == 0) atEnd_ = true;
        xml.addData(QByteArray(buffer, n));
        return true;
    }

    unzFile zip_;
    bool open_ = false;
    bool atEnd_ = false;
    bool failed_ = false;
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
                break;
            case QXmlStreamReader::Invalid:
            case QXmlStreamReader::EndDocument:
                return Unescape(text);
            default:
                break;
        }
    }
    return Unescape(text);
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
    while (part.Exists() && !part.Failed()) {
        const auto token = part.Next();
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument) break;
        if (token != QXmlStreamReader::StartElement || part.xml.name() != u"Relationship") continue;
        const auto a = part.xml.attributes();
        const QString mode = a.value(QLatin1StringView("TargetMode")).toString();
        if (mode == u"External") continue;
        rels.push_back({a.value(QLatin1StringView("Id")).toString(),
                        a.value(QLatin1StringView("Type")).toString(),
                        ResolveTarget(folder, a.value(QLatin1StringView("Target")).toString())});
        if (rels.size() > size_t(kMaxSheets) * 4) break;
    }
    return rels;
}

class XlsxReader final : public WorkbookReader {
public:
    XlsxReader(const QString& path, unzFile zip) : path_(path), zip_(zip) {
        QString workbookPart = QStringLiteral("xl/workbook.xml");
        for (const Relationship& r : ReadRelationships(zip_, QString()))
            if (r.type.endsWith(u"/officeDocument")) workbookPart = r.target;
        const std::vector<Relationship> rels = ReadRelationships(zip_, workbookPart);
        for (const Relationship& r : rels)
            if (r.type.endsWith(u"/sharedStrings")) stringsPart_ = r.target;

        Part part(zip_, workbookPart);
        if (!part.Exists()) throw Damaged(path_, QStringLiteral("no workbook part"));
        while (!part.Done()) {
            const auto token = part.Next();
            if (token == QXmlStreamReader::Invalid)
                throw Damaged(path_, QStringLiteral("damaged workbook part"));
            if (token != QXmlStreamReader::StartElement || part.xml.name() != u"sheet") continue;
            QString id;
            for (const auto& attribute : part.xml.attributes())
                if (attribute.name() == u"id") id = attribute.value().toString();
            QString target;
            for (const Relationship& r : rels)
                if (r.id == id) target = r.target;
            names_.append(part.xml.attributes().value(QLatin1StringView("name")).toString());
            parts_.append(target);
            if (names_.size() > kMaxSheets) throw Damaged(path_, QStringLiteral("too many sheets"));
        }
    }

    ~XlsxReader() override { unzClose(zip_); }

    QStringList SheetNames() const override { return names_; }

    void SelectSheet(const QString& name) override {
        const qsizetype index = FindSheet(names_, name);
        if (index < 0) throw WorkbookError(kNoSuchSheet, QStringLiteral("no sheet %1").arg(name));
        Load(index);
    }

    QString CellText(int row, int col) const override {
        CheckAddress(kFormat, row, col);
        if (selected_ < 0 && !names_.isEmpty()) Load(0);
        return cells_.value(Key(row, col));
    }

private:
    static quint64 Key(int row, int col) { return quint64(row) << 16 | quint64(col); }

    void LoadStrings() const {
        stringsLoaded_ = true;
        if (stringsPart_.isEmpty()) return;
        Part part(zip_, stringsPart_);
        if (!part.Exists()) return;
        while (!part.Done()) {
            const auto token = part.Next();
            if (token == QXmlStreamReader::Invalid)
                throw Damaged(path_, QStringLiteral("damaged shared strings"));
            if (token != QXmlStreamReader::StartElement || part.xml.name() != u"si") continue;
            strings_.append(ReadStringItem(part));
            if (strings_.size() > kMaxStrings)
                throw Damaged(path_, QStringLiteral("too many shared strings"));
        }
    }

    void Load(qsizetype index) const {
        if (!stringsLoaded_) LoadStrings();
        cells_.clear();
        selected_ = -1;
        Part part(zip_, parts_[index]);
        if (!part.Exists()) throw Damaged(path_, QStringLiteral("missing sheet part"));
        int row = 0, col = 0;
        while (!part.Done()) {
            const auto token = part.Next();
            if (token == QXmlStreamReader::Invalid)
                throw Damaged(path_, QStringLiteral("damaged sheet"));
            if (token != QXmlStreamReader::StartElement) continue;
            const auto name = part.xml.name();
            if (name == u"row") {
                bool ok = false;
                const int r = part.xml.attributes().value(QLatin1StringView("r")).toInt(&ok);
                row = ok ? r : row + 1;
                col = 0;
            } else if (name == u"c") {
                ReadCell(part, &row, &col);
                if (cells_.size() > kMaxCells)
                    throw Damaged(path_, QStringLiteral("too many cells"));
            }
        }
        selected_ = index;
    }

    // Reads one <c> element up to its end tag and keeps its text.
    void ReadCell(Part& part, int* row, int* col) const {
        const auto a = part.xml.attributes();
        const QStringView ref = a.value(QLatin1StringView("r"));
        int r = *row, c = *col + 1;
        const bool placed = ref.isEmpty() ? true : ParseAddress(ref, &r, &c);
        const QString type = a.value(QLatin1StringView("t")).toString();
        QString value, inline_;
        int depth = 1;
        bool inValue = false;
        while (depth > 0) {
            const auto token = part.Next();
            if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument)
                return;
            if (token == QXmlStreamReader::StartElement) {
                if (part.xml.name() == u"is") {
                    inline_ = ReadStringItem(part);
                    continue;
                }
                ++depth;
                inValue = part.xml.name() == u"v";
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
                inValue = false;
            } else if (token == QXmlStreamReader::Characters && inValue) {
                value += part.xml.text();
            }
        }
        *row = r;
        *col = c;
        if (!placed || r < 1 || c < 1 || r > MaxRows(kFormat) || c > MaxColumns(kFormat)) return;
        QString text;
        if (type == u"s") {
            bool ok = false;
            const qsizetype i = value.trimmed().toLongLong(&ok);
            if (ok && i >= 0 && i < strings_.size()) text = strings_[i];
        } else if (type == u"inlineStr") {
            text = inline_;
        } else if (type == u"b") {
            text = value.trimmed() == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            if (value.isEmpty()) text.clear();
        } else if (type == u"str" || type == u"e" || type == u"d") {
            text = Unescape(value);
        } else if (!value.isEmpty()) {
            bool ok = false;
            const double number = value.trimmed().toDouble(&ok);
            text = ok ? NumberText(number) : value;
        }
        if (!text.isEmpty()) cells_.insert(Key(r, c), text);
    }

    QString path_;
    unzFile zip_;
    QStringList names_;
    QStringList parts_;
    QString stringsPart_;
    mutable QStringList strings_;
    mutable bool stringsLoaded_ = false;
    mutable QHash<quint64, QString> cells_;
    mutable qsizetype selected_ = -1;
};

}  // namespace

std::unique_ptr<WorkbookReader> OpenXlsx(const QString& path) {
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip) throw Damaged(path, QStringLiteral("not a zip package"));
    try {
        return std::make_unique<XlsxReader>(path, zip);
    } catch (...) {
        unzClose(zip);
        throw;
    }
}

}  // namespace tf::workbook::detail
