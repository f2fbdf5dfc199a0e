#pragma once

#include <QAbstractTableModel>
#include <QColor>

#include "history/text_grid.h"

// Shows every cell of a TextGrid, fixed rows and columns included, as ordinary cells of a
// table view whose own headers stay hidden: a press on a fixed cell then reaches the window
// like any other, as on the small grids of the import dialogs. Fixed cells are shaded.
namespace tf::history {

class PlainGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PlainGridModel(TextGrid& grid, QObject* parent = nullptr)
        : QAbstractTableModel(parent), grid_(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : grid_.Rows();
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : grid_.Cols();
    }
    QVariant data(const QModelIndex& index, int role) const override;

    // Alignment of a column's texts; unset columns use the view's default.
    void SetAlignment(int col, Qt::Alignment alignment);

    // Tells the view that cells, sizes or counts of the grid changed.
    void Refresh() {
        beginResetModel();
        endResetModel();
    }

    TextGrid& Grid() const { return grid_; }

private:
    TextGrid& grid_;
    QHash<int, Qt::Alignment> alignments_;
};

}  // namespace tf::history
