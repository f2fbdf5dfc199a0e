#include "gui/history/plain_grid_model.h"

namespace tf::history {

QVariant PlainGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int r = index.row();
    const int c = index.column();
    const bool fixed = r < grid_.FixedRows() || c < grid_.FixedCols();
    switch (role) {
        case Qt::DisplayRole:
            return grid_.Text(r, c);
        case Qt::TextAlignmentRole:
            if (alignments_.contains(c) && !(r < grid_.FixedRows()))
                return QVariant::fromValue(alignments_.value(c));
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        case Qt::BackgroundRole:
            return fixed ? QVariant(QColor(0xD4, 0xD0, 0xC8)) : QVariant();
        default:
            return {};
    }
}

void PlainGridModel::SetAlignment(int col, Qt::Alignment alignment) {
    alignments_[col] = alignment;
}

}  // namespace tf::history
