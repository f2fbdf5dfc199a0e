#include "print/qt_printer.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <cmath>

#include "common/colour.h"

namespace tf::print {

namespace {

constexpr double kTwipsPerInch = 1440;
constexpr double kTwipsPerPoint = 20;

}  // namespace

QtPrinter::QtPrinter()
    : own_(std::make_unique<QPrinter>(QPrinter::HighResolution)), printer_(own_.get()) {
    Prepare();
}

QtPrinter::QtPrinter(QPrinter* printer) : printer_(printer) {
    Prepare();
}

QtPrinter::~QtPrinter() {
    AbortDoc();
}

void QtPrinter::AbortDoc() {
    // A page that failed half-way is thrown away rather than sent as a half-filled form.
    if (painter_.isActive()) {
        printer_->abort();
        painter_.end();
    }
    begun_ = false;
    FinishPdf(false);
}

bool QtPrinter::FinishPdf(bool complete) {
    if (!pdf_) return complete;
    printer_->setOutputFileName(pdf_->Target());
    const bool ok = complete && pdf_->Commit();
    pdf_.reset();  // an unfinished document is removed
    return ok;
}

void QtPrinter::Prepare() {
    printer_->setFullPage(true);
    printer_->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    font_ = ToQFont(FieldFont{});
    UseFont();
}

void QtPrinter::UseFont() {
    // Metrics made afresh for every character measured cost more than the drawing itself.
    std::shared_ptr<Measure>& m =
        measures_[font_.key() + u'@' + QString::number(printer_->logicalDpiY())];
    if (!m) m = std::make_shared<Measure>(Measure{QFontMetricsF(font_, printer_), {}});
    measure_ = m.get();
    painterFontSet_ = false;
}

QFont QtPrinter::ToQFont(const FieldFont& f) {
    QFont font(f.family);
    // Under the twips scale one pixel is one twip.
    font.setPixelSize(std::max(1, int(std::lround(f.size * kTwipsPerPoint))));
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeout);
    // Unhinted outlines keep widths proportional to the size, as the twips expect.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

bool QtPrinter::Begin() {
    if (begun_) return painter_.isActive();
    begun_ = true;
    if (printer_->outputFormat() == QPrinter::PdfFormat && !printer_->outputFileName().isEmpty()) {
        pdf_ = std::make_unique<PdfFile>(printer_->outputFileName());
        if (!pdf_->Open()) return FinishPdf(false);
        printer_->setOutputFileName(pdf_->TempPath());
    }
    if (!painter_.begin(printer_)) return FinishPdf(false);
    painterFontSet_ = false;
    painter_.scale(printer_->logicalDpiX() / kTwipsPerInch,
                   printer_->logicalDpiY() / kTwipsPerInch);
    return true;
}

bool QtPrinter::SetPaper(Paper paper) {
    if (begun_) return painter_.isActive();  // a page in progress keeps its paper
    return printer_->setPageSize(QPageSize(paper == Paper::A3 ? QPageSize::A3 : QPageSize::A4));
}

bool QtPrinter::SetOrientation(Orientation orientation) {
    if (begun_) return painter_.isActive();
    return printer_->setPageOrientation(
        orientation == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

bool QtPrinter::SetFont(const FieldFont& font) {
    if (begun_ && !painter_.isActive()) return false;
    font_ = ToQFont(font);
    UseFont();
    color_ = ColourFromBgr(font.color);
    return true;
}

double QtPrinter::TextWidth(const QString& text) {
    constexpr qsizetype kKeptWidths = 4096;
    const auto known = measure_->widths.constFind(text);
    if (known != measure_->widths.constEnd()) return *known;
    const double width = measure_->metrics.horizontalAdvance(text);
    if (measure_->widths.size() < kKeptWidths) measure_->widths.insert(text, width);
    return width;
}

double QtPrinter::TextHeight(const QString&) {
    return measure_->metrics.height();
}

bool QtPrinter::DrawText(const QString& text, double x, double y) {
    if (!Begin()) return false;
    if (!painterFontSet_) {
        painter_.setFont(font_);
        if (pdf_) pdf_->Text().SetFont(font_);
        painterFontSet_ = true;
    }
    painter_.setPen(color_);
    if (pdf_) pdf_->Text().Note(text);
    // drawText places the baseline; the current position is the top of the text cell.
    painter_.drawText(QPointF(x, y + measure_->metrics.ascent()), text);
    return painter_.isActive();
}

bool QtPrinter::FilledBox(double x1, double y1, double x2, double y2) {
    if (!Begin()) return false;
    painter_.fillRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized(), Qt::black);
    return painter_.isActive();
}

bool QtPrinter::NewPage() {
    if (!Begin()) return false;
    return printer_->newPage();
}

bool QtPrinter::Frame(const QRectF& rect, const QColor& colour) {
    if (!Begin()) return false;
    QPen pen(colour);
    pen.setCosmetic(true);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(rect);
    return painter_.isActive();
}

bool QtPrinter::EndDoc() {
    // An empty page is still a page.
    if (!Begin()) return false;
    const bool ok = painter_.end();
    begun_ = false;
    return FinishPdf(ok);
}

}  // namespace tf::print
