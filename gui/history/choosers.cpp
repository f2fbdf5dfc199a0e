#include "gui/history/choosers.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>

#include "common/prompt.h"
#include "gui/history/plain_grid_model.h"
#include "gui/window_utils.h"

using namespace Qt::StringLiterals;

namespace tf::history {

namespace {

constexpr int kMarkCol = 1;
constexpr int kNameCol = 2;

QString Mark() {
    return u"√"_s;
}

bool IsWorkbookName(const QString& path) {
    const QString lower = path.toLower();
    return lower.endsWith(u".xls"_s) || lower.endsWith(u".xlsx"_s);
}

}  // namespace

QString ChooseOpenWorkbook(const AppContext& ctx) {
    const QString path = ctx.UserPrompt().OpenFileName(u"打开"_s, WorkbookFilter());
    if (path.isEmpty()) return {};
    if (!IsWorkbookName(path)) {
        ctx.UserPrompt().Message(u"您选择的文件不是EXCEL文件，请选择EXCEL文件。"_s);
        return {};
    }
    return path;
}

Sheets::Sheets(const QStringList& sheetNames, QString& sheetName, QWidget* parent)
    : QDialog(parent), sheetName_(sheetName) {
    grid_.SetCols(3);
    grid_.SetRows(1);
    grid_.SetFixedRows(1);
    grid_.SetFixedCols(1);
    grid_.SetColWidth(0, 500);
    grid_.SetColWidth(kMarkCol, 480);
    grid_.SetColWidth(kNameCol, 4400);
    grid_.SetText(0, 0, u"No."_s);
    grid_.SetText(0, kMarkCol, u"选择"_s);
    grid_.SetText(0, kNameCol, u"表格名称"_s);
    for (const QString& name : sheetNames) {
        const int r = grid_.AddRow();
        grid_.SetText(r, 0, QString::number(r));
        grid_.SetText(r, kNameCol, name);
    }
    // The first sheet is chosen in advance.
    if (grid_.Rows() > 1) grid_.SetText(1, kMarkCol, Mark());
    BuildControls();
    CentreOnScreen(this);
    SetTopmost(this);
}

void Sheets::BuildControls() {
    setObjectName(u"Sheets"_s);
    setWindowTitle(SheetsCaption());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(TwipsToPixels(5900), TwipsToPixels(4200));

    model_ = new PlainGridModel(grid_, this);
    model_->SetAlignment(0, Qt::AlignLeft | Qt::AlignTop);
    model_->SetAlignment(kMarkCol, Qt::AlignCenter);
    shl_ = new QTableView(this);
    shl_->setObjectName(u"SHL"_s);
    shl_->setModel(model_);
    shl_->horizontalHeader()->hide();
    shl_->verticalHeader()->hide();
    shl_->setSelectionMode(QAbstractItemView::NoSelection);
    shl_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    shl_->setGeometry(TwipsToPixels(120), TwipsToPixels(120), TwipsToPixels(5660),
                      TwipsToPixels(3300));
    for (int c = 0; c < grid_.Cols(); ++c)
        shl_->setColumnWidth(c, TwipsToPixels(grid_.ColWidth(c)));
    for (int r = 0; r < grid_.Rows(); ++r)
        shl_->setRowHeight(r, TwipsToPixels(grid_.RowHeight(r) + 60));
    // Any mouse button presses a cell, as does the space bar on the current cell.
    connect(shl_, &QTableView::pressed, this,
            [this](const QModelIndex& i) { SHL_MouseDown(i.row(), i.column()); });
    shl_->installEventFilter(this);

    const QString captions[2] = {u"确  定"_s, u"取  消"_s};
    const int lefts[2] = {1320, 3360};
    for (int i = 0; i < 2; ++i) {
        img_[i] = new QPushButton(captions[i], this);
        img_[i]->setObjectName(u"IMG%1"_s.arg(i));
        img_[i]->setGeometry(TwipsToPixels(lefts[i]), TwipsToPixels(3600), TwipsToPixels(1215),
                             TwipsToPixels(420));
        connect(img_[i], &QPushButton::clicked, this, [this, i] { IMG_Click(i); });
    }
    img_[0]->setDefault(true);
}

bool Sheets::eventFilter(QObject* watched, QEvent* event) {
    if (watched == shl_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        SHL_MouseDown(shl_->currentIndex().row(), shl_->currentIndex().column());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Sheets::SHL_MouseDown(int row, int col) {
    if (row <= 0 || row >= grid_.Rows() || col != kMarkCol) return;
    if (grid_.Text(row, kNameCol).isEmpty()) return;
    const QString mark = grid_.Text(row, kMarkCol).trimmed().isEmpty() ? Mark() : QString();
    if (!mark.isEmpty())
        for (int r = 1; r < grid_.Rows(); ++r) grid_.SetText(r, kMarkCol, QString());
    grid_.SetText(row, kMarkCol, mark);
    model_->Refresh();
}

void Sheets::IMG_Click(int index) {
    sheetName_.clear();
    if (index == 0)
        for (int r = 1; r < grid_.Rows(); ++r)
            if (!grid_.Text(r, kMarkCol).isEmpty()) sheetName_ = grid_.Text(r, kNameCol);
    close();
}

WorkbookAndSheet ChooseWorkbookAndSheet(const AppContext& ctx, int mode,
                                        const WorkbookOpener& open) {
    WorkbookAndSheet choice;
    const QString path = ChooseOpenWorkbook(ctx);
    if (!IsWorkbookName(path)) return choice;
    choice.path = path;
    // A workbook that cannot be read is refused with its cause, without a list.
    const std::optional<QStringList> names = ReadSheetNames(ctx, path, open);
    if (!names) return choice;
    // Closing the window by its close box chooses no sheet, like "取  消".
    auto* sheets = new Sheets(*names, choice.sheet);
    sheets->Mode = QString::number(mode);
    sheets->show();
    WaitWhileFormOpen(SheetsCaption());
    return choice;
}

}  // namespace tf::history
