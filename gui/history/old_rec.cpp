#include "gui/history/old_rec.h"

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

struct ButtonDesign {
    int index;
    const char16_t* caption;
    double left, width;  // twips, inside the window or inside the frame
};

constexpr double kButtonTop = 70;
constexpr double kButtonHeight = 330;
constexpr double kFrameTop = 10;
constexpr double kFrameHeight = 420;

constexpr ButtonDesign kFrame1Buttons[] = {{0, u"导出数据", 60, 1035},
                                           {3, u"导入数据", 1155, 1035}};
constexpr ButtonDesign kFrame2Buttons[] = {{5, u"删除记录", 60, 1035},
                                           {1, u"清空记录", 1155, 1035}};
constexpr ButtonDesign kWindowButtons[] = {
    {4, u"再次打印", 4800, 1035}, {6, u"搜  索", 10260, 900}, {2, u"退   出", 11460, 1035}};
// Beside "再次打印": the batch and its preview.
constexpr ButtonDesign kBatchButtons[] = {{-1, u"批量打印", 5880, 1035},
                                          {-1, u"批量预览", 6960, 1035}};

void Place(QWidget* w, double left, double top, double width, double height) {
    w->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                   TwipsToPixels(height));
}

}  // namespace

OldRec::OldRec(AppContext& ctx, std::unique_ptr<VoucherFields> voucher, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), voucher_(std::move(voucher)) {
    setObjectName(u"OldRec"_s);
    setWindowTitle(Caption());
    BuildControls();
    for (size_t i = 0; i < comm_.size(); ++i) {
        const int index = static_cast<int>(i);
        connect(comm_[i], &QPushButton::clicked, this, [this, index] { Comm_Click(index); });
    }
    // Enter in the search box searches as the button does; typing alone does not.
    connect(search_, &QLineEdit::returnPressed, this, [this] { Comm_Click(6); });
    connect(msg_, &GridView::headerPressed, this, &OldRec::MSG_MouseDown);
    connect(msg_, &GridView::rowsChosen, this, [this] { rowsChosen_ = true; });
    connect(batch_, &QPushButton::clicked, this, [this] {
        if (batchAction_) batchAction_(false);
    });
    connect(batchPreview_, &QPushButton::clicked, this, [this] {
        if (batchAction_) batchAction_(true);
    });
    WireKeys();
    Form_Load();
}

OldRec::~OldRec() {
    // The list's view reads the grid, which goes before the child widgets would.
    delete msg_;
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
        button->setObjectName(u"Comm"_s + QString::number(b.index));
        button->setAutoDefault(false);
        Place(button, b.left, top, b.width, kButtonHeight);
        comm_[static_cast<size_t>(b.index)] = button;
    };
    for (const ButtonDesign& b : kFrame1Buttons) make(b, frame1_, kButtonTop - kFrameTop - 15);
    for (const ButtonDesign& b : kFrame2Buttons) make(b, frame2_, kButtonTop - kFrameTop - 15);
    for (const ButtonDesign& b : kWindowButtons) make(b, this, kButtonTop);
    // Export and import are enabled once they are provided.
    comm_[0]->setEnabled(false);
    comm_[3]->setEnabled(false);

    const auto makeBatch = [this](const ButtonDesign& b, const QString& name) {
        auto* button = new QPushButton(QString::fromUtf16(b.caption), this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        button->setEnabled(false);
        Place(button, b.left, kButtonTop, b.width, kButtonHeight);
        return button;
    };
    batch_ = makeBatch(kBatchButtons[0], u"CommBatch"_s);
    batchPreview_ = makeBatch(kBatchButtons[1], u"CommBatchPreview"_s);

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
    setTabOrder(search_, comm_[6]);
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

void OldRec::SetAction(int index, std::function<void()> action) {
    if (index < 0 || index >= static_cast<int>(comm_.size())) return;
    comm_[static_cast<size_t>(index)]->setEnabled(static_cast<bool>(action));
    actions_[static_cast<size_t>(index)] = std::move(action);
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
    batch_->setEnabled(static_cast<bool>(action));
    batchPreview_->setEnabled(static_cast<bool>(action));
    batchAction_ = std::move(action);
}

void OldRec::Comm_Click(int index) {
    // Once the list changed or was searched, the current row is the window's, not the clerk's.
    const auto changed = [this] {
        rowsChosen_ = false;
        Refresh();
    };
    switch (index) {
        case 0:
        case 3:
            if (actions_[static_cast<size_t>(index)]) {
                actions_[static_cast<size_t>(index)]();
                if (index == 3)
                    changed();
                else
                    Refresh();
            }
            break;
        case 5:
            if (DeleteHistoryRows(ctx_, grid_)) changed();
            break;
        case 1:
            if (ClearHistory(ctx_, grid_)) changed();
            break;
        case 4:
            TakeBackRecord(grid_, *voucher_);
            break;
        case 6:
            FilterHistory(grid_, search_->text());
            changed();
            break;
        case 2:
            close();
            break;
        default:
            break;
    }
}

void OldRec::MSG_MouseDown(Qt::MouseButton, double x, double y) {
    GridHeaderClick(grid_, x, y, GridTextWidth());
    Refresh();
}

}  // namespace tf::history
