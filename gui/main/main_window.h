#pragma once

#include <QHash>
#include <QWidget>
#include <memory>

#include "common/app_context.h"
#include "common/fields.h"
#include "gui/history/voucher_host.h"
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
class MF : public QWidget, public VoucherHost {
    Q_OBJECT
public:
    explicit MF(AppContext& ctx, QWidget* parent = nullptr);
    ~MF() override;

    static QString Caption() { return QStringLiteral("银行Tallyform2.11"); }

    // The voucher fields and their captions, by role.
    QLineEdit* Field(FieldRole role) const { return ui_.fields[role]; }
    QLabel* FieldLabel(FieldRole role) const { return ui_.captions[role]; }
    QLabel* Title() const { return ui_.title; }
    QWidget* Pic() const;
    QFrame* StubLine() const { return ui_.stubLine; }
    QTabWidget* SST() const { return ui_.tabs; }
    QLabel* LBL() const { return ui_.tip; }
    QLabel* CurFormat() const { return ui_.curFormat; }
    // The commands, each shown by a button.
    const MainWindowActions& Actions() const { return ui_.actions; }

    // A field was left: the amount rules and the copy onto the stub.
    void FieldLeft(int field);
    void Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void Form_KeyUp(int key, Qt::KeyboardModifiers modifiers);

    // Layout editing on the picture. Pointer positions are twips inside Pic.
    void Pic_MouseDown(Qt::MouseButton button, double x, double y);
    void Pic_MouseMove(Qt::MouseButtons buttons, double x, double y);
    void Pic_MouseUp(Qt::MouseButton button, double x, double y);
    // A press on a field; the right button opens the field's font menu at globalPos.
    void FieldPressed(int field, Qt::MouseButton button, const QPoint& globalPos);

    // Give every selected field back its own background and unselect it.
    void ClearSelection();
    // Act on every selected field (field < 0) or on field `field` when it is selected.
    void MoveSelected(double dx, double dy, int field = -1);
    void ResizeSelected(double dw, double dh, int field = -1);
    void ChangeSelectedFontSize(double step, int field = -1);

    // The popup menu of a field, its items shown as they are for that field.
    QMenu* FontMenu(int field);
    // The menu's items: the font and colour of a field, and its character spacing.
    void ChangeFieldFont(int field);
    void EditFieldSpacing(int field);
    // The field whose font menu was opened last; 0 before any.
    int MenuField() const { return menuField_; }

    // Clears the picture and draws the reference grid when "显示基准网格" is checked.
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

    FieldTexts Texts() const override;
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
    print::VoucherPage CurrentPage() override;
    QString CurrencySign() const override;
    void TakeText(int field, const QString& text) override;
    QWidget* HostWindow() override { return this; }
    // Prints on another target and device (tests record the page instead of printing it).
    void UsePrinter(print::PrintTarget* target, print::PrintDevice* device);

    // The printer in use: the one the printer dialog set up, or the one given for tests.
    print::PrintTarget& Target() override;
    print::PrintDevice& Device() override;

    // Marks the fields whose texts would not fit their boxes on paper.
    OverflowHint* Hint() const { return hint_.get(); }

    // The desktop session ends or the program is told to stop: the voucher text is kept as
    // at a normal close, without asking anything, and the closing that follows asks nothing.
    void EndSession();

    // The voucher texts changed since they were last printed; set by every change of a field.
    bool ContentChanged() const { return contentChanged_; }
    void SetContentChanged(bool changed) { contentChanged_ = changed; }
    // A rubber band is being dragged on the picture.
    bool Dragging() const { return dragging_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Connects the controls and actions to their handlers and watches the controls' events.
    void WireControls();
    // The action runs `command` as a click on its button would: the box being edited is left
    // first, so its rules run, the selection is cleared and a waiting warning is shown; the
    // box gets the focus back afterwards.
    void Command(QAction* action, void (MF::*command)());
    // The commands.
    void PrintVoucher();
    void PreviewVoucher();
    void OpenHistory();
    void LoadFormat();
    void SaveFormat();
    void DeleteFormat();
    void CalibratePrinter();
    void ShowHelp();
    void ShowContact();
    void Exit();
    // An option of the settings tab was clicked.
    void OptionClicked(const QCheckBox* option);
    // A settings box was entered or left: the dimension and currency sign rules.
    void SettingEntered(QLineEdit* box);
    void SettingLeft(QLineEdit* box);
    bool IsSettingBox(const QObject* o) const;
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
    // A settings box's text as it was entered, given back when its new text is refused.
    QHash<const QLineEdit*, QString> settingBefore_;
    bool contentChanged_ = false;
    bool dragging_ = false;
    qint32 dragX0_ = 0, dragY0_ = 0, dragX1_ = 0, dragY1_ = 0;
    int menuField_ = 0;
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
