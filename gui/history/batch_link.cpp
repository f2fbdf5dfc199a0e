#include "gui/history/batch_link.h"

#include "common/prompt.h"
#include "gui/history/old_rec.h"
#include "gui/history/voucher_host.h"
#include "gui/print/preview.h"
#include "history/history_model.h"
#include "history/history_records.h"
#include "print/batch.h"

namespace tf {

void BatchPrint(AppContext& ctx, VoucherHost& host, history::OldRec& window, bool preview) {
    const history::HistoryModel& model = *window.Model();
    const bool chosen = window.RowsChosen();
    const auto [anchor, current] = window.ChosenRows();
    const QList<int> rows = history::BatchRows(model, anchor, current, chosen);
    if (rows.isEmpty()) {
        ctx.UserPrompt().Message(QStringLiteral("没有可以打印的记录！"));
        return;
    }
    // Forms cost money: a batch of every listed voucher is confirmed before the printer dialog.
    if (!chosen && !preview &&
        !ctx.UserPrompt().AskYesNo(QStringLiteral("将打印%1张进账单，是否继续？").arg(rows.size())))
        return;
    const print::VoucherPage base = host.CurrentPage();
    const FieldTexts texts = host.Texts();
    const QString sign = host.CurrencySign();

    QList<print::BatchVoucher> batch;
    batch.reserve(rows.size());
    for (const int r : rows) {
        print::BatchVoucher v;
        v.page = base;
        v.page.texts = history::RecordTexts(model, r, texts, sign);
        v.number = static_cast<int>(model.SequenceNumber(r));
        batch.append(v);
    }

    if (preview) {
        QList<print::VoucherPage> pages;
        QList<int> numbers;
        for (const print::BatchVoucher& v : batch) {
            pages.append(v.page);
            numbers.append(v.number);
        }
        print::ShowPrintPreview(ctx, pages, &window, numbers);
        return;
    }
    if (print::PrintBatch(ctx, batch, host.Target(), host.Device())) window.Reload();
}

}  // namespace tf
