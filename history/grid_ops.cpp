#include "history/grid_ops.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace tf::history {

double FittedWidth(const TextGrid& grid, int col, int firstRow, const TextWidth& width) {
    if (col < grid.FixedCols() - 1) return 0;
    const int start = grid.Rows() > grid.FixedRows() ? firstRow : 0;
    double w = 0;
    for (int r = start; r < grid.Rows(); ++r) {
        const QString& text = grid.Text(r, col);
        if (text.isEmpty()) continue;  // measures nothing
        w = std::max(w, width(text));
    }
    // A column with texts is wide enough for its header too.
    if (w != 0 && grid.FixedRows() > 0)
        w = std::max(w, width(grid.Text(grid.FixedRows() - 1, col)));
    return w != 0 ? w + 100 : 50;
}

void FillLastColumn(TextGrid& grid) {
    double total = 0;
    for (int c = 0; c < grid.Cols(); ++c) total += grid.ColWidth(c);
    const double room = grid.Width() - 400;
    if (grid.Cols() > 0 && room > total) {
        const int last = grid.Cols() - 1;
        grid.SetColWidth(last, room - (total - grid.ColWidth(last)));
    }
}

void FitColumns(TextGrid& grid, int firstRow, const TextWidth& width) {
    const int numbering = grid.FixedCols() - 1;
    const double half = grid.Width() / 2;
    for (int c = 0; c < grid.Cols(); ++c) {
        const double w = c >= numbering ? std::min(FittedWidth(grid, c, firstRow, width), half) : 0;
        grid.SetColWidth(c, std::round(w));
    }
    FillLastColumn(grid);
}

namespace {

// A decimal number as written, for exact comparison at any length: the sign, the integer
// digits without leading zeros and the fraction digits without trailing zeros.
struct DecimalText {
    bool negative = false;
    QStringView integer;
    QStringView fraction;

    bool IsZero() const { return integer.isEmpty() && fraction.isEmpty(); }
};

bool IsAsciiDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool ParseDecimal(QStringView text, DecimalText* number) {
    text = text.trimmed();
    qsizetype i = 0;
    DecimalText n;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) n.negative = text[i++] == u'-';
    if (i < text.size() && (text[i] == u'￥' || text[i] == u'¥')) ++i;
    const qsizetype intStart = i;
    while (i < text.size() && IsAsciiDigit(text[i])) ++i;
    n.integer = text.sliced(intStart, i - intStart);
    qsizetype digits = n.integer.size();
    if (i < text.size() && text[i] == u'.') {
        const qsizetype fracStart = ++i;
        while (i < text.size() && IsAsciiDigit(text[i])) ++i;
        n.fraction = text.sliced(fracStart, i - fracStart);
        digits += n.fraction.size();
    }
    if (digits == 0 || i != text.size()) return false;
    while (!n.integer.isEmpty() && n.integer.front() == u'0') n.integer = n.integer.sliced(1);
    while (!n.fraction.isEmpty() && n.fraction.back() == u'0') n.fraction.chop(1);
    if (number) *number = n;
    return true;
}

int Sign(int c) {
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Compares two numbers exactly: sign, length of the integer part, its digits, then the
// fraction's digits. -0 equals 0.
int CompareDecimal(const DecimalText& a, const DecimalText& b) {
    const bool aNegative = a.negative && !a.IsZero();
    const bool bNegative = b.negative && !b.IsZero();
    if (aNegative != bNegative) return aNegative ? -1 : 1;
    int c = 0;
    if (a.integer.size() != b.integer.size())
        c = a.integer.size() < b.integer.size() ? -1 : 1;
    else if (const int digits = a.integer.compare(b.integer); digits != 0)
        c = Sign(digits);
    else
        c = Sign(a.fraction.compare(b.fraction));
    return aNegative ? -c : c;
}

}  // namespace

bool ReadsAsNumber(QStringView text) {
    return ParseDecimal(text, nullptr);
}

int GenericCompare(QStringView a, QStringView b) {
    DecimalText x, y;
    if (ParseDecimal(a, &x) && ParseDecimal(b, &y)) return CompareDecimal(x, y);
    return a.compare(b);
}

namespace {

// The first four UTF-16 units, a missing one as 0: ordered as the texts are when they differ
// there, equal otherwise.
quint64 TextPrefix(QStringView text) {
    quint64 prefix = 0;
    for (qsizetype i = 0; i < 4; ++i)
        prefix = prefix << 16 | (i < text.size() ? text[i].unicode() : 0u);
    return prefix;
}

// The number of integer digits (6 bits) and the first 14 digits of the integer and the
// fraction (4 bits each, a missing one as 0), below 2^62: ordered as the magnitudes are when
// they differ there, equal otherwise. Past 62 integer digits only the length counts.
quint64 MagnitudePrefix(const DecimalText& n) {
    constexpr qsizetype kLongest = 62;
    const qsizetype length = std::min(n.integer.size(), kLongest + 1);
    quint64 prefix = static_cast<quint64>(length);
    for (qsizetype i = 0; i < 14; ++i) {
        unsigned digit = 0;
        if (length <= kLongest) {
            if (i < n.integer.size())
                digit = n.integer[i].unicode() - u'0';
            else if (i - n.integer.size() < n.fraction.size())
                digit = n.fraction[i - n.integer.size()].unicode() - u'0';
        }
        prefix = prefix << 4 | digit;
    }
    return prefix;
}

}  // namespace

SortKey SortKey::Of(QStringView text) {
    SortKey k;
    if (text.isEmpty()) return k;
    DecimalText number;
    if (ParseDecimal(text, &number)) {
        k.kind_ = 1;
        k.first_ = number.integer;
        k.fraction_ = number.fraction;
        k.negative_ = number.negative;
        // Negative numbers below the others, the larger magnitude the lower; -0 is 0.
        constexpr quint64 kNonNegative = quint64{1} << 62;
        const quint64 magnitude = MagnitudePrefix(number);
        k.prefix_ = number.negative && !number.IsZero() ? kNonNegative - 1 - magnitude
                                                        : kNonNegative | magnitude;
    } else {
        k.kind_ = 2;
        k.first_ = text;
        k.prefix_ = TextPrefix(text);
    }
    return k;
}

bool operator<(const SortKey& a, const SortKey& b) {
    if (a.kind_ != b.kind_) return a.kind_ < b.kind_;
    if (a.prefix_ != b.prefix_) return a.prefix_ < b.prefix_;
    if (a.kind_ == 1)
        return CompareDecimal({a.negative_, a.first_, a.fraction_},
                              {b.negative_, b.first_, b.fraction_}) < 0;
    if (a.kind_ == 2) return a.first_.compare(b.first_) < 0;
    return false;
}

std::vector<quint32> SortedIndexes(const std::vector<QStringView>& texts, bool descending) {
    // Each distinct text once.
    QHash<QStringView, quint32> idOf;
    std::vector<QStringView> distinct;
    std::vector<quint32> ids(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        auto it = idOf.find(texts[i]);
        if (it == idOf.end()) {
            it = idOf.insert(texts[i], static_cast<quint32>(distinct.size()));
            distinct.push_back(texts[i]);
        }
        ids[i] = *it;
    }
    // Their ranks: distinct texts of equal keys (numbers such as 1 and 1.0) share one.
    std::vector<std::pair<SortKey, quint32>> keys(distinct.size());
    for (size_t d = 0; d < distinct.size(); ++d)
        keys[d] = {SortKey::Of(distinct[d]), static_cast<quint32>(d)};
    std::sort(keys.begin(), keys.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<quint32> rankOf(distinct.size());
    quint32 rank = 0;
    for (size_t k = 0; k < keys.size(); ++k) {
        if (k > 0 && keys[k - 1].first < keys[k].first) ++rank;
        rankOf[keys[k].second] = rank;
    }
    // The indexes by rank, then by index: a counting sort, linear in the number of texts.
    const auto rankAt = [&](size_t i) {
        const quint32 r = rankOf[ids[i]];
        return descending ? rank - r : r;
    };
    std::vector<size_t> next(static_cast<size_t>(rank) + 2, 0);
    for (size_t i = 0; i < texts.size(); ++i) ++next[rankAt(i) + 1];
    for (size_t r = 1; r < next.size(); ++r) next[r] += next[r - 1];
    std::vector<quint32> indexes(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) indexes[next[rankAt(i)]++] = static_cast<quint32>(i);
    return indexes;
}

}  // namespace tf::history
