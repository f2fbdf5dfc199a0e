#include "print/page.h"

#include <cmath>

#include "amount/number.h"
#include "print/layout.h"

namespace tf::print {

double RoundHalfEven(double value) {
    const double down = std::floor(value);
    const double diff = value - down;
    if (diff < 0.5) return down;
    if (diff > 0.5) return down + 1;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

VoucherPage BuildVoucherPage(const store::VoucherSettings& settings, const FieldTexts& texts,
                             double picHeight) {
    VoucherPage page;
    page.TT = settings.TT;
    page.CHK = settings.CHK;
    page.OP = settings.OP;
    page.curFormat = settings.CurFormat;
    page.picHeight = picHeight;

    const double w = LenientNumber(settings.TT[1]);
    const double h = LenientNumber(settings.TT[2]);
    const double s = LenientNumber(settings.TT[3]);
    const bool stubShown = settings.CHK[1] == 1;
    const double k = h != 0 ? picHeight / h : 0;
    page.picWidth = h != 0 ? picHeight * (stubShown ? w : w - s) / h : 0;

    for (int i = kFirstField; i <= kLastField; ++i) {
        const store::FieldFormat& f = settings.fieldFormats[i];
        FieldOnScreen& out = page.fields[i];
        out.left = k * f.X - (stubShown ? 0 : s * k);
        out.top = k * f.Y;
        out.width = k * f.W;
        out.height = k * f.H;
        out.text = texts[i];
        out.caption = (i == kAmountField || i == kAmountField + 16) ? AmountCaption() : QString();
        out.fontName = f.fName;
        out.fontSize = f.fSize;
        out.bold = f.fBold;
        out.italic = f.fItalic;
        out.underline = f.fUnderline;
        out.strikeout = f.fStrikethru;
        out.color = f.Color;
    }
    return page;
}

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
        if (ctx.prompt) ctx.prompt->Message(QStringLiteral("打印出错！"));
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
