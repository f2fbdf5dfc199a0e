#include "gui/dialogs/qt_prompt.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/colour.h"
#include "common/fonts.h"
#include "print/print_target.h"

namespace tf {

namespace {

QString TitleOr(const QString& title) {
    return title.isEmpty() ? ProgramTitle() : title;
}

// The font dialog with a colour choice beside it: font, size, style, underline, strikeout
// and text colour in one window.
class FontColourDialog : public QDialog {
public:
    FontColourDialog(const FieldFont& preset, QWidget* parent)
        : QDialog(parent),
          storedFamily_(preset.family.isEmpty() ? QStringLiteral("宋体") : preset.family),
          colour_(ColourFromBgr(preset.color)) {
        setObjectName(QStringLiteral("FontColourDialog"));
        setWindowTitle(QStringLiteral("字体"));
        font_ = new QFontDialog(this);
        font_->setObjectName(QStringLiteral("fontDialog"));
        font_->setWindowFlags(Qt::Widget);
        font_->setOptions(QFontDialog::NoButtons);
        // A Windows name such as 宋体 is not in the list of installed families: open on the
        // face that draws it, so the clerk sees the field's own font selected.
        QFont f(DialogFamilyFor(storedFamily_));
        f.setPointSizeF(preset.size > 0 ? preset.size : 9);
        f.setBold(preset.bold);
        f.setItalic(preset.italic);
        f.setUnderline(preset.underline);
        f.setStrikeOut(preset.strikeout);
        font_->setCurrentFont(f);

        colourButton_ = new QPushButton(QStringLiteral("颜色(&C)…"), this);
        colourButton_->setObjectName(QStringLiteral("colour"));
        swatch_ = new QLabel(this);
        swatch_->setFixedSize(40, 20);
        ShowColour();
        connect(colourButton_, &QPushButton::clicked, this, [this] {
            const QColor c = QColorDialog::getColor(colour_, this, QStringLiteral("颜色"));
            if (c.isValid()) {
                colour_ = c;
                ShowColour();
            }
        });
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

        auto* colourRow = new QHBoxLayout;
        colourRow->addWidget(colourButton_);
        colourRow->addWidget(swatch_);
        colourRow->addStretch();
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(font_);
        layout->addLayout(colourRow);
        layout->addWidget(buttons);
    }

    FieldFont Result() const {
        const QFont f = font_->currentFont();
        // Changing only size or style keeps the name the format stores.
        return FieldFont{.family = StoredFamilyFrom(f.family(), storedFamily_),
                         .size = static_cast<float>(f.pointSizeF()),
                         .bold = f.bold(),
                         .italic = f.italic(),
                         .underline = f.underline(),
                         .strikeout = f.strikeOut(),
                         .color = BgrFromColour(colour_)};
    }

private:
    void ShowColour() {
        swatch_->setStyleSheet(
            QStringLiteral("background:%1;border:1px solid gray").arg(colour_.name()));
    }
    QString storedFamily_;
    QFontDialog* font_;
    QPushButton* colourButton_;
    QLabel* swatch_;
    QColor colour_;
};

}  // namespace

void QtPrompt::Message(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Information, TitleOr(title), text, QMessageBox::Ok, parent_);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

bool QtPrompt::AskYesNo(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, TitleOr(title), text, QMessageBox::Yes | QMessageBox::No,
                    parent_);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompt::InputLine(const QString& prompt, const QString& title,
                                           const QString& defaultText, bool hidden) {
    QInputDialog dlg(parent_);
    dlg.setWindowTitle(TitleOr(title));
    dlg.setLabelText(prompt);
    dlg.setTextValue(defaultText);
    if (hidden) dlg.setTextEchoMode(QLineEdit::Password);
    dlg.setOkButtonText(QStringLiteral("确定"));
    dlg.setCancelButtonText(QStringLiteral("取消"));
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.textValue();
}

std::optional<QString> QtPrompt::InputText(const QString& prompt, const QString& title,
                                           const QString& defaultText) {
    return InputLine(prompt, title, defaultText, false);
}

std::optional<QString> QtPrompt::InputPassword(const QString& prompt, const QString& title) {
    return InputLine(prompt, title, {}, true);
}

std::optional<FieldFont> QtPrompt::ChooseFont(const FieldFont& preset) {
    FontColourDialog dlg(preset, parent_);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Result();
}

QString QtPrompt::OpenFileName(const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent_, title, QString(), filter);
}

QString QtPrompt::SaveFileName(const QString& title, const QString& filter,
                               const QString& suggested, QString* chosenFilter) {
    return QFileDialog::getSaveFileName(parent_, title, suggested, filter, chosenFilter);
}

bool QtPrompt::ChoosePrinter(print::PrintTarget& target) {
    QPrinter* printer = target.Printer();
    if (!printer) return true;  // a target without a real printer needs no dialog
    QPrintDialog dlg(printer, parent_);
    dlg.setObjectName(QStringLiteral("printDialog"));
    dlg.setWindowTitle(QStringLiteral("打印"));
    return dlg.exec() == QDialog::Accepted;
}

}  // namespace tf
