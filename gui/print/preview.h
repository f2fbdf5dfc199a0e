#pragma once

#include <QList>
#include <QPrintPreviewDialog>

#include "common/app_context.h"
#include "print/layout.h"
#include "print/page.h"

namespace tf::print {

// A preview dialog whose pages are laid out and drawn exactly as they print (the same
// spacing, offsets, paper and orientation), with the form's outline and every field's box
// drawn lightly underneath and overflowing texts in red: marks the paper never gets. The
// pages are copied, so the dialog stays valid after the caller's voucher changes.
QPrintPreviewDialog* CreatePrintPreview(const AppContext& ctx, const QList<VoucherPage>& pages,
                                        QWidget* parent = nullptr);
QPrintPreviewDialog* CreatePrintPreview(const AppContext& ctx, const VoucherPage& page,
                                        QWidget* parent = nullptr);

// Checks the pages, then shows the preview zoomed to the form and returns when it is
// closed; printing from it prints the same pages. numbers name the records of a batch in
// the check's message.
void ShowPrintPreview(const AppContext& ctx, const QList<VoucherPage>& pages,
                      QWidget* parent = nullptr, const QList<int>& numbers = {});
void ShowPrintPreview(const AppContext& ctx, const VoucherPage& page, QWidget* parent = nullptr);

// Zooms an open preview so that the form fills its width and scrolls to it.
void ZoomToForm(QPrintPreviewDialog* dialog, const std::optional<PageSetup>& setup,
                const VoucherPage& page);

}  // namespace tf::print
