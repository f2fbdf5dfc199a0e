#include "gui/history/old_rec.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "gui/history/history_view.h"
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
// The height of a row and of the header.
constexpr double kRowHeight = 240;

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
    : QWidget(parent, Qt::Window),
      ctx_(ctx),
      voucher_(std::move(voucher)),
      store_(store::OpenRecordStore(ctx)) {
    setObjectName(u"OldRec"_s);
    model_ = new HistoryModel(*store_, HistoryCaptions(*voucher_), {}, this);
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
    connect(msg_->horizontalHeader(), &QHeaderView::sectionClicked, this, &OldRec::SortBy);
    connect(msg_, &HistoryView::cornerPressed, this, &OldRec::FitColumns);
    connect(msg_, &HistoryView::rowsChosen, this, [this] { rowsChosen_ = true; });
    WireKeys();
    Form_Load();
    watch_ = store_->Watch([this](const store::RecordsChange& change) { TakeInChanges(change); });
}

OldRec::~OldRec() {
    // The list's view and model read the store, which goes before the children would.
    watch_.reset();
    delete msg_;
    delete model_;
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
    msg_ = new HistoryView(this);
    msg_->setObjectName(u"MSG"_s);
    msg_->setFont(QFont(u"宋体"_s, 9));
    msg_->setModel(model_);
    // Rows and the header one default grid row high, as the list was designed.
    const int rowHeight = std::max(1, TwipsToPixels(kRowHeight));
    msg_->verticalHeader()->setDefaultSectionSize(rowHeight);
    msg_->horizontalHeader()->setFixedHeight(rowHeight);
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

HistoryColumnWidths OldRec::Fitted(int first) const {
    // A screenful: the rows the list's height shows.
    const int rows = msg_->height() / std::max(1, msg_->verticalHeader()->defaultSectionSize()) + 1;
    return FitHistoryColumns(*model_, std::max(0, first), rows, GridTextWidth());
}

void OldRec::ApplyWidths(const HistoryColumnWidths& widths) {
    // No column wider than half the list.
    const double half = PixelsToTwips(msg_->width()) / 2;
    msg_->verticalHeader()->setFixedWidth(std::max(1, TwipsToPixels(widths.numbering)));
    for (int c = 0; c < widths.columns.size(); ++c)
        msg_->setColumnWidth(c, std::max(1, TwipsToPixels(std::min(widths.columns[c], half))));
    FillLastColumn();
}

void OldRec::FillLastColumn() {
    const int last = model_->columnCount() - 1;
    int others = msg_->verticalHeader()->width();
    for (int c = 0; c < last; ++c) others += msg_->columnWidth(c);
    // What is left of the list's width, less 400 twips.
    const int room = TwipsToPixels(PixelsToTwips(msg_->width()) - 400) - others;
    if (room > msg_->columnWidth(last)) msg_->setColumnWidth(last, room);
}

void OldRec::FitColumns() {
    ApplyWidths(Fitted(msg_->rowAt(0)));
}

void OldRec::WidenToShowColumns() {
    const HistoryColumnWidths widths = Fitted(0);
    // The columns as the list shows them, in whole pixels each; the last one as its texts
    // need, not capped.
    int columns = std::max(1, TwipsToPixels(widths.numbering));
    for (int c = 0; c < widths.columns.size() - 1; ++c) columns += msg_->columnWidth(c);
    columns += TwipsToPixels(widths.columns.constLast());
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
    FillLastColumn();
}

void OldRec::ArrangeHistoryWindow() {
    const double width = PixelsToTwips(this->width());
    const double height = PixelsToTwips(this->height());
    Place(msg_, kGridSide, kGridTop, std::max(0.0, width - 2 * kGridSide),
          std::max(0.0, height - kGridTop - kGridBottom));
}

void OldRec::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeHistoryWindow();
    FillLastColumn();
}

void OldRec::SetExport(std::function<void()> run) {
    actions_.exportData->setEnabled(static_cast<bool>(run));
    export_ = std::move(run);
}

void OldRec::SetImport(std::function<void()> run) {
    actions_.importData->setEnabled(static_cast<bool>(run));
    import_ = std::move(run);
}

void OldRec::Reload() {
    // The store has told the clerk when the records cannot be read; the list is empty then.
    model_->Reload();
    ApplyWidths(Fitted(0));
    ListChanged();
}

void OldRec::AddRecords(const QList<store::RecordKey>& keys) {
    const bool wasEmpty = model_->rowCount() == 0;
    model_->AppendKeys(keys);
    FitFirstRows(wasEmpty);
}

void OldRec::FitFirstRows(bool wasEmpty) {
    if (wasEmpty && model_->rowCount() > 0) ApplyWidths(Fitted(0));
}

void OldRec::TakeInChanges(const store::RecordsChange& change) {
    // The rows chosen stay chosen: the view's selection follows its rows.
    const auto [anchor, current] = msg_->ChosenRows();
    const bool chosen = rowsChosen_;
    const store::RecordKey anchorKey = anchor >= 0 ? model_->KeyAt(anchor) : -1;
    const store::RecordKey currentKey = current >= 0 ? model_->KeyAt(current) : -1;
    const bool wasEmpty = model_->rowCount() == 0;
    switch (change.kind) {
        case store::RecordsChange::Kind::Added: {
            // Newest first, as records found by listing the keys again.
            QList<store::RecordKey> added = change.keys;
            std::sort(added.begin(), added.end(), std::greater<>());
            model_->AppendKeys(added);
            break;
        }
        case store::RecordsChange::Kind::Removed:
            model_->RemoveKeys(change.keys);
            break;
        case store::RecordsChange::Kind::Unknown:
            if (!model_->SyncKeys()) return;
    }
    FitFirstRows(wasEmpty);
    const auto rowOf = [this](store::RecordKey key) {
        for (int r = 0; r < model_->rowCount(); ++r)
            if (model_->KeyAt(r) == key) return r;
        return -1;
    };
    const int at = rowOf(currentKey);
    if (at >= 0) {
        const int from = rowOf(anchorKey);
        msg_->ChooseRows(from >= 0 ? from : at, at);
        rowsChosen_ = chosen;
    }
}

void OldRec::SetBatchAction(std::function<void(bool preview)> action) {
    actions_.batchPrint->setEnabled(static_cast<bool>(action));
    actions_.batchPreview->setEnabled(static_cast<bool>(action));
    batchAction_ = std::move(action);
}

std::pair<int, int> OldRec::ChosenRows() const {
    return msg_->ChosenRows();
}

ExportLayout OldRec::CurrentExportLayout() const {
    ExportLayout layout;
    layout.captions.append(QString());
    layout.widths.append(PixelsToTwips(msg_->verticalHeader()->width()));
    for (int c = 0; c < model_->columnCount(); ++c) {
        layout.captions.append(model_->headerData(c, Qt::Horizontal).toString());
        layout.widths.append(PixelsToTwips(msg_->columnWidth(c)));
    }
    return layout;
}

void OldRec::ListChanged(int current) {
    current = std::min(current, model_->rowCount() - 1);
    msg_->ChooseRows(current, current);
    rowsChosen_ = false;
}

void OldRec::ExportData() {
    if (export_) export_();
}

void OldRec::ImportData() {
    if (!import_) return;
    const int current = msg_->ChosenRows().second;
    import_();
    // The new rows go at the end; the current row stays where it was.
    ListChanged(std::max(0, current));
}

void OldRec::DeleteRecords() {
    const auto [anchor, current] = msg_->ChosenRows();
    if (DeleteHistoryRows(ctx_, *model_, anchor, current)) ListChanged(std::min(anchor, current));
}

void OldRec::ClearRecords() {
    if (ClearHistory(ctx_, *model_)) ListChanged();
}

void OldRec::Reprint() {
    TakeBackRow(*model_, msg_->ChosenRows().second, *voucher_);
}

void OldRec::SearchRecords() {
    // The store has told the clerk when it cannot search; the rows shown stay.
    if (model_->Search(search_->text())) ListChanged();
}

void OldRec::SortBy(int column) {
    const auto [anchor, current] = msg_->ChosenRows();
    const bool chosen = rowsChosen_;
    if (model_->SortByColumn(column)) msg_->ChooseRows(anchor, current);
    rowsChosen_ = chosen;
}

}  // namespace tf::history
