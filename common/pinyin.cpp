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
// in any width or case.
Letters LettersOfChar(char32_t c) {
    if (const Letters initials = InitialsOf(c)) return initials;
    if (c >= U'Ａ' && c <= U'Ｚ') c = c - U'Ａ' + U'a';
    if (c >= U'ａ' && c <= U'ｚ') c = c - U'ａ' + U'a';
    if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
    return LatinLetter(c);
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

Letters LettersOf(QStringView text) {
    Letters letters = 0;
    ForEachCodePoint(text, [&letters](char32_t c) { letters |= LettersOfChar(c); });
    return letters;
}

Query::Query(QStringView typed) : folded_(Folded(typed).trimmed()) {
    for (QChar c : folded_) {
        if (c == u' ') continue;
        const Letters letter = LatinLetter(c.unicode());
        if (letter == 0) {
            initials_.clear();
            required_ = 0;
            return;
        }
        initials_.append(letter);
        required_ |= letter;
    }
}

bool Query::Matches(QStringView text) const {
    if (IsEmpty()) return false;
    if (Folded(text).contains(folded_)) return true;
    return ByInitials() && MatchesInitials(text);
}

bool Query::MatchesInitials(QStringView text) const {
    QVarLengthArray<Letters, 64> sequence;
    ForEachCodePoint(text, [&sequence](char32_t c) {
        if (const Letters letters = LettersOfChar(c)) sequence.append(letters);
    });
    const qsizetype n = initials_.size();
    for (qsizetype start = 0; start + n <= sequence.size(); ++start) {
        qsizetype k = 0;
        while (k < n && (sequence[start + k] & initials_[k]) != 0) ++k;
        if (k == n) return true;
    }
    return false;
}

}  // namespace tf::pinyin
