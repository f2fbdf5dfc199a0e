#include "gui/editor/voucher_picture.h"

#include <QPainter>

#include "gui/window_utils.h"

namespace tf {

void PicBox::Clear() {
    const qreal dpm = 1440.0 / TwipsPerPixel() / 0.0254;
    // On a high-DPI screen the canvas has one pixel per device pixel, so the grid and the
    // band stay sharp; drawing on it is still in the picture's own (logical) pixels.
    const qreal ratio = devicePixelRatioF();
    canvas_ =
        QImage((QSizeF(size()) * ratio).toSize().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    canvas_.setDevicePixelRatio(ratio);
    canvas_.setDotsPerMeterX(qRound(dpm));
    canvas_.setDotsPerMeterY(qRound(dpm));
    canvas_.fill(palette().color(QPalette::Window));
    update();
}

void PicBox::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.drawImage(0, 0, canvas_);
    }
    QFrame::paintEvent(event);
}

void FieldEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QColor(127, 127, 127));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tf
