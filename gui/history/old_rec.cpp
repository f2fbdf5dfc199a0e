#include "gui/history/old_rec.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "gui/history/grid_view.h"
#include "gui/window_utils.h"
#include "history/grid_ops.h"
#include "history/text_width.h"

using namespace Qt::StringLiterals;

namespace tf::history {

namespace {

// The client area at design time, twips.
constexpr double kClientWidth = 12615;
constexpr double kClientHeight = 6750;
// Margins of the list: left and right, above (the button strip) and below.
constexpr double kGridSide = 50;
constexpr double kGridTop = 460;
constexpr double kGridBottom = 50;

struct ActionDesign {
    QAction* OldRec::Actions::*action;
    const char16_t* name;
    const char16_t* text;
};

constexpr ActionDesign kActions[] = {
    {&OldRec::Actions::exportData, u"actionExport", u"导出数据"},
    {&OldRec::Actions::importData, u"actionImport", u"导入数据"},
    {&OldRec::Actions::deleteRecords, u"actionDelete", u"删除记录"},
    {&OldRec::Actions::clearRecords, u"actionClear", u"清空记录"},
    {&OldRec::Actions::reprint, u"actionReprint", u"再次打印"},
    {&OldRec::Actions::batchPrint, u"actionBatchPrint", u"批量打印"},
    {&OldRec::Actions::batchPreview, u"actionBatchPreview", u"批量预览"},
    {&OldRec::Actions::search, u"actionSearch", u"搜索"},
    {&OldRec::Actions::exit, u"actionExit", u"退出"},
};

struct ButtonDesign {
    QAction* OldRec::Actions::*action;
    const char16_t* name;
    const char16_t* caption;
    double left, width;  // twips, inside the window or inside the frame
};

constexpr double kButtonTop = 70;
constexpr double kButtonHeight = 330;
constexpr double kFrameTop = 10;
constexpr double kFrameHeight = 420;

constexpr ButtonDesign kFrame1Buttons[] = {
    {&OldRec::Actions::exportData, u"exportButton", u"导出数据", 60, 1035},
    {&OldRec::Actions::importData, u"importButton", u"导入数据", 1155, 1035}};
constexpr ButtonDesign kFrame2Buttons[] = {
    {&OldRec::Actions::deleteRecords, u"deleteButton", u"删除记录", 60, 1035},
    {&OldRec::Actions::clearRecords, u"clearButton", u"清空记录", 1155, 1035}};
// In the order of the focus chain; beside "再次打印" the batch and its preview.
constexpr ButtonDesign kWindowButtons[] = {
    {&OldRec::Actions::reprint, u"reprintButton", u"再次打印", 4800, 1035},
    {&OldRec::Actions::search, u"searchButton", u"搜  索", 10260, 900},
    {&OldRec::Actions::exit, u"exitButton", u"退   出", 11460, 1035},
    {&OldRec::Actions::batchPrint, u"batchPrintButton", u"批量打印", 5880, 1035},
    {&OldRec::Actions::batchPreview, u"batchPreviewButton", u"批量预览", 6960, 1035}};

void Place(QWidget* w, double left, double top, double width, double height) {
    w->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                   TwipsToPixels(height));
}

}  // namespace

OldRec::OldRec(AppContext& ctx, std::unique_ptr<VoucherFields> voucher, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), voucher_(std::move(voucher)) {
    setObjectName(u"OldRec"_s);
    setWindowTitle(Caption());
    BuildActions();
    BuildControls();
    connect(actions_.exportData, &QAction::triggered, this, &OldRec::ExportData);
    connect(actions_.importData, &QAction::triggered, this, &OldRec::ImportData);
    connect(actions_.deleteRecords, &QAction::triggered, this, &OldRec::DeleteRecords);
    connect(actions_.clearRecords, &QAction::triggered, this, &OldRec::ClearRecords);
    connect(actions_.reprint, &QAction::triggered, this, &OldRec::Reprint);
    connect(actions_.search, &QAction::triggered, this, &OldRec::SearchRecords);
    connect(actions_.exit, &QAction::triggered, this, &QWidget::close);
    connect(actions_.batchPrint, &QAction::triggered, this, [this] {
        if (batchAction_) batchAction_(false);
    });
    connect(actions_.batchPreview, &QAction::triggered, this, [this] {
        if (batchAction_) batchAction_(true);
    });
    // Enter in the search box searches as the button does; typing alone does not.
    connect(search_, &QLineEdit::returnPressed, actions_.search, &QAction::trigger);
    connect(msg_, &GridView::headerPressed, this, &OldRec::MSG_MouseDown);
    connect(msg_, &GridView::rowsChosen, this, [this] { rowsChosen_ = true; });
    WireKeys();
    Form_Load();
}

OldRec::~OldRec() {
    // The list's view reads the grid, which goes before the child widgets would.
    delete msg_;
}

void OldRec::BuildActions() {
    for (const ActionDesign& a : kActions) {
        auto* action = new QAction(QString::fromUtf16(a.text), this);
        action->setObjectName(QString::fromUtf16(a.name));
        actions_.*a.action = action;
    }
    // Export, import and the batch are enabled once they are provided.
    for (QAction* provided :
         {actions_.exportData, actions_.importData, actions_.batchPrint, actions_.batchPreview})
        provided->setEnabled(false);
}

void OldRec::BuildControls() {
    resize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));

    frame1_ = new QGroupBox(this);
    frame1_->setObjectName(u"Frame1"_s);
    Place(frame1_, kGridSide, kFrameTop, 2250, kFrameHeight);
    frame2_ = new QGroupBox(this);
    frame2_->setObjectName(u"Frame2"_s);
    Place(frame2_, 2400, kFrameTop, 2250, kFrameHeight);

    const auto make = [this](const ButtonDesign& b, QWidget* parent, double top) {
        auto* button = new QPushButton(QString::fromUtf16(b.caption), parent);
        button->setObjectName(QString::fromUtf16(b.name));
        button->setAutoDefault(false);
        Place(button, b.left, top, b.width, kButtonHeight);
        ShowAction(button, actions_.*b.action);
        return button;
    };
    for (const ButtonDesign& b : kFrame1Buttons) make(b, frame1_, kButtonTop - kFrameTop - 15);
    for (const ButtonDesign& b : kFrame2Buttons) make(b, frame2_, kButtonTop - kFrameTop - 15);
    QPushButton* searchButton = nullptr;
    for (const ButtonDesign& b : kWindowButtons) {
        QPushButton* button = make(b, this, kButtonTop);
        if (b.action == &Actions::search) searchButton = button;
    }

    search_ = new QLineEdit(this);
    search_->setObjectName(u"Search"_s);
    search_->setPlaceholderText(u"输入要查找的文字"_s);
    Place(search_, 8070, kButtonTop, 2130, kButtonHeight);
    msg_ = new GridView(grid_, this);
    msg_->setObjectName(u"MSG"_s);
    msg_->Model()->SetFont(QFont(u"宋体"_s, 9));
    msg_->setFont(QFont(u"宋体"_s, 9));
    msg_->setStyleSheet(
        u"QTableView#MSG { gridline-color: rgb(128,128,255); color: rgb(0,0,255); }"
        "QTableView#MSG QHeaderView::section { background-color: rgb(255,224,192);"
        " color: rgb(0,0,64); border: none; border-right: 1px solid rgb(128,128,255);"
        " border-bottom: 1px solid rgb(128,128,255); padding-left: 2px; }"
        "QTableView#MSG QTableCornerButton::section { background-color: rgb(255,224,192);"
        " border: none; border-right: 1px solid rgb(128,128,255);"
        " border-bottom: 1px solid rgb(128,128,255); }"_s);
    setTabOrder(search_, searchButton);
    ArrangeHistoryWindow();
}

TextWidth OldRec::GridTextWidth() const {
    // A cell shows its text inside the style's margins; they count as part of its width.
    const int margin =
        2 * (msg_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, msg_) + 1) + 1;
    return [measure = FontTextWidth(msg_->font(), TwipsPerPixel()), extra = PixelsToTwips(margin)](
               const QString& text) { return text.isEmpty() ? 0.0 : measure(text) + extra; };
}

void OldRec::Form_Load() {
    // The newest record is current, as the list opens.
    Reload();
    WidenToShowColumns();
    CentreOnScreen(this);
}

void OldRec::WidenToShowColumns() {
    const int last = grid_.Cols() - 1;
    if (last < 0) return;
    // The columns as the list shows them, in whole pixels each; the last column is filled out
    // to the list's width, so its texts tell what it needs.
    int columns = TwipsToPixels(std::round(FittedWidth(grid_, last, 1, GridTextWidth())));
    for (int c = 0; c < last; ++c)
        if (grid_.ColWidth(c) > 0) columns += std::max(1, TwipsToPixels(grid_.ColWidth(c)));
    // Beside them the list's frame and scroll bar, and the margins around the list.
    const int needed = columns + 2 * msg_->frameWidth() +
                       msg_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, msg_) +
                       2 * TwipsToPixels(kGridSide) + 1;
    const QScreen* shown = screen();
    if (needed <= width() || !shown) return;
    // The window frame's share of the screen, before the window manager tells it.
    constexpr int kFrameAllowance = 16;
    const int room = shown->availableGeometry().width() - kFrameAllowance;
    if (room <= width()) return;
    resize(std::min(needed, room), height());
    ArrangeHistoryWindow();
    FillLastColumn(grid_);
    msg_->Refresh();
}

void OldRec::ArrangeHistoryWindow() {
    const double width = PixelsToTwips(this->width());
    const double height = PixelsToTwips(this->height());
    Place(msg_, kGridSide, kGridTop, std::max(0.0, width - 2 * kGridSide),
          std::max(0.0, height - kGridTop - kGridBottom));
    grid_.SetWidth(PixelsToTwips(msg_->width()));
}

void OldRec::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeHistoryWindow();
}

void OldRec::SetExport(std::function<void()> run) {
    actions_.exportData->setEnabled(static_cast<bool>(run));
    export_ = std::move(run);
}

void OldRec::SetImport(std::function<void()> run) {
    actions_.importData->setEnabled(static_cast<bool>(run));
    import_ = std::move(run);
}

void OldRec::Refresh() {
    msg_->Refresh();
}

void OldRec::Reload() {
    FillHistory(ctx_, grid_, *voucher_, GridTextWidth());
    grid_.Row = grid_.RowSel = grid_.FixedRows();
    msg_->Refresh();
    rowsChosen_ = false;
}

void OldRec::SetBatchAction(std::function<void(bool preview)> action) {
    actions_.batchPrint->setEnabled(static_cast<bool>(action));
    actions_.batchPreview->setEnabled(static_cast<bool>(action));
    batchAction_ = std::move(action);
}

void OldRec::ListChanged() {
    rowsChosen_ = false;
    Refresh();
}

void OldRec::ExportData() {
    if (!export_) return;
    export_();
    Refresh();
}

void OldRec::ImportData() {
    if (!import_) return;
    import_();
    ListChanged();
}

void OldRec::DeleteRecords() {
    if (DeleteHistoryRows(ctx_, grid_)) ListChanged();
}

void OldRec::ClearRecords() {
    if (ClearHistory(ctx_, grid_)) ListChanged();
}

void OldRec::Reprint() {
    TakeBackRecord(grid_, *voucher_);
}

void OldRec::SearchRecords() {
    FilterHistory(grid_, search_->text());
    ListChanged();
}

void OldRec::MSG_MouseDown(Qt::MouseButton, double x, double y) {
    GridHeaderClick(grid_, x, y, GridTextWidth());
    Refresh();
}

}  // namespace tf::history
