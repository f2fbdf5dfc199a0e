#include "history/grid_table_model.h"

#include <QColor>
#include <algorithm>

namespace tf::history {

namespace {
const QColor kCellText(0, 0, 255);
const QColor kFixedText(0, 0, 64);
const QColor kFixedBack(255, 224, 192);
}  // namespace

GridTableModel::GridTableModel(TextGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
    Collect();
}

void GridTableModel::Reload() {
    beginResetModel();
    Collect();
    endResetModel();
}

void GridTableModel::Collect() {
    shown_.clear();
    shown_.reserve(static_cast<size_t>(std::max(0, grid_.Rows() - grid_.FixedRows())));
    for (int r = grid_.FixedRows(); r < grid_.Rows(); ++r)
        if (grid_.RowHeight(r) > 0) shown_.push_back(r);
}

int GridTableModel::ModelRow(int gridRow) const {
    const auto it = std::lower_bound(shown_.begin(), shown_.end(), gridRow);
    return it != shown_.end() && *it == gridRow ? static_cast<int>(it - shown_.begin()) : -1;
}

int GridTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int GridTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, grid_.Cols() - grid_.FixedCols());
}

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return grid_.Text(GridRow(index.row()), GridCol(index.column()));
        case Qt::ForegroundRole:
            return kCellText;
        case Qt::FontRole:
            return font_;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    switch (role) {
        case Qt::DisplayRole:
            if (orientation == Qt::Horizontal) {
                if (grid_.FixedRows() == 0 || section >= columnCount()) return {};
                return grid_.Text(grid_.FixedRows() - 1, GridCol(section));
            }
            if (grid_.FixedCols() == 0 || section >= rowCount()) return {};
            return grid_.Text(GridRow(section), grid_.FixedCols() - 1);
        case Qt::ForegroundRole:
            return kFixedText;
        case Qt::BackgroundRole:
            return kFixedBack;
        case Qt::FontRole:
            return font_;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

}  // namespace tf::history
