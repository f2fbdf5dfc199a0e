#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "gui/editor/voucher_picture.h"
#include "gui/main/main_window.h"
#include "gui/window_utils.h"

// How Qt's signals and events reach the main window's handlers: commands, clicks and edits
// through connections, keys, mouse and focus through the window's event filter on its
// controls.

namespace tf {

void MF::WireControls() {
    WatchKeys(ui_.pic);
    for (int i = kFirstField; i <= kLastField; ++i) {
        connect(ui_.fields[i], &QLineEdit::textChanged, this, [this] { contentChanged_ = true; });
        WatchKeys(ui_.fields[i]);
    }
    connect(ui_.tabs, &QTabWidget::tabBarClicked, this, [this] { ClearSelection(); });
    WatchKeys(ui_.tabs);
    WatchKeys(ui_.tabs->tabBar());
    for (QLineEdit* box : {ui_.currencySign, ui_.formWidth, ui_.formHeight, ui_.stubWidth})
        WatchKeys(box);
    for (QCheckBox* option : {ui_.showGrid, ui_.printStub, ui_.centreOnFeeder})
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
        ClearSelection();
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
            if (event->type() == QEvent::KeyPress)
                Form_KeyDown(key->key(), key->modifiers());
            else if (!key->isAutoRepeat())
                Form_KeyUp(key->key(), key->modifiers());
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (watched == ui_.pic) {
                const QPointF at = mouse->position() * TwipsPerPixel();
                if (event->type() == QEvent::MouseMove)
                    Pic_MouseMove(mouse->buttons(), at.x(), at.y());
                else if (event->type() == QEvent::MouseButtonRelease)
                    Pic_MouseUp(mouse->button(), at.x(), at.y());
                else
                    Pic_MouseDown(mouse->button(), at.x(), at.y());
                break;
            }
            const auto* field = qobject_cast<const FieldEdit*>(watched);
            if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton &&
                field) {
                FieldPressed(field->Field(), mouse->button(), mouse->globalPosition().toPoint());
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            // Switching to another program or opening a menu neither enters nor leaves a box.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
            const bool in = event->type() == QEvent::FocusIn;
            if (const auto* field = qobject_cast<const FieldEdit*>(watched)) {
                if (!in) FieldLeft(field->Field());
            } else if (IsSettingBox(watched)) {
                auto* box = static_cast<QLineEdit*>(watched);
                if (in)
                    SettingEntered(box);
                else
                    SettingLeft(box);
            }
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tf
