#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "common/app_context.h"
#include "common/field_format.h"
#include "common/fields.h"
#include "common/voucher_layout.h"
#include "print/printer.h"
#include "store/formats.h"

// One voucher page: every field at its format position, shifted by the printer offsets,
// in its font and character spacing.

namespace tf::print {

// Millimetres to printer twips, with the inch-per-millimetre factor the forms were made with.
inline double MmToTwips(double mm) {
    return mm * 0.03937 * 1440;
}

// A voucher as printing takes it: the texts, the voucher's layout and every field's layout
// in millimetres as the format in use holds them, and that format's name (its character
// spacing applies).
struct VoucherPage {
    FieldTexts texts;
    VoucherLayout layout;
    FieldFormats fields;
    QString format;
};

// The page of the texts in the format the settings hold.
VoucherPage PageOf(const store::VoucherSettings& settings, const FieldTexts& texts);

enum class PageResult {
    Printed,  // the page was ended and sent
    Skipped,  // spacing, offsets or paper could not be set up; nothing printed, nothing said
    Failed,   // the printer failed; "打印出错！" was shown and the page was thrown away
};

struct LaidOutPage;
struct LaidOutJob;

// Runs on every laid-out page before its fields are drawn (a preview marks it up); false
// fails the print.
using PageHook = std::function<bool(LaidOutPage&)>;

// Prints the pages of a job laid out before into one document, one page each, on the job's
// paper and orientation: Skipped when the job has no page setup or the paper cannot be set,
// Failed (and "打印出错！" shown) when a page could not be laid out or the printer fails. With
// showProgress every page is reported to the progress seam.
PageResult PrintLaidOut(const AppContext& ctx, const LaidOutJob& job, PrintDevice& printer,
                        const PageHook& hook = {}, bool showProgress = false);

// Prints one voucher on one page and ends the document: the spacing of the page's format and
// the offsets are read once, the page laid out with the printer's metrics and drawn.
PageResult PrintVoucher(const AppContext& ctx, const VoucherPage& page, PrintDevice& printer);

}  // namespace tf::print
