#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>

#include "amount/amount.h"
#include "amount/number.h"
#include "app/font_menu.h"
#include "app/grid.h"
#include "app/history_link.h"
#include "app/layout_edit.h"
#include "app/window_utils.h"
#include "common/colour.h"
#include "common/prompt.h"
#include "print/collate_form.h"
#include "print/preview.h"
#include "print/print_job.h"
#include "print/qt_printer.h"
#include "store/database.h"
#include "store/default_format.h"
#include "store/format_chooser.h"
#include "store/records.h"
#include "store/spacing.h"

namespace tf {

namespace {

// Design geometry of the window, twips.
constexpr double kPicLeft = 60;
constexpr double kPicTop = 1440;
constexpr double kTabLeft = 60;
constexpr double kTabTop = 120;
constexpr double kTabWidth = 10575;
constexpr double kTabHeight = 1335;
// Controls on a tab page are designed from the tab control's top edge; the page starts
// below the tab strip.
constexpr double kTabStrip = 420;
constexpr double kTitleWidth = 4695;
constexpr double kTitleHeight = 375;
constexpr double kTipHeight = 255;

struct ButtonDesign {
    int index;
    const char16_t* caption;
    double left, top, width, height;
};

// Buttons on tab 0 ("打 印").
constexpr ButtonDesign kTabButtons[] = {
    {0, u"打      印", 120, 480, 1935, 735},     {2, u"历 史 格 式", 2160, 480, 1455, 375},
    {3, u"保 存 格 式", 2160, 840, 1455, 375},   {4, u"校准  打印机", 3720, 480, 1455, 375},
    {1, u"历史打印记录", 3720, 840, 1455, 375},  {10, u"删 除 格 式", 5280, 480, 1455, 375},
    {5, u"校准 小写金额", 8760, 480, 1455, 375},
};

// Buttons above the tab control, re-placed from the picture's right edge by ArrangeWindow.
constexpr ButtonDesign kTopButtons[] = {
    {9, u"QQ在线帮助", 6840, 60, 1215, 375},
    {7, u"帮  助", 8040, 60, 735, 375},
    {6, u"退  出", 9600, 60, 975, 375},
};

const QColor kGreyField(221, 221, 221);

QString CaptionOf(int i) {
    static const char16_t* const captions[] = {
        u"年",         u"月",         u"日",         u"出票人全称", u"出票人账号", u"出票人银行",
        u"收款人全称", u"收款人账号", u"收款人银行", u"大写金额",   u"小写金额",   u"票据种类",
        u"票据张数",   u"票据号码",   u"复核",       u"记账",       u"年",         u"月",
        u"日",         u"出票人全称", u"出票人账号", u"出票人银行", u"收款人全称", u"收款人账号",
        u"收款人银行", u"备注",       u"小写金额",   u"票据种类",   u"票据张数",   u"票据号码",
        u"复核",       u"记账"};
    return QString::fromUtf16(captions[i - kFirstField]);
}

bool IsDateField(int i) {
    return (i >= 2 && i <= 4) || (i >= 18 && i <= 20);
}
bool IsYearField(int i) {
    return i == 2 || i == 18;
}

// Focus order of the voucher fields, then of the settings boxes.
constexpr int kFieldTabOrder[] = {5,  6,  7,  8,  9,  10, 11, 12, 2,  3,  4,  13, 14, 15, 16, 17,
                                  18, 19, 20, 21, 22, 23, 28, 24, 25, 26, 29, 30, 31, 32, 33, 27};
constexpr int kSettingsTabOrder[] = {2, 1, 0, 3};

void Place(QWidget* w, double left, double top, double width, double height) {
    const int x = TwipsToPixels(left);
    const int y = TwipsToPixels(top);
    // Right and bottom edges are rounded on their own, so neighbours meet without gaps.
    w->setGeometry(x, y, std::max(1, TwipsToPixels(left + width) - x),
                   std::max(1, TwipsToPixels(top + height) - y));
}

QFont SimSun(double points, bool bold = false, bool underline = false) {
    QFont f(QStringLiteral("宋体"));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setUnderline(underline);
    return f;
}

void SetTextColour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

// A voucher field: a flat box with a thin border, as on the form, so that even small
// heights show their text. Its colours come from the palette (Base, Text).
class FieldEdit : public QLineEdit {
public:
    explicit FieldEdit(QWidget* parent) : QLineEdit(parent) { setFrame(false); }

protected:
    void paintEvent(QPaintEvent* event) override {
        QLineEdit::paintEvent(event);
        QPainter painter(this);
        painter.setPen(QColor(127, 127, 127));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

const char* const kKindProperty = "tfKind";
const char* const kIndexProperty = "tfIndex";
// A selected field keeps its own background colour here, as decimal 0x00BBGGRR text.
const char* const kTagProperty = "tag";

}  // namespace

// The voucher picture. What is drawn on it lives in a canvas that stays until the next
// clearing; painting only shows the canvas under the frame and the child widgets.
class PicBox : public QFrame {
public:
    explicit PicBox(QWidget* parent) : QFrame(parent) {}

    const QImage& Canvas() const { return canvas_; }
    QImage& Canvas() { return canvas_; }

    // A clean canvas of the picture's present size in its background colour.
    void Clear() {
        const qreal dpm = 1440.0 / TwipsPerPixel() / 0.0254;
        canvas_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        canvas_.setDotsPerMeterX(qRound(dpm));
        canvas_.setDotsPerMeterY(qRound(dpm));
        canvas_.fill(palette().color(QPalette::Window));
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter p(this);
            p.drawImage(0, 0, canvas_);
        }
        QFrame::paintEvent(event);
    }

private:
    QImage canvas_;
};

MF::MF(AppContext& ctx, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      settings_(store::DesignSettings()),
      placement_(DesignPlacement()) {
    setObjectName(QStringLiteral("MF"));
    setWindowTitle(Caption());
    BuildControls();
    SetTabOrder();
    Form_Load();
}

MF::~MF() = default;

// ---------------------------------------------------------------------------------------
// Controls

void MF::BuildControls() {
    // The voucher picture with its fields, captions, title and stub line.
    auto* pic = new PicBox(this);
    pic->setObjectName(QStringLiteral("Pic"));
    pic->setFrameShape(QFrame::Panel);
    pic->setFrameShadow(QFrame::Sunken);
    pic->setAutoFillBackground(true);
    {
        QPalette p = pic->palette();
        p.setColor(QPalette::Window, p.color(QPalette::Base));
        pic->setPalette(p);
    }
    pic->setFocusPolicy(Qt::ClickFocus);
    pic_ = pic;
    Place(pic_, kPicLeft, kPicTop, store::kDesignPictureWidth, store::kDesignPictureHeight);
    pic_->Clear();
    WatchKeys(pic_);

    lin_ = new QFrame(pic_);
    lin_->setObjectName(QStringLiteral("Lin1"));
    lin_->setAutoFillBackground(true);
    {
        QPalette p = lin_->palette();
        p.setColor(QPalette::Window, Qt::black);
        lin_->setPalette(p);
    }

    title_ = new QLabel(QStringLiteral("中国 XX 银行进账单    (回 单)"), pic_);
    title_->setObjectName(QStringLiteral("L0"));
    title_->setFont(SimSun(15, true, true));
    title_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    for (int i = kFirstField; i <= kLastField; ++i) {
        auto* edit = new FieldEdit(pic_);
        edit->setObjectName(QStringLiteral("T%1").arg(i));
        edit->setProperty(kKindProperty, QStringLiteral("T"));
        edit->setProperty(kIndexProperty, i);
        if (IsDateField(i)) {
            edit->setText(QString::fromUtf16(IsYearField(i)        ? u"2007"
                                             : (i == 3 || i == 19) ? u"1"
                                                                   : u"12"));
            edit->setMaxLength(IsYearField(i) ? 4 : 2);
        }
        if (IsDateField(i) || i == kCapitalField) {
            QPalette p = edit->palette();
            p.setColor(QPalette::Base, kGreyField);
            edit->setPalette(p);
        }
        connect(edit, &QLineEdit::textChanged, this, [this] { ContentChanged = true; });
        // The right button opens the field's font menu instead of the edit menu.
        edit->setContextMenuPolicy(Qt::PreventContextMenu);
        WatchKeys(edit);
        t_[i] = edit;

        auto* caption = new QLabel(CaptionOf(i), pic_);
        caption->setObjectName(QStringLiteral("L%1").arg(i));
        caption->setFont(SimSun(9));
        caption->adjustSize();
        l_[i] = caption;
    }
    lin_->lower();
    PlaceFieldWidgets();

    // The tab control with the commands and the print settings.
    sst_ = new QTabWidget(this);
    sst_->setObjectName(QStringLiteral("SST"));
    sst_->setFocusPolicy(Qt::ClickFocus);
    sst_->tabBar()->setFocusPolicy(Qt::ClickFocus);
    Place(sst_, kTabLeft, kTabTop, kTabWidth, kTabHeight);
    auto* printPage = new QWidget;
    auto* settingsPage = new QWidget;
    printPage->setObjectName(QStringLiteral("SSTPage0"));
    settingsPage->setObjectName(QStringLiteral("SSTPage1"));
    sst_->addTab(printPage, QStringLiteral("打 印"));
    sst_->addTab(settingsPage, QStringLiteral("设 置"));
    connect(sst_, &QTabWidget::tabBarClicked, this, [this] { ClearSelection(); });
    WatchKeys(sst_);
    WatchKeys(sst_->tabBar());
    BuildPrintTab(printPage);
    BuildSettingsTab(settingsPage);

    for (const ButtonDesign& b : kTopButtons) {
        auto* button = new QPushButton(QString::fromUtf16(b.caption), this);
        button->setObjectName(QStringLiteral("Cm%1").arg(b.index));
        Place(button, b.left, b.top, b.width, b.height);
        cm_[static_cast<size_t>(b.index)] = button;
    }
    for (size_t i = 0; i < cm_.size(); ++i) {
        if (!cm_[i]) continue;  // there is no Cm(8)
        // Buttons take the focus when clicked, so the field being left runs its rules first.
        cm_[i]->setFocusPolicy(Qt::ClickFocus);
        cm_[i]->setAutoDefault(false);
        const int index = static_cast<int>(i);
        connect(cm_[i], &QPushButton::clicked, this, [this, index] { Cm_Click(index); });
        WatchKeys(cm_[i]);
        cm_[i]->raise();
    }
    // The calibration of the amount boxes is not offered.
    cm_[5]->setEnabled(false);

    lbl_ = new QLabel(QStringLiteral("Tallyform 银行进账单填写打印：对准套打，一次成单。"), this);
    lbl_->setObjectName(QStringLiteral("LBL"));
    SetTextColour(lbl_, Qt::blue);
    Place(lbl_, kPicLeft, kPicTop + store::kDesignPictureHeight + 60, store::kDesignPictureWidth,
          kTipHeight);
}

void MF::BuildPrintTab(QWidget* page) {
    for (const ButtonDesign& b : kTabButtons) {
        auto* button = new QPushButton(QString::fromUtf16(b.caption), page);
        button->setObjectName(QStringLiteral("Cm%1").arg(b.index));
        Place(button, b.left - kTabLeft, b.top - kTabStrip, b.width, b.height);
        if (b.index == 0) {
            QFont f = button->font();
            f.setBold(true);
            button->setFont(f);
        }
        cm_[static_cast<size_t>(b.index)] = button;
    }
    // Not in the original design: a preview of the page before a pre-printed form is spent.
    preview_ = new QPushButton(QStringLiteral("打印预览"), page);
    preview_->setObjectName(QStringLiteral("CmPreview"));
    Place(preview_, 6840 - kTabLeft, 480 - kTabStrip, 1455, 375);
    preview_->setFocusPolicy(Qt::ClickFocus);
    preview_->setAutoDefault(false);
    connect(preview_, &QPushButton::clicked, this, &MF::Preview_Click);
    WatchKeys(preview_);

    label3_ = new QLabel(QStringLiteral("当前格式："), page);
    label3_->setObjectName(QStringLiteral("Label3"));
    curFormat_ = new QLabel(store::DefaultFormatName(), page);
    curFormat_->setObjectName(QStringLiteral("CurFormat"));
    for (QLabel* label : {label3_, curFormat_}) {
        SetTextColour(label, Qt::red);
        label->adjustSize();
    }
    label3_->move(TwipsToPixels(5280 - kTabLeft), TwipsToPixels(1040 - kTabStrip));
    curFormat_->move(TwipsToPixels(6160 - kTabLeft), TwipsToPixels(1040 - kTabStrip));
}

void MF::BuildSettingsTab(QWidget* page) {
    auto* frm = new QFrame(page);
    frm->setObjectName(QStringLiteral("Frm"));
    frm->setFrameShape(QFrame::StyledPanel);
    frm->setFrameShadow(QFrame::Sunken);
    Place(frm, 60, 30, 10395, 870);

    struct CheckDesign {
        const char16_t* caption;
        double left, width;
    };
    const CheckDesign checks[] = {{u"显示基准网格", 120, 1500},
                                  {u"连同票根打印", 4560, 1620},
                                  {u"进纸器两边向中间收缩", 6360, 2580}};
    for (size_t i = 0; i < chk_.size(); ++i) {
        auto* box = new QCheckBox(QString::fromUtf16(checks[i].caption), frm);
        box->setObjectName(QStringLiteral("CHK%1").arg(i));
        box->setFocusPolicy(Qt::ClickFocus);
        Place(box, checks[i].left, 60, checks[i].width, 300);
        const int index = static_cast<int>(i);
        connect(box, &QCheckBox::clicked, this, [this, index] { CHK_Click(index); });
        chk_[i] = box;
    }
    label1_ = new QLabel(QStringLiteral("(1CM/大格，2MM/小格)"), frm);
    label1_->setObjectName(QStringLiteral("Label1"));
    SetTextColour(label1_, Qt::red);
    label1_->adjustSize();
    label1_->move(TwipsToPixels(1680),
                  TwipsToPixels(60) + (TwipsToPixels(300) - label1_->height()) / 2);

    auto* line0 = new QFrame(frm);
    line0->setObjectName(QStringLiteral("Line10"));
    line0->setFrameShape(QFrame::HLine);
    line0->setFrameShadow(QFrame::Sunken);
    Place(line0, 120, 390, 10155, 30);
    auto* line1 = new QFrame(frm);
    line1->setObjectName(QStringLiteral("Line11"));
    line1->setFrameShape(QFrame::VLine);
    line1->setFrameShadow(QFrame::Sunken);
    Place(line1, 2700, 450, 30, 360);

    const char16_t* const options[] = {u"横向打印", u"纵向打印"};
    for (size_t i = 0; i < op_.size(); ++i) {
        auto* option = new QRadioButton(QString::fromUtf16(options[i]), frm);
        option->setObjectName(QStringLiteral("OP%1").arg(i));
        option->setFocusPolicy(Qt::ClickFocus);
        Place(option, 120 + 1260 * double(i), 480, 1200, 300);
        op_[i] = option;
    }

    // The boxes stand in the blanks of their captions, between the name and "MM".
    struct BoxDesign {
        int index;
        const char16_t* caption;
        double left;
        int maxLength;
    };
    const BoxDesign boxes[] = {{2, u"单据高度：    MM", 2880, 3},
                               {1, u"单据宽度：    MM", 4560, 3},
                               {0, u"货币符号：", 6360, 4},
                               {3, u"票根宽度：       MM", 8160, 3}};
    // A face whose Latin letters are half the width of a Chinese one, as on the forms'
    // original screens, so the blanks of a caption are wide enough for the box.
    QFont captionFont(QStringLiteral("Noto Sans Mono CJK SC"));
    captionFont.setFamilies({QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("宋体")});
    captionFont.setPointSizeF(9);
    const QFontMetrics fm(captionFont);
    for (const BoxDesign& b : boxes) {
        const size_t i = static_cast<size_t>(b.index);
        const QString text = QString::fromUtf16(b.caption);
        auto* label = new QLabel(text, frm);
        label->setObjectName(QStringLiteral("Label2%1").arg(b.index));
        label->setFont(captionFont);
        label->adjustSize();
        const int rowTop = TwipsToPixels(480);
        const int rowHeight = TwipsToPixels(300);
        label->move(TwipsToPixels(b.left), rowTop + (rowHeight - label->height()) / 2);

        auto* box = new QLineEdit(frm);
        box->setObjectName(QStringLiteral("TT%1").arg(b.index));
        box->setProperty(kKindProperty, QStringLiteral("TT"));
        box->setProperty(kIndexProperty, b.index);
        box->setMaxLength(b.maxLength);
        box->setFont(captionFont);
        box->setTextMargins(0, 0, 0, 0);
        const int colon = static_cast<int>(text.indexOf(u'：')) + 1;
        const QString name = text.left(colon);
        const QString blanks = text.mid(colon, text.indexOf(u'M') - colon);
        const int x = label->x() + fm.horizontalAdvance(name);
        const int width = blanks.isEmpty()
                              ? fm.horizontalAdvance(QStringLiteral("0000")) + 8
                              : std::max(fm.horizontalAdvance(blanks),
                                         fm.horizontalAdvance(QStringLiteral("000")) + 6);
        box->setGeometry(x, rowTop, width, rowHeight);
        box->raise();
        WatchKeys(box);
        tt_[i] = box;
        label2_[i] = label;
    }
    WidgetsFromSettings();
}

void MF::SetTabOrder() {
    QList<QWidget*> chain;
    for (int i : kFieldTabOrder) chain << t_[i];
    for (int i : kSettingsTabOrder) chain << tt_[static_cast<size_t>(i)];
    for (qsizetype n = 1; n < chain.size(); ++n) setTabOrder(chain[n - 1], chain[n]);
}

void MF::WatchKeys(QWidget* w) {
    w->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------
// Start-up and shut-down

void MF::Form_Load() {
    store::Database(ctx_).EnsureTables();
    settings_.CurFormat = store::DefaultFormatName();
    ShowCurrentFormat();
    QString name = store::DefaultFormatName();
    store::LoadFormat(ctx_, name, settings_, Hooks());
    ShowCurrentFormat();

    FieldTexts texts = Texts();
    store::LoadCurrentText(ctx_, store::CurrentTextDate(), texts);
    SetTexts(texts);

    sst_->setCurrentIndex(0);

    // Today's date overrides whatever the stored texts held.
    const QDate today = ctx_.now().date();
    T(2)->setText(QString::number(today.year()));
    T(18)->setText(T(2)->text());
    T(3)->setText(QString::number(today.month()));
    T(19)->setText(T(3)->text());
    T(4)->setText(QString::number(today.day()));
    T(20)->setText(T(4)->text());

    ArrangeWindow();
    ContentChanged = true;
    T(5)->setFocus();
}

void MF::Form_Unload() {
    store::StoreTexts(ctx_, store::CurrentTextDate(), Texts());
    if (ctx_.prompt && ctx_.prompt->AskYesNo(QStringLiteral("是否保存当前格式为默认格式？"))) {
        SettingsFromWidgets();
        QString name = store::DefaultFormatName();
        store::SaveFormat(ctx_, name, settings_);
        ShowCurrentFormat();
    }
}

void MF::closeEvent(QCloseEvent* event) {
    // Closing cannot be cancelled, and the exit button and the close box end up here alike.
    if (!unloaded_) {
        unloaded_ = true;
        Form_Unload();
        // Every other window of the program closes with the main window.
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* w : windows)
            if (w != this && w->isVisible()) w->close();
    }
    event->accept();
}

// ---------------------------------------------------------------------------------------
// Settings and texts

void MF::SettingsFromWidgets() {
    for (size_t i = 0; i < tt_.size(); ++i) settings_.TT[i] = tt_[i]->text();
    for (size_t i = 0; i < chk_.size(); ++i) settings_.CHK[i] = chk_[i]->isChecked() ? 1 : 0;
    for (size_t i = 0; i < op_.size(); ++i) settings_.OP[i] = op_[i]->isChecked();
}

void MF::WidgetsFromSettings() {
    for (size_t i = 0; i < tt_.size(); ++i) tt_[i]->setText(settings_.TT[i]);
    for (size_t i = 0; i < chk_.size(); ++i) chk_[i]->setChecked(settings_.CHK[i] > 0);
    // A stored format may hold both options cleared; show exactly what it holds.
    for (QRadioButton* op : op_) op->setAutoExclusive(false);
    for (size_t i = 0; i < op_.size(); ++i) op_[i]->setChecked(settings_.OP[i]);
    for (QRadioButton* op : op_) op->setAutoExclusive(true);
}

FieldTexts MF::Texts() const {
    FieldTexts texts;
    for (int i = kFirstField; i <= kLastField; ++i) texts[i] = t_[i]->text();
    return texts;
}

void MF::SetTexts(const FieldTexts& texts) {
    for (int i = kFirstField; i <= kLastField; ++i) t_[i]->setText(texts[i]);
}

void MF::ShowCurrentFormat() {
    curFormat_->setText(settings_.CurFormat);
    curFormat_->adjustSize();
}

store::FormatHooks MF::Hooks() {
    store::FormatHooks hooks;
    hooks.chooseFormat = [this] { return store::ChooseFormat(ctx_, settings_.CurFormat, this); };
    hooks.formatApplied = [this] {
        WidgetsFromSettings();
        Dragging = false;
        CHK_Click(1);
    };
    return hooks;
}

// ---------------------------------------------------------------------------------------
// Buttons and options

void MF::Cm_Click(int index) {
    ClearSelection();
    switch (index) {
        case 2: {
            QString name;
            store::LoadFormat(ctx_, name, settings_, Hooks());
            ShowCurrentFormat();
            break;
        }
        case 3: {
            SettingsFromWidgets();
            QString name;
            store::SaveFormat(ctx_, name, settings_);
            ShowCurrentFormat();
            break;
        }
        case 10: {
            QString name;
            store::DeleteFormat(ctx_, name, settings_, Hooks());
            break;
        }
        case 0:
            print::PrintJob(ctx_, CurrentPage(), Texts(), ContentChanged, Target(), Device());
            break;
        case 4:
            print::PrintCalibrationMark(ctx_, Target(), Device(),
                                        [this] { print::ShowCollateForm(ctx_, this); });
            break;
        case 6:
            close();
            break;
        case 7:
            OpenHelp({});
            break;
        case 9:
            OpenHelp(QStringLiteral("contact"));
            break;
        case 1:
            ShowHistoryWindow(ctx_, *this);
            break;
        default:
            // 5 is inactive.
            break;
    }
}

void MF::CHK_Click(int index) {
    ClearSelection();
    // The grid only redraws the picture; the other options change the arrangement.
    if (index == 0)
        NetLine();
    else
        ArrangeWindow();
}

QString MF::HelpPagePath() {
    const QString path =
        QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html");
    return QFileInfo::exists(path) ? path : QString();
}

void MF::OpenHelp(const QString& fragment) {
    const QString path = HelpPagePath();
    if (path.isEmpty()) {
        if (ctx_.prompt)
            ctx_.prompt->Message(QStringLiteral("找不到帮助文件：") +
                                 QCoreApplication::applicationDirPath() +
                                 QStringLiteral("/help/index.html"));
        return;
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (!fragment.isEmpty()) url.setFragment(fragment);
    if (!QDesktopServices::openUrl(url) && ctx_.prompt)
        ctx_.prompt->Message(QStringLiteral("无法打开浏览器，请手工打开帮助文件：") + path);
}

// ---------------------------------------------------------------------------------------
// Field entry

void MF::T_LostFocus(int i) {
    if (i == kAmountField && !T(12)->text().isEmpty()) {
        bool cut = false;
        const QString sign = TT(0)->text();
        T(12)->setText(amount::NormaliseAmount(T(12)->text(), sign, &cut));
        T(11)->setText(amount::CapitalAmount(T(12)->text(), sign, ttPrevious_[0], TT(0)->text()));
        if (cut && ctx_.prompt) {
            // Shown once the focus change that led here has finished.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    ctx_.prompt->Message(
                        QStringLiteral("金额超出99999999.99，最高位已被截去，请核对小写金额！"));
                },
                Qt::QueuedConnection);
        }
    }
    if (i <= kLastVoucherField && i != kCapitalField) T(i + 16)->setText(T(i)->text());
}

void MF::TT_GotFocus(int i) {
    ClearSelection();
    ttPrevious_[static_cast<size_t>(i)] = TT(i)->text();
}

void MF::TT_LostFocus(int i) {
    QLineEdit* box = TT(i);
    if (i == 0) {
        const QString sign = box->text().trimmed();
        box->setText(sign.isEmpty() ? ttPrevious_[0] : sign);
        T_LostFocus(kAmountField);
        return;
    }
    bool accepted = LenientNumber(box->text()) >= 30;
    // The stub must leave some of the form for the voucher itself.
    if (accepted && (i == 1 || i == 3))
        accepted = LenientNumber(TT(3)->text()) < LenientNumber(TT(1)->text());
    if (accepted)
        ArrangeWindow();
    else
        box->setText(ttPrevious_[static_cast<size_t>(i)]);
}

namespace {

// The shift state of an arrow key: 0 none, 1 Shift, 2 Ctrl; -1 for any other combination.
int ShiftState(Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers m = modifiers & ~Qt::KeypadModifier;
    if (m == Qt::NoModifier) return 0;
    if (m == Qt::ShiftModifier) return 1;
    if (m == Qt::ControlModifier) return 2;
    return -1;
}

// The direction of an arrow key; false for any other key.
bool ArrowDirection(int key, int& dx, int& dy) {
    dx = dy = 0;
    switch (key) {
        case Qt::Key_Left:
            dx = -1;
            return true;
        case Qt::Key_Up:
            dy = -1;
            return true;
        case Qt::Key_Right:
            dx = 1;
            return true;
        case Qt::Key_Down:
            dy = 1;
            return true;
        default:
            return false;
    }
}

void SetBackground(QLineEdit* edit, const QColor& c) {
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, c);
    edit->setPalette(p);
}

}  // namespace

void MF::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    int dx = 0, dy = 0;
    if (!ArrowDirection(key, dx, dy)) return;
    switch (ShiftState(modifiers)) {
        case 0:
            MoveSelected(dx * kMoveStep, dy * kMoveStep);
            break;
        case 1:
            ResizeSelected(dx * kMoveStep, dy * kMoveStep);
            break;
        case 2:
            // Left and Up make the font smaller, Right and Down larger.
            ChangeSelectedFontSize((dx + dy) * kFontStep);
            break;
        default:
            break;
    }
}

void MF::Form_KeyUp(int key, Qt::KeyboardModifiers modifiers) {
    int dx = 0, dy = 0;
    if (ArrowDirection(key, dx, dy) && ShiftState(modifiers) >= 0) CaptureLayout();
}

void MF::ClearSelection() {
    for (int i = kFirstField; i <= kLastField; ++i) {
        store::FieldFormat& f = settings_.fieldFormats[i];
        // A loaded format brings its own flags; a field still showing the selection colour
        // goes back to its own background all the same.
        const QString tag = t_[i]->property(kTagProperty).toString();
        if (!f.Selected && tag.isEmpty()) continue;
        if (!tag.isEmpty()) SetBackground(t_[i], ColourFromBgr(tag.toInt()));
        t_[i]->setProperty(kTagProperty, QVariant());
        f.Selected = false;
    }
}

// ---------------------------------------------------------------------------------------
// Layout editing

QWidget* MF::Pic() const {
    return pic_;
}

const QImage& MF::PicCanvas() const {
    return pic_->Canvas();
}

double MF::PicWidth() const {
    return arrangement_ ? arrangement_->pic.width : store::kDesignPictureWidth;
}

double MF::PicHeight() const {
    return arrangement_ ? arrangement_->pic.height : store::kDesignPictureHeight;
}

void MF::DrawBand(const QColor& colour) {
    DrawBox(pic_->Canvas(), DragX0, DragY0, DragX1, DragY1, colour, TwipsPerPixel());
    pic_->update();
}

void MF::Pic_MouseDown(Qt::MouseButton button, double x, double y) {
    if (button == Qt::LeftButton) {
        lbl_->setText(DragTip());
        DragX0 = DragX1 = RoundHalfEven(x);
        DragY0 = DragY1 = RoundHalfEven(y);
        Dragging = true;
    }
    ClearSelection();
}

void MF::Pic_MouseMove(Qt::MouseButtons buttons, double x, double y) {
    if ((buttons & Qt::RightButton) || !Dragging) return;
    const qint64 px = RoundHalfEven(x);
    const qint64 py = RoundHalfEven(y);
    // Small movements and a band under 500 twips either way are not drawn.
    const bool moved = std::abs(px - DragX1) > 100 || std::abs(py - DragY1) > 100;
    const bool large = std::abs(px - DragX0) > 500 || std::abs(py - DragY0) > 500;
    if (!moved || !large) return;
    DrawBand(Qt::white);  // wipes the band drawn before
    DragX1 = static_cast<qint32>(px);
    DragY1 = static_cast<qint32>(py);
    DrawBand(Qt::black);
}

void MF::Pic_MouseUp(Qt::MouseButton button, double x, double y) {
    // A release without a band started here (a middle click) selects nothing.
    if (button == Qt::RightButton || !Dragging) return;
    DragX1 = RoundHalfEven(x);
    DragY1 = RoundHalfEven(y);
    Dragging = false;
    DrawBand(Qt::white);
    for (int i = kFirstField; i <= kLastField; ++i) {
        if (!FieldTouchesRect(placement_[i].field, DragX0, DragY0, DragX1, DragY1)) continue;
        lbl_->setText(SelectedTip());
        store::FieldFormat& f = settings_.fieldFormats[i];
        if (!f.Selected) {
            t_[i]->setProperty(
                kTagProperty,
                QString::number(BgrFromColour(t_[i]->palette().color(QPalette::Base))));
            SetBackground(t_[i], ColourFromBgr(kSelectionColour));
        }
        f.Selected = true;
    }
    // Repairs what the white wiping took from the grid.
    NetLine();
}

void MF::MoveSelected(double dx, double dy, int field) {
    tf::MoveSelected(placement_, SelectionOf(settings_.fieldFormats), {PicWidth(), PicHeight()}, dx,
                     dy, field);
    PlaceFieldWidgets();
}

void MF::ResizeSelected(double dw, double dh, int field) {
    tf::ResizeSelected(placement_, SelectionOf(settings_.fieldFormats), {PicWidth(), PicHeight()},
                       dw, dh, field);
    PlaceFieldWidgets();
}

void MF::ChangeSelectedFontSize(double step, int field) {
    FieldTable<double> sizes;
    for (int i = kFirstField; i <= kLastField; ++i) sizes[i] = t_[i]->font().pointSizeF();
    const FieldTable<double> before = sizes;
    tf::ChangeSelectedFontSize(sizes, SelectionOf(settings_.fieldFormats), step, field);
    for (int i = kFirstField; i <= kLastField; ++i) {
        if (sizes[i] == before[i]) continue;
        QFont f = t_[i]->font();
        f.setPointSizeF(sizes[i]);
        t_[i]->setFont(f);
    }
}

void MF::NetLine() {
    pic_->Clear();
    // Read as leniently as the dimension check does, so "85mm" draws the grid for 85 mm.
    const double H = LenientNumber(TT(2)->text());
    if (!CHK(0)->isChecked()) return;
    const auto grid = GridGeometry(PicWidth(), PicHeight(), H);
    if (!grid) return;
    DrawGrid(pic_->Canvas(), *grid, TwipsPerPixel(), pic_->font(),
             pic_->palette().color(QPalette::WindowText));
    pic_->update();
}

QMenu* MF::FontMenu(int i) {
    if (!fontMenu_) {
        fontMenu_ = new QMenu(QStringLiteral("FontStyle"), this);
        fontMenu_->setObjectName(QStringLiteral("FontMenu"));
        fontStyle_ = fontMenu_->addAction(QStringLiteral("修改字体/字号"));
        fontStyle_->setObjectName(QStringLiteral("FontStyle"));
        modiSpace_ = fontMenu_->addAction(QStringLiteral("修改字符间距"));
        modiSpace_->setObjectName(QStringLiteral("mModiSpace"));
    }
    // The amount in figures is printed digit by digit into its boxes: no spacing there.
    modiSpace_->setVisible(i != kAmountField);
    return fontMenu_;
}

void MF::T_MouseDown(int i, Qt::MouseButton button, const QPoint& globalPos) {
    if (button != Qt::RightButton || i < kFirstField || i > kLastField) return;
    MenuField = static_cast<qint16>(i);
    QLineEdit* field = t_[i];
    // The field gives up the focus for the time of the menu without running its leave
    // rules, as for any popup, and gets it back afterwards.
    const bool hadFocus = field->hasFocus();
    if (hadFocus) pic_->setFocus(Qt::PopupFocusReason);
    field->setEnabled(false);
    QMenu* menu = FontMenu(i);
    QAction* chosen = menu->exec(globalPos);
    if (chosen == fontStyle_)
        FontStyle_Click();
    else if (chosen == modiSpace_)
        mModiSpace_Click();
    CaptureLayout();
    field->setEnabled(true);
    if (hadFocus) field->setFocus(Qt::PopupFocusReason);
}

void MF::FontStyle_Click() {
    if (MenuField < kFirstField || MenuField > kLastField || !ctx_.prompt) return;
    QLineEdit* field = t_[MenuField];
    const FontChoice preset =
        FontChoiceOf(field->font(), BgrFromColour(field->palette().color(QPalette::Text)));
    const auto choice = ctx_.prompt->ChooseFont(preset);
    if (!choice) return;
    QFont f = field->font();
    ApplyFontChoice(*choice, f);
    field->setFont(f);
    QPalette p = field->palette();
    p.setColor(QPalette::Text, ColourFromBgr(choice->color));
    field->setPalette(p);
}

void MF::mModiSpace_Click() {
    if (MenuField < kFirstField || MenuField > kLastField) return;
    store::EditSpacing(ctx_, settings_.CurFormat, MenuField);
}

bool MF::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            // A key a control leaves unused travels on to its parents, some of which are
            // watched too: hand it on only once, from the control that has the focus.
            QWidget* focus = QApplication::focusWidget();
            if (focus && watched != focus) break;
            const auto* key = static_cast<QKeyEvent*>(event);
            if (event->type() == QEvent::KeyPress)
                Form_KeyDown(key->key(), key->modifiers());
            else if (!key->isAutoRepeat())
                Form_KeyUp(key->key(), key->modifiers());
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (watched == pic_) {
                const QPointF at = mouse->position() * TwipsPerPixel();
                if (event->type() == QEvent::MouseMove)
                    Pic_MouseMove(mouse->buttons(), at.x(), at.y());
                else if (event->type() == QEvent::MouseButtonRelease)
                    Pic_MouseUp(mouse->button(), at.x(), at.y());
                else
                    Pic_MouseDown(mouse->button(), at.x(), at.y());
                break;
            }
            if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton &&
                watched->property(kKindProperty).toString() == QStringLiteral("T")) {
                T_MouseDown(watched->property(kIndexProperty).toInt(), mouse->button(),
                            mouse->globalPosition().toPoint());
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            // Switching to another program or opening a menu neither enters nor leaves a box.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
            const QString kind = watched->property(kKindProperty).toString();
            if (kind.isEmpty()) break;
            const int index = watched->property(kIndexProperty).toInt();
            const bool in = event->type() == QEvent::FocusIn;
            if (kind == QStringLiteral("T")) {
                if (!in) T_LostFocus(index);
            } else if (in) {
                TT_GotFocus(index);
            } else {
                TT_LostFocus(index);
            }
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// Arrangement

void MF::ArrangeWindow() {
    pic_->hide();
    ArrangeInput in;
    const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect screenRect = scr ? scr->geometry() : QRect(0, 0, 800, 600);
    in.screenWidth = PixelsToTwips(screenRect.width());
    in.screenHeight = PixelsToTwips(screenRect.height());
    in.formWidthMm = LenientNumber(TT(1)->text());
    in.formHeightMm = LenientNumber(TT(2)->text());
    in.stubWidthMm = LenientNumber(TT(3)->text());
    in.stubShown = CHK(1)->isChecked();
    in.picLeft = kPicLeft;
    in.picTop = kPicTop;
    in.titleWidth = kTitleWidth;
    in.exitWidth = 975;
    in.helpWidth = 735;
    in.contactWidth = 1215;
    const auto r = ArrangeGeometry(in);
    if (!r) {
        // Dimensions that leave no picture (only possible from a stored format) keep the
        // present arrangement.
        pic_->show();
        return;
    }
    arrangement_ = r;

    // The window's size counts its frame; the client area is what is left inside it.
    QSize frame(0, 0);
    if (isVisible()) frame = frameGeometry().size() - geometry().size();
    const int width = TwipsToPixels(r->window.width) - frame.width();
    const int height = TwipsToPixels(r->window.height) - frame.height();
    setFixedSize(std::max(1, width), std::max(1, height));
    move(screenRect.left() + TwipsToPixels(r->window.left),
         screenRect.top() + TwipsToPixels(r->window.top));

    Place(pic_, r->pic.left, r->pic.top, r->pic.width, r->pic.height);
    lin_->setVisible(r->lineVisible);
    lin_->setGeometry(TwipsToPixels(r->lineX), TwipsToPixels(r->lineY1), 1,
                      std::max(1, TwipsToPixels(r->lineY2 - r->lineY1)));
    Place(title_, r->titleLeft, r->titleTop, kTitleWidth, kTitleHeight);
    Place(lbl_, r->tip.left, r->tip.top, r->tip.width, kTipHeight);
    // Draws the grid when CHK(0) is checked, else leaves a clean picture.
    NetLine();
    Place(sst_, kTabLeft, kTabTop, r->tabWidth, kTabHeight);
    Place(cm_[6], r->exitLeft, 60, 975, 375);
    Place(cm_[7], r->helpLeft, 60, 735, 375);
    Place(cm_[9], r->contactLeft, 60, 1215, 375);

    ApplyLayout();
    pic_->show();
}

void MF::PlaceFieldWidgets() {
    for (int i = kFirstField; i <= kLastField; ++i) {
        const PlacedField& p = placement_[i];
        Place(t_[i], p.field.left, p.field.top, p.field.width, p.field.height);
        l_[i]->move(TwipsToPixels(p.captionLeft), TwipsToPixels(p.captionTop));
    }
}

void MF::ApplyLayout() {
    if (!arrangement_) return;
    ApplyLayoutGeometry(settings_.fieldFormats, arrangement_->twipsPerMm,
                        LenientNumber(TT(3)->text()), CHK(1)->isChecked(), placement_);
    PlaceFieldWidgets();
    for (int i = kFirstField; i <= kLastField; ++i) {
        const store::FieldFormat& f = settings_.fieldFormats[i];
        QFont font = t_[i]->font();
        // An empty font name or size leaves the field's present one.
        ApplyFontChoice(
            {f.fName, f.fSize, f.fBold, f.fItalic, f.fUnderline, f.fStrikethru, f.Color}, font);
        t_[i]->setFont(font);
        QPalette p = t_[i]->palette();
        p.setColor(QPalette::Text, ColourFromBgr(f.Color));
        t_[i]->setPalette(p);
    }
}

void MF::CaptureLayout() {
    if (!arrangement_) return;
    CaptureLayoutGeometry(placement_, LenientNumber(TT(2)->text()), arrangement_->pic.height,
                          LenientNumber(TT(3)->text()), CHK(1)->isChecked(),
                          settings_.fieldFormats);
    for (int i = kFirstField; i <= kLastField; ++i) {
        store::FieldFormat& f = settings_.fieldFormats[i];
        const QFont font = t_[i]->font();
        f.fName = font.family();
        f.fSize = static_cast<float>(font.pointSizeF());
        f.fBold = font.bold();
        f.fItalic = font.italic();
        f.fUnderline = font.underline();
        f.fStrikethru = font.strikeOut();
        f.Color = BgrFromColour(t_[i]->palette().color(QPalette::Text));
    }
}

void MF::Preview_Click() {
    ClearSelection();
    print::ShowPrintPreview(ctx_, CurrentPage(), this);
}

print::VoucherPage MF::CurrentPage() {
    SettingsFromWidgets();
    print::VoucherPage page;
    page.TT = settings_.TT;
    page.CHK = settings_.CHK;
    page.OP = settings_.OP;
    page.curFormat = settings_.CurFormat;
    if (arrangement_) {
        page.picWidth = arrangement_->pic.width;
        page.picHeight = arrangement_->pic.height;
    }
    for (int i = kFirstField; i <= kLastField; ++i) {
        const TwipsRect& r = placement_[i].field;
        const store::FieldFormat& f = settings_.fieldFormats[i];
        page.fields[i] = {r.left,       r.top,         r.width, r.height, T(i)->text(),
                          L(i)->text(), f.fName,       f.fSize, f.fBold,  f.fItalic,
                          f.fUnderline, f.fStrikethru, f.Color};
    }
    return page;
}

void MF::UsePrinter(PrintTarget* target, print::PrintDevice* device) {
    target_ = target;
    device_ = device;
}

PrintTarget& MF::Target() {
    if (target_) return *target_;
    if (!printer_) printer_ = std::make_unique<print::QtPrinter>();
    return *printer_;
}

print::PrintDevice& MF::Device() {
    if (device_) return *device_;
    if (!printer_) printer_ = std::make_unique<print::QtPrinter>();
    return *printer_;
}

}  // namespace tf
