#pragma once

#include <QList>
#include <optional>

#include "common/app_context.h"
#include "common/fields.h"
#include "common/prompt.h"
#include "print/layout.h"
#include "print/page.h"

// Printing many vouchers as one job: one voucher per page, each page laid out exactly as a
// single print of the same voucher.

namespace tf::print {

struct BatchVoucher {
    VoucherPage page;  // its texts are kept as the print record
    int number = 0;    // the record's number in the list, for messages
};

// Prints the pages one after another into one document, reporting each page to the
// progress seam. Spacing and offsets are those of the first page's format, read once; every
// page shares its paper and orientation. Skipped and Failed as for a single voucher.
PageResult PrintPages(const AppContext& ctx, const QList<VoucherPage>& pages, PrintDevice& printer,
                      const PageHook& hook = {});

// The batch job: every page laid out once and checked, the printer dialog once, the same
// pages printed, then the question "是否保存打印记录？" and on Yes every voucher stored as its
// own print record, under the free seconds up to now, in one transaction. nullopt when the
// clerk stopped at the check or cancelled the dialog.
std::optional<PageResult> PrintBatch(const AppContext& ctx, const QList<BatchVoucher>& batch,
                                     PrintTarget& target, PrintDevice& printer);

}  // namespace tf::print
