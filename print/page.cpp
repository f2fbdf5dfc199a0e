#include "print/page.h"

#include <cmath>

#include "amount/number.h"
#include "common/prompt.h"
#include "common/rounding.h"
#include "print/settings.h"
#include "store/spacing.h"

namespace tf::print {

namespace {

constexpr int kAmountBoxes = 11;
// The paper width the voucher is centred on when the feeder closes in on the centre, also
// used on A3.
constexpr double kFeedWidthMm = 210;

// One character, or a surrogate pair, from the front of the text.
qsizetype FirstCharLength(const QString& text) {
    return text.size() > 1 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate() ? 2 : 1;
}

// The characters of a text one by one, a surrogate pair kept together.
QStringList Characters(const QString& text) {
    QStringList out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = FirstCharLength(text.mid(i, 2));
        out.append(text.mid(i, n));
        i += n;
    }
    return out;
}

PrinterFont FontOf(const FieldOnScreen& f) {
    return {f.fontName, f.fontSize, f.bold, f.italic, f.underline, f.strikeout, f.color};
}

}  // namespace

bool PrintSpaced(PrintDevice& printer, const QString& text, double x, double y, double sp) {
    printer.SetCurrentX(x);
    printer.SetCurrentY(y);
    for (const QString& c : Characters(text)) {
        printer.SetCurrentY(y);
        if (!printer.Print(c)) return false;
        x = x + printer.TextWidth(c) + sp;
        printer.SetCurrentX(x);
    }
    return true;
}

bool PrintWrapped(PrintDevice& printer, const QString& text, double x, double y, double limit,
                  double sp) {
    QString rest = text;
    while (!rest.isEmpty()) {
        QString line;
        // A line ends with the first character that makes it reach the limit; a limit of
        // zero or less still lets one character in, so the loop always ends.
        do {
            const qsizetype n = FirstCharLength(rest);
            line += rest.left(n);
            rest.remove(0, n);
        } while (!rest.isEmpty() && printer.TextWidth(line) < limit);
        if (!PrintSpaced(printer, line, x, y, sp)) return false;
        y = y + printer.TextHeight(QStringLiteral("钟"));
    }
    return true;
}

bool PrintAmountInBoxes(PrintDevice& printer, const QString& text, double x, double y,
                        double widthMm) {
    QString digits = text;
    digits.remove(u'.');
    digits.remove(u',');
    double right = x + MmToTwips(widthMm);
    const double box = MmToTwips(widthMm / kAmountBoxes);
    const QStringList chars = Characters(digits);
    for (auto it = chars.crbegin(); it != chars.crend(); ++it) {
        right = right - box;
        printer.SetCurrentX(RoundHalfEven(right));
        printer.SetCurrentY(RoundHalfEven(y));
        const double w = printer.TextWidth(*it);
        printer.SetCurrentX(printer.CurrentX() + (box - w) / 2);
        if (!printer.Print(*it)) return false;
    }
    return true;
}

PageResult PrintVoucher(const AppContext& ctx, const VoucherPage& page, PrintDevice& printer) {
    store::Spacing spacing;
    QString name;
    if (!store::ReadSpacing(ctx, spacing, name, page.curFormat)) return PageResult::Skipped;
    for (int i = kFirstField; i <= kLastField; ++i) spacing[i] = MmToTwips(spacing[i]);

    const Offsets off = ReadOffsets(ctx);
    if (!printer.SetPaper(Paper::A4)) return PageResult::Skipped;

    const bool stubShown = page.CHK[1] == 1;
    const bool centred = page.CHK[2] == 1;
    const bool landscape = page.OP[1];
    if (stubShown && page.OP[0]) printer.SetPaper(Paper::A3);  // stays A4 when refused

    const auto fail = [&] {
        ctx.UserPrompt().Message(QStringLiteral("打印出错！"));
        printer.AbortDoc();
        return PageResult::Failed;
    };

    if (!printer.SetOrientation(landscape ? Orientation::Landscape : Orientation::Portrait))
        return fail();

    const double w = RoundHalfEven(LenientNumber(page.TT[1]));
    const double h = RoundHalfEven(LenientNumber(page.TT[2]));
    const double s = RoundHalfEven(LenientNumber(page.TT[3]));
    // A zero height or an empty picture leaves no scale to convert the screen back with.
    const double k = page.picHeight / h;
    const double r = w / page.picWidth;
    if (!std::isfinite(k) || k == 0 || !std::isfinite(r)) return fail();

    const int last = stubShown ? kLastField : kLastVoucherField;
    for (int i = kFirstField; i <= last; ++i) {
        const FieldOnScreen& f = page.fields[i];
        const double left = f.left / k;
        const double top = f.top / k;
        double x = 0;
        double y = 0;
        if (landscape) {
            // The paper lies across: the X margin moves the print up, the Y margin left.
            x = left - off.y;
            y = top - off.x + (kFeedWidthMm - h);
            if (centred) y = y - (kFeedWidthMm - h) / 2;
        } else {
            x = left - off.x;
            y = top - off.y;
            // With the stub hidden the screen starts at the voucher part, W − S wide.
            if (centred) x = x + (stubShown ? kFeedWidthMm - w : kFeedWidthMm - w + s) / 2;
        }
        x = MmToTwips(x);
        y = MmToTwips(y);

        if (!printer.SetFont(FontOf(f))) return fail();
        const double limit = RoundHalfEven(MmToTwips(f.width * r));

        bool ok = true;
        if (f.caption == AmountCaption())
            ok = PrintAmountInBoxes(printer, f.text, x, y, f.width / k);
        else if (!f.text.isEmpty())
            ok = PrintWrapped(printer, f.text, x, y, limit, spacing[i]);
        if (!ok) return fail();
    }

    if (!printer.EndDoc()) return fail();
    return PageResult::Printed;
}

}  // namespace tf::print
