#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

#include "common/app_context.h"
#include "common/fields.h"
#include "print/printer.h"
#include "print/settings.h"

// A voucher page laid out before it is drawn: every character where the printer will put
// it, measured with the printer's own font metrics, and every field's box on the paper. The
// page is drawn from this list, and checked from it before anything is printed.

namespace tf::print {

struct VoucherPage;

// One printed text cell: its top-left corner and extent in twips on the paper.
struct PlacedRun {
    QString text;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

struct PlacedField {
    int field = 0;
    QString caption;
    FieldFont font;
    QRectF box;  // the field's box on the paper, twips
    bool amount = false;
    int amountChars = 0;  // characters the amount puts into its boxes
    double lineHeight = 0;
    QList<PlacedRun> runs;
};

struct LaidOutPage {
    Paper paper = Paper::A4;
    Orientation orientation = Orientation::Portrait;
    QSizeF paperSize;  // twips, as the orientation turns the sheet
    QRectF form;       // the voucher form (the part shown on screen) on the paper, twips
    QList<PlacedField> fields;
};

// What a page needs from the store besides the voucher: spacing of the format in use (twips)
// and the printer offsets (mm).
struct PageSetup {
    FieldTable<double> spacing{};
    Offsets offsets;
};

// Reads the spacing of the named format and the offsets; nullopt when the spacing cannot be
// read.
std::optional<PageSetup> ReadPageSetup(const AppContext& ctx, const QString& format);

// Lays the voucher out as the printer will print it, measuring with `measure` (which gets
// each field's font set). False when a font is refused or the page has no usable scale.
bool LayoutVoucher(const VoucherPage& page, const PageSetup& setup, PrintDevice& measure,
                   LaidOutPage& out);

// The runs of one field, measured with `measure` in its current font.
// Characters one after another from (x, y), each where the previous ended plus sp twips.
void LaySpaced(PrintDevice& measure, const QString& text, double x, double y, double sp,
               QList<PlacedRun>& runs);
// Lines no wider than limit twips from (x, y) downwards, each the height of "钟" below the
// previous; every line takes at least one character.
void LayWrapped(PrintDevice& measure, const QString& text, double x, double y, double limit,
                double sp, QList<PlacedRun>& runs);
// An amount in the 11 equal boxes of a field widthMm wide from x: the last character in the
// rightmost box, each centred in its box, "." and "," left out. Returns the character count.
int LayAmountInBoxes(PrintDevice& measure, const QString& text, double x, double y, double widthMm,
                     QList<PlacedRun>& runs);
// Prints runs at their places.
bool DrawRuns(const QList<PlacedRun>& runs, PrintDevice& printer);

// Draws every placed field on the printer; false when the printer fails.
bool DrawFields(const LaidOutPage& page, PrintDevice& printer);

// The paper's extent in twips.
QSizeF PaperSize(Paper paper, Orientation orientation);

}  // namespace tf::print
