#include "app/voucher_picture.h"

#include <QPainter>

#include "common/window_utils.h"

namespace tf {

void PicBox::Clear() {
    const qreal dpm = 1440.0 / TwipsPerPixel() / 0.0254;
    canvas_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
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
