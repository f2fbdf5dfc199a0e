#include "print/print_job.h"

#include "common/prompt.h"
#include "print/check.h"
#include "print/layout.h"
#include "store/record_store.h"
#include "store/settings.h"

namespace tf::print {

std::optional<PageResult> PrintJob(const AppContext& ctx, const VoucherPage& page,
                                   bool& contentChanged, PrintTarget& target,
                                   PrintDevice& printer) {
    const LaidOutJob job = LayoutJob(ReadPageSetup(ctx, page.format), {page}, printer);
    if (!ConfirmFit(ctx, job) || !ctx.UserPrompt().ChoosePrinter(target)) return std::nullopt;

    const PageResult result = PrintLaidOut(ctx, job, printer);

    // Asked after every page, printed or not, as long as a field changed since last time.
    if (contentChanged) {
        contentChanged = false;
        if (ctx.UserPrompt().AskYesNo(QStringLiteral("是否保存打印记录？"))) {
            const QDateTime when = store::RecordTime(ctx.now());
            // A record that was not kept (the clerk has been told why) is offered again
            // after the next print.
            if (!store::StoreTexts(ctx, when, page.texts)) contentChanged = true;
        }
    }
    return result;
}

bool PrintCalibrationMark(const AppContext& ctx, PrintTarget& target, PrintDevice& printer,
                          const std::function<void()>& openOffsets) {
    bool sent = false;
    if (ctx.UserPrompt().AskYesNo(
            QStringLiteral("您是否需要打印校验图形？如果要打印，请在打印机中放好A4纸一张。"),
            QStringLiteral("打印位置校验")) &&
        ctx.UserPrompt().ChoosePrinter(target)) {
        // The margins are measured on an upright A4 sheet; a refusal leaves the printer as it is.
        printer.SetPaper(Paper::A4);
        printer.SetOrientation(Orientation::Portrait);
        const double near = MmToTwips(kCalibrationMarginMm);     // 566.928
        const double far = MmToTwips(2 * kCalibrationMarginMm);  // 1133.856
        sent = printer.FilledBox(near, near, far, far) && printer.EndDoc();
    }
    if (openOffsets) openOffsets();
    return sent;
}

}  // namespace tf::print
