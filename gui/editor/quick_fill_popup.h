#pragma once

#include <QFrame>
#include <QList>
#include <QPointer>
#include <functional>

#include "store/parties.h"

class QLineEdit;
class QListWidget;

namespace tf::gui {

// The list of suggestions under a line edit: what the provider offers for the text the clerk
// has typed, at most ten entries. Up and Down move through it, Return or Tab accepts the
// chosen entry (or, with none chosen, closes the list and does what the key does anyway),
// Escape closes it and keeps the typed text, a click accepts an entry. The list follows the
// committed text only (textEdited), never an input method's pre-edit, and never takes the
// focus from the field. Accepting puts the entry's text into the field and emits Accepted;
// the caller fills what belongs to the entry.
//
// The popup watches the field's keys through an event filter; created after other filters on
// the field, it sees the keys first.
class QuickFillPopup : public QFrame {
    Q_OBJECT
public:
    using Provider = std::function<QList<store::Suggestion>(const QString& typed)>;

    QuickFillPopup(QLineEdit* field, Provider provider);

    // Turned off, the field is left alone: no list shows.
    void SetActive(bool active);
    bool IsActive() const { return active_; }

    const QList<store::Suggestion>& Entries() const { return entries_; }
    // The chosen row, -1 for none.
    int CurrentRow() const;
    QListWidget* List() const { return list_; }

signals:
    void Accepted(const tf::store::Suggestion& entry);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refresh(const QString& typed);
    void Accept(int row);
    void Move(int step);
    void Close();
    void Place();
    bool HandleKey(const QKeyEvent& key, bool pressed);

    QPointer<QLineEdit> field_;
    Provider provider_;
    QListWidget* list_;
    QList<store::Suggestion> entries_;
    bool active_ = true;
};

}  // namespace tf::gui
