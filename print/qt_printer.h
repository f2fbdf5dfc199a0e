#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPrinter>
#include <memory>

#include "print/pdf_file.h"
#include "print/print_target.h"
#include "print/printer.h"

namespace tf::print {

// The print device on a QPrinter: the whole sheet is the page (no driver margins), and the
// painter is scaled so that its coordinates are twips from the sheet's top-left corner.
// Fonts are sized in pixels under that scale (points × 20), and text is drawn with its cell's
// top-left corner at the current position. The painter starts with the first output, so the
// paper and orientation can be set until then; EndDoc ends it. A document printed to a PDF
// file replaces that file only once it is complete (see PdfFile).
class QtPrinter : public PrintDevice, public PrintTarget {
public:
    // Prints on a printer of its own.
    QtPrinter();
    // Prints on a printer owned by someone else (the preview's, or one kept across jobs).
    explicit QtPrinter(QPrinter* printer);
    ~QtPrinter() override;

    QPrinter* Printer() override { return printer_; }

    bool SetPaper(Paper paper) override;
    bool SetOrientation(Orientation orientation) override;
    bool SetFont(const FieldFont& font) override;
    double TextWidth(const QString& text) override;
    double TextHeight(const QString& text) override;
    bool FilledBox(double x1, double y1, double x2, double y2) override;
    bool NewPage() override;
    bool EndDoc() override;
    // A thin frame in a colour, for previews only.
    bool Frame(const QRectF& rect, const QColor& colour);
    void AbortDoc() override;

    // The QFont a printer font becomes.
    static QFont ToQFont(const FieldFont& font);

protected:
    bool DrawText(const QString& text, double x, double y) override;

private:
    void Prepare();
    bool Begin();
    // Makes font_ the font measured and drawn in.
    void UseFont();
    // Ends a document printed to a PDF file: the printer gets its file name back, and a
    // complete document takes the target's place.
    bool FinishPdf(bool complete);

    std::unique_ptr<QPrinter> own_;
    QPrinter* printer_ = nullptr;
    QPainter painter_;
    bool begun_ = false;
    QFont font_;
    // Measuring in one font on the printer: its metrics, made once, and the widths measured
    // so far (a batch prints the same bank names and captions on every page).
    struct Measure {
        QFontMetricsF metrics;
        QHash<QString, double> widths;
    };
    QHash<QString, std::shared_ptr<Measure>> measures_;  // by font and resolution
    Measure* measure_ = nullptr;                         // of font_
    bool painterFontSet_ = false;                        // the painter draws in font_ already
    QColor color_ = Qt::black;
    std::unique_ptr<PdfFile> pdf_;  // while a document goes to a PDF file
};

}  // namespace tf::print
