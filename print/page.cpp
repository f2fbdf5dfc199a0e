#include "print/page.h"

#include <cmath>

#include "amount/number.h"
#include "common/prompt.h"
#include "print/layout.h"

namespace tf::print {

bool PrintSpaced(PrintDevice& printer, const QString& text, double x, double y, double sp) {
    QList<PlacedRun> runs;
    LaySpaced(printer, text, x, y, sp, runs);
    return DrawRuns(runs, printer);
}

bool PrintWrapped(PrintDevice& printer, const QString& text, double x, double y, double limit,
                  double sp) {
    QList<PlacedRun> runs;
    LayWrapped(printer, text, x, y, limit, sp, runs);
    return DrawRuns(runs, printer);
}

bool PrintAmountInBoxes(PrintDevice& printer, const QString& text, double x, double y,
                        double widthMm) {
    QList<PlacedRun> runs;
    LayAmountInBoxes(printer, text, x, y, widthMm, runs);
    return DrawRuns(runs, printer);
}

PageResult PrintVoucher(const AppContext& ctx, const VoucherPage& page, PrintDevice& printer) {
    const std::optional<PageSetup> setup = ReadPageSetup(ctx, page.curFormat);
    if (!setup) return PageResult::Skipped;
    if (!printer.SetPaper(Paper::A4)) return PageResult::Skipped;
    const bool landscape = page.OP[1];
    if (page.CHK[1] == 1 && page.OP[0]) printer.SetPaper(Paper::A3);  // stays A4 when refused

    const auto fail = [&] {
        ctx.UserPrompt().Message(QStringLiteral("打印出错！"));
        printer.AbortDoc();
        return PageResult::Failed;
    };
    if (!printer.SetOrientation(landscape ? Orientation::Landscape : Orientation::Portrait))
        return fail();

    LaidOutPage laid;
    if (!LayoutVoucher(page, *setup, printer, laid) || !DrawFields(laid, printer) ||
        !printer.EndDoc())
        return fail();
    return PageResult::Printed;
}

}  // namespace tf::print
