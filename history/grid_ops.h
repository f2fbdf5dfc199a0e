#pragma once

#include <QString>
#include <QStringView>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "history/text_grid.h"

// Fitting a TextGrid's column widths to its texts (the import's sample grid), and the rules the
// history list sorts by: the generic order of two texts and the direction markers.

namespace tf::history {

// The width of a text in the showing window's font, twips.
using TextWidth = std::function<double(const QString&)>;

inline QString AscendingMarker() {
    return QStringLiteral("△");
}
inline QString DescendingMarker() {
    return QStringLiteral("▽");
}

// Exchanges the two values when a < b, so that afterwards a >= b.
template <typename T>
void OrderPair(T& a, T& b) {
    if (a < b) std::swap(a, b);
}

// Sets every column's width from the texts of the rows from firstRow down (from row 0 when
// there are no data rows). Columns left of the numbering column get width 0; the last column
// takes up what is left of the grid's width less 400 twips.
void FitColumns(TextGrid& grid, int firstRow, const TextWidth& width);

// The width FitColumns gives column col from the texts of the rows from firstRow down (from
// row 0 when there are no data rows) before capping it at half the grid's width.
double FittedWidth(const TextGrid& grid, int col, int firstRow, const TextWidth& width);

// Widens the last column to take up what is left of the grid's width less 400 twips, when
// the columns leave room.
void FillLastColumn(TextGrid& grid);

// The generic order of two cell texts: two texts that both read as numbers compare as
// numbers, exactly at any number of digits, any other pair as text. Negative, zero or
// positive like a comparison function.
int GenericCompare(QStringView a, QStringView b);

// True when the whole text, blanks around it aside, is a decimal number (sign, digits, an
// optional fraction, an optional leading currency sign ￥ or ¥).
bool ReadsAsNumber(QStringView text);

// A cell text's place in a sorted column. It agrees with GenericCompare on every pair of two
// numbers and every pair of two other texts, yet is a strict weak order on any mixture: empty
// texts first, then the numbers in numeric order, then the other texts in text order. (The
// pairwise rule alone is not transitive on a mixed column: "2" < "10" < "1a" < "2".) A key
// refers to its text, which must outlive it.
class SortKey {
public:
    static SortKey Of(QStringView text);
    friend bool operator<(const SortKey& a, const SortKey& b);

private:
    // A number's integer digits without leading zeros, or the whole of another text.
    QStringView first_;
    // A number's fraction digits without trailing zeros.
    QStringView fraction_;
    // The order of the first few characters or digits, compared before the texts themselves,
    // which are then read only when these are equal.
    quint64 prefix_ = 0;
    bool negative_ = false;
    quint8 kind_ = 0;  // 0 empty, 1 number, 2 other text
};

// The order of a column's texts[0 …]: their indexes sorted by the texts' keys, ascending or
// descending, ties in ascending index. Each distinct text is ranked once, so a column of few
// distinct texts (banks, counts) sorts in little more than the time it takes to read it.
std::vector<quint32> SortedIndexes(const std::vector<QStringView>& texts, bool descending);

}  // namespace tf::history
