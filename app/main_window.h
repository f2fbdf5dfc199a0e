#pragma once

#include <QWidget>
#include <array>

#include "app/arrange.h"
#include "common/app_context.h"
#include "common/fields.h"
#include "store/formats.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace tf {

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
    QLineEdit* T(int i) const { return t_[i]; }
    QLabel* L(int i) const { return i == 0 ? title_ : l_[i]; }
    QLineEdit* TT(int i) const { return tt_[static_cast<size_t>(i)]; }
    QCheckBox* CHK(int i) const { return chk_[static_cast<size_t>(i)]; }
    QRadioButton* OP(int i) const { return op_[static_cast<size_t>(i)]; }
    QPushButton* Cm(int i) const { return cm_[static_cast<size_t>(i)]; }
    QWidget* Pic() const { return pic_; }
    QFrame* Lin(int) const { return lin_; }
    QTabWidget* SST() const { return sst_; }
    QLabel* LBL() const { return lbl_; }
    QLabel* CurFormat() const { return curFormat_; }

    // Handlers shared by the controls of one kind.
    void Cm_Click(int index);
    void T_LostFocus(int i);
    void TT_GotFocus(int i);
    void TT_LostFocus(int i);
    void CHK_Click(int index);
    void Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void Form_KeyUp(int key, Qt::KeyboardModifiers modifiers);

    void ClearSelection();
    // Sizes the window to the screen and the voucher dimensions, then places every field.
    void ArrangeWindow();
    // Places every field and caption from FieldFormats.
    void ApplyLayout();
    // Reads every field's geometry and font from the screen into FieldFormats.
    void CaptureLayout();

    // The voucher settings and the layout in use; widgets and struct are synchronised at
    // loading and saving.
    store::VoucherSettings& Settings() { return settings_; }
    store::FieldFormats& FieldFormats() { return settings_.fieldFormats; }
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

    bool ContentChanged = false;
    bool Dragging = false;
    int MenuField = 0;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildPrintTab(QWidget* page);
    void BuildSettingsTab(QWidget* page);
    void SetTabOrder();
    void Form_Load();
    void Form_Unload();
    void OpenHelp(const QString& fragment);
    void ShowCurrentFormat();
    void WatchKeys(QWidget* w);
    store::FormatHooks Hooks();

    AppContext& ctx_;
    store::VoucherSettings settings_;
    FieldPlacement placement_;
    std::optional<ArrangeResult> arrangement_;
    std::array<QString, 4> ttPrevious_;
    bool unloaded_ = false;

    FieldTable<QLineEdit*> t_{};
    FieldTable<QLabel*> l_{};
    QLabel* title_ = nullptr;
    QFrame* lin_ = nullptr;
    QWidget* pic_ = nullptr;
    QTabWidget* sst_ = nullptr;
    std::array<QPushButton*, 11> cm_{};
    std::array<QLineEdit*, 4> tt_{};
    std::array<QLabel*, 4> label2_{};
    std::array<QCheckBox*, 3> chk_{};
    std::array<QRadioButton*, 2> op_{};
    QLabel* label1_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* curFormat_ = nullptr;
    QLabel* lbl_ = nullptr;
};

}  // namespace tf
