#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace tf {

// Keeps what the user types into a box within a number of characters without cutting a
// longer text the program puts there (a stored dimension of 220.5 shows whole): typing may
// make a text longer than the limit only shorter. (QLineEdit's maximum length would cut the
// loaded text too.)
class TypingLimit : public QObject {
    Q_OBJECT
public:
    TypingLimit(int limit, QLineEdit* box);

private:
    void Edited(const QString& text);

    QLineEdit* box_;
    int limit_;
    QString current_;   // the box's text as last seen
    QString previous_;  // the text before that
};

}  // namespace tf
