#pragma once

#include <QDialog>

#include "common/app_context.h"

class QComboBox;
class QPushButton;

namespace tf::store {

inline QString ChooserCaption() {
    return QStringLiteral("选择格式");
}

// The format chooser "选择格式": picks one stored format by name. Typing in the list is
// swallowed; the name can only be picked. ChosenFormat is the picked name, or empty after
// "取   消"; closing the window otherwise leaves it as it was.
class Sel : public QDialog {
    Q_OBJECT
public:
    Sel(const AppContext& ctx, const QString& currentFormat, QString& chosenFormat,
        QWidget* parent = nullptr);

    QComboBox* Com() const { return com_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Closes the chooser with `name` as ChosenFormat.
    void Choose(const QString& name);

    QString& chosenFormat_;
    QComboBox* com_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Shows the chooser without blocking, waits until it has closed and returns ChosenFormat.
// A chooser already open is brought to the front instead of opening a second one.
QString ChooseFormat(const AppContext& ctx, const QString& currentFormat, QWidget* parent);

}  // namespace tf::store
