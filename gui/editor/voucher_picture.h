#pragma once

#include <QFrame>
#include <QImage>
#include <QLineEdit>

// The widgets of the voucher picture that paint themselves.

namespace tf {

// The voucher picture. What is drawn on it lives in a canvas that stays until the next
// clearing; painting only shows the canvas under the frame and the child widgets.
class PicBox : public QFrame {
public:
    explicit PicBox(QWidget* parent) : QFrame(parent) {}

    const QImage& Canvas() const { return canvas_; }
    QImage& Canvas() { return canvas_; }

    // A clean canvas of the picture's present size in its background colour, with the
    // screen's device pixel ratio.
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage canvas_;
};

// A voucher field: a flat box with a thin border, as on the form, so that even small
// heights show their text. Its colours come from the palette (Base, Text).
class FieldEdit : public QLineEdit {
    Q_OBJECT
public:
    FieldEdit(int field, QWidget* parent) : QLineEdit(parent), field_(field) { setFrame(false); }

    // The field's number.
    int Field() const { return field_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int field_;
};

}  // namespace tf
