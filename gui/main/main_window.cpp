#include "gui/main/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "amount/amount.h"
#include "amount/number.h"
#include "common/prompt.h"
#include "gui/editor/overflow_hint.h"
#include "gui/format/format_chooser.h"
#include "gui/history/history_link.h"
#include "gui/main/help_page.h"
#include "gui/print/collate_form.h"
#include "gui/print/preview.h"
#include "print/print_job.h"
#include "print/qt_printer.h"
#include "store/database.h"
#include "store/default_format.h"
#include "store/records.h"

// The main window's start-up and shut-down and the handlers of its buttons, options and
// boxes. The controls are built in main_window_ui.cpp, the layout editing on the picture
// lives in main_window_layout.cpp, the arrangement in main_window_arrange.cpp and the event
// routing in main_window_events.cpp.

namespace tf {

MF::MF(AppContext& ctx, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      settings_(store::DesignSettings()),
      placement_(DesignPlacement()) {
    setObjectName(QStringLiteral("MF"));
    setWindowTitle(Caption());
    ui_.SetupUi(this);
    PlaceFieldWidgets();
    WidgetsFromSettings();
    WireControls();
    Form_Load();
    hint_ = std::make_unique<OverflowHint>(ctx_, *this);
}

MF::~MF() = default;

// ---------------------------------------------------------------------------------------
// Start-up and shut-down

void MF::Form_Load() {
    store::Database(ctx_).EnsureTables();
    settings_.CurFormat = store::DefaultFormatName();
    ShowCurrentFormat();
    QString name = store::DefaultFormatName();
    store::LoadFormat(ctx_, name, settings_, Hooks());
    ShowCurrentFormat();

    FieldTexts texts = Texts();
    store::LoadCurrentText(ctx_, store::CurrentTextDate(), texts);
    SetTexts(texts);

    ui_.sst->setCurrentIndex(0);

    // Today's date overrides whatever the stored texts held, on the voucher and the stub.
    const QDate today = ctx_.now().date();
    const std::pair<FieldRole, int> date[] = {{FieldRole::Year, today.year()},
                                              {FieldRole::Month, today.month()},
                                              {FieldRole::Day, today.day()}};
    for (const auto& [role, value] : date) {
        const int field = FieldOf(role);
        T(field)->setText(QString::number(value));
        T(StubCopyOf(field))->setText(T(field)->text());
    }

    ArrangeWindow();
    ContentChanged = true;
    T(FieldOf(FieldRole::DrawerName))->setFocus();
}

void MF::Form_Unload() {
    const bool kept = store::StoreTexts(ctx_, store::CurrentTextDate(), Texts());
    // A damaged or read-only file refuses the format as it refused the text (the clerk has
    // been told why): there is nothing to offer.
    if (!kept && (ctx_.dataFile->damaged || !ctx_.canWrite(ctx_.DatabasePath()))) return;
    if (ctx_.UserPrompt().AskYesNo(QStringLiteral("是否保存当前格式为默认格式？"))) {
        SettingsFromWidgets();
        QString name = store::DefaultFormatName();
        store::SaveFormat(ctx_, name, settings_);
        ShowCurrentFormat();
    }
}

void MF::EndSession() {
    if (unloaded_) return;
    unloaded_ = true;
    store::StoreTexts(ctx_, store::CurrentTextDate(), Texts());
}

void MF::closeEvent(QCloseEvent* event) {
    // Closing cannot be cancelled, and the exit button and the close box end up here alike.
    if (!unloaded_) {
        unloaded_ = true;
        Form_Unload();
        // Every other window of the program closes with the main window.
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* w : windows)
            if (w != this && w->isVisible()) w->close();
    }
    event->accept();
}

// ---------------------------------------------------------------------------------------
// Settings and texts

void MF::SettingsFromWidgets() {
    VoucherLayout& v = settings_.layout;
    // The dimension boxes are read leniently: the number a text starts with, 0 for none.
    v.currencySign = TT(0)->text();
    v.formWidthMm = LenientNumber(TT(1)->text());
    v.formHeightMm = LenientNumber(TT(2)->text());
    v.stubWidthMm = LenientNumber(TT(3)->text());
    v.showGrid = CHK(0)->isChecked();
    v.printStub = CHK(1)->isChecked();
    v.centreOnFeeder = CHK(2)->isChecked();
    v.portrait = OP(0)->isChecked();
    v.landscape = OP(1)->isChecked();
}

void MF::WidgetsFromSettings() {
    const VoucherLayout& v = settings_.layout;
    TT(0)->setText(v.currencySign);
    TT(1)->setText(NumberText(v.formWidthMm));
    TT(2)->setText(NumberText(v.formHeightMm));
    TT(3)->setText(NumberText(v.stubWidthMm));
    CHK(0)->setChecked(v.showGrid);
    CHK(1)->setChecked(v.printStub);
    CHK(2)->setChecked(v.centreOnFeeder);
    // A stored format may hold both options cleared; show exactly what it holds.
    for (QRadioButton* op : ui_.op) op->setAutoExclusive(false);
    OP(0)->setChecked(v.portrait);
    OP(1)->setChecked(v.landscape);
    for (QRadioButton* op : ui_.op) op->setAutoExclusive(true);
}

FieldTexts MF::Texts() const {
    FieldTexts texts;
    for (int i = kFirstField; i <= kLastField; ++i) texts[i] = ui_.T[i]->text();
    return texts;
}

void MF::SetTexts(const FieldTexts& texts) {
    for (int i = kFirstField; i <= kLastField; ++i) ui_.T[i]->setText(texts[i]);
}

void MF::ShowCurrentFormat() {
    ui_.curFormat->setText(settings_.CurFormat);
    ui_.curFormat->adjustSize();
}

store::FormatHooks MF::Hooks() {
    store::FormatHooks hooks;
    hooks.chooseFormat = [this] { return store::ChooseFormat(ctx_, settings_.CurFormat, this); };
    hooks.formatApplied = [this] {
        WidgetsFromSettings();
        Dragging = false;
        CHK_Click(1);
    };
    return hooks;
}

// ---------------------------------------------------------------------------------------
// Buttons and options

void MF::Cm_Click(int index) {
    ClearSelection();
    // A warning about the amount just left is answered before any dialog of the button.
    ShowPendingWarning();
    switch (index) {
        case 2: {
            QString name;
            store::LoadFormat(ctx_, name, settings_, Hooks());
            ShowCurrentFormat();
            break;
        }
        case 3: {
            SettingsFromWidgets();
            QString name;
            store::SaveFormat(ctx_, name, settings_);
            ShowCurrentFormat();
            break;
        }
        case 10: {
            QString name;
            store::DeleteFormat(ctx_, name, settings_, Hooks());
            break;
        }
        case 0:
            print::PrintJob(ctx_, CurrentPage(), ContentChanged, Target(), Device());
            break;
        case 4:
            print::PrintCalibrationMark(ctx_, Target(), Device(),
                                        [this] { print::ShowCollateForm(ctx_, this); });
            break;
        case 6:
            close();
            break;
        case 7:
            OpenHelp({});
            break;
        case 9:
            OpenHelp(QStringLiteral("contact"));
            break;
        case 1:
            ShowHistoryWindow(ctx_, *this);
            break;
        default:
            // 5 is inactive.
            break;
    }
}

void MF::CHK_Click(int index) {
    ClearSelection();
    // The grid only redraws the picture; the other options change the arrangement.
    if (index == 0)
        NetLine();
    else
        ArrangeWindow();
}

QString MF::HelpPagePath() {
    return tf::HelpPagePath();
}

void MF::OpenHelp(const QString& fragment) {
    OpenHelpPage(ctx_.UserPrompt(), fragment);
}

// ---------------------------------------------------------------------------------------
// Field entry

void MF::T_LostFocus(int i) {
    if (i == kAmountField && !T(kAmountField)->text().isEmpty()) {
        bool cut = false;
        const QString sign = TT(0)->text();
        QLineEdit* figures = T(kAmountField);
        figures->setText(amount::NormaliseAmount(figures->text(), sign, &cut));
        T(kCapitalField)
            ->setText(amount::CapitalAmount(figures->text(), sign, ttPrevious_[0], TT(0)->text()));
        if (cut) {
            // Shown once the focus change that led here has finished, or before the dialog of
            // the button whose press left the field, whichever comes first.
            cutWarningPending_ = true;
            QMetaObject::invokeMethod(this, &MF::ShowPendingWarning, Qt::QueuedConnection);
        }
    }
    if (const int stub = StubCopyOf(i)) T(stub)->setText(T(i)->text());
}

void MF::ShowPendingWarning() {
    if (!cutWarningPending_) return;
    cutWarningPending_ = false;
    ctx_.UserPrompt().Message(
        QStringLiteral("金额超出99999999.99，最高位已被截去，请核对小写金额！"));
}

void MF::TT_GotFocus(int i) {
    ClearSelection();
    ttPrevious_[static_cast<size_t>(i)] = TT(i)->text();
}

void MF::TT_LostFocus(int i) {
    QLineEdit* box = TT(i);
    if (i == 0) {
        const QString sign = box->text().trimmed();
        box->setText(sign.isEmpty() ? ttPrevious_[0] : sign);
        T_LostFocus(kAmountField);
        return;
    }
    bool accepted = LenientNumber(box->text()) >= 30;
    // The stub must leave some of the form for the voucher itself.
    if (accepted && (i == 1 || i == 3))
        accepted = LenientNumber(TT(3)->text()) < LenientNumber(TT(1)->text());
    if (accepted)
        ArrangeWindow();
    else
        box->setText(ttPrevious_[static_cast<size_t>(i)]);
}

// ---------------------------------------------------------------------------------------
// Printing

void MF::Preview_Click() {
    ClearSelection();
    ShowPendingWarning();
    print::ShowPrintPreview(ctx_, CurrentPage(), this);
}

print::VoucherPage MF::CurrentPage() {
    SettingsFromWidgets();
    return print::PageOf(settings_, Texts());
}

void MF::UsePrinter(print::PrintTarget* target, print::PrintDevice* device) {
    target_ = target;
    device_ = device;
}

print::PrintTarget& MF::Target() {
    if (target_) return *target_;
    if (!printer_) printer_ = std::make_unique<print::QtPrinter>();
    return *printer_;
}

print::PrintDevice& MF::Device() {
    if (device_) return *device_;
    if (!printer_) printer_ = std::make_unique<print::QtPrinter>();
    return *printer_;
}

}  // namespace tf
