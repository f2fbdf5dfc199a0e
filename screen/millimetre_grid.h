#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <optional>
#include <vector>

// The reference millimetre grid behind the voucher fields: one line every 2 mm, a darker one every
// centimetre, and the centimetre numbers every 2 cm along the top and the left. Geometry is
// in twips inside the picture, origin at its top-left corner.

namespace tf {

const QColor kMillimetreGridMajorColour(200, 200, 200);
const QColor kMillimetreGridMinorColour(230, 230, 230);
constexpr double kMillimetreGridLabelPoints = 9;

struct MillimetreGridLine {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool major = false;
    friend bool operator==(const MillimetreGridLine&, const MillimetreGridLine&) = default;
};

struct MillimetreGridLabel {
    double x = 0;  // top-left corner of the text
    double y = 0;
    QString text;
    friend bool operator==(const MillimetreGridLabel&, const MillimetreGridLabel&) = default;
};

struct MillimetreGrid {
    int step = 0;                             // twips per millimetre on screen
    int nx = 0;                               // millimetres covered across, 5 to spare
    int ny = 0;                               // and down
    std::vector<MillimetreGridLine> lines;    // vertical lines first, then horizontal ones
    std::vector<MillimetreGridLabel> labels;  // top labels first, then left ones
};

// The grid for a picture of the given size standing for a form formHeightMm high. Empty when
// the height gives no scale (not positive, or not a finite number).
std::optional<MillimetreGrid> MillimetreGridGeometry(double picWidth, double picHeight,
                                                     double formHeightMm);

// Draws the lines in their colours and the labels in the font and colour given (its size is
// set to 9 points) onto the canvas, twipsPerPixel twips to a pixel. The canvas's dots per
// metre decide how large 9 points are.
void DrawMillimetreGrid(QImage& canvas, const MillimetreGrid& grid, double twipsPerPixel,
                        QFont labelFont, const QColor& textColour);

// Draws an unfilled box between two corners, twips, in one colour and one pixel wide.
void DrawBox(QImage& canvas, double x1, double y1, double x2, double y2, const QColor& colour,
             double twipsPerPixel);

}  // namespace tf
