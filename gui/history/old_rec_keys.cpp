#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>

#include "gui/history/history_view.h"
#include "gui/history/old_rec.h"

using namespace Qt::StringLiterals;

// The history window's keys, beside the buttons and the search box they stand for.

namespace tf::history {

namespace {

QString WithKey(const QString& name, const QKeySequence& key) {
    return name + u" ("_s + key.toString(QKeySequence::NativeText) + u')';
}

}  // namespace

void OldRec::WireKeys() {
    // Enter and Delete act on the list's rows only while the list has the focus, so Enter in
    // the search box still searches and Delete there still deletes a character.
    const std::pair<QAction*, QList<QKeySequence>> listKeys[] = {
        {actions_.reprint, {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}},
        {actions_.deleteRecords, {QKeySequence(Qt::Key_Delete)}},
    };
    for (const auto& [action, keys] : listKeys) {
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setToolTip(WithKey(action->text(), keys.first()));
        msg_->addAction(action);
    }

    const QKeySequence find(Qt::CTRL | Qt::Key_F);
    auto* findShortcut = new QShortcut(find, this);
    findShortcut->setObjectName(u"SearchShortcut"_s);
    findShortcut->setContext(Qt::WindowShortcut);
    connect(findShortcut, &QShortcut::activated, search_, [box = search_] {
        box->setFocus(Qt::ShortcutFocusReason);
        box->selectAll();
    });
    search_->setToolTip(WithKey(u"查找"_s, find) + u"，回车搜索"_s);
}

}  // namespace tf::history
