#include "app/history_link.h"

#include <QLabel>
#include <QLineEdit>

#include "app/batch_link.h"
#include "app/main_window.h"
#include "history/export.h"
#include "history/import_flow.h"
#include "history/old_rec.h"

namespace tf {

namespace {

// The main window's fields as the history reads and fills them.
class MainWindowVoucher : public history::VoucherFields {
public:
    explicit MainWindowVoucher(MF& mf) : mf_(mf) {}
    QString Caption(int field) const override { return mf_.L(field)->text(); }
    void TakeText(int field, const QString& text) override {
        mf_.T(field)->setText(text);
        mf_.T_LostFocus(field);
    }

private:
    MF& mf_;
};

}  // namespace

history::OldRec* ShowHistoryWindow(AppContext& ctx, MF& mainWindow) {
    auto* window = mainWindow.findChild<history::OldRec*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window =
            new history::OldRec(ctx, std::make_unique<MainWindowVoucher>(mainWindow), &mainWindow);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->SetBatchAction([&ctx, &mainWindow, window](bool preview) {
            BatchPrint(ctx, mainWindow, *window, preview);
        });
        // "导出数据": the list as it stands (order, hidden rows) into a workbook file.
        window->SetAction(0, [&ctx, window] {
            const QString path = history::ChooseSaveWorkbook(ctx.UserPrompt());
            if (!path.isEmpty()) history::ExportGrid(ctx, window->Grid(), path);
        });
        // "导入数据": worksheet rows become records and rows of this window's list.
        window->SetAction(3, [&ctx, window] { history::ImportWorkbook(ctx, window->Grid()); });
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace tf
