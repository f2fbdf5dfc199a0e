#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

#include "common/app_context.h"
#include "common/fields.h"
#include "print/page.h"
#include "print/printer.h"
#include "store/settings.h"

// A voucher page laid out before it is drawn: every character where the printer will put
// it, measured with the printer's own font metrics, and every field's box on the paper. The
// page is checked from this list before anything is printed, and then drawn from it.

namespace tf::print {

// The amount in figures is printed into this many equal boxes.
constexpr int kAmountBoxes = 11;

// One printed text cell: its characters in its field's text, its top-left corner and its
// extent in twips on the paper.
struct PlacedRun {
    qint32 from = 0;
    qint32 length = 0;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

struct PlacedField {
    int field = 0;
    QString caption;
    QString text;  // what the runs print: the field's text, the amount without "." and ","
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
// read. A print job calls this once, whatever the number of its pages.
std::optional<PageSetup> ReadPageSetup(const AppContext& ctx, const QString& format);

// The paper and the orientation a voucher is printed on.
Paper PaperOf(const VoucherLayout& layout);
Orientation OrientationOf(const VoucherLayout& layout);

// Lays the voucher out as the printer will print it, measuring with `measure` (which gets
// each field's font set). False when a font is refused or the form's size gives no scale.
bool LayoutVoucher(const VoucherPage& page, const PageSetup& setup, PrintDevice& measure,
                   LaidOutPage& out);

// The pages of one print job, laid out once: the check before printing reads them, and the
// printing draws them.
struct LaidOutJob {
    bool ready = false;  // the page setup was read; without it nothing is printed
    // Of the first page; every page of a job shares them.
    Paper paper = Paper::A4;
    Orientation orientation = Orientation::Portrait;
    QList<std::optional<LaidOutPage>> pages;  // nullopt: the page could not be laid out
};
LaidOutJob LayoutJob(const std::optional<PageSetup>& setup, const QList<VoucherPage>& pages,
                     PrintDevice& measure);

// Draws every placed field on the printer; false when the printer fails.
bool DrawFields(const LaidOutPage& page, PrintDevice& printer);

// The paper's extent in twips.
QSizeF PaperSize(Paper paper, Orientation orientation);

}  // namespace tf::print
