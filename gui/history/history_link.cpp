#include "gui/history/history_link.h"

#include "gui/dialogs/qt_prompt.h"
#include "gui/history/batch_link.h"
#include "gui/history/import_flow.h"
#include "gui/history/old_rec.h"
#include "gui/history/voucher_host.h"
#include "history/export.h"

namespace tf {

namespace {

// The voucher's fields as the history reads and fills them.
class HostVoucher : public history::VoucherFields {
public:
    explicit HostVoucher(VoucherHost& host) : host_(host) {}
    QString Caption(int field) const override { return FieldCaption(field); }
    void TakeText(int field, const QString& text) override { host_.TakeText(field, text); }

private:
    VoucherHost& host_;
};

// The history window's context: its dialogs are the window's children, so the window manager
// keeps the window in front of the main window while they show and after they close. A
// context whose prompt is not the dialogs' (a test's) is used as it is.
class WindowContext : public QObject {
public:
    explicit WindowContext(AppContext& shared, QWidget* dialogParent) : ctx(shared) {
        if (dynamic_cast<QtPrompt*>(&shared.UserPrompt())) {
            prompt_ = std::make_unique<QtPrompt>(dialogParent);
            ctx.SetPrompt(prompt_.get());
        }
    }
    void SetDialogParent(QWidget* parent) {
        if (prompt_) prompt_->SetParent(parent);
    }
    AppContext ctx;

private:
    std::unique_ptr<QtPrompt> prompt_;
};

}  // namespace

history::OldRec* ShowHistoryWindow(AppContext& ctx, VoucherHost& host) {
    QWidget* hostWindow = host.HostWindow();
    auto* window = hostWindow->findChild<history::OldRec*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        auto* own = new WindowContext(ctx, hostWindow);
        AppContext& wctx = own->ctx;
        window = new history::OldRec(wctx, std::make_unique<HostVoucher>(host), hostWindow);
        own->setParent(window);
        own->SetDialogParent(window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->SetBatchAction(
            [&wctx, &host, window](bool preview) { BatchPrint(wctx, host, *window, preview); });
        // "导出数据": the list as it stands (order, hidden rows) into a workbook file.
        window->SetExport([&wctx, window] {
            const QString path = history::ChooseSaveWorkbook(wctx.UserPrompt());
            if (path.isEmpty()) return;
            const std::span<const store::RecordKey> keys = window->Model()->OrderedKeys();
            history::ExportRecords(wctx, window->Model()->Store(),
                                   QList<store::RecordKey>(keys.begin(), keys.end()),
                                   window->CurrentExportLayout(), path);
        });
        // "导入数据": worksheet rows become records, listed once they are committed.
        window->SetImport([&wctx, window] {
            QList<store::RecordKey> stored;
            history::ImportWorkbook(wctx, &stored);
            window->AddRecords(stored);
        });
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace tf
