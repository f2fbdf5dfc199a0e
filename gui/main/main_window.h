#pragma once

#include <QHash>
#include <QPointer>
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
class QLabel;
class QLineEdit;
class QTabWidget;

namespace tf {

namespace print {
class QtPrinter;
}
class VoucherEditor;

// The main window: the voucher editor, the tab control with the commands' buttons and the
// print settings, and the tip line. It lives for the whole run; closing it stores the voucher
// text, offers to keep the layout as the default format and ends the program.
class MF : public QWidget, public VoucherHost {
    Q_OBJECT
public:
    explicit MF(AppContext& ctx, QWidget* parent = nullptr);
    ~MF() override;

    static QString Caption() { return QStringLiteral("银行Tallyform2.11"); }

    // The voucher picture with its fields, where the texts are typed and the layout edited.
    VoucherEditor* Editor() const { return ui_.editor; }
    QTabWidget* SST() const { return ui_.tabs; }
    QLabel* LBL() const { return ui_.tip; }
    QLabel* CurFormat() const { return ui_.curFormat; }
    // The status line naming the database in use; its tool tip holds the whole description.
    QLabel* DatabaseLine() const { return ui_.database; }
    // The commands, each shown by a button.
    const MainWindowActions& Actions() const { return ui_.actions; }

    // A field was left: the amount rules and the copy onto the stub.
    void FieldLeft(int field);

    // Sizes the window to the screen and the voucher dimensions, then places every field.
    void ArrangeWindow();
    // Redraws the picture's reference grid as the settings tab asks for it.
    void NetLine();
    const std::optional<ArrangeResult>& Arrangement() const;

    // The voucher settings and the layout in use; widgets and struct are synchronised at
    // loading and saving.
    store::VoucherSettings& Settings() { return settings_; }
    tf::FieldFormats& FieldFormats() { return settings_.fieldFormats; }
    void SettingsFromWidgets();
    void WidgetsFromSettings();

    FieldTexts Texts() const override;
    void SetTexts(const FieldTexts& texts);

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

    // The desktop session ends or the program is told to stop: the voucher text is kept as
    // at a normal close, without asking anything, and the closing that follows asks nothing.
    void EndSession();

    // The voucher texts changed since they were last printed; set by every change of a field.
    bool ContentChanged() const { return contentChanged_; }
    void SetContentChanged(bool changed) { contentChanged_ = changed; }

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
    // "数据库设置"; after a switch the format in use is read from the database now in use.
    void DatabaseSettings();
    void DatabaseSwitched();
    // The database in use may have changed (a switch, or a fallback to the local file): the
    // status line is redrawn and the history window of another database retired.
    void DatabaseChanged();
    void DeleteRetiredWindows();
    // The status line: the database in use, at the right end of the tip's line.
    void ShowDatabase();
    void PlaceDatabaseLine();
    void WatchKeys(QWidget* w);
    store::FormatHooks Hooks();
    // Tells the editor whether to draw the reference grid, and for which form height.
    void GridToEditor();

    AppContext& ctx_;
    store::VoucherSettings settings_;
    // A settings box's text as it was entered, given back when its new text is refused.
    QHash<const QLineEdit*, QString> settingBefore_;
    bool contentChanged_ = false;
    bool unloaded_ = false;
    bool cutWarningPending_ = false;

    MainWindowUi ui_;
    // The tip's line as the arrangement placed it, shared by the tip and the status line.
    QRect tipRow_;
    // The database the window last saw in use: the server's URI, empty for the local file.
    QString databaseInUse_;
    // History windows of a database no longer in use, waiting to be deleted.
    QList<QPointer<QWidget>> retired_;
    // One printer for the whole run, so the choices of the printer dialog are kept.
    std::unique_ptr<print::QtPrinter> printer_;
    print::PrintTarget* target_ = nullptr;
    print::PrintDevice* device_ = nullptr;
};

}  // namespace tf
