#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "common/app_context.h"
#include "common/fields.h"
#include "gui/editor/voucher_picture.h"
#include "print/page.h"
#include "screen/arrange.h"
#include "store/formats.h"

class QAction;
class QLabel;
class QMenu;

namespace tf {

class OverflowHint;
namespace gui {
class QuickFillPopup;
}
namespace store {
struct Suggestion;
}

// The voucher picture with its 32 fields and their captions, the title and the stub line:
// the clerk types the texts here and edits the layout with the mouse, the arrow keys and each
// field's font menu. The layout is the format's field table (millimetres, fonts), which the
// editor shows and writes back; the window around it owns the format and tells the editor
// where the picture stands.
class VoucherEditor : public PicBox {
    Q_OBJECT
public:
    VoucherEditor(AppContext& ctx, store::VoucherSettings& settings, QWidget* parent);
    ~VoucherEditor() override;

    // The title's size on the picture, twips.
    static constexpr double kTitleWidth = 4695;
    static constexpr double kTitleHeight = 375;

    // The fields and their captions, by role, and the texts of all fields.
    QLineEdit* Field(FieldRole role) const { return fields_[role]; }
    QLabel* FieldLabel(FieldRole role) const { return captions_[role]; }
    QLabel* Title() const { return title_; }
    QFrame* StubLine() const { return stubLine_; }
    FieldTexts Texts() const;
    void SetTexts(const FieldTexts& texts);

    // Twips geometry behind the widgets (the widgets are placed by rounding to pixels).
    const FieldPlacement& Placement() const { return placement_; }
    FieldPlacement& Placement() { return placement_; }
    // Takes the arrangement of the picture in the window: its size, the stub line and the
    // title; then draws the grid and places every field from the format.
    void Arrange(const ArrangeResult& arrangement);
    const std::optional<ArrangeResult>& Arrangement() const { return arrangement_; }
    // Places every field and caption from the format.
    void ApplyLayout();
    // Reads every field's geometry and font from the screen into the format.
    void CaptureLayout();
    // Puts every field and caption widget where the twips table says.
    void PlaceFieldWidgets();
    // The reference grid, drawn for a form of heightMm when shown.
    void SetGrid(bool shown, double heightMm);
    // Clears the picture and draws the reference grid when it is shown.
    void NetLine();
    // What is drawn on the picture, below the fields.
    const QImage& PicCanvas() const { return Canvas(); }

    // Selection and layout editing. Pointer positions are twips inside the picture.
    void Pic_MouseDown(Qt::MouseButton button, double x, double y);
    void Pic_MouseMove(Qt::MouseButtons buttons, double x, double y);
    void Pic_MouseUp(Qt::MouseButton button, double x, double y);
    // A rubber band is being dragged on the picture.
    bool Dragging() const { return dragging_; }
    void StopDragging() { dragging_ = false; }
    // Give every selected field back its own background and unselect it.
    void ClearSelection();
    // Act on every selected field (field < 0) or on field `field` when it is selected.
    void MoveSelected(double dx, double dy, int field = -1);
    void ResizeSelected(double dw, double dh, int field = -1);
    void ChangeSelectedFontSize(double step, int field = -1);
    // An arrow key pressed or released anywhere in the window: moves, sizes or scales the
    // selection; the release writes the layout back.
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void KeyUp(int key, Qt::KeyboardModifiers modifiers);

    // A press on a field; the right button opens the field's font menu at globalPos.
    void FieldPressed(int field, Qt::MouseButton button, const QPoint& globalPos);
    // The popup menu of a field, its items shown as they are for that field.
    QMenu* FontMenu(int field);
    // The menu's items: the font and colour of a field, and its character spacing.
    void ChangeFieldFont(int field);
    void EditFieldSpacing(int field);
    // The field whose font menu was opened last; 0 before any.
    int MenuField() const { return menuField_; }

    // Marks the fields whose texts would not fit their boxes on paper; the page to check
    // comes from `page`.
    void ShowOverflow(std::function<print::VoucherPage()> page);
    OverflowHint* Hint() const { return hint_.get(); }

    // Puts quick fill's list under every field that offers entries from the history. Called
    // once the window has installed its own filters on the fields, so the lists see the keys
    // first.
    void SetUpQuickFill();
    // Turned off, no field shows a list.
    void SetQuickFillActive(bool active);
    // The list under a field; null for a field without one.
    gui::QuickFillPopup* QuickFill(FieldRole role) const { return popups_[role]; }

    static QString DragTip() {
        return QStringLiteral(
            "提示：按住鼠标拖动（别松开），可以选中控件，并调整其位置、大小及字体大小！");
    }
    static QString SelectedTip() {
        return QStringLiteral(
            "Mavrel提示：箭头键->移动位置，Shift+箭头键->改变控件大小，Ctrl+箭头键->"
            "改变字体大小！");
    }

signals:
    // A field's text changed, typed or set.
    void contentChanged();
    // The layout on screen was written back into the format.
    void layoutChanged();
    // The clerk left a field (not for a popup or another program), or quick fill filled it.
    void fieldLeft(int field);
    // The tip for the clerk changed.
    void tipChanged(const QString& tip);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void BuildFields();
    // The picture's size in twips, as the arrangement gave it.
    double PicWidth() const;
    double PicHeight() const;
    void DrawBand(const QColor& colour);
    // An entry was accepted in `field`: for a full name, the account and bank it was used
    // with are filled; each field filled is left as if the clerk had typed it.
    void QuickFillAccepted(int field, const store::Suggestion& entry);

    AppContext& ctx_;
    store::VoucherSettings& settings_;
    FieldTable<FieldEdit*> fields_{};
    FieldTable<QLabel*> captions_{};
    QLabel* title_ = nullptr;
    QFrame* stubLine_ = nullptr;
    FieldPlacement placement_;
    std::optional<ArrangeResult> arrangement_;
    bool gridShown_ = false;
    double gridHeightMm_ = 0;
    bool dragging_ = false;
    qint32 dragX0_ = 0, dragY0_ = 0, dragX1_ = 0, dragY1_ = 0;
    int menuField_ = 0;
    QMenu* fontMenu_ = nullptr;
    QAction* fontStyle_ = nullptr;
    QAction* modiSpace_ = nullptr;
    std::unique_ptr<OverflowHint> hint_;
    FieldTable<gui::QuickFillPopup*> popups_{};
    // What quick fill last put into each field; a field still holding it is replaced by the
    // next accepted party without a question.
    FieldTexts filled_;
};

}  // namespace tf
