#pragma once

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "gui/format/format_chooser.h"
#include "gui/main/main_window.h"
#include "support/test_env.h"

// Helpers for tests that drive the real main window (header-only: they need the windows,
// which the core test library does not link).

namespace tf::test {

// The child of `parent` with this objectName; a test that names a control the window lacks
// stops here with the name.
template <typename T = QWidget>
T* Child(const QObject& parent, const QString& name) {
    T* child = parent.findChild<T*>(name);
    if (!child) qFatal("no child named %s", qPrintable(name));
    return child;
}

// Opens the main window as a start does and waits until it is active; null if it never is.
inline std::unique_ptr<MF> OpenMainWindow(TestEnv& env) {
    auto w = std::make_unique<MF>(env.ctx);
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get())) return nullptr;
    return w;
}

// Runs tryOnce from the event loop until it returns true (a dialog or menu has shown and
// been handled). The timer deletes itself when done.
inline void RetryUntil(std::function<bool()> tryOnce) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tryOnce] {
        if (!tryOnce()) return;
        timer->stop();
        timer->deleteLater();
    });
    timer->start();
}

// Picks a name in the format chooser as soon as it shows, and confirms it.
inline void PickInChooser(const QString& name) {
    RetryUntil([name] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* sel = qobject_cast<store::Sel*>(top);
            if (!sel || !sel->isVisible()) continue;
            sel->Com()->setCurrentIndex(sel->Com()->findText(name));
            sel->OkButton()->click();
            return true;
        }
        return false;
    });
}

}  // namespace tf::test
