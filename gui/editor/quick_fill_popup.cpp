#include "gui/editor/quick_fill_popup.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>

namespace tf::gui {

QuickFillPopup::QuickFillPopup(QLineEdit* field, Provider provider)
    : QFrame(field, Qt::ToolTip | Qt::FramelessWindowHint),
      field_(field),
      provider_(std::move(provider)),
      list_(new QListWidget(this)) {
    setObjectName(QStringLiteral("quickFillPopup"));
    // A window of its own that is never activated: the field keeps the focus and the keys.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    list_->setObjectName(QStringLiteral("quickFillList"));
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setFrameStyle(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setMouseTracking(true);
    list_->setFont(field->font());
    // The list is sized to its rows; a scroll area's own minimum would leave empty rows below.
    list_->setMinimumHeight(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(list_);
    connect(list_, &QListWidget::itemEntered, this,
            [this](QListWidgetItem* item) { list_->setCurrentItem(item); });
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { Accept(list_->row(item)); });
    connect(field, &QLineEdit::textEdited, this, &QuickFillPopup::Refresh);
    field->installEventFilter(this);
    if (QWidget* top = field->window(); top && top != field) top->installEventFilter(this);
}

void QuickFillPopup::SetActive(bool active) {
    active_ = active;
    if (!active) Close();
}

int QuickFillPopup::CurrentRow() const {
    return isVisible() ? list_->currentRow() : -1;
}

void QuickFillPopup::Refresh(const QString& typed) {
    if (!active_ || !field_ || !field_->hasFocus()) return Close();
    entries_ = provider_ ? provider_(typed) : QList<store::Suggestion>{};
    if (entries_.size() > store::kSuggestionLimit) entries_.resize(store::kSuggestionLimit);
    if (entries_.isEmpty()) return Close();
    list_->clear();
    for (const store::Suggestion& entry : std::as_const(entries_))
        list_->addItem(store::SuggestionLabel(entry));
    list_->setCurrentRow(-1);
    Place();
    show();
}

void QuickFillPopup::Place() {
    // Rows are measured as the polished list draws them; every row shows, with no scroll bar.
    ensurePolished();
    list_->ensurePolished();
    const int border = 2 * (frameWidth() + 1);
    int rows = 0;
    for (int i = 0; i < list_->count(); ++i) rows += list_->sizeHintForRow(i);
    const int width = std::max(field_->width(), list_->sizeHintForColumn(0) + border + 8);
    const QSize size(width, rows + border);
    QPoint at = field_->mapToGlobal(QPoint(0, field_->height()));
    if (const QScreen* screen = field_->screen()) {
        const QRect room = screen->availableGeometry();
        // Above the field when there is no room below it; never past the screen's right edge.
        if (at.y() + size.height() > room.bottom() + 1)
            at.setY(field_->mapToGlobal(QPoint(0, 0)).y() - size.height());
        at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - size.width())));
    }
    setGeometry(QRect(at, size));
}

void QuickFillPopup::Move(int step) {
    const int count = list_->count();
    const int row = list_->currentRow();
    const int next = row < 0 ? (step > 0 ? 0 : count - 1) : std::clamp(row + step, 0, count - 1);
    list_->setCurrentRow(next);
}

void QuickFillPopup::Accept(int row) {
    if (row < 0 || row >= entries_.size()) return;
    const store::Suggestion entry = entries_[row];
    Close();
    if (field_) field_->setText(entry.text);
    emit Accepted(entry);
}

void QuickFillPopup::Close() {
    hide();
    list_->clear();
    entries_.clear();
}

bool QuickFillPopup::HandleKey(const QKeyEvent& key, bool pressed) {
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier) return false;
    switch (key.key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (pressed) Move(key.key() == Qt::Key_Down ? 1 : -1);
            return true;
        case Qt::Key_Escape:
            if (pressed) Close();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
            // With no entry chosen the key does what it always does.
            if (list_->currentRow() < 0) {
                if (pressed) Close();
                return false;
            }
            if (pressed) Accept(list_->currentRow());
            return true;
        default:
            return false;
    }
}

bool QuickFillPopup::eventFilter(QObject* watched, QEvent* event) {
    if (watched != field_) {
        // The field's window moves, resizes or goes to the background: the list would stand
        // somewhere else.
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WindowDeactivate:
            case QEvent::Hide:
                if (isVisible()) Close();
                break;
            default:
                break;
        }
        return false;
    }
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // The window's shortcuts leave the list's keys to it while it shows.
            if (isVisible() && HandleKey(*static_cast<QKeyEvent*>(event), false)) {
                event->accept();
                return true;
            }
            return false;
        case QEvent::KeyPress:
            return isVisible() && HandleKey(*static_cast<QKeyEvent*>(event), true);
        case QEvent::KeyRelease:
            return isVisible() && HandleKey(*static_cast<QKeyEvent*>(event), false);
        case QEvent::FocusOut:
        case QEvent::Hide:
        case QEvent::EnabledChange:
            if (isVisible()) Close();
            return false;
        default:
            return false;
    }
}

}  // namespace tf::gui
