#include "gui/print/preview.h"

#include <QGraphicsView>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <memory>

#include "print/check.h"
#include "print/layout.h"
#include "print/qt_printer.h"

namespace tf::print {

namespace {

// Light enough to read the texts over it.
const QColor kFormColour(160, 160, 160);
const QColor kBoxColour(150, 190, 255);
constexpr qint32 kOverflowBgr = 0x0000FF;  // red as 0x00BBGGRR

// Outlines the form and the boxes, and turns overflowing texts red.
bool MarkUp(LaidOutPage& laid, QtPrinter& device) {
    const QList<int> overflowing = OverflowingFields(CheckPage(laid));
    if (!device.Frame(laid.form, kFormColour)) return false;
    for (PlacedField& f : laid.fields) {
        if (!device.Frame(f.box, kBoxColour)) return false;
        if (overflowing.contains(f.field)) f.font.color = kOverflowBgr;
    }
    return true;
}

bool IsPreviewing(QPrinter* printer) {
    const QPaintEngine* engine = printer->paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}

// A preview of the pages with a page setup read before; every redraw lays them out afresh
// with the preview printer's metrics.
QPrintPreviewDialog* CreatePreview(const AppContext& ctx, const std::optional<PageSetup>& setup,
                                   const QList<VoucherPage>& pages, QWidget* parent) {
    auto* dialog = new QPrintPreviewDialog(parent);
    dialog->setObjectName(QStringLiteral("PrintPreview"));
    dialog->setWindowTitle(QStringLiteral("打印预览"));
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, dialog,
                     [ctx, setup, pages](QPrinter* printer) {
                         QtPrinter device(printer);
                         const LaidOutJob job = LayoutJob(setup, pages, device);
                         // The preview's own print button prints the pages without marks:
                         // only the preview draws through a picture engine. Drawing is quick
                         // here; no progress window is shown.
                         if (IsPreviewing(printer))
                             PrintLaidOut(ctx, job, device,
                                          [&](LaidOutPage& laid) { return MarkUp(laid, device); });
                         else
                             PrintLaidOut(ctx, job, device);
                     });
    return dialog;
}

}  // namespace

QPrintPreviewDialog* CreatePrintPreview(const AppContext& ctx, const QList<VoucherPage>& pages,
                                        QWidget* parent) {
    if (pages.isEmpty()) return CreatePreview(ctx, std::nullopt, pages, parent);
    return CreatePreview(ctx, ReadPageSetup(ctx, pages.constFirst().format), pages, parent);
}

QPrintPreviewDialog* CreatePrintPreview(const AppContext& ctx, const VoucherPage& page,
                                        QWidget* parent) {
    return CreatePrintPreview(ctx, QList<VoucherPage>{page}, parent);
}

void ZoomToForm(QPrintPreviewDialog* dialog, const std::optional<PageSetup>& setup,
                const VoucherPage& page) {
    auto* preview = dialog->findChild<QPrintPreviewWidget*>();
    if (!preview || !setup) return;
    QPrinter measuring(QPrinter::HighResolution);
    measuring.setOutputFormat(QPrinter::PdfFormat);
    QtPrinter device(&measuring);
    LaidOutPage laid;
    if (!LayoutVoucher(page, *setup, device, laid)) return;
    const QRectF form = laid.form.intersected(QRectF(QPointF(0, 0), laid.paperSize));
    if (form.isEmpty()) return;
    preview->fitToWidth();
    const qreal pageZoom = preview->zoomFactor();
    // A little room around the form.
    preview->setZoomFactor(pageZoom * laid.paperSize.width() / form.width() * 0.92);
    if (auto* view = preview->findChild<QGraphicsView*>()) {
        const auto scrollTo = [](QScrollBar* bar, double fraction) {
            const int span = bar->maximum() - bar->minimum() + bar->pageStep();
            bar->setValue(bar->minimum() + static_cast<int>(span * fraction));
        };
        scrollTo(view->horizontalScrollBar(),
                 std::max(0.0, form.left() / laid.paperSize.width() - 0.01));
        scrollTo(view->verticalScrollBar(),
                 std::max(0.0, form.top() / laid.paperSize.height() - 0.01));
    }
}

void ShowPrintPreview(const AppContext& ctx, const QList<VoucherPage>& pages, QWidget* parent,
                      const QList<int>& numbers) {
    if (pages.isEmpty()) return;
    const std::optional<PageSetup> setup = ReadPageSetup(ctx, pages.constFirst().format);
    {
        QPrinter measuring(QPrinter::HighResolution);
        measuring.setOutputFormat(QPrinter::PdfFormat);
        QtPrinter device(&measuring);
        if (!ConfirmFit(ctx, LayoutJob(setup, pages, device), numbers)) return;
    }
    std::unique_ptr<QPrintPreviewDialog> dialog(CreatePreview(ctx, setup, pages, parent));
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        dialog->resize(area.width() * 4 / 5, area.height() * 9 / 10);
        dialog->move(area.center() - dialog->rect().center());
    }
    // Zoomed once the dialog has laid out its view.
    const VoucherPage first = pages.constFirst();
    QMetaObject::invokeMethod(
        dialog.get(), [d = dialog.get(), setup, first] { ZoomToForm(d, setup, first); },
        Qt::QueuedConnection);
    dialog->exec();
}

void ShowPrintPreview(const AppContext& ctx, const VoucherPage& page, QWidget* parent) {
    ShowPrintPreview(ctx, QList<VoucherPage>{page}, parent);
}

}  // namespace tf::print
