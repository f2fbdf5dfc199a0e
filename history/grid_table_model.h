#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <vector>

#include "history/text_grid.h"

// Shows a TextGrid in a table view without copying it: the view asks only for the cells it
// paints. The grid's last fixed row is the horizontal header and its last fixed column the
// vertical header; rows of height 0 (hidden by a search) and the fixed rows and columns are
// not model rows or columns.

namespace tf::history {

class GridTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridTableModel(TextGrid& grid, QObject* parent = nullptr);

    TextGrid& Grid() { return grid_; }
    // Takes in whatever changed in the grid (texts, rows, heights).
    void Reload();

    // Grid row of a model row, and the model row of a grid row (-1 when it is not shown).
    int GridRow(int modelRow) const { return shown_[static_cast<size_t>(modelRow)]; }
    int ModelRow(int gridRow) const;
    int GridCol(int modelCol) const { return modelCol + grid_.FixedCols(); }

    void SetFont(const QFont& font) { font_ = font; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void Collect();

    TextGrid& grid_;
    std::vector<int> shown_;
    QFont font_;
};

}  // namespace tf::history
