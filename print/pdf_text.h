#pragma once

#include <QFont>
#include <QHash>
#include <QString>
#include <memory>

// The text layer of a PDF document, so that searching and copying read back the characters
// printed. Qt's PDF writer names each glyph in the ToUnicode map of its font by the lowest
// code point the font gives that glyph; an ideograph whose glyph the font shares with a
// radical (工 and ⼯, 行 and ⾏, 角 and ⻆) thus reads back as the radical. The layer notes the
// ideographs printed with such shared glyphs and, once the file is written, makes its maps
// name them instead.

namespace tf::print {

class PdfTextLayer {
public:
    // The font the next texts are drawn in.
    void SetFont(const QFont& font);
    // Notes a text drawn in that font (a font without the character falls back as on paper).
    void Note(const QString& text);

    // Rewrites the ToUnicode maps of the PDF file at `path`, as Qt writes them, so that a glyph
    // shared with a radical names the ideograph printed with it. The maps keep their length,
    // so nothing else in the file moves. False when the file could not be read or written; a
    // file not laid out as expected is left as it is.
    bool Correct(const QString& path) const;

    // The same on the bytes of a PDF document; true when anything changed.
    bool Correct(QByteArray& pdf) const;

private:
    // For one font, the radical whose glyph each character noted shares (0: none). What the
    // fonts give does not change while the program runs, so it is kept for every document.
    using SharedRadicals = QHash<char32_t, char32_t>;
    static std::shared_ptr<SharedRadicals> RadicalsOf(const QFont& font);

    QFont font_;
    std::shared_ptr<SharedRadicals> radicals_;  // of font_
    QHash<char32_t, char32_t> ideographs_;      // radical → ideograph
};

}  // namespace tf::print
