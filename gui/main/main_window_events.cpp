#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "gui/editor/voucher_editor.h"
#include "gui/main/main_window.h"
#include "gui/window_utils.h"

// How Qt's signals and events reach the main window's handlers: commands, clicks, edits and
// the editor's signals through connections, keys and the settings boxes' focus through the
// window's event filter on its controls.

namespace tf {

void MF::WireControls() {
    VoucherEditor* editor = ui_.editor;
    WatchKeys(editor);
    for (int i = kFirstField; i <= kLastField; ++i) WatchKeys(editor->Field(RoleOf(i)));
    connect(editor, &VoucherEditor::contentChanged, this, [this] { contentChanged_ = true; });
    connect(editor, &VoucherEditor::fieldLeft, this, &MF::FieldLeft);
    connect(editor, &VoucherEditor::tipChanged, ui_.tip, &QLabel::setText);
    connect(ui_.tabs, &QTabWidget::tabBarClicked, editor, &VoucherEditor::ClearSelection);
    WatchKeys(ui_.tabs);
    WatchKeys(ui_.tabs->tabBar());
    for (QLineEdit* box : {ui_.currencySign, ui_.formWidth, ui_.formHeight, ui_.stubWidth})
        WatchKeys(box);
    for (QCheckBox* option : {ui_.showGrid, ui_.printStub, ui_.centreOnFeeder, ui_.quickFill})
        connect(option, &QCheckBox::clicked, this, [this, option] { OptionClicked(option); });
    for (QPushButton* button : findChildren<QPushButton*>()) WatchKeys(button);

    const MainWindowActions& a = ui_.actions;
    Command(a.print, &MF::PrintVoucher);
    Command(a.preview, &MF::PreviewVoucher);
    Command(a.history, &MF::OpenHistory);
    Command(a.loadFormat, &MF::LoadFormat);
    Command(a.saveFormat, &MF::SaveFormat);
    Command(a.deleteFormat, &MF::DeleteFormat);
    Command(a.calibratePrinter, &MF::CalibratePrinter);
    Command(a.databaseSettings, &MF::DatabaseSettings);
    Command(a.help, &MF::ShowHelp);
    Command(a.contact, &MF::ShowContact);
    Command(a.exit, &MF::Exit);
}

void MF::Command(QAction* action, void (MF::*command)()) {
    connect(action, &QAction::triggered, this, [this, command] {
        // A key leaves the box being edited as a click on a button would; the box gets the
        // focus back unless a dialog has taken it.
        QPointer<QWidget> back = QApplication::focusWidget();
        if (back && back->window() == this) back->clearFocus();
        ui_.editor->ClearSelection();
        // A warning about the amount just left is answered before any dialog of the command.
        ShowPendingWarning();
        (this->*command)();
        if (back && back->window() == this && back->isVisible() && back->isEnabled() &&
            !QApplication::activeModalWidget())
            back->setFocus(Qt::OtherFocusReason);
    });
}

void MF::WatchKeys(QWidget* w) {
    w->installEventFilter(this);
}

bool MF::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            // A key a control leaves unused travels on to its parents, some of which are
            // watched too: hand it on only once, from the control that has the focus.
            QWidget* focus = QApplication::focusWidget();
            if (focus && watched != focus) break;
            const auto* key = static_cast<QKeyEvent*>(event);
            // The arrow keys act on the voucher's selected fields from anywhere in the window.
            if (event->type() == QEvent::KeyPress)
                ui_.editor->KeyDown(key->key(), key->modifiers());
            else if (!key->isAutoRepeat())
                ui_.editor->KeyUp(key->key(), key->modifiers());
            break;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            // Switching to another program or opening a menu neither enters nor leaves a box.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
            if (!IsSettingBox(watched)) break;
            auto* box = static_cast<QLineEdit*>(watched);
            if (event->type() == QEvent::FocusIn)
                SettingEntered(box);
            else
                SettingLeft(box);
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tf
