#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "common/app_context.h"
#include "history/history_records.h"
#include "history/text_grid.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace tf::history {

class GridView;

// The history window: the list of printed vouchers with search, sort, delete, clear and
// "再次打印", which puts a record back into the main window. Shown without blocking the
// main window; every opening reads the list afresh.
class OldRec : public QWidget {
    Q_OBJECT
public:
    OldRec(AppContext& ctx, std::unique_ptr<VoucherFields> voucher, QWidget* parent = nullptr);
    ~OldRec() override;

    static QString Caption() { return QStringLiteral("历史记录"); }

    // The list and the controls, by the names and indexes they carry in the form.
    TextGrid& Grid() { return grid_; }
    GridView* MSG() const { return msg_; }
    QPushButton* Comm(int i) const { return comm_[static_cast<size_t>(i)]; }
    QLineEdit* Search() const { return search_; }
    QGroupBox* Frame1() const { return frame1_; }
    QGroupBox* Frame2() const { return frame2_; }

    // Export (0) and import (3) are provided from outside: setting the action enables the
    // button. The action works on Grid(); the list is redrawn afterwards.
    void SetAction(int index, std::function<void()> action);
    // Redraws the list after the grid changed.
    void Refresh();
    // Reads the list afresh from the database.
    void Reload();

    // "批量打印" and the preview beside it; the action receives true for the preview. Set
    // from outside, as it prints through the main window; the buttons are enabled then.
    QPushButton* BatchButton() const { return batch_; }
    QPushButton* BatchPreviewButton() const { return batchPreview_; }
    void SetBatchAction(std::function<void(bool preview)> action);
    // True once the clerk has chosen rows in the list since it was last filled, searched or
    // changed; sorting keeps the choice.
    bool RowsChosen() const { return rowsChosen_; }

    void Comm_Click(int index);
    // A press in the grid's header, twips inside the grid.
    void MSG_MouseDown(Qt::MouseButton button, double x, double y);
    // Places the list in the window's client area.
    void ArrangeHistoryWindow();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    // Enter on a row reprints it, Delete deletes the selected records, Ctrl+F goes to the
    // search box; the keys are shown in the tooltips.
    void WireKeys();
    void Form_Load();
    // Widens the window, as far as its screen has room, so that every column shows.
    void WidenToShowColumns();
    TextWidth GridTextWidth() const;

    AppContext& ctx_;
    std::unique_ptr<VoucherFields> voucher_;
    TextGrid grid_;
    GridView* msg_ = nullptr;
    std::array<QPushButton*, 7> comm_{};
    std::array<std::function<void()>, 7> actions_{};
    QPushButton* batch_ = nullptr;
    QPushButton* batchPreview_ = nullptr;
    std::function<void(bool)> batchAction_;
    bool rowsChosen_ = false;
    QLineEdit* search_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QGroupBox* frame2_ = nullptr;
};

}  // namespace tf::history
