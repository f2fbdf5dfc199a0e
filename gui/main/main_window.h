#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "common/app_context.h"
#include "common/fields.h"
#include "gui/main/main_window_ui.h"
#include "print/page.h"
#include "print/print_target.h"
#include "print/printer.h"
#include "screen/arrange.h"
#include "store/formats.h"

class QAction;
class QCheckBox;
class QMenu;
class QFrame;
class QImage;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace tf {

namespace print {
class QtPrinter;
}
class OverflowHint;

// The main window: the voucher picture with its 32 fields, the tab control with the
// buttons and print settings, and the tip line. It lives for the whole run; closing it
// stores the voucher text, offers to keep the layout as the default format and ends the
// program.
class MF : public QWidget {
    Q_OBJECT
public:
    explicit MF(AppContext& ctx, QWidget* parent = nullptr);
    ~MF() override;

    static QString Caption() { return QStringLiteral("银行Tallyform2.11"); }

    // Controls, by the index they carry in the form.
    QLineEdit* T(int i) const { return ui_.T[i]; }
    QLabel* L(int i) const { return i == 0 ? ui_.title : ui_.L[i]; }
    QLineEdit* TT(int i) const { return ui_.tt[static_cast<size_t>(i)]; }
    QCheckBox* CHK(int i) const { return ui_.chk[static_cast<size_t>(i)]; }
    QRadioButton* OP(int i) const { return ui_.op[static_cast<size_t>(i)]; }
    QPushButton* Cm(int i) const { return ui_.cm[static_cast<size_t>(i)]; }
    QWidget* Pic() const;
    QFrame* Lin(int) const { return ui_.lin; }
    QTabWidget* SST() const { return ui_.sst; }
    QLabel* LBL() const { return ui_.lbl; }
    QLabel* CurFormat() const { return ui_.curFormat; }

    // Handlers shared by the controls of one kind.
    void Cm_Click(int index);
    void T_LostFocus(int i);
    void TT_GotFocus(int i);
    void TT_LostFocus(int i);
    void CHK_Click(int index);
    void Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void Form_KeyUp(int key, Qt::KeyboardModifiers modifiers);

    // Layout editing on the picture. Pointer positions are twips inside Pic.
    void Pic_MouseDown(Qt::MouseButton button, double x, double y);
    void Pic_MouseMove(Qt::MouseButtons buttons, double x, double y);
    void Pic_MouseUp(Qt::MouseButton button, double x, double y);
    // A press on field i; the right button opens the font menu at globalPos.
    void T_MouseDown(int i, Qt::MouseButton button, const QPoint& globalPos);

    // Give every selected field back its own background and unselect it.
    void ClearSelection();
    // Act on every selected field (field < 0) or on field `field` when it is selected.
    void MoveSelected(double dx, double dy, int field = -1);
    void ResizeSelected(double dw, double dh, int field = -1);
    void ChangeSelectedFontSize(double step, int field = -1);

    // The popup menu of field i, its items shown as they are for that field.
    QMenu* FontMenu(int i);
    // The menu's items, acting on MenuField.
    void FontStyle_Click();
    void mModiSpace_Click();

    // Clears the picture and draws the reference grid when CHK(0) is checked.
    void NetLine();
    // What is drawn on the picture, below the fields.
    const QImage& PicCanvas() const;

    static QString DragTip() {
        return QStringLiteral(
            "提示：按住鼠标拖动（别松开），可以选中控件，并调整其位置、大小及字体大小！");
    }
    static QString SelectedTip() {
        return QStringLiteral(
            "Mavrel提示：箭头键->移动位置，Shift+箭头键->改变控件大小，Ctrl+箭头键->"
            "改变字体大小！");
    }
    // Sizes the window to the screen and the voucher dimensions, then places every field.
    void ArrangeWindow();
    // Places every field and caption from FieldFormats.
    void ApplyLayout();
    // Reads every field's geometry and font from the screen into FieldFormats.
    void CaptureLayout();

    // The voucher settings and the layout in use; widgets and struct are synchronised at
    // loading and saving.
    store::VoucherSettings& Settings() { return settings_; }
    tf::FieldFormats& FieldFormats() { return settings_.fieldFormats; }
    void SettingsFromWidgets();
    void WidgetsFromSettings();

    FieldTexts Texts() const;
    void SetTexts(const FieldTexts& texts);

    // Twips geometry behind the widgets (the widgets are placed by rounding to pixels).
    const FieldPlacement& Placement() const { return placement_; }
    FieldPlacement& Placement() { return placement_; }
    const std::optional<ArrangeResult>& Arrangement() const { return arrangement_; }
    // Puts every field and caption widget where the twips table says.
    void PlaceFieldWidgets();

    // The help page beside the program; empty when it is missing.
    static QString HelpPagePath();

    // The voucher as it stands on screen, ready for the print job.
    print::VoucherPage CurrentPage();
    // Prints on another target and device (tests record the page instead of printing it).
    void UsePrinter(print::PrintTarget* target, print::PrintDevice* device);
    // The button beside "打      印" that shows the page before it is printed.
    QPushButton* PreviewButton() const { return ui_.preview; }
    void Preview_Click();

    // The printer in use: the one the printer dialog set up, or the one given for tests.
    print::PrintTarget& Target();
    print::PrintDevice& Device();

    // Marks the fields whose texts would not fit their boxes on paper.
    OverflowHint* Hint() const { return hint_.get(); }

    // The desktop session ends or the program is told to stop: the voucher text is kept as
    // at a normal close, without asking anything, and the closing that follows asks nothing.
    void EndSession();

    bool ContentChanged = false;
    bool Dragging = false;
    qint32 DragX0 = 0, DragY0 = 0, DragX1 = 0, DragY1 = 0;
    qint16 MenuField = 0;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Connects the controls to their handlers and watches their events.
    void WireControls();
    // The keyboard shortcuts of the buttons, shown in their tooltips.
    void WireShortcuts();
    // A shortcut acts as a click on its button: the box being edited is left first, so its
    // rules run, and gets the focus back afterwards.
    void Shortcut_Activated(QPushButton* button);
    void Form_Load();
    void Form_Unload();
    void OpenHelp(const QString& fragment);
    // The warning that the amount's highest digits were cut, when one is waiting.
    void ShowPendingWarning();
    void ShowCurrentFormat();
    void WatchKeys(QWidget* w);
    store::FormatHooks Hooks();
    // Pic's size in twips, as the arrangement gave it.
    double PicWidth() const;
    double PicHeight() const;
    void DrawBand(const QColor& colour);

    AppContext& ctx_;
    store::VoucherSettings settings_;
    FieldPlacement placement_;
    std::optional<ArrangeResult> arrangement_;
    std::array<QString, 4> ttPrevious_;
    bool unloaded_ = false;
    bool cutWarningPending_ = false;

    MainWindowUi ui_;
    QMenu* fontMenu_ = nullptr;
    QAction* fontStyle_ = nullptr;
    QAction* modiSpace_ = nullptr;
    // One printer for the whole run, so the choices of the printer dialog are kept.
    std::unique_ptr<print::QtPrinter> printer_;
    print::PrintTarget* target_ = nullptr;
    print::PrintDevice* device_ = nullptr;
    std::unique_ptr<OverflowHint> hint_;
};

}  // namespace tf
