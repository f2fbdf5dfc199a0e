#include "gui/format/format_chooser.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "gui/window_utils.h"
#include "store/formats.h"

namespace tf::store {

Sel::Sel(const AppContext& ctx, const QString& currentFormat, QString& chosenFormat,
         QWidget* parent)
    : QDialog(parent), chosenFormat_(chosenFormat) {
    setObjectName(QStringLiteral("Sel"));
    setWindowTitle(ChooserCaption());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(TwipsToPixels(4680), TwipsToPixels(1200));

    com_ = new QComboBox(this);
    com_->setObjectName(QStringLiteral("Com"));
    com_->setGeometry(TwipsToPixels(120), TwipsToPixels(120), TwipsToPixels(4455),
                      com_->sizeHint().height());
    com_->installEventFilter(this);

    const auto button = [this](const QString& caption, const QString& name, int left) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(TwipsToPixels(left), TwipsToPixels(720), TwipsToPixels(1215),
                       TwipsToPixels(375));
        return b;
    };
    ok_ = button(QStringLiteral("确   定"), QStringLiteral("okButton"), 480);
    cancel_ = button(QStringLiteral("取   消"), QStringLiteral("cancelButton"), 3000);
    connect(ok_, &QPushButton::clicked, this, [this] { Choose(com_->currentText()); });
    connect(cancel_, &QPushButton::clicked, this, [this] { Choose(QString()); });
    ok_->setDefault(true);

    const QStringList names = FormatNames(ctx);
    if (!names.isEmpty()) {
        com_->clear();
        com_->addItems(names);
    }
    // The format in use is preselected, even when it is not stored.
    const int at = com_->findText(currentFormat, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (at >= 0) {
        com_->setCurrentIndex(at);
    } else {
        com_->setEditable(true);
        com_->setEditText(currentFormat);
        com_->lineEdit()->setReadOnly(true);
        com_->lineEdit()->installEventFilter(this);
    }

    CentreOnScreen(this);
    SetTopmost(this);
}

bool Sel::eventFilter(QObject* watched, QEvent* event) {
    // Keys typed into the list are swallowed: a name can only be picked with the mouse.
    // Tab, Escape and Enter still move the focus, cancel and confirm as in any dialog.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
        event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool dialogKey = key == Qt::Key_Tab || key == Qt::Key_Backtab ||
                               key == Qt::Key_Escape || key == Qt::Key_Return ||
                               key == Qt::Key_Enter;
        return !dialogKey;
    }
    if (event->type() == QEvent::InputMethod) return true;
    return QDialog::eventFilter(watched, event);
}

void Sel::Choose(const QString& name) {
    chosenFormat_ = name;
    close();
}

QString ChooseFormat(const AppContext& ctx, const QString& currentFormat, QWidget* parent) {
    static QPointer<Sel> open;
    if (open) {
        // A chooser is already waiting for the user: bring it forward instead of a second one.
        open->raise();
        open->activateWindow();
        return {};
    }
    // Closing the chooser by its close box counts as a cancel, like "取   消".
    QString chosenFormat;
    auto* sel = new Sel(ctx, currentFormat, chosenFormat, parent);
    sel->setWindowFlag(Qt::Window);
    open = sel;
    sel->show();
    WaitWhileFormOpen(ChooserCaption());
    return chosenFormat;
}

}  // namespace tf::store
