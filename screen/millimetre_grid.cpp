#include "screen/millimetre_grid.h"

#include <QPainter>
#include <cmath>

#include "common/rounding.h"

namespace tf {

std::optional<MillimetreGrid> MillimetreGridGeometry(double picWidth, double picHeight, double H) {
    if (!(H > 0) || !std::isfinite(H) || !(picHeight > 0) || !std::isfinite(picWidth))
        return std::nullopt;
    MillimetreGrid g;
    g.step = RoundHalfEvenInt32(picHeight / H);
    g.nx = RoundHalfEvenInt32(picWidth / picHeight * H + 5);
    g.ny = RoundHalfEvenInt32(H + 5);
    for (int x = 0; x <= g.nx; x += 2)
        g.lines.push_back({double(g.step) * x, 0, double(g.step) * x, picHeight, x % 10 == 0});
    for (int y = 0; y <= g.ny; y += 2)
        g.lines.push_back({0, double(g.step) * y, picWidth, double(g.step) * y, y % 10 == 0});
    for (int i = 2; i <= g.nx; i += 2)
        if (i % 20 == 0) g.labels.push_back({double(g.step) * i - 40, 20, QString::number(i / 10)});
    for (int i = 2; i <= g.ny; i += 2)
        if (i % 20 == 0) g.labels.push_back({20, double(g.step) * i - 80, QString::number(i / 10)});
    return g;
}

void DrawMillimetreGrid(QImage& canvas, const MillimetreGrid& grid, double twipsPerPixel,
                        QFont labelFont, const QColor& textColour) {
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.scale(1 / twipsPerPixel, 1 / twipsPerPixel);
    for (const MillimetreGridLine& l : grid.lines) {
        p.setPen(QPen(l.major ? kMillimetreGridMajorColour : kMillimetreGridMinorColour,
                      0));  // one pixel wide
        p.drawLine(QLineF(l.x1, l.y1, l.x2, l.y2));
    }
    // Text is placed in pixels, so the font keeps its point size.
    p.resetTransform();
    labelFont.setPointSizeF(kMillimetreGridLabelPoints);
    p.setFont(labelFont);
    p.setPen(textColour);
    for (const MillimetreGridLabel& l : grid.labels) {
        const QPointF at(l.x / twipsPerPixel, l.y / twipsPerPixel);
        p.drawText(QRectF(at, QSizeF(canvas.width(), canvas.height())),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, l.text);
    }
}

void DrawBox(QImage& canvas, double x1, double y1, double x2, double y2, const QColor& colour,
             double twipsPerPixel) {
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.scale(1 / twipsPerPixel, 1 / twipsPerPixel);
    p.setPen(QPen(colour, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
}

}  // namespace tf
