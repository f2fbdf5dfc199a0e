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
#include "gui/database/database_dialog.h"
#include "gui/editor/voucher_editor.h"
#include "gui/format/format_chooser.h"
#include "gui/history/history_link.h"
#include "gui/history/old_rec.h"
#include "gui/main/help_page.h"
#include "gui/print/collate_form.h"
#include "gui/print/preview.h"
#include "print/print_job.h"
#include "print/qt_printer.h"
#include "store/database.h"
#include "store/default_format.h"
#include "store/record_store.h"
#include "store/settings.h"

// The main window's start-up and shut-down and its commands, options and boxes. The controls
// and actions are built in main_window_ui.cpp, the layout editing on the picture lives in
// gui/editor/voucher_editor_layout.cpp, the arrangement in main_window_arrange.cpp and the
// event routing in main_window_events.cpp.

namespace tf {

MF::MF(AppContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx), settings_(store::DesignSettings()) {
    setObjectName(QStringLiteral("MF"));
    setWindowTitle(Caption());
    ui_.SetupUi(this, new VoucherEditor(ctx_, settings_, this));
    // The status line follows every change of the database in use, a fallback to the local
    // file in the middle of a command included.
    ctx_.database->changed = [this] { DatabaseChanged(); };
    DatabaseChanged();
    ui_.editor->PlaceFieldWidgets();
    WidgetsFromSettings();
    WireControls();
    ui_.editor->SetUpQuickFill();
    Form_Load();
    ui_.editor->ShowOverflow([this] { return CurrentPage(); });
}

MF::~MF() {
    ctx_.database->changed = nullptr;
    DeleteRetiredWindows();
}

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
    store::LoadCurrentText(ctx_, texts);
    SetTexts(texts);

    ui_.tabs->setCurrentIndex(0);
    ui_.quickFill->setChecked(print::ReadSetting(ctx_, print::SettingsApp(),
                                                 print::OptionsSection(),
                                                 print::QuickFillKey()) != QStringLiteral("0"));
    ui_.editor->SetQuickFillActive(ui_.quickFill->isChecked());

    // Today's date overrides whatever the stored texts held, on the voucher and the stub.
    const QDate today = ctx_.now().date();
    const std::pair<FieldRole, int> date[] = {{FieldRole::Year, today.year()},
                                              {FieldRole::Month, today.month()},
                                              {FieldRole::Day, today.day()}};
    for (const auto& [role, value] : date) {
        const int field = FieldOf(role);
        ui_.editor->Field(role)->setText(QString::number(value));
        ui_.editor->Field(RoleOf(StubCopyOf(field)))->setText(QString::number(value));
    }

    ArrangeWindow();
    contentChanged_ = true;
    ui_.editor->Field(FieldRole::DrawerName)->setFocus();
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
    v.currencySign = ui_.currencySign->text();
    v.formWidthMm = LenientNumber(ui_.formWidth->text());
    v.formHeightMm = LenientNumber(ui_.formHeight->text());
    v.stubWidthMm = LenientNumber(ui_.stubWidth->text());
    v.showGrid = ui_.showGrid->isChecked();
    v.printStub = ui_.printStub->isChecked();
    v.centreOnFeeder = ui_.centreOnFeeder->isChecked();
    v.portrait = ui_.portrait->isChecked();
    v.landscape = ui_.landscape->isChecked();
}

void MF::WidgetsFromSettings() {
    const VoucherLayout& v = settings_.layout;
    ui_.currencySign->setText(v.currencySign);
    ui_.formWidth->setText(NumberText(v.formWidthMm));
    ui_.formHeight->setText(NumberText(v.formHeightMm));
    ui_.stubWidth->setText(NumberText(v.stubWidthMm));
    ui_.showGrid->setChecked(v.showGrid);
    ui_.printStub->setChecked(v.printStub);
    ui_.centreOnFeeder->setChecked(v.centreOnFeeder);
    // A stored format may hold both options cleared; show exactly what it holds.
    for (QRadioButton* op : {ui_.portrait, ui_.landscape}) op->setAutoExclusive(false);
    ui_.portrait->setChecked(v.portrait);
    ui_.landscape->setChecked(v.landscape);
    for (QRadioButton* op : {ui_.portrait, ui_.landscape}) op->setAutoExclusive(true);
    GridToEditor();
}

void MF::NetLine() {
    GridToEditor();
    ui_.editor->NetLine();
}

void MF::GridToEditor() {
    // Read as leniently as the dimension check does, so "85mm" draws the grid for 85 mm.
    ui_.editor->SetGrid(ui_.showGrid->isChecked(), LenientNumber(ui_.formHeight->text()));
}

FieldTexts MF::Texts() const {
    return ui_.editor->Texts();
}

void MF::SetTexts(const FieldTexts& texts) {
    ui_.editor->SetTexts(texts);
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
        ui_.editor->StopDragging();
        ui_.editor->ClearSelection();
        ArrangeWindow();
    };
    return hooks;
}

// ---------------------------------------------------------------------------------------
// Commands and options

void MF::PrintVoucher() {
    print::PrintJob(ctx_, CurrentPage(), contentChanged_, Target(), Device());
}

void MF::PreviewVoucher() {
    print::ShowPrintPreview(ctx_, CurrentPage(), this);
}

void MF::OpenHistory() {
    DeleteRetiredWindows();
    ShowHistoryWindow(ctx_, *this);
}

void MF::LoadFormat() {
    QString name;
    store::LoadFormat(ctx_, name, settings_, Hooks());
    ShowCurrentFormat();
}

void MF::SaveFormat() {
    SettingsFromWidgets();
    QString name;
    store::SaveFormat(ctx_, name, settings_);
    ShowCurrentFormat();
}

void MF::DeleteFormat() {
    QString name;
    store::DeleteFormat(ctx_, name, settings_, Hooks());
}

void MF::CalibratePrinter() {
    print::PrintCalibrationMark(ctx_, Target(), Device(),
                                [this] { print::ShowCollateForm(ctx_, this); });
}

void MF::DatabaseSettings() {
    if (gui::EditDatabaseSetting(ctx_, this)) DatabaseSwitched();
    ShowDatabase();
}

void MF::DatabaseChanged() {
    ShowDatabase();
    const QString inUse = ctx_.database->UsesServer() ? ctx_.database->serverUri : QString();
    if (inUse == databaseInUse_) return;
    databaseInUse_ = inUse;
    // The history window lists the other database's records, so nothing it shows may be
    // reprinted, changed or deleted in the database now in use. It may be in the middle of
    // the very operation that gave up on the server: it is only taken out of use here
    // (hidden, deaf to input, no longer the open history window) and deleted later.
    if (auto* history = findChild<history::OldRec*>(QString(), Qt::FindDirectChildrenOnly)) {
        history->hide();
        history->setEnabled(false);
        history->setParent(nullptr);
        retired_.append(history);
    }
}

void MF::DeleteRetiredWindows() {
    for (const QPointer<QWidget>& w : std::as_const(retired_)) delete w.data();
    retired_.clear();
}

void MF::DatabaseSwitched() {
    // The format in use is read again from the database now in use: the same name when it
    // holds one, else its default format.
    store::Database(ctx_).EnsureTables();
    QString name = store::FormatNames(ctx_).contains(settings_.CurFormat)
                       ? settings_.CurFormat
                       : store::DefaultFormatName();
    store::LoadFormat(ctx_, name, settings_, Hooks());
    ShowCurrentFormat();
}

void MF::ShowHelp() {
    OpenHelp({});
}

void MF::ShowContact() {
    OpenHelp(QStringLiteral("contact"));
}

void MF::Exit() {
    close();
}

void MF::OptionClicked(const QCheckBox* option) {
    ui_.editor->ClearSelection();
    if (option == ui_.quickFill) {
        const bool on = option->isChecked();
        ui_.editor->SetQuickFillActive(on);
        if (!print::WriteSetting(ctx_, print::SettingsApp(), print::OptionsSection(),
                                 print::QuickFillKey(),
                                 on ? QStringLiteral("1") : QStringLiteral("0")))
            ctx_.UserPrompt().Message(
                QStringLiteral("“输入时提示历史名称”的选择没有保存！\n设置文件“%1”无法写入，"
                               "下次启动时仍按原来的选择。")
                    .arg(print::SettingsFilePath(ctx_)));
        return;
    }
    // The grid only redraws the picture; the other options change the arrangement.
    if (option == ui_.showGrid)
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

void MF::FieldLeft(int field) {
    const VoucherEditor& editor = *ui_.editor;
    QLineEdit* figures = editor.Field(FieldRole::Amount);
    if (field == kAmountField && !figures->text().isEmpty()) {
        bool cut = false;
        const QString sign = ui_.currencySign->text();
        figures->setText(amount::NormaliseAmount(figures->text(), sign, &cut));
        editor.Field(FieldRole::CapitalAmount)
            ->setText(amount::CapitalAmount(figures->text(), sign,
                                            settingBefore_.value(ui_.currencySign), sign));
        if (cut) {
            // Shown once the focus change that led here has finished, or before the dialog of
            // the command whose button or key left the field, whichever comes first.
            cutWarningPending_ = true;
            QMetaObject::invokeMethod(this, &MF::ShowPendingWarning, Qt::QueuedConnection);
        }
    }
    if (const int stub = StubCopyOf(field))
        editor.Field(RoleOf(stub))->setText(editor.Field(RoleOf(field))->text());
}

void MF::ShowPendingWarning() {
    if (!cutWarningPending_) return;
    cutWarningPending_ = false;
    ctx_.UserPrompt().Message(
        QStringLiteral("金额超出99999999.99，最高位已被截去，请核对小写金额！"));
}

bool MF::IsSettingBox(const QObject* o) const {
    return o == ui_.currencySign || o == ui_.formWidth || o == ui_.formHeight || o == ui_.stubWidth;
}

void MF::SettingEntered(QLineEdit* box) {
    ui_.editor->ClearSelection();
    settingBefore_[box] = box->text();
}

void MF::SettingLeft(QLineEdit* box) {
    const QString before = settingBefore_.value(box);
    if (box == ui_.currencySign) {
        const QString sign = box->text().trimmed();
        box->setText(sign.isEmpty() ? before : sign);
        FieldLeft(kAmountField);
        return;
    }
    bool accepted = LenientNumber(box->text()) >= 30;
    // The stub must leave some of the form for the voucher itself.
    if (accepted && (box == ui_.formWidth || box == ui_.stubWidth))
        accepted = LenientNumber(ui_.stubWidth->text()) < LenientNumber(ui_.formWidth->text());
    if (accepted)
        ArrangeWindow();
    else
        box->setText(before);
}

// ---------------------------------------------------------------------------------------
// Printing

print::VoucherPage MF::CurrentPage() {
    SettingsFromWidgets();
    return print::PageOf(settings_, Texts());
}

QString MF::CurrencySign() const {
    return ui_.currencySign->text();
}

void MF::TakeText(int field, const QString& text) {
    ui_.editor->Field(RoleOf(field))->setText(text);
    FieldLeft(field);
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
