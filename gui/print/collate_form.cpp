#include "gui/print/collate_form.h"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "amount/number.h"
#include "common/prompt.h"
#include "store/settings.h"

namespace tf::print {

namespace {

QString StoredMargin(const AppContext& ctx, const QString& key) {
    const QString text = ReadSetting(ctx, SettingsApp(), CollateSection(), key);
    // Nothing stored yet: show the margin printing assumes, so saving unchanged keeps the print
    // where it was.
    if (text.isEmpty()) return NumberText(kAssumedMarginMm);
    return NumberText(LenientNumber(text));
}

QFrame* Line(QWidget* parent, const QString& name) {
    auto* line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// A dimension line with arrow heads at both ends.
void DimensionLine(QPainter& p, QPointF a, QPointF b) {
    p.drawLine(a, b);
    const QPointF d = (b - a) / std::max(1.0, QLineF(a, b).length());
    const QPointF n(-d.y(), d.x());
    const double s = 5;
    for (const auto& [tip, dir] : {std::pair{a, d}, std::pair{b, -d}}) {
        QPainterPath head;
        head.moveTo(tip);
        head.lineTo(tip + dir * s + n * s * 0.5);
        head.lineTo(tip + dir * s - n * s * 0.5);
        head.closeSubpath();
        p.fillPath(head, p.pen().color());
    }
}

}  // namespace

CalibrationPicture::CalibrationPicture(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Image1"));
    setMinimumSize(sizeHint());
}

QSize CalibrationPicture::sizeHint() const {
    return {190, 170};
}

void CalibrationPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().window());

    // The top-left corner of the sheet, torn off to the right and below.
    const QRectF sheet(20, 20, width() - 30.0, height() - 30.0);
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.setBrush(Qt::white);
    QPainterPath paper;
    paper.moveTo(sheet.bottomLeft());
    paper.lineTo(sheet.topLeft());
    paper.lineTo(sheet.topRight());
    for (int i = 1; i <= 6; ++i)
        paper.lineTo(sheet.right() - (i % 2) * 6, sheet.top() + sheet.height() * i / 6);
    for (int i = 1; i <= 6; ++i)
        paper.lineTo(sheet.right() - sheet.width() * i / 6, sheet.bottom() - (i % 2) * 6);
    paper.closeSubpath();
    p.drawPath(paper);

    // The square, 10 mm from both edges and 10 mm wide, at about 2.4 pixels per mm.
    const double unit = 2.4 * 10;
    const QRectF square(sheet.left() + 2 * unit, sheet.top() + 2 * unit, 1.5 * unit, 1.5 * unit);
    p.fillRect(square, Qt::black);

    p.setPen(QPen(QColor(200, 0, 0), 1));
    const double across = square.center().y() + unit * 1.4;
    DimensionLine(p, {sheet.left(), across}, {square.left(), across});
    const double down = square.center().x() + unit * 1.4;
    DimensionLine(p, {down, sheet.top()}, {down, square.top()});
    // Guide lines from the square's edges to the dimension lines.
    p.setPen(QPen(QColor(200, 0, 0), 1, Qt::DotLine));
    p.drawLine(QPointF(square.left(), square.bottom()), QPointF(square.left(), across + 4));
    p.drawLine(QPointF(square.right(), square.top()), QPointF(down + 4, square.top()));

    QFont f = font();
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(QColor(200, 0, 0));
    p.drawText(QRectF(sheet.left() + 2, across + 3, 2 * unit + 40, 16),
               Qt::AlignLeft | Qt::AlignTop, QStringLiteral("横向边距"));
    p.drawText(QRectF(down + 4, sheet.top() + 2, 70, 16), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("纵向边距"));
}

CollateForm::CollateForm(const AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("CollateForm"));
    setWindowTitle(CollateCaption());
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* lbl = new QLabel(this);
    lbl->setObjectName(QStringLiteral("LBL"));
    lbl->setWordWrap(true);
    lbl->setText(QStringLiteral(
                     "请在下列输入框中填入打印内容需要移动的距离，如需向反方向移动，请填写负数。") +
                 QStringLiteral("\n\n") +
                 QStringLiteral("【通常情况下，只需打印出如右图的校准黑块，量出横向边距和纵向边距填"
                                "入输入框即可，数字可填写小数】"));
    lbl->setMinimumWidth(260);

    auto* image = new CalibrationPicture(this);

    auto label = [this](int index, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QStringLiteral("Label1_%1").arg(index));
        return l;
    };
    tx_ = new QLineEdit(this);
    tx_->setObjectName(QStringLiteral("TX"));
    ty_ = new QLineEdit(this);
    ty_->setObjectName(QStringLiteral("TY"));
    for (QLineEdit* e : {tx_, ty_}) e->setMaximumWidth(90);

    auto* fields = new QGridLayout;
    fields->addWidget(label(0, QStringLiteral("向左移")), 0, 0);
    fields->addWidget(tx_, 0, 1);
    fields->addWidget(label(2, QStringLiteral("毫米（横向边距）")), 0, 2);
    fields->addWidget(label(1, QStringLiteral("向上移")), 1, 0);
    fields->addWidget(ty_, 1, 1);
    fields->addWidget(label(3, QStringLiteral("毫米（纵向边距）")), 1, 2);
    fields->setColumnStretch(3, 1);

    auto* save = new QPushButton(QStringLiteral("保    存"), this);
    save->setObjectName(QStringLiteral("Command1"));
    save->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取    消"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    connect(save, &QPushButton::clicked, this, &CollateForm::Command1_Click);
    connect(cancel, &QPushButton::clicked, this, &CollateForm::Command2_Click);

    auto* top = new QHBoxLayout;
    top->addWidget(lbl, 1);
    top->addWidget(image);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Line(this, QStringLiteral("Line1")));
    layout->addLayout(fields);
    layout->addWidget(Line(this, QStringLiteral("Line2")));
    layout->addLayout(buttons);

    Form_Load();
}

void CollateForm::Form_Load() {
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect g = screen->geometry();
        move(g.left() + (g.width() - width()) / 2, g.top() + (g.height() - height()) / 2);
    }
    tx_->setText(StoredMargin(ctx_, QStringLiteral("X")));
    ty_->setText(StoredMargin(ctx_, QStringLiteral("Y")));
}

void CollateForm::Command1_Click() {
    const bool x = WriteSetting(ctx_, SettingsApp(), CollateSection(), QStringLiteral("X"),
                                tx_->text().trimmed());
    const bool y = WriteSetting(ctx_, SettingsApp(), CollateSection(), QStringLiteral("Y"),
                                ty_->text().trimmed());
    if (!x || !y) {
        // The dialog stays open with what was typed, to try again or cancel.
        ctx_.UserPrompt().Message(
            QStringLiteral("页边距没有保存！\n设置文件“%1”无法写入，打印仍使用原来的页边距。")
                .arg(SettingsFilePath(ctx_)));
        return;
    }
    accept();
}

void CollateForm::Command2_Click() {
    reject();
}

CollateForm* ShowCollateForm(const AppContext& ctx, QWidget* parent) {
    auto* form = new CollateForm(ctx, parent);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setModal(false);
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

}  // namespace tf::print
