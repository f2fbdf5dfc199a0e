#include "history/grid_ops.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace tf::history {

void FitColumns(TextGrid& grid, int firstRow, const TextWidth& width) {
    const int start = grid.Rows() > grid.FixedRows() ? firstRow : 0;
    const int numbering = grid.FixedCols() - 1;
    const double half = grid.Width() / 2;
    double total = 0;
    for (int c = 0; c < grid.Cols(); ++c) {
        double w = 0;
        if (c >= numbering) {
            for (int r = start; r < grid.Rows(); ++r) {
                const QString& text = grid.Text(r, c);
                if (text.isEmpty()) continue;  // measures nothing
                w = std::max(w, width(text));
            }
            // A column with texts is wide enough for its header too.
            if (w != 0 && grid.FixedRows() > 0)
                w = std::max(w, width(grid.Text(grid.FixedRows() - 1, c)));
            w = w != 0 ? w + 100 : 50;
            if (w > half) w = half;
        }
        w = std::round(w);
        grid.SetColWidth(c, w);
        total += w;
    }
    const double room = grid.Width() - 400;
    if (grid.Cols() > 0 && room > total) {
        const int last = grid.Cols() - 1;
        grid.SetColWidth(last, room - (total - grid.ColWidth(last)));
    }
}

void GridHeaderClick(TextGrid& grid, double x, double y, const TextWidth& width) {
    double h = 0;
    for (int r = 0; r < grid.FixedRows() && r < grid.Rows(); ++r) h += grid.RowHeight(r);
    if (y >= h) return;
    double w = 0;
    for (int c = 0; c < grid.FixedCols() && c < grid.Cols(); ++c) w += grid.ColWidth(c);
    if (x <= w) {
        FitColumns(grid, 1, width);
        return;
    }
    for (int i = std::max(grid.LeftCol, grid.FixedCols()); i < grid.Cols(); ++i) {
        w += grid.ColWidth(i);
        if (x < w) {
            SortByColumn(grid, i);
            return;
        }
    }
}

bool ReadsAsNumber(QStringView text, double* value) {
    text = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    if (i < text.size() && (text[i] == u'￥' || text[i] == u'¥')) ++i;
    double number = 0;
    int digits = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        number = number * 10 + (text[i++].unicode() - u'0');
        ++digits;
    }
    if (i < text.size() && text[i] == u'.') {
        ++i;
        double scale = 0.1;
        while (i < text.size() && text[i].unicode() >= u'0' && text[i].unicode() <= u'9') {
            number += (text[i++].unicode() - u'0') * scale;
            scale /= 10;
            ++digits;
        }
    }
    if (digits == 0 || i != text.size()) return false;
    if (value) *value = negative ? -number : number;
    return true;
}

int GenericCompare(QStringView a, QStringView b) {
    double x = 0, y = 0;
    if (ReadsAsNumber(a, &x) && ReadsAsNumber(b, &y)) return x < y ? -1 : (y < x ? 1 : 0);
    return a.compare(b);
}

namespace {

// A sort key that agrees with GenericCompare on every pair of two numbers and every pair of
// two other texts, yet is a strict weak order on any mixture: empty texts first, then the
// numbers in numeric order, then the other texts in text order. (The pairwise rule alone is
// not transitive on a mixed column: "2" < "10" < "1a" < "2".)
struct SortKey {
    int kind = 0;  // 0 empty, 1 number, 2 other text
    double number = 0;
    QStringView text;

    static SortKey Of(const QString& text) {
        SortKey k;
        k.text = text;
        if (text.isEmpty()) return k;
        k.kind = ReadsAsNumber(text, &k.number) ? 1 : 2;
        return k;
    }
    friend bool operator<(const SortKey& a, const SortKey& b) {
        if (a.kind != b.kind) return a.kind < b.kind;
        if (a.kind == 1) return a.number < b.number;
        if (a.kind == 2) return a.text.compare(b.text) < 0;
        return false;
    }
};

void RemoveMarkers(QString& header, const QString& marker) {
    header.remove(marker);
}

}  // namespace

void SortByColumn(TextGrid& grid, int column) {
    const int h = grid.FixedRows() - 1;
    if (h < 0 || column < 0 || column >= grid.Cols()) return;
    for (int d = grid.FixedCols(); d < grid.Cols(); ++d) {
        if (d == column) continue;
        QString header = grid.Text(h, d);
        RemoveMarkers(header, AscendingMarker());
        RemoveMarkers(header, DescendingMarker());
        grid.SetText(h, d, header);
    }
    grid.Col = column;

    QString header = grid.Text(h, column);
    bool descending = false;
    if (header.endsWith(AscendingMarker())) {
        RemoveMarkers(header, AscendingMarker());
        header += DescendingMarker();
        descending = true;
    } else if (header.endsWith(DescendingMarker())) {
        RemoveMarkers(header, DescendingMarker());
        header += AscendingMarker();
    } else {
        header += AscendingMarker();
    }
    grid.SetText(h, column, header);

    const int first = h + 1;
    const int count = grid.Rows() - first;
    if (count > 1) {
        // Keys and row numbers side by side, so the sort reads memory in order.
        std::vector<std::pair<SortKey, int>> rows(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            rows[static_cast<size_t>(i)] = {SortKey::Of(grid.Text(first + i, column)), first + i};
        if (descending)
            std::stable_sort(rows.begin(), rows.end(),
                             [](const auto& a, const auto& b) { return b.first < a.first; });
        else
            std::stable_sort(rows.begin(), rows.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<int> order(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) order[i] = rows[i].second;
        grid.PermuteRows(first, order);
    }

    const int numbering = grid.FixedCols() - 1;
    if (numbering >= 0)
        for (int i = first; i < grid.Rows(); ++i)
            grid.SetText(i, numbering, QString::number(i - h));
}

void RemoveGridRows(TextGrid& grid, int a, int b) {
    OrderPair(b, a);
    if (a < 0 || b >= grid.Rows()) return;
    const int n = b - a + 1;
    const int numbering = grid.FixedCols() - 1;
    // The numbering column keeps its texts where they are, so the numbers stay 1, 2, 3 …
    // without gaps: its texts move down by n first and then up again with their rows.
    // Every other text moves up with its row, and hidden rows stay hidden.
    if (numbering >= 0)
        for (int r = grid.Rows() - 1; r >= a + n; --r)
            grid.SetText(r, numbering, grid.TakeText(r - n, numbering));
    grid.RemoveRows(a, n);
}

}  // namespace tf::history
