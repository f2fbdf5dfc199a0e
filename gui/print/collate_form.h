#pragma once

#include <QDialog>
#include <QWidget>

#include "common/app_context.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tf::print {

// The illustration of the calibration print: a corner of the sheet, the black square and
// its two measured margins.
class CalibrationPicture : public QWidget {
    Q_OBJECT
public:
    explicit CalibrationPicture(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// "输入页边距": the margins measured on the calibration print, kept in the settings store
// as the texts typed.
class CollateForm : public QDialog {
    Q_OBJECT
public:
    explicit CollateForm(const AppContext& ctx, QWidget* parent = nullptr);

    QLineEdit* TX() const { return tx_; }
    QLineEdit* TY() const { return ty_; }

    // Centres the dialog on the screen and shows the stored margins.
    void Form_Load();
    // Stores both texts, trimmed, and closes.
    void Command1_Click();
    // Closes without storing.
    void Command2_Click();

private:
    AppContext ctx_;
    QLineEdit* tx_ = nullptr;
    QLineEdit* ty_ = nullptr;
};

inline QString CollateCaption() {
    return QStringLiteral("输入页边距");
}

// Opens the offset dialog without blocking, above other windows; it deletes itself when
// closed.
CollateForm* ShowCollateForm(const AppContext& ctx, QWidget* parent = nullptr);

}  // namespace tf::print
