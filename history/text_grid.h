#pragma once

#include <QString>
#include <vector>

// A grid of texts with fixed header rows and columns, as the import's worksheet sample and the
// sheet chooser show it. Rows and columns are numbered from 0; widths and heights are twips,
// and 0 hides a row or column. Windows show it through a table model; the grid operations work
// on it without any widget.

namespace tf::history {

class TextGrid {
public:
    static constexpr double kDefaultRowHeight = 240;
    static constexpr double kDefaultColWidth = 960;

    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    // New rows and columns are empty, of the default height and width; cut ones are dropped.
    void SetRows(int rows);
    void SetCols(int cols);
    // Appends an empty row of the header row's height and returns its index.
    int AddRow();
    // Empties every cell; sizes and counts stay.
    void ClearTexts();

    int FixedRows() const { return fixedRows_; }
    int FixedCols() const { return fixedCols_; }
    void SetFixedRows(int n) { fixedRows_ = n; }
    void SetFixedCols(int n) { fixedCols_ = n; }

    const QString& Text(int row, int col) const;
    void SetText(int row, int col, const QString& text);
    // Moves a cell's text out, leaving the cell empty.
    QString TakeText(int row, int col);

    double ColWidth(int col) const { return colWidths_[Index(col)]; }
    void SetColWidth(int col, double twips) { colWidths_[Index(col)] = twips; }
    double RowHeight(int row) const { return rowHeights_[Index(row)]; }
    void SetRowHeight(int row, double twips) { rowHeights_[Index(row)] = twips; }

    // The width of the control showing the grid, twips.
    double Width() const { return width_; }
    void SetWidth(double twips) { width_ = twips; }

private:
    static size_t Index(int i) { return static_cast<size_t>(i); }
    size_t CellIndex(int row, int col) const {
        return static_cast<size_t>(row) * static_cast<size_t>(cols_) + static_cast<size_t>(col);
    }

    int rows_ = 0;
    int cols_ = 0;
    int fixedRows_ = 0;
    int fixedCols_ = 0;
    double width_ = 0;
    std::vector<QString> cells_;  // row by row
    std::vector<double> colWidths_;
    std::vector<double> rowHeights_;
};

}  // namespace tf::history
