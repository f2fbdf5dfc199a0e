#include "gui/main/typing_limit.h"

#include <QLineEdit>

namespace tf {

TypingLimit::TypingLimit(int limit, QLineEdit* box)
    : QObject(box), box_(box), limit_(limit), current_(box->text()) {
    // Qt announces a typed change as edited and as changed, in an order that is not
    // promised; the box's own text is what counts.
    connect(box, &QLineEdit::textChanged, this, [this] {
        const QString now = box_->text();
        if (now == current_) return;
        previous_ = current_;
        current_ = now;
    });
    connect(box, &QLineEdit::textEdited, this, &TypingLimit::Edited);
}

void TypingLimit::Edited(const QString& text) {
    const QString before = current_ == text ? previous_ : current_;
    if (text.size() <= limit_ || text.size() <= before.size()) return;
    const int cursor = box_->cursorPosition() - static_cast<int>(text.size() - before.size());
    box_->setText(before);
    box_->setCursorPosition(std::max(0, cursor));
}

}  // namespace tf
