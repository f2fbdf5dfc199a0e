#pragma once

#include <QString>

#include "common/field_font.h"

// The printer as the print job sees it: paper, orientation, a font, a current position and
// text and box output, all in twips (1440 per inch) from the top-left corner of the paper.
// The current position is the top-left corner of the next text cell. Operations that can
// fail return false.

namespace tf::print {

// Paper codes as the voucher forms know them.
enum class Paper { A3 = 8, A4 = 9 };
enum class Orientation { Portrait = 1, Landscape = 2 };

class PrintDevice {
public:
    virtual ~PrintDevice() = default;

    virtual bool SetPaper(Paper paper) = 0;
    virtual bool SetOrientation(Orientation orientation) = 0;
    virtual bool SetFont(const FieldFont& font) = 0;

    // Extent of a text in the current font, twips.
    virtual double TextWidth(const QString& text) = 0;
    virtual double TextHeight(const QString& text) = 0;

    double CurrentX() const { return currentX_; }
    double CurrentY() const { return currentY_; }
    void SetCurrentX(double x) { currentX_ = x; }
    void SetCurrentY(double y) { currentY_ = y; }

    // Prints the text at the current position without a line break; the current X then
    // stands at the end of the text.
    bool Print(const QString& text);
    // A black rectangle between two corners.
    virtual bool FilledBox(double x1, double y1, double x2, double y2) = 0;
    // Ends the page and starts the next one of the same document.
    virtual bool NewPage() = 0;
    // Ends the document: the page goes to the printer.
    virtual bool EndDoc() = 0;
    // Throws away a page that failed half-way, so the next job starts on a fresh page.
    virtual void AbortDoc() = 0;

protected:
    virtual bool DrawText(const QString& text, double x, double y) = 0;

private:
    double currentX_ = 0;
    double currentY_ = 0;
};

}  // namespace tf::print
