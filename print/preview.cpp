#include "print/preview.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>
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
    // Large enough to read the field texts on the page at once.
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        dialog->resize(area.width() * 4 / 5, area.height() * 9 / 10);
        dialog->move(area.center() - dialog->rect().center());
    }
    dialog->exec();
}

}  // namespace tf::print
