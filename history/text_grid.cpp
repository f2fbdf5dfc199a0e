#include "history/text_grid.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace tf::history {

namespace {
const QString kEmpty;
}

void TextGrid::SetRows(int rows) {
    assert(rows >= 0);
    cells_.resize(static_cast<size_t>(rows) * static_cast<size_t>(cols_));
    rowHeights_.resize(Index(rows), kDefaultRowHeight);
    rows_ = rows;
}

void TextGrid::SetCols(int cols) {
    assert(cols >= 0);
    if (cols == cols_) return;
    std::vector<QString> cells(static_cast<size_t>(rows_) * static_cast<size_t>(cols));
    const int keep = std::min(cols, cols_);
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < keep; ++c)
            cells[static_cast<size_t>(r) * static_cast<size_t>(cols) + static_cast<size_t>(c)] =
                std::move(cells_[CellIndex(r, c)]);
    cells_ = std::move(cells);
    colWidths_.resize(Index(cols), kDefaultColWidth);
    cols_ = cols;
}

int TextGrid::AddRow() {
    const double height = fixedRows_ > 0 && fixedRows_ <= rows_ ? rowHeights_[Index(fixedRows_ - 1)]
                                                                : kDefaultRowHeight;
    SetRows(rows_ + 1);
    rowHeights_.back() = height;
    return rows_ - 1;
}

void TextGrid::ClearTexts() {
    for (QString& s : cells_) s.clear();
}

const QString& TextGrid::Text(int row, int col) const {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_) return kEmpty;
    return cells_[CellIndex(row, col)];
}

void TextGrid::SetText(int row, int col, const QString& text) {
    assert(row >= 0 && row < rows_ && col >= 0 && col < cols_);
    cells_[CellIndex(row, col)] = text;
}

QString TextGrid::TakeText(int row, int col) {
    assert(row >= 0 && row < rows_ && col >= 0 && col < cols_);
    return std::exchange(cells_[CellIndex(row, col)], QString());
}

}  // namespace tf::history
