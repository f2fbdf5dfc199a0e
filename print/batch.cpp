#include "print/batch.h"

#include "common/progress.h"
#include "print/check.h"
#include "print/layout.h"
#include "store/record_store.h"

namespace tf::print {

PageResult PrintPages(const AppContext& ctx, const QList<VoucherPage>& pages, PrintDevice& printer,
                      const PageHook& hook) {
    if (pages.isEmpty()) return PageResult::Skipped;
    const VoucherPage& first = pages.constFirst();
    const std::optional<PageSetup> setup = ReadPageSetup(ctx, first.curFormat);
    if (!setup || !printer.SetPaper(Paper::A4)) return PageResult::Skipped;
    if (first.CHK[1] == 1 && first.OP[0]) printer.SetPaper(Paper::A3);  // stays A4 when refused

    Progress& progress = ctx.ProgressDisplay();
    const auto fail = [&] {
        progress.CloseProgress();
        ctx.UserPrompt().Message(QStringLiteral("打印出错！"));
        printer.AbortDoc();
        return PageResult::Failed;
    };
    if (!printer.SetOrientation(first.OP[1] ? Orientation::Landscape : Orientation::Portrait))
        return fail();

    qint32 start = 0;
    progress.ShowProgress(QStringLiteral("正在批量打印…"), static_cast<qint32>(pages.size()),
                          start);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        LaidOutPage laid;
        if (!LayoutVoucher(pages[i], *setup, printer, laid)) return fail();
        if (i > 0 && !printer.NewPage()) return fail();
        if (hook && !hook(laid)) return fail();
        if (!DrawFields(laid, printer)) return fail();
        progress.StepProgress(1, QStringLiteral("pages"));
    }
    if (!printer.EndDoc()) return fail();
    progress.CloseProgress();
    return PageResult::Printed;
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
        texts.append(v.texts);
    }
    if (!ConfirmFit(ctx, pages, printer, numbers)) return std::nullopt;
    if (!ctx.UserPrompt().ChoosePrinter(target)) return std::nullopt;

    const PageResult result = PrintPages(ctx, pages, printer);
    if (ctx.UserPrompt().AskYesNo(QStringLiteral("是否保存打印记录？"))) {
        store::StoreTextsBatch(ctx, store::RecordTime(ctx.now()), texts);
    }
    return result;
}

}  // namespace tf::print
