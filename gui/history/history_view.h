#pragma once

#include <QTableView>
#include <utility>

// The history window's list: a table view over a HistoryModel that selects whole rows, one
// range at a time, and tells when the clerk (not the program) chose rows or pressed the corner
// above the row numbers.

namespace tf::history {

class HistoryView : public QTableView {
    Q_OBJECT
public:
    explicit HistoryView(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;

    // The chosen range as (anchor, current) model rows: the row the selection started from and
    // the row that moves with the keys; (-1, -1) when no row is current.
    std::pair<int, int> ChosenRows() const;
    // Makes rows `anchor` to `current` the selection, without telling it as the clerk's choice.
    void ChooseRows(int anchor, int current);

signals:
    // The clerk moved the current row or changed the selection (mouse or keys).
    void rowsChosen();
    // A press on the corner above the row numbers.
    void cornerPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Shift+Ctrl+Home/End extend the selection to the first or last row, as Shift+arrows do.
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;

private:
    int anchor_ = -1;
    bool choosing_ = false;
};

}  // namespace tf::history
