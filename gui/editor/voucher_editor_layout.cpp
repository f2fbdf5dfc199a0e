#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "common/colour.h"
#include "common/prompt.h"
#include "gui/editor/font_menu.h"
#include "gui/editor/voucher_editor.h"
#include "gui/window_utils.h"
#include "screen/layout_edit.h"
#include "screen/millimetre_grid.h"
#include "store/spacing.h"

// Layout editing on the voucher picture: the rubber band that selects fields, the arrow keys
// that move, size and scale them, and the font menu of a field.

namespace tf {

namespace {

// A selected field keeps its own background colour here, as decimal 0x00BBGGRR text.
const char* const kTagProperty = "tag";

void SetBackground(QLineEdit* edit, const QColor& c) {
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, c);
    edit->setPalette(p);
}

// The shift state of an arrow key: 0 none, 1 Shift, 2 Ctrl; -1 for any other combination.
int ShiftState(Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers m = modifiers & ~Qt::KeypadModifier;
    if (m == Qt::NoModifier) return 0;
    if (m == Qt::ShiftModifier) return 1;
    if (m == Qt::ControlModifier) return 2;
    return -1;
}

// The direction of an arrow key; false for any other key.
bool ArrowDirection(int key, int& dx, int& dy) {
    dx = dy = 0;
    switch (key) {
        case Qt::Key_Left:
            dx = -1;
            return true;
        case Qt::Key_Up:
            dy = -1;
            return true;
        case Qt::Key_Right:
            dx = 1;
            return true;
        case Qt::Key_Down:
            dy = 1;
            return true;
        default:
            return false;
    }
}

}  // namespace

void VoucherEditor::DrawBand(const QColor& colour) {
    DrawBox(Canvas(), dragX0_, dragY0_, dragX1_, dragY1_, colour, TwipsPerPixel());
    update();
}

void VoucherEditor::Pic_MouseDown(Qt::MouseButton button, double x, double y) {
    if (button == Qt::LeftButton) {
        emit tipChanged(DragTip());
        dragX0_ = dragX1_ = RoundHalfEvenInt32(x);
        dragY0_ = dragY1_ = RoundHalfEvenInt32(y);
        dragging_ = true;
    }
    ClearSelection();
}

void VoucherEditor::Pic_MouseMove(Qt::MouseButtons buttons, double x, double y) {
    if ((buttons & Qt::RightButton) || !dragging_) return;
    const qint64 px = RoundHalfEvenInt32(x);
    const qint64 py = RoundHalfEvenInt32(y);
    // Small movements and a band under 500 twips either way are not drawn.
    const bool moved = std::abs(px - dragX1_) > 100 || std::abs(py - dragY1_) > 100;
    const bool large = std::abs(px - dragX0_) > 500 || std::abs(py - dragY0_) > 500;
    if (!moved || !large) return;
    DrawBand(Qt::white);  // wipes the band drawn before
    dragX1_ = static_cast<qint32>(px);
    dragY1_ = static_cast<qint32>(py);
    DrawBand(Qt::black);
}

void VoucherEditor::Pic_MouseUp(Qt::MouseButton button, double x, double y) {
    // A release without a band started here (a middle click) selects nothing.
    if (button == Qt::RightButton || !dragging_) return;
    dragX1_ = RoundHalfEvenInt32(x);
    dragY1_ = RoundHalfEvenInt32(y);
    dragging_ = false;
    DrawBand(Qt::white);
    for (int i = kFirstField; i <= kLastField; ++i) {
        if (!FieldTouchesRect(placement_[i].field, dragX0_, dragY0_, dragX1_, dragY1_)) continue;
        emit tipChanged(SelectedTip());
        FieldFormat& f = settings_.fieldFormats[i];
        if (!f.Selected) {
            fields_[i]->setProperty(
                kTagProperty,
                QString::number(BgrFromColour(fields_[i]->palette().color(QPalette::Base))));
            SetBackground(fields_[i], ColourFromBgr(kSelectionColour));
        }
        f.Selected = true;
    }
    // Repairs what the white wiping took from the grid.
    NetLine();
}

void VoucherEditor::ClearSelection() {
    for (int i = kFirstField; i <= kLastField; ++i) {
        FieldFormat& f = settings_.fieldFormats[i];
        // A loaded format brings its own flags; a field still showing the selection colour
        // goes back to its own background all the same.
        const QString tag = fields_[i]->property(kTagProperty).toString();
        if (!f.Selected && tag.isEmpty()) continue;
        if (!tag.isEmpty()) SetBackground(fields_[i], ColourFromBgr(tag.toInt()));
        fields_[i]->setProperty(kTagProperty, QVariant());
        f.Selected = false;
    }
}

void VoucherEditor::MoveSelected(double dx, double dy, int field) {
    tf::MoveSelected(placement_, SelectionOf(settings_.fieldFormats), {PicWidth(), PicHeight()}, dx,
                     dy, field);
    PlaceFieldWidgets();
}

void VoucherEditor::ResizeSelected(double dw, double dh, int field) {
    tf::ResizeSelected(placement_, SelectionOf(settings_.fieldFormats), {PicWidth(), PicHeight()},
                       dw, dh, field);
    PlaceFieldWidgets();
}

void VoucherEditor::ChangeSelectedFontSize(double step, int field) {
    FieldTable<double> sizes;
    for (int i = kFirstField; i <= kLastField; ++i) sizes[i] = fields_[i]->font().pointSizeF();
    const FieldTable<double> before = sizes;
    tf::ChangeSelectedFontSize(sizes, SelectionOf(settings_.fieldFormats), step, field);
    for (int i = kFirstField; i <= kLastField; ++i) {
        if (sizes[i] == before[i]) continue;
        QFont f = fields_[i]->font();
        f.setPointSizeF(sizes[i]);
        fields_[i]->setFont(f);
    }
}

void VoucherEditor::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    int dx = 0, dy = 0;
    if (!ArrowDirection(key, dx, dy)) return;
    switch (ShiftState(modifiers)) {
        case 0:
            MoveSelected(dx * kMoveStep, dy * kMoveStep);
            break;
        case 1:
            ResizeSelected(dx * kMoveStep, dy * kMoveStep);
            break;
        case 2:
            // Left and Up make the font smaller, Right and Down larger.
            ChangeSelectedFontSize((dx + dy) * kFontStep);
            break;
        default:
            break;
    }
}

void VoucherEditor::KeyUp(int key, Qt::KeyboardModifiers modifiers) {
    int dx = 0, dy = 0;
    if (ArrowDirection(key, dx, dy) && ShiftState(modifiers) >= 0) CaptureLayout();
}

QMenu* VoucherEditor::FontMenu(int field) {
    if (!fontMenu_) {
        fontMenu_ = new QMenu(QStringLiteral("FontStyle"), this);
        fontMenu_->setObjectName(QStringLiteral("FontMenu"));
        fontStyle_ = fontMenu_->addAction(QStringLiteral("修改字体/字号"));
        fontStyle_->setObjectName(QStringLiteral("FontStyle"));
        modiSpace_ = fontMenu_->addAction(QStringLiteral("修改字符间距"));
        modiSpace_->setObjectName(QStringLiteral("mModiSpace"));
    }
    // The amount in figures is printed digit by digit into its boxes: no spacing there.
    modiSpace_->setVisible(field != kAmountField);
    return fontMenu_;
}

void VoucherEditor::FieldPressed(int field, Qt::MouseButton button, const QPoint& globalPos) {
    if (button != Qt::RightButton || field < kFirstField || field > kLastField) return;
    menuField_ = field;
    QLineEdit* edit = fields_[field];
    // The field gives up the focus for the time of the menu without running its leave
    // rules, as for any popup, and gets it back afterwards.
    const bool hadFocus = edit->hasFocus();
    if (hadFocus) setFocus(Qt::PopupFocusReason);
    edit->setEnabled(false);
    QMenu* menu = FontMenu(field);
    QAction* chosen = menu->exec(globalPos);
    if (chosen == fontStyle_)
        ChangeFieldFont(field);
    else if (chosen == modiSpace_)
        EditFieldSpacing(field);
    CaptureLayout();
    edit->setEnabled(true);
    if (hadFocus) edit->setFocus(Qt::PopupFocusReason);
}

void VoucherEditor::ChangeFieldFont(int field) {
    if (field < kFirstField || field > kLastField) return;
    QLineEdit* edit = fields_[field];
    const FieldFont preset =
        FieldFontOf(edit->font(), BgrFromColour(edit->palette().color(QPalette::Text)));
    const auto choice = ctx_.UserPrompt().ChooseFont(preset);
    if (!choice) return;
    QFont f = edit->font();
    ApplyFieldFont(*choice, f);
    edit->setFont(f);
    QPalette p = edit->palette();
    p.setColor(QPalette::Text, ColourFromBgr(choice->color));
    edit->setPalette(p);
}

void VoucherEditor::EditFieldSpacing(int field) {
    if (field < kFirstField || field > kLastField) return;
    store::EditSpacing(ctx_, settings_.CurFormat, field);
}

}  // namespace tf
