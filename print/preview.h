#pragma once

#include <QPrintPreviewDialog>

#include "common/app_context.h"
#include "print/page.h"

namespace tf::print {

// A preview dialog whose page is drawn by PrintVoucher on the preview's printer: the same
// spacing, offsets, paper and orientation as a print of the same voucher. The page is copied,
// so the dialog stays valid after the caller's voucher changes.
QPrintPreviewDialog* CreatePrintPreview(const AppContext& ctx, const VoucherPage& page,
                                        QWidget* parent = nullptr);

// Shows the preview and returns when it is closed; printing from it prints the same page.
void ShowPrintPreview(const AppContext& ctx, const VoucherPage& page, QWidget* parent = nullptr);

}  // namespace tf::print
