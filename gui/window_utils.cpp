#include "gui/window_utils.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>

namespace tf {

double TwipsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

void PlaceInTwips(QWidget* w, double left, double top, double width, double height) {
    const int x = TwipsToPixels(left);
    const int y = TwipsToPixels(top);
    w->setGeometry(x, y, std::max(1, TwipsToPixels(left + width) - x),
                   std::max(1, TwipsToPixels(top + height) - y));
}

bool IsFormOpen(const QString& caption) {
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget* w : windows)
        if (w->isVisible() && w->windowTitle() == caption) return true;
    return false;
}

void WaitWhileFormOpen(const QString& caption) {
    // Sleeps in an event loop that wakes on every window-close; never polls in a busy loop.
    while (IsFormOpen(caption)) {
        QEventLoop loop;
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* w : windows) {
            if (w->isVisible() && w->windowTitle() == caption)
                QObject::connect(w, &QObject::destroyed, &loop, &QEventLoop::quit);
        }
        // A window may also be hidden rather than destroyed; look again now and then.
        QTimer recheck;
        QObject::connect(&recheck, &QTimer::timeout, &loop, [&loop, &caption] {
            if (!IsFormOpen(caption)) loop.quit();
        });
        recheck.start(100);
        loop.exec();
    }
}

void CentreOnScreen(QWidget* window) {
    if (!window) return;
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect full = screen->geometry();
    const int taskbar = TwipsToPixels(TaskbarHeight());
    const QSize size =
        window->frameGeometry().size().isValid() ? window->frameGeometry().size() : window->size();
    window->move(full.left() + (full.width() - size.width()) / 2,
                 full.top() + (full.height() - size.height() - taskbar) / 2);
}

qint16 TaskbarHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 0;
    const int pixels = screen->geometry().bottom() - screen->availableGeometry().bottom();
    return static_cast<qint16>(std::lround(PixelsToTwips(pixels)));
}

void SetTopmost(QWidget* window) {
    if (!window) return;
    const QRect geometry = window->geometry();
    const bool wasVisible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->setGeometry(geometry);
    if (wasVisible) window->show();
}

void ShowAction(QAbstractButton* button, QAction* action) {
    const auto follow = [button, action] {
        button->setEnabled(action->isEnabled());
        if (!action->shortcut().isEmpty()) button->setToolTip(action->toolTip());
    };
    follow();
    QObject::connect(action, &QAction::changed, button, follow);
    QObject::connect(button, &QAbstractButton::clicked, action, [action] { action->trigger(); });
}

}  // namespace tf
