#include "print/layout.h"

#include <cmath>

#include "amount/number.h"
#include "common/rounding.h"
#include "print/page.h"
#include "store/spacing.h"

namespace tf::print {

namespace {

constexpr int kAmountBoxes = 11;
// The paper width the voucher is centred on when the feeder closes in on the centre, also
// used on A3.
constexpr double kFeedWidthMm = 210;
constexpr double kTwipsPerMm = 1440 / 25.4;

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

}  // namespace

QSizeF PaperSize(Paper paper, Orientation orientation) {
    const QSizeF mm = paper == Paper::A3 ? QSizeF(297, 420) : QSizeF(210, 297);
    const QSizeF upright(mm.width() * kTwipsPerMm, mm.height() * kTwipsPerMm);
    return orientation == Orientation::Landscape ? upright.transposed() : upright;
}

std::optional<PageSetup> ReadPageSetup(const AppContext& ctx, const QString& format) {
    store::Spacing spacing;
    QString name;
    if (!store::ReadSpacing(ctx, spacing, name, format)) return std::nullopt;
    PageSetup setup;
    for (int i = kFirstField; i <= kLastField; ++i) setup.spacing[i] = MmToTwips(spacing[i]);
    setup.offsets = ReadOffsets(ctx);
    return setup;
}

void LaySpaced(PrintDevice& measure, const QString& text, double x, double y, double sp,
               QList<PlacedRun>& runs) {
    for (const QString& c : Characters(text)) {
        const double w = measure.TextWidth(c);
        runs.append({c, x, y, w, measure.TextHeight(c)});
        x = x + w + sp;
    }
}

void LayWrapped(PrintDevice& measure, const QString& text, double x, double y, double limit,
                double sp, QList<PlacedRun>& runs) {
    QString rest = text;
    while (!rest.isEmpty()) {
        QString line;
        // A line ends with the first character that makes it reach the limit; a limit of
        // zero or less still lets one character in, so the loop always ends.
        do {
            const qsizetype n = FirstCharLength(rest);
            line += rest.left(n);
            rest.remove(0, n);
        } while (!rest.isEmpty() && measure.TextWidth(line) < limit);
        LaySpaced(measure, line, x, y, sp, runs);
        y = y + measure.TextHeight(QStringLiteral("钟"));
    }
}

int LayAmountInBoxes(PrintDevice& measure, const QString& text, double x, double y, double widthMm,
                     QList<PlacedRun>& runs) {
    QString digits = text;
    digits.remove(u'.');
    digits.remove(u',');
    double right = x + MmToTwips(widthMm);
    const double box = MmToTwips(widthMm / kAmountBoxes);
    const QStringList chars = Characters(digits);
    for (auto it = chars.crbegin(); it != chars.crend(); ++it) {
        right = right - box;
        const double w = measure.TextWidth(*it);
        runs.append({*it, RoundHalfEven(right) + (box - w) / 2, RoundHalfEven(y), w,
                     measure.TextHeight(*it)});
    }
    return static_cast<int>(chars.size());
}

bool DrawRuns(const QList<PlacedRun>& runs, PrintDevice& printer) {
    for (const PlacedRun& run : runs) {
        printer.SetCurrentX(run.x);
        printer.SetCurrentY(run.y);
        if (!printer.Print(run.text)) return false;
    }
    return true;
}

bool LayoutVoucher(const VoucherPage& page, const PageSetup& setup, PrintDevice& measure,
                   LaidOutPage& out) {
    const bool stubShown = page.CHK[1] == 1;
    const bool centred = page.CHK[2] == 1;
    const bool landscape = page.OP[1];
    out = {};
    out.paper = stubShown && page.OP[0] ? Paper::A3 : Paper::A4;
    out.orientation = landscape ? Orientation::Landscape : Orientation::Portrait;
    out.paperSize = PaperSize(out.paper, out.orientation);

    const double w = RoundHalfEven(LenientNumber(page.TT[1]));
    const double h = RoundHalfEven(LenientNumber(page.TT[2]));
    const double s = RoundHalfEven(LenientNumber(page.TT[3]));
    // A zero height or an empty picture leaves no scale to convert the screen back with.
    const double k = page.picHeight / h;
    const double r = w / page.picWidth;
    if (!std::isfinite(k) || k == 0 || !std::isfinite(r)) return false;

    const Offsets& off = setup.offsets;
    // Page position in mm of a point of the form given in mm.
    const auto place = [&](double left, double top) {
        if (landscape) {
            // The paper lies across: the X margin moves the print up, the Y margin left.
            double y = top - off.x + (kFeedWidthMm - h);
            if (centred) y = y - (kFeedWidthMm - h) / 2;
            return QPointF(left - off.y, y);
        }
        double x = left - off.x;
        // With the stub hidden the screen starts at the voucher part, W − S wide.
        if (centred) x = x + (stubShown ? kFeedWidthMm - w : kFeedWidthMm - w + s) / 2;
        return QPointF(x, top - off.y);
    };
    const QPointF origin = place(0, 0);
    out.form = QRectF(MmToTwips(origin.x()), MmToTwips(origin.y()),
                      MmToTwips(stubShown ? w : w - s), MmToTwips(h));

    const int last = stubShown ? kLastField : kLastVoucherField;
    for (int i = kFirstField; i <= last; ++i) {
        const FieldOnScreen& f = page.fields[i];
        const QPointF at = place(f.left / k, f.top / k);
        const double x = MmToTwips(at.x());
        const double y = MmToTwips(at.y());

        PlacedField placed;
        placed.field = i;
        placed.caption = f.caption;
        placed.font = f.font;
        placed.box = QRectF(x, y, MmToTwips(f.width / k), MmToTwips(f.height / k));
        if (!measure.SetFont(placed.font)) return false;
        placed.lineHeight = measure.TextHeight(QStringLiteral("钟"));
        const double limit = RoundHalfEven(MmToTwips(f.width * r));

        if (f.caption == AmountCaption()) {
            placed.amount = true;
            placed.amountChars = LayAmountInBoxes(measure, f.text, x, y, f.width / k, placed.runs);
        } else if (!f.text.isEmpty()) {
            LayWrapped(measure, f.text, x, y, limit, setup.spacing[i], placed.runs);
        }
        out.fields.append(placed);
    }
    return true;
}

bool DrawFields(const LaidOutPage& page, PrintDevice& printer) {
    for (const PlacedField& f : page.fields) {
        if (!printer.SetFont(f.font)) return false;
        if (!DrawRuns(f.runs, printer)) return false;
    }
    return true;
}

}  // namespace tf::print
