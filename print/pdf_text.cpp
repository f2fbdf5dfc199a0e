#include "print/pdf_text.h"

#include <QFile>
#include <QGlyphRun>
#include <QRawFont>
#include <QRegularExpression>
#include <QTextLayout>
#include <optional>

namespace tf::print {

namespace {

// CJK Radicals Supplement and Kangxi Radicals.
constexpr char32_t kFirstRadical = 0x2E80;
constexpr char32_t kLastRadical = 0x2FDF;

bool IsRadical(char32_t c) {
    return c >= kFirstRadical && c <= kLastRadical;
}

// The glyphs of a font face that the radicals have, each with the lowest radical giving it:
// the code point Qt's writer names that glyph by.
QHash<quint32, char32_t> RadicalGlyphs(const QRawFont& font) {
    QString radicals;
    for (char32_t c = kFirstRadical; c <= kLastRadical; ++c) radicals += QChar(char16_t(c));
    const QList<quint32> glyphs = font.glyphIndexesForString(radicals);
    QHash<quint32, char32_t> out;
    for (qsizetype i = 0; i < glyphs.size(); ++i)
        if (glyphs[i] != 0 && !out.contains(glyphs[i]))
            out.insert(glyphs[i], kFirstRadical + char32_t(i));
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A CMap's hex string <XXXX> of one UTF-16 unit at pos (the '<'); its value or nothing.
std::optional<char32_t> FourHex(const QByteArray& text, qsizetype pos) {
    if (pos + 5 >= text.size() || text[pos] != '<' || text[pos + 5] != '>') return std::nullopt;
    char32_t v = 0;
    for (qsizetype i = 1; i <= 4; ++i) {
        const int h = HexValue(text[pos + i]);
        if (h < 0) return std::nullopt;
        v = v * 16 + char32_t(h);
    }
    return v;
}

// Names the ideograph in place of a radical in the destination <XXXX> at pos.
bool Rename(QByteArray& text, qsizetype pos, const QHash<char32_t, char32_t>& ideographs) {
    const std::optional<char32_t> v = FourHex(text, pos);
    if (!v || !IsRadical(*v)) return false;
    const auto it = ideographs.constFind(*v);
    if (it == ideographs.constEnd() || *it > 0xFFFF) return false;
    const QByteArray hex = QByteArray::number(uint(*it), 16).toUpper().rightJustified(4, '0');
    text.replace(pos + 1, 4, hex);
    return true;
}

// The hex strings <…> of a CMap section, in order: start and end positions.
QList<std::pair<qsizetype, qsizetype>> HexStrings(const QByteArray& text, qsizetype from,
                                                  qsizetype to, QList<qsizetype>* arrayOf) {
    QList<std::pair<qsizetype, qsizetype>> out;
    int depth = 0;
    for (qsizetype i = from; i < to; ++i) {
        if (text[i] == '[') ++depth;
        if (text[i] == ']') --depth;
        if (text[i] != '<') continue;
        const qsizetype end = text.indexOf('>', i);
        if (end < 0 || end > to) break;
        out.append({i, end});
        arrayOf->append(depth);
        i = end;
    }
    return out;
}

// Rewrites the destinations of the bfchar and bfrange sections of a ToUnicode CMap.
bool RenameInCMap(QByteArray& cmap, const QHash<char32_t, char32_t>& ideographs) {
    bool changed = false;
    for (const char* section : {"bfchar", "bfrange"}) {
        const QByteArray begin = QByteArray("begin") + section;
        const QByteArray end = QByteArray("end") + section;
        const bool range = qstrcmp(section, "bfrange") == 0;
        for (qsizetype at = cmap.indexOf(begin); at >= 0; at = cmap.indexOf(begin, at)) {
            const qsizetype stop = cmap.indexOf(end, at);
            if (stop < 0) break;
            QList<qsizetype> inArray;
            const auto hex = HexStrings(cmap, at + begin.size(), stop, &inArray);
            // bfchar: <code> <unicode>. bfrange: <lo> <hi> <unicode> for consecutive code
            // points, rewritten only when it maps one code; or <lo> <hi> [<unicode> …].
            qsizetype k = 0;
            while (k < hex.size()) {
                if (!range) {
                    if (k + 1 < hex.size()) changed |= Rename(cmap, hex[k + 1].first, ideographs);
                    k += 2;
                    continue;
                }
                if (k + 2 >= hex.size()) break;
                if (inArray[k + 2] > 0) {
                    qsizetype j = k + 2;
                    for (; j < hex.size() && inArray[j] > 0; ++j)
                        changed |= Rename(cmap, hex[j].first, ideographs);
                    k = j;
                } else {
                    if (FourHex(cmap, hex[k].first) == FourHex(cmap, hex[k + 1].first))
                        changed |= Rename(cmap, hex[k + 2].first, ideographs);
                    k += 3;
                }
            }
            at = stop;
        }
    }
    return changed;
}

// The byte offsets of the objects in the file's last cross-reference table.
QHash<int, qsizetype> ObjectOffsets(const QByteArray& pdf) {
    QHash<int, qsizetype> offsets;
    const qsizetype sx = pdf.lastIndexOf("startxref");
    if (sx < 0) return offsets;
    qsizetype pos = sx + 9;
    while (pos < pdf.size() && (pdf[pos] == '\n' || pdf[pos] == '\r' || pdf[pos] == ' ')) ++pos;
    qsizetype xref = 0;
    while (pos < pdf.size() && pdf[pos] >= '0' && pdf[pos] <= '9')
        xref = xref * 10 + pdf[pos++] - '0';
    if (!pdf.mid(xref, 4).startsWith("xref")) return offsets;
    static const QRegularExpression subsection(QStringLiteral(R"(^(\d+) (\d+)\s*$)"));
    const QList<QByteArray> lines = pdf.mid(xref, sx - xref).split('\n');
    int number = -1;
    int left = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.startsWith("trailer")) break;
        if (left == 0) {
            const auto m = subsection.match(QString::fromLatin1(line));
            if (!m.hasMatch()) break;
            number = m.captured(1).toInt();
            left = m.captured(2).toInt();
            continue;
        }
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() >= 3 && parts[2] == "n") offsets.insert(number, parts[0].toLongLong());
        ++number;
        --left;
    }
    return offsets;
}

}  // namespace

std::shared_ptr<PdfTextLayer::SharedRadicals> PdfTextLayer::RadicalsOf(const QFont& font) {
    // Printing runs on the window thread only.
    static QHash<QString, std::shared_ptr<SharedRadicals>> byFont;
    std::shared_ptr<SharedRadicals>& radicals = byFont[font.key()];
    if (!radicals) radicals = std::make_shared<SharedRadicals>();
    return radicals;
}

void PdfTextLayer::SetFont(const QFont& font) {
    font_ = font;
    radicals_ = RadicalsOf(font);
}

void PdfTextLayer::Note(const QString& text) {
    if (!radicals_) SetFont(font_);
    static QHash<QString, QHash<quint32, char32_t>> radicalGlyphs;  // font face: glyph → radical
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (c <= kLastRadical) continue;
        auto known = radicals_->constFind(c);
        if (known == radicals_->constEnd()) {
            // The face that prints the character, fallback included, and its glyph.
            char32_t shared = 0;
            QTextLayout layout(QString::fromUcs4(&c, 1), font_);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            const QList<QGlyphRun> runs = layout.glyphRuns();
            for (const QGlyphRun& run : runs) {
                const QRawFont raw = run.rawFont();
                const QString face = raw.familyName() + u'\t' + raw.styleName();
                auto it = radicalGlyphs.find(face);
                if (it == radicalGlyphs.end()) it = radicalGlyphs.insert(face, RadicalGlyphs(raw));
                for (const quint32 glyph : run.glyphIndexes())
                    shared = std::max(shared, it->value(glyph, 0));
            }
            known = radicals_->insert(c, shared);
        }
        if (*known != 0 && !ideographs_.contains(*known)) ideographs_.insert(*known, c);
    }
}

bool PdfTextLayer::Correct(QByteArray& pdf) const {
    if (ideographs_.isEmpty()) return false;
    static const QRegularExpression header(
        QStringLiteral(R"(^(\d+) 0 obj\s*<<\s*/Length (\d+)\s*>>\s*stream\r?\n)"));
    const QHash<int, qsizetype> offsets = ObjectOffsets(pdf);
    const QByteArray key("/ToUnicode ");
    QSet<int> done;
    bool changed = false;
    for (qsizetype at = pdf.indexOf(key); at >= 0; at = pdf.indexOf(key, at + 1)) {
        qsizetype pos = at + key.size();
        int object = 0;
        while (pos < pdf.size() && pdf[pos] >= '0' && pdf[pos] <= '9')
            object = object * 10 + (pdf[pos++] - '0');
        if (done.contains(object) || !offsets.contains(object)) continue;
        done.insert(object);
        // A plain stream of the stated length, as Qt writes the map; anything else is left.
        const qsizetype offset = offsets.value(object);
        const auto m = header.match(QString::fromLatin1(pdf.mid(offset, 100)));
        if (!m.hasMatch() || m.captured(1).toInt() != object) continue;
        const qsizetype start = offset + m.capturedLength(0);
        const qsizetype length = m.captured(2).toLongLong();
        if (start + length > pdf.size()) continue;
        QByteArray cmap = pdf.mid(start, length);
        if (!cmap.contains("begincmap") || !RenameInCMap(cmap, ideographs_)) continue;
        pdf.replace(start, length, cmap);  // the same length: nothing moves
        changed = true;
    }
    return changed;
}

bool PdfTextLayer::Correct(const QString& path) const {
    if (ideographs_.isEmpty()) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) return false;
    QByteArray pdf = file.readAll();
    if (!Correct(pdf)) return true;
    return file.seek(0) && file.write(pdf) == pdf.size() && file.flush();
}

}  // namespace tf::print
