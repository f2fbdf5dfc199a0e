#pragma once

#include <QTableView>

#include "history/grid_table_model.h"

// A table view over a TextGrid through GridTableModel: the grid's widths and heights in
// twips become the view's pixels, a press in the header row is reported in twips inside the
// grid, and the selected range of rows is kept in the grid's Row and RowSel.

namespace tf::history {

class GridView : public QTableView {
    Q_OBJECT
public:
    explicit GridView(TextGrid& grid, QWidget* parent = nullptr);

    TextGrid& Grid() { return model_->Grid(); }
    GridTableModel* Model() const { return model_; }

    // Shows the grid as it is now: rows, widths, the header texts, and Row to RowSel as the
    // selection.
    void Refresh();
    // Selects the grid rows from `row` to `rowSel` (rowSel being the moving end).
    void SelectGridRows(int row, int rowSel);

signals:
    // A mouse press on the header row or the header corner, twips inside the grid.
    void headerPressed(Qt::MouseButton button, double x, double y);
    // The clerk moved the current row or changed the selection (mouse or keys).
    void rowsChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Shift+Ctrl+Home/End extend the selection to the first or last row, as Shift+arrows do.
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplySizes();
    void SelectionToGrid();
    double FixedWidth() const;
    double HeaderHeight() const;

    GridTableModel* model_;
    bool syncing_ = false;
};

}  // namespace tf::history
