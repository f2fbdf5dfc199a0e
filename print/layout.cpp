#include "print/layout.h"

#include <cmath>

#include "common/rounding.h"
#include "store/spacing.h"

namespace tf::print {

namespace {

// The paper width the voucher is centred on when the feeder closes in on the centre, also
// used on A3.
constexpr double kFeedWidthMm = 210;
constexpr double kTwipsPerMm = 1440 / 25.4;

// The length of the character at i: 2 for a surrogate pair, else 1.
qsizetype CharLengthAt(const QString& text, qsizetype i) {
    return i + 1 < text.size() && text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate()
               ? 2
               : 1;
}

// The characters of text from `from` up to `to` one after another from (x, y), each where the
// previous ended plus sp twips.
void LaySpaced(PrintDevice& measure, const QString& text, qsizetype from, qsizetype to, double x,
               double y, double sp, QList<PlacedRun>& runs) {
    for (qsizetype i = from; i < to;) {
        const qsizetype n = CharLengthAt(text, i);
        const QString c = text.mid(i, n);
        const double w = measure.TextWidth(c);
        runs.append(
            {static_cast<qint32>(i), static_cast<qint32>(n), x, y, w, measure.TextHeight(c)});
        x = x + w + sp;
        i += n;
    }
}

// Lines no wider than limit twips from (x, y) downwards, each the height of "钟" below the
// previous; every line takes at least one character.
void LayWrapped(PrintDevice& measure, const QString& text, double x, double y, double limit,
                double sp, QList<PlacedRun>& runs) {
    for (qsizetype start = 0; start < text.size();) {
        // A line ends with the first character that makes it reach the limit; a limit of
        // zero or less still lets one character in, so the loop always ends.
        qsizetype end = start;
        do {
            end += CharLengthAt(text, end);
        } while (end < text.size() && measure.TextWidth(text.mid(start, end - start)) < limit);
        LaySpaced(measure, text, start, end, x, y, sp, runs);
        y = y + measure.TextHeight(QStringLiteral("钟"));
        start = end;
    }
}

// An amount's characters in the equal boxes of a field widthMm wide from x: the last
// character in the rightmost box, each centred in its box. Returns the character count.
int LayAmountInBoxes(PrintDevice& measure, const QString& digits, double x, double y,
                     double widthMm, QList<PlacedRun>& runs) {
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < digits.size(); i += CharLengthAt(digits, i)) starts.append(i);
    double right = x + MmToTwips(widthMm);
    const double box = MmToTwips(widthMm / kAmountBoxes);
    for (auto it = starts.crbegin(); it != starts.crend(); ++it) {
        right = right - box;
        const QString c = digits.mid(*it, CharLengthAt(digits, *it));
        const double w = measure.TextWidth(c);
        runs.append({static_cast<qint32>(*it), static_cast<qint32>(c.size()),
                     RoundHalfEven(right) + (box - w) / 2, RoundHalfEven(y), w,
                     measure.TextHeight(c)});
    }
    return static_cast<int>(starts.size());
}

// Prints a field's runs at their places.
bool DrawRuns(const PlacedField& field, PrintDevice& printer) {
    for (const PlacedRun& run : field.runs) {
        printer.SetCurrentX(run.x);
        printer.SetCurrentY(run.y);
        if (!printer.Print(field.text.mid(run.from, run.length))) return false;
    }
    return true;
}

}  // namespace

QSizeF PaperSize(Paper paper, Orientation orientation) {
    const QSizeF mm = paper == Paper::A3 ? QSizeF(297, 420) : QSizeF(210, 297);
    const QSizeF upright(mm.width() * kTwipsPerMm, mm.height() * kTwipsPerMm);
    return orientation == Orientation::Landscape ? upright.transposed() : upright;
}

std::optional<PageSetup> ReadPageSetup(const AppContext& ctx, const QString& format) {
    ++*ctx.pageSetupReads;
    store::Spacing spacing;
    QString name;
    if (!store::ReadSpacing(ctx, spacing, name, format)) return std::nullopt;
    PageSetup setup;
    for (int i = kFirstField; i <= kLastField; ++i) setup.spacing[i] = MmToTwips(spacing[i]);
    setup.offsets = ReadOffsets(ctx);
    return setup;
}

Paper PaperOf(const VoucherLayout& layout) {
    return layout.printStub && layout.portrait ? Paper::A3 : Paper::A4;
}

Orientation OrientationOf(const VoucherLayout& layout) {
    return layout.landscape ? Orientation::Landscape : Orientation::Portrait;
}

bool LayoutVoucher(const VoucherPage& page, const PageSetup& setup, PrintDevice& measure,
                   LaidOutPage& out) {
    const VoucherLayout& v = page.layout;
    out = {};
    out.paper = PaperOf(v);
    out.orientation = OrientationOf(v);
    out.paperSize = PaperSize(out.paper, out.orientation);
    const bool landscape = out.orientation == Orientation::Landscape;

    // The printer takes the form's dimensions as whole millimetres, and the fields, measured
    // against the form's height, scale with it.
    const double w = RoundHalfEven(v.formWidthMm);
    const double h = RoundHalfEven(v.formHeightMm);
    const double s = RoundHalfEven(v.stubWidthMm);
    const double scale = h / v.formHeightMm;
    // A line may run as far as its field is wide measured across the part of the form that
    // is shown, taken as the whole form's width: with the stub hidden, further than the field.
    const double lineStretch = w / (v.printStub ? v.formWidthMm : v.formWidthMm - v.stubWidthMm);
    if (!std::isfinite(scale) || scale == 0 || !std::isfinite(lineStretch)) return false;

    const Offsets& off = setup.offsets;
    // Page position in mm of a point of the form given in mm.
    const auto place = [&](double left, double top) {
        if (landscape) {
            // The paper lies across: the X margin moves the print up, the Y margin left.
            double y = top - off.x + (kFeedWidthMm - h);
            if (v.centreOnFeeder) y = y - (kFeedWidthMm - h) / 2;
            return QPointF(left - off.y, y);
        }
        double x = left - off.x;
        // With the stub hidden the form starts at the voucher part, W − S wide.
        if (v.centreOnFeeder) x = x + (v.printStub ? kFeedWidthMm - w : kFeedWidthMm - w + s) / 2;
        return QPointF(x, top - off.y);
    };
    const QPointF origin = place(0, 0);
    out.form = QRectF(MmToTwips(origin.x()), MmToTwips(origin.y()),
                      MmToTwips(v.printStub ? w : w - s), MmToTwips(h));

    // Positions count from the stub's left edge; without the stub, from the voucher part's.
    const double shift = v.printStub ? 0 : v.stubWidthMm;
    const int last = v.printStub ? kLastField : kLastVoucherField;
    for (int i = kFirstField; i <= last; ++i) {
        const FieldFormat& f = page.fields[i];
        const QPointF at = place((f.X - shift) * scale, f.Y * scale);
        const double x = MmToTwips(at.x());
        const double y = MmToTwips(at.y());

        PlacedField placed;
        placed.field = i;
        placed.caption = FieldCaption(i);
        placed.text = page.texts[i];
        placed.font = f.font;
        placed.box = QRectF(x, y, MmToTwips(f.W * scale), MmToTwips(f.H * scale));
        if (!measure.SetFont(placed.font)) return false;
        placed.lineHeight = measure.TextHeight(QStringLiteral("钟"));
        const double limit = RoundHalfEven(MmToTwips(f.W * lineStretch));

        if (IsAmountInFigures(i)) {
            // Only the digits and the currency sign go into the boxes.
            placed.amount = true;
            placed.text.remove(u'.');
            placed.text.remove(u',');
            placed.amountChars =
                LayAmountInBoxes(measure, placed.text, x, y, f.W * scale, placed.runs);
        } else {
            LayWrapped(measure, placed.text, x, y, limit, setup.spacing[i], placed.runs);
        }
        placed.runs.squeeze();  // a job keeps its pages until they are printed
        out.fields.append(placed);
    }
    return true;
}

LaidOutJob LayoutJob(const std::optional<PageSetup>& setup, const QList<VoucherPage>& pages,
                     PrintDevice& measure) {
    LaidOutJob job;
    job.ready = setup.has_value();
    if (!pages.isEmpty()) {
        job.paper = PaperOf(pages.constFirst().layout);
        job.orientation = OrientationOf(pages.constFirst().layout);
    }
    if (!setup) return job;
    for (const VoucherPage& page : pages) {
        LaidOutPage laid;
        if (LayoutVoucher(page, *setup, measure, laid))
            job.pages.append(std::move(laid));
        else
            job.pages.append(std::nullopt);
    }
    return job;
}

bool DrawFields(const LaidOutPage& page, PrintDevice& printer) {
    for (const PlacedField& f : page.fields) {
        if (!printer.SetFont(f.font)) return false;
        if (!DrawRuns(f, printer)) return false;
    }
    return true;
}

}  // namespace tf::print
