#include "print/preview.h"

#include <QPrinter>
#include <memory>

#include "print/qt_printer.h"

namespace tf::print {

QPrintPreviewDialog* CreatePrintPreview(const AppContext& ctx, const VoucherPage& page,
                                        QWidget* parent) {
    auto* dialog = new QPrintPreviewDialog(parent);
    dialog->setWindowTitle(QStringLiteral("打印预览"));
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, dialog,
                     [ctx, page](QPrinter* printer) {
                         QtPrinter device(printer);
                         PrintVoucher(ctx, page, device);
                     });
    return dialog;
}

void ShowPrintPreview(const AppContext& ctx, const VoucherPage& page, QWidget* parent) {
    std::unique_ptr<QPrintPreviewDialog> dialog(CreatePrintPreview(ctx, page, parent));
    dialog->exec();
}

}  // namespace tf::print
