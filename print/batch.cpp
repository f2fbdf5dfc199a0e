#include "print/batch.h"

#include "print/check.h"
#include "print/layout.h"
#include "store/record_store.h"

namespace tf::print {

PageResult PrintPages(const AppContext& ctx, const QList<VoucherPage>& pages, PrintDevice& printer,
                      const PageHook& hook) {
    if (pages.isEmpty()) return PageResult::Skipped;
    const LaidOutJob job = LayoutJob(ReadPageSetup(ctx, pages.constFirst().format), pages, printer);
    return PrintLaidOut(ctx, job, printer, hook, true);
}

std::optional<PageResult> PrintBatch(const AppContext& ctx, const QList<BatchVoucher>& batch,
                                     PrintTarget& target, PrintDevice& printer) {
    if (batch.isEmpty()) return std::nullopt;
    QList<VoucherPage> pages;
    QList<int> numbers;
    QList<FieldTexts> texts;
    for (const BatchVoucher& v : batch) {
        pages.append(v.page);
        numbers.append(v.number);
        texts.append(v.page.texts);
    }
    const LaidOutJob job = LayoutJob(ReadPageSetup(ctx, pages.constFirst().format), pages, printer);
    if (!ConfirmFit(ctx, job, numbers)) return std::nullopt;
    if (!ctx.UserPrompt().ChoosePrinter(target)) return std::nullopt;

    const PageResult result = PrintLaidOut(ctx, job, printer, {}, true);
    if (ctx.UserPrompt().AskYesNo(QStringLiteral("是否保存打印记录？"))) {
        store::StoreTextsBatch(ctx, store::RecordTime(ctx.now()), texts);
    }
    return result;
}

}  // namespace tf::print
