#include "gui/history/history_view.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

namespace tf::history {

HistoryView::HistoryView(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(1);
    // Uniform fixed rows: the view never measures the rows of a long list.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setHighlightSections(false);
    if (auto* corner = findChild<QAbstractButton*>()) corner->installEventFilter(this);
}

void HistoryView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    const auto chosen = [this] {
        if (choosing_) return;
        const QModelIndex current = currentIndex();
        if (!current.isValid()) return;
        // The anchor is the end of the selection that does not move with the current row.
        int top = current.row();
        int bottom = current.row();
        for (const QItemSelectionRange& range : selectionModel()->selection()) {
            top = std::min(top, range.top());
            bottom = std::max(bottom, range.bottom());
        }
        anchor_ = current.row() == top ? bottom : top;
        emit rowsChosen();
    };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, chosen);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, chosen);
}

std::pair<int, int> HistoryView::ChosenRows() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return {-1, -1};
    const int rows = model()->rowCount();
    const int anchor = anchor_ >= 0 && anchor_ < rows ? anchor_ : current.row();
    return {anchor, current.row()};
}

void HistoryView::ChooseRows(int anchor, int current) {
    QAbstractItemModel* m = model();
    choosing_ = true;
    const int rows = m->rowCount();
    if (anchor < 0 || current < 0 || anchor >= rows || current >= rows) {
        selectionModel()->clear();
        anchor_ = -1;
    } else {
        const int col = std::clamp(currentIndex().column(), 0, std::max(0, m->columnCount() - 1));
        selectionModel()->setCurrentIndex(m->index(current, col), QItemSelectionModel::NoUpdate);
        selectionModel()->select(
            QItemSelection(m->index(std::min(anchor, current), 0),
                           m->index(std::max(anchor, current), m->columnCount() - 1)),
            QItemSelectionModel::ClearAndSelect);
        anchor_ = anchor;
    }
    choosing_ = false;
}

bool HistoryView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && qobject_cast<QAbstractButton*>(watched)) {
        emit cornerPressed();
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

QItemSelectionModel::SelectionFlags HistoryView::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    if (event && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        const Qt::KeyboardModifiers both = Qt::ShiftModifier | Qt::ControlModifier;
        if ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) &&
            (key->modifiers() & both) == both)
            return QItemSelectionModel::SelectCurrent | QItemSelectionModel::Rows;
    }
    return QTableView::selectionCommand(index, event);
}

}  // namespace tf::history
