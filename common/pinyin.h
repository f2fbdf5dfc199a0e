#pragma once

#include <QString>
#include <QStringView>
#include <QVector>

// Pinyin initials of Chinese characters and the quick-fill match of a typed query against a
// text: by the characters themselves, or by the initials of the text's readings.

namespace tf::pinyin {

// A set of Latin letters: bit 0 for 'a' to bit 25 for 'z'.
using Letters = quint32;

constexpr Letters LetterBit(char16_t lowerAscii) {
    return Letters{1} << (lowerAscii - u'a');
}

// The initials of every Mandarin reading of a CJK Unified Ideograph of the Basic block
// (U+4E00..U+9FFF) or Extension A (U+3400..U+4DBF): 行 gives h and x. Empty for every other
// character and for ideographs without a Mandarin reading.
Letters InitialsOf(char32_t c);

// A text as the match compares it: full-width ASCII forms and the ideographic space folded to
// ASCII, then case-folded.
QString Folded(QStringView text);

// What a text can answer to, for narrowing down a search before matching: the letters of its
// characters (the initials of its ideographs, its Latin letters in any width or case) and the
// pairs of letters of neighbouring characters, hashed into 62 bits. A text can match a query only
// when it has every letter and pair of the query's Required() signature.
struct Signature {
    Letters letters = 0;
    qint64 pairs = 0;
};
Signature SignatureOf(QStringView text);

// What was typed, prepared once to be matched against many texts. A text matches when its
// folded form contains the folded query; a query of Latin letters (blanks ignored) also
// matches when, choosing one reading per character, the initials of the text's letters and
// ideographs contain it as a run: "bjhx" and "hx" both match 北京华夏建设有限公司, "yh" and "yx"
// both match 银行. Characters without initials (digits, punctuation, blanks) are skipped.
class Query {
public:
    explicit Query(QStringView typed);

    // Nothing but blanks was typed: nothing matches.
    bool IsEmpty() const { return folded_.isEmpty(); }
    // The query may match by initials.
    bool ByInitials() const { return !initials_.isEmpty(); }
    // The folded query, as a text's folded form must contain it.
    const QString& FoldedText() const { return folded_; }
    // What every matching text's signature holds.
    const Signature& Required() const { return required_; }

    bool Matches(QStringView text) const;

private:
    bool MatchesInitials(QStringView folded) const;

    QString folded_;
    QVector<Letters> initials_;  // one letter per typed letter
    Signature required_;
};

}  // namespace tf::pinyin
