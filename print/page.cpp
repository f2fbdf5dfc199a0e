#include "print/page.h"

#include "common/progress.h"
#include "common/prompt.h"
#include "print/layout.h"

namespace tf::print {

VoucherPage PageOf(const store::VoucherSettings& settings, const FieldTexts& texts) {
    return {texts, settings.layout, settings.fieldFormats, settings.CurFormat};
}

PageResult PrintLaidOut(const AppContext& ctx, const LaidOutJob& job, PrintDevice& printer,
                        const PageHook& hook, bool showProgress) {
    if (!job.ready || job.pages.isEmpty() || !printer.SetPaper(Paper::A4))
        return PageResult::Skipped;
    if (job.paper == Paper::A3) printer.SetPaper(Paper::A3);  // stays A4 when refused

    Progress& progress = ctx.ProgressDisplay();
    const auto fail = [&] {
        if (showProgress) progress.CloseProgress();
        ctx.UserPrompt().Message(QStringLiteral("打印出错！"));
        printer.AbortDoc();
        return PageResult::Failed;
    };
    if (!printer.SetOrientation(job.orientation)) return fail();

    if (showProgress) {
        qint32 start = 0;
        progress.ShowProgress(QStringLiteral("正在批量打印…"),
                              static_cast<qint32>(job.pages.size()), start);
    }
    for (qsizetype i = 0; i < job.pages.size(); ++i) {
        if (!job.pages[i]) return fail();
        LaidOutPage laid = *job.pages[i];
        if (i > 0 && !printer.NewPage()) return fail();
        if (hook && !hook(laid)) return fail();
        if (!DrawFields(laid, printer)) return fail();
        if (showProgress) progress.StepProgress(1, QStringLiteral("pages"));
    }
    if (!printer.EndDoc()) return fail();
    if (showProgress) progress.CloseProgress();
    return PageResult::Printed;
}

PageResult PrintVoucher(const AppContext& ctx, const VoucherPage& page, PrintDevice& printer) {
    const LaidOutJob job = LayoutJob(ReadPageSetup(ctx, page.format), {page}, printer);
    return PrintLaidOut(ctx, job, printer);
}

}  // namespace tf::print
