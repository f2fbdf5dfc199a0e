#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

#include "gui/editor/voucher_picture.h"
#include "gui/main/main_window.h"
#include "gui/window_utils.h"

// How Qt's signals and events reach the main window's handlers: clicks and edits through
// connections, keys, mouse and focus through the window's event filter on its controls.

namespace tf {

void MF::WireControls() {
    WatchKeys(ui_.pic);
    for (int i = kFirstField; i <= kLastField; ++i) {
        connect(ui_.T[i], &QLineEdit::textChanged, this, [this] { ContentChanged = true; });
        WatchKeys(ui_.T[i]);
    }
    connect(ui_.sst, &QTabWidget::tabBarClicked, this, [this] { ClearSelection(); });
    WatchKeys(ui_.sst);
    WatchKeys(ui_.sst->tabBar());
    connect(ui_.preview, &QPushButton::clicked, this, &MF::Preview_Click);
    WatchKeys(ui_.preview);
    for (QLineEdit* box : ui_.tt) WatchKeys(box);
    for (size_t i = 0; i < ui_.chk.size(); ++i) {
        const int index = static_cast<int>(i);
        connect(ui_.chk[i], &QCheckBox::clicked, this, [this, index] { CHK_Click(index); });
    }
    for (size_t i = 0; i < ui_.cm.size(); ++i) {
        if (!ui_.cm[i]) continue;  // there is no Cm(8)
        const int index = static_cast<int>(i);
        connect(ui_.cm[i], &QPushButton::clicked, this, [this, index] { Cm_Click(index); });
        WatchKeys(ui_.cm[i]);
    }
    WireShortcuts();
}

void MF::WireShortcuts() {
    const std::pair<QPushButton*, QKeySequence> keys[] = {
        {ui_.cm[0], QKeySequence(Qt::CTRL | Qt::Key_P)},
        {ui_.preview, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)},
        {ui_.cm[1], QKeySequence(Qt::CTRL | Qt::Key_H)},
        {ui_.cm[7], QKeySequence(Qt::Key_F1)},
        {ui_.cm[3], QKeySequence(Qt::CTRL | Qt::Key_S)},
    };
    for (const auto& [button, key] : keys) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setObjectName(button->objectName() + QStringLiteral("Shortcut"));
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this,
                [this, b = button] { Shortcut_Activated(b); });
        // The caption stays as it is; the key is told in the tooltip.
        const QString name = button->text().remove(u' ');
        button->setToolTip(name + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                           u')');
    }
}

void MF::Shortcut_Activated(QPushButton* button) {
    if (!button->isEnabled()) return;
    QPointer<QWidget> back = QApplication::focusWidget();
    if (back && back->window() == this) back->clearFocus();
    button->click();
    if (back && back->window() == this && back->isVisible() && back->isEnabled() &&
        !QApplication::activeModalWidget())
        back->setFocus(Qt::OtherFocusReason);
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
            if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton &&
                watched->property(kKindProperty).toString() == QStringLiteral("T")) {
                T_MouseDown(watched->property(kIndexProperty).toInt(), mouse->button(),
                            mouse->globalPosition().toPoint());
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            // Switching to another program or opening a menu neither enters nor leaves a box.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
            const QString kind = watched->property(kKindProperty).toString();
            if (kind.isEmpty()) break;
            const int index = watched->property(kIndexProperty).toInt();
            const bool in = event->type() == QEvent::FocusIn;
            if (kind == QStringLiteral("T")) {
                if (!in) T_LostFocus(index);
            } else if (in) {
                TT_GotFocus(index);
            } else {
                TT_LostFocus(index);
            }
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tf
