#include "gui/history/grid_view.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "gui/window_utils.h"

namespace tf::history {

GridView::GridView(TextGrid& grid, QWidget* parent)
    : QTableView(parent), model_(new GridTableModel(grid, this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->viewport()->installEventFilter(this);
    // Uniform fixed rows: the view never measures its 100,000 rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setHighlightSections(false);
    if (auto* corner = findChild<QAbstractButton*>()) corner->installEventFilter(this);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { SelectionToGrid(); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { SelectionToGrid(); });
}

double GridView::FixedWidth() const {
    const TextGrid& g = model_->Grid();
    double w = 0;
    for (int c = 0; c < g.FixedCols() && c < g.Cols(); ++c) w += g.ColWidth(c);
    return w;
}

double GridView::HeaderHeight() const {
    const TextGrid& g = model_->Grid();
    double h = 0;
    for (int r = 0; r < g.FixedRows() && r < g.Rows(); ++r) h += g.RowHeight(r);
    return h;
}

void GridView::Refresh() {
    TextGrid& g = model_->Grid();
    const int row = g.Row;
    const int rowSel = g.RowSel;
    syncing_ = true;
    model_->Reload();
    ApplySizes();
    syncing_ = false;
    SelectGridRows(row, rowSel);
}

void GridView::ApplySizes() {
    const TextGrid& g = model_->Grid();
    for (int m = 0; m < model_->columnCount(); ++m) {
        const double w = g.ColWidth(model_->GridCol(m));
        setColumnHidden(m, w <= 0);
        if (w > 0) setColumnWidth(m, std::max(1, TwipsToPixels(w)));
    }
    const double numbering = g.FixedCols() > 0 ? g.ColWidth(g.FixedCols() - 1) : 0;
    verticalHeader()->setVisible(numbering > 0);
    if (numbering > 0) verticalHeader()->setFixedWidth(std::max(1, TwipsToPixels(numbering)));
    const double header = g.FixedRows() > 0 ? g.RowHeight(g.FixedRows() - 1) : 0;
    horizontalHeader()->setVisible(header > 0);
    if (header > 0) horizontalHeader()->setFixedHeight(std::max(1, TwipsToPixels(header)));
    verticalHeader()->setDefaultSectionSize(
        std::max(1, TwipsToPixels(header > 0 ? header : TextGrid::kDefaultRowHeight)));
}

void GridView::SelectGridRows(int row, int rowSel) {
    TextGrid& g = model_->Grid();
    int from = model_->ModelRow(row);
    int to = model_->ModelRow(rowSel);
    syncing_ = true;
    if (from < 0 || to < 0) {
        // The rows are gone or hidden: the first shown row becomes current.
        from = to = model_->rowCount() > 0 ? 0 : -1;
    }
    if (from < 0) {
        selectionModel()->clear();
        syncing_ = false;
        g.Row = g.RowSel = g.FixedRows() - 1;
        return;
    }
    const int col = std::clamp(currentIndex().column(), 0, std::max(0, model_->columnCount() - 1));
    selectionModel()->setCurrentIndex(model_->index(to, col), QItemSelectionModel::NoUpdate);
    selectionModel()->select(
        QItemSelection(model_->index(std::min(from, to), 0),
                       model_->index(std::max(from, to), model_->columnCount() - 1)),
        QItemSelectionModel::ClearAndSelect);
    syncing_ = false;
    g.Row = model_->GridRow(from);
    g.RowSel = model_->GridRow(to);
}

void GridView::SelectionToGrid() {
    if (syncing_) return;
    TextGrid& g = model_->Grid();
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        g.Row = g.RowSel = g.FixedRows() - 1;
        return;
    }
    g.Col = model_->GridCol(current.column());
    int top = current.row();
    int bottom = current.row();
    const QItemSelection selection = selectionModel()->selection();
    if (!selection.isEmpty()) {
        top = bottom = selection.constFirst().top();
        for (const QItemSelectionRange& range : selection) {
            top = std::min(top, range.top());
            bottom = std::max(bottom, range.bottom());
        }
    }
    // The current row is the moving end; the other end is where the selection started.
    const int moving = std::clamp(current.row(), top, bottom);
    const int anchor = moving == top ? bottom : top;
    g.Row = model_->GridRow(anchor);
    g.RowSel = model_->GridRow(moving);
    emit rowsChosen();
}

bool GridView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress) return QTableView::eventFilter(watched, event);
    const auto* press = static_cast<QMouseEvent*>(event);
    const QPoint pos = press->position().toPoint();
    TextGrid& g = model_->Grid();
    const double height = HeaderHeight();
    const double y = std::clamp(PixelsToTwips(pos.y()), 0.0, std::max(0.0, height - 1));
    const double fixed = FixedWidth();
    if (watched == horizontalHeader()->viewport()) {
        QHeaderView* header = horizontalHeader();
        g.LeftCol = model_->GridCol(std::max(0, header->logicalIndexAt(0)));
        const int section = header->logicalIndexAt(pos.x());
        // Twips inside the grid as its columns lie; a press past the last column lands
        // right of all of them.
        double x = fixed;
        const int last = section >= 0 ? model_->GridCol(section) : g.Cols();
        for (int c = g.LeftCol; c < last; ++c) x += g.ColWidth(c);
        if (section >= 0) {
            const double w = g.ColWidth(last);
            const double inside = PixelsToTwips(pos.x() - header->sectionViewportPosition(section));
            x += std::clamp(inside, std::min(1.0, w / 2), std::max(w / 2, w - 1));
        } else {
            x += 1;
        }
        emit headerPressed(press->button(), x, y);
        return true;
    }
    if (qobject_cast<QAbstractButton*>(watched)) {
        emit headerPressed(press->button(), std::min(PixelsToTwips(pos.x()), fixed), y);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

QItemSelectionModel::SelectionFlags GridView::selectionCommand(const QModelIndex& index,
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

void GridView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    model_->Grid().SetWidth(PixelsToTwips(width()));
}

}  // namespace tf::history
