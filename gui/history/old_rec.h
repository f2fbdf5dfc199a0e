#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "common/app_context.h"
#include "history/export.h"
#include "history/history_model.h"
#include "history/history_records.h"
#include "store/record_store.h"

class QAction;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace tf::history {

class HistoryView;

// The history window: the list of printed vouchers with search, sort, delete, clear and
// "再次打印", which puts a record back into the main window. Shown without blocking the
// main window; every opening reads the list afresh.
class OldRec : public QWidget {
    Q_OBJECT
public:
    OldRec(AppContext& ctx, std::unique_ptr<VoucherFields> voucher, QWidget* parent = nullptr);
    ~OldRec() override;

    static QString Caption() { return QStringLiteral("历史记录"); }

    // The list and the controls.
    HistoryModel* Model() const { return model_; }
    HistoryView* MSG() const { return msg_; }
    QLineEdit* Search() const { return search_; }
    QGroupBox* Frame1() const { return frame1_; }
    QGroupBox* Frame2() const { return frame2_; }

    // The window's commands, each shown by a button.
    struct Actions {
        QAction* exportData = nullptr;
        QAction* importData = nullptr;
        QAction* deleteRecords = nullptr;
        QAction* clearRecords = nullptr;
        QAction* reprint = nullptr;
        QAction* batchPrint = nullptr;
        QAction* batchPreview = nullptr;
        QAction* search = nullptr;
        QAction* exit = nullptr;
    };
    const Actions& Commands() const { return actions_; }

    // Export and import are provided from outside: providing one enables its command.
    void SetExport(std::function<void()> run);
    void SetImport(std::function<void()> run);
    // "批量打印" and the preview beside it; the action receives true for the preview. Set
    // from outside, as it prints through the voucher's window; the commands are enabled then.
    void SetBatchAction(std::function<void(bool preview)> action);
    // Reads the list afresh from the database.
    void Reload();
    // Records stored by an import or a print since the list was read: listed at its end.
    void AddRecords(const QList<store::RecordKey>& keys);
    // Takes in the records others stored or deleted, keeping the order, search and choice:
    // those named, or all the store lists when it could not say which changed.
    void TakeInChanges(const store::RecordsChange& change = {});

    // True once the clerk has chosen rows in the list since it was last filled, searched or
    // changed; sorting keeps the choice.
    bool RowsChosen() const { return rowsChosen_; }
    // The chosen range as (anchor, current) rows of the list; (-1, -1) when there is none.
    std::pair<int, int> ChosenRows() const;
    // The header and column widths an export of the list writes: the row number, then the
    // columns as shown (sort marker included).
    ExportLayout CurrentExportLayout() const;

    // Sorts by a column as a press on its header does; the chosen rows stay where they are.
    void SortBy(int column);
    // Fits the columns to the rows in view and their header, as a press on the corner does.
    void FitColumns();
    // Places the list in the window's client area.
    void ArrangeHistoryWindow();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildActions();
    void BuildControls();
    // Enter on a row reprints it, Delete deletes the selected records, Ctrl+F goes to the
    // search box; the keys are shown in the tooltips.
    void WireKeys();
    // The commands.
    void ExportData();
    void ImportData();
    void DeleteRecords();
    void ClearRecords();
    void Reprint();
    void SearchRecords();
    // The list changed or was searched: row `current` (the first when none) is current, the
    // window's choice, not the clerk's.
    void ListChanged(int current = 0);
    // The columns of an empty list fit no text: the first rows to arrive fit them, as the
    // rows of a list being opened do.
    void FitFirstRows(bool wasEmpty);
    // Gives the last column what is left of the list's width.
    void FillLastColumn();
    void Form_Load();
    // Widens the window, as far as its screen has room, so that every column shows.
    void WidenToShowColumns();
    TextWidth GridTextWidth() const;
    // The column widths fitted to the rows in view (from `first`) and the header.
    HistoryColumnWidths Fitted(int first) const;
    void ApplyWidths(const HistoryColumnWidths& widths);

    AppContext& ctx_;
    std::unique_ptr<VoucherFields> voucher_;
    std::unique_ptr<store::RecordStore> store_;
    // While the window is open, records others store or delete come into the list.
    std::unique_ptr<store::RecordsWatch> watch_;
    HistoryModel* model_ = nullptr;
    HistoryView* msg_ = nullptr;
    Actions actions_;
    std::function<void()> export_;
    std::function<void()> import_;
    std::function<void(bool)> batchAction_;
    bool rowsChosen_ = false;
    QLineEdit* search_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QGroupBox* frame2_ = nullptr;
};

}  // namespace tf::history
