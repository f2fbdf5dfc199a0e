#include "common/pinyin.h"

#include <QVarLengthArray>
#include <cstdint>

namespace tf::pinyin {

namespace detail {
// The generated table (tools/unihan_initials.cpp).
extern const std::uint32_t kInitialSets[];
extern const std::uint16_t kExtensionA[];
extern const std::uint16_t kBasic[];
}  // namespace detail

namespace {

// Calls f with each code point of the text; a lone surrogate stands for itself.
template <typename F>
void ForEachCodePoint(QStringView text, F f) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            f(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            f(char32_t{c.unicode()});
        }
    }
}

// The letter of a folded ASCII letter, none for any other character.
Letters LatinLetter(char32_t c) {
    return c >= U'a' && c <= U'z' ? LetterBit(static_cast<char16_t>(c)) : 0;
}

// A character's own letters: initials for an ideograph, the letter itself for a Latin letter
// of folded text.
Letters LettersOfChar(char32_t c) {
    return InitialsOf(c) | LatinLetter(c);
}

// The letters of each character of folded text that has any.
using LetterSequence = QVarLengthArray<Letters, 64>;
LetterSequence SequenceOf(QStringView folded) {
    LetterSequence sequence;
    ForEachCodePoint(folded, [&sequence](char32_t c) {
        if (const Letters letters = LettersOfChar(c)) sequence.append(letters);
    });
    return sequence;
}

}  // namespace

Letters InitialsOf(char32_t c) {
    if (c >= 0x4E00 && c <= 0x9FFF) return detail::kInitialSets[detail::kBasic[c - 0x4E00]];
    if (c >= 0x3400 && c <= 0x4DBF) return detail::kInitialSets[detail::kExtensionA[c - 0x3400]];
    return 0;
}

QString Folded(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0xFF01 && c <= 0xFF5E)
            out[i] = QChar(static_cast<char16_t>(c - 0xFF01 + 0x21));
        else if (c == 0x3000)
            out[i] = QChar(u' ');
        else
            out[i] = QChar(c);
    }
    return out.toCaseFolded();
}

namespace {

// Adds the letters of the next character that has any, and the pairs it makes with the one
// before.
class SignatureBuilder {
public:
    void Add(Letters letters) {
        if (letters == 0) return;
        signature_.letters |= letters;
        for (int a = 0; a < 26; ++a) {
            if (!(previous_ & (Letters{1} << a))) continue;
            for (int b = 0; b < 26; ++b)
                if (letters & (Letters{1} << b))
                    signature_.pairs |= qint64{1} << ((a * 26 + b) % 62);
        }
        previous_ = letters;
    }
    const Signature& Result() const { return signature_; }

private:
    Signature signature_;
    Letters previous_ = 0;
};

}  // namespace

Signature SignatureOf(QStringView text) {
    SignatureBuilder builder;
    for (Letters letters : SequenceOf(Folded(text))) builder.Add(letters);
    return builder.Result();
}

Query::Query(QStringView typed) : folded_(Folded(typed).trimmed()) {
    SignatureBuilder letters;
    for (QChar c : folded_) {
        if (c == u' ') continue;
        const Letters letter = LatinLetter(c.unicode());
        if (letter == 0) {
            initials_.clear();
            // Characters contained in a text bring their letters and pairs along.
            required_ = SignatureOf(folded_);
            return;
        }
        initials_.append(letter);
        letters.Add(letter);
    }
    required_ = letters.Result();
}

bool Query::Matches(QStringView text) const {
    if (IsEmpty()) return false;
    const QString folded = Folded(text);
    if (folded.contains(folded_)) return true;
    return ByInitials() && MatchesInitials(folded);
}

bool Query::MatchesInitials(QStringView folded) const {
    const LetterSequence sequence = SequenceOf(folded);
    const qsizetype n = initials_.size();
    for (qsizetype start = 0; start + n <= sequence.size(); ++start) {
        qsizetype k = 0;
        while (k < n && (sequence[start + k] & initials_[k]) != 0) ++k;
        if (k == n) return true;
    }
    return false;
}

}  // namespace tf::pinyin
