#include "gui/history/column_dialog.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/history/plain_grid_model.h"
#include "gui/window_utils.h"
#include "history/grid_ops.h"
#include "history/text_width.h"

using namespace Qt::StringLiterals;

namespace tf::history {

namespace {

// The mapping boxes in their three rows, by box number (box k is Text1(10 + k)).
constexpr int kBoxRows[3][7] = {
    {0, 1, 2, 3, 4, 5, 6}, {10, 11, 7, 8, 9, -1, -1}, {12, 13, 14, 15, 16, 17, -1}};

QString BoxCaption(int k) {
    static const char16_t* const captions[kMappedColumns] = {
        u"序号",     u"年",       u"月",       u"日",       u"出票人",   u"出票账号",
        u"出票银行", u"收款人",   u"收款账号", u"收款银行", u"大写金额", u"小写金额",
        u"票据种类", u"票所张数", u"票据号码", u"复核",     u"记账",     u"备注"};
    return QString::fromUtf16(captions[k]);
}

}  // namespace

fOpen::fOpen(const AppContext& ctx, const QString& path, const QString& sheet,
             std::optional<ImportRequest>& result, QWidget* parent)
    : QDialog(parent), ctx_(ctx), path_(path), sheet_(sheet), result_(result) {
    BuildControls();
    CentreOnScreen(this);
    SetTopmost(this);
}

QLineEdit* fOpen::Text1(int index) const {
    if (index == 0 || index == 1) return rows_[index];
    return boxes_[index - 10];
}

void fOpen::BuildControls() {
    setObjectName(u"fOpen"_s);
    setWindowTitle(ColumnDialogCaption());
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);

    // Rows: digits only, at most four of them.
    auto* rowLine = new QHBoxLayout;
    const QString rowCaptions[2] = {u"起始行："_s, u"终止行："_s};
    const QString rowDefaults[2] = {u"2"_s, u"100"_s};
    const int rowLabels[2] = {2, 6};
    for (int i = 0; i < 2; ++i) {
        auto* label = new QLabel(rowCaptions[i], this);
        label->setObjectName(u"Label2_%1"_s.arg(rowLabels[i]));
        rows_[i] = new QLineEdit(rowDefaults[i], this);
        rows_[i]->setObjectName(u"Text1_%1"_s.arg(i));
        rows_[i]->setMaxLength(4);
        rows_[i]->setValidator(
            new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,4}"_s), rows_[i]));
        rows_[i]->setFixedWidth(TwipsToPixels(900));
        rows_[i]->installEventFilter(this);
        label->setBuddy(rows_[i]);
        rowLine->addWidget(label);
        rowLine->addWidget(rows_[i]);
        rowLine->addSpacing(TwipsToPixels(360));
    }
    rowLine->addStretch();
    layout->addLayout(rowLine);

    auto* frame = new QGroupBox(u"数据项对应关系"_s, this);
    frame->setObjectName(u"Frame1"_s);
    auto* boxes = new QGridLayout(frame);
    for (int line = 0; line < 3; ++line) {
        for (int at = 0; at < 7; ++at) {
            const int k = kBoxRows[line][at];
            if (k < 0) continue;
            auto* label = new QLabel(BoxCaption(k), frame);
            label->setObjectName(u"Label2_%1"_s.arg(10 + k));
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            auto* box = new QLineEdit(QString(QChar(u'A' + k)), frame);
            box->setObjectName(u"Text1_%1"_s.arg(10 + k));
            box->setFixedWidth(TwipsToPixels(600));
            if (k == 1) box->setMaxLength(2);
            box->installEventFilter(this);
            label->setBuddy(box);
            boxes_[k] = box;
            boxes->addWidget(label, line, 2 * at);
            boxes->addWidget(box, line, 2 * at + 1);
        }
    }
    layout->addWidget(frame);

    auto* sampleLabel = new QLabel(u"表格示例："_s, this);
    sampleLabel->setObjectName(u"Label1"_s);
    layout->addWidget(sampleLabel);
    model_ = new PlainGridModel(sample_, this);
    msf_ = new QTableView(this);
    msf_->setObjectName(u"MSF"_s);
    msf_->setModel(model_);
    msf_->horizontalHeader()->hide();
    msf_->verticalHeader()->hide();
    msf_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    msf_->setMinimumSize(TwipsToPixels(11000), TwipsToPixels(3800));
    layout->addWidget(msf_, 1);

    auto* buttons = new QHBoxLayout;
    const QString captions[2] = {u"确 定"_s, u"取 消"_s};
    buttons->addStretch();
    for (int i = 0; i < 2; ++i) {
        qqb_[i] = new QPushButton(captions[i], this);
        qqb_[i]->setObjectName(u"QQB%1"_s.arg(i));
        qqb_[i]->setMinimumWidth(TwipsToPixels(1215));
        connect(qqb_[i], &QPushButton::clicked, this, [this, i] { QQB_Click(i); });
        buttons->addWidget(qqb_[i]);
        buttons->addSpacing(TwipsToPixels(600));
    }
    qqb_[0]->setDefault(true);
    buttons->addStretch();
    layout->addLayout(buttons);
    // Lay the controls out now: the sample is fitted to the grid's width before showing.
    layout->activate();
}

void fOpen::DisplayXls(const WorkbookOpener& open) {
    history::DisplayXls(ctx_, sample_, path_, sheet_, open);
    sample_.SetWidth(PixelsToTwips(msf_->width() - 2 * msf_->frameWidth()));
    FitColumns(sample_, 1, FontTextWidth(msf_->font(), TwipsPerPixel()));
    model_->Refresh();
    // The view pads every cell by a few pixels on top of the fitted text width.
    constexpr int kPadding = 6;
    for (int c = 0; c < sample_.Cols(); ++c)
        msf_->setColumnWidth(c, TwipsToPixels(sample_.ColWidth(c)) + kPadding);
    for (int r = 0; r < sample_.Rows(); ++r)
        msf_->setRowHeight(r, TwipsToPixels(sample_.RowHeight(r)) + kPadding);
}

bool fOpen::eventFilter(QObject* watched, QEvent* event) {
    // A box that gets the focus has its whole text selected, so typing replaces it.
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
    }
    return QDialog::eventFilter(watched, event);
}

void fOpen::QQB_Click(int index) {
    hide();
    if (index == 0) {
        ImportRequest request;
        request.path = path_;
        request.sheet = sheet_;
        for (int k = 0; k < kMappedColumns; ++k)
            request.columnMap[static_cast<size_t>(k)] = ColumnNumber(boxes_[k]->text());
        request.firstRow = rows_[0]->text().toInt();
        request.lastRow = rows_[1]->text().toInt();
        result_ = request;
    } else {
        result_.reset();
    }
    close();
}

std::optional<ImportRequest> ChooseColumns(const AppContext& ctx, const QString& path,
                                           const QString& sheet, const WorkbookOpener& open) {
    std::optional<ImportRequest> result;
    auto* dialog = new fOpen(ctx, path, sheet, result);
    // The sample is read before the dialog shows, so a message about it is not hidden
    // behind the dialog.
    dialog->DisplayXls(open);
    dialog->show();
    WaitWhileFormOpen(ColumnDialogCaption());
    return result;
}

}  // namespace tf::history
