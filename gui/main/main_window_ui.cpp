#include "gui/main/main_window_ui.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include "gui/editor/voucher_picture.h"
#include "gui/main/typing_limit.h"
#include "gui/window_utils.h"
#include "store/default_format.h"
#include "store/formats.h"

namespace tf {

using namespace design;

namespace {

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

// Buttons above the tab control.
constexpr ButtonDesign kTopButtons[] = {
    {9, u"QQ在线帮助", 6840, kButtonTop, kContactWidth, kButtonHeight},
    {7, u"帮  助", 8040, kButtonTop, kHelpWidth, kButtonHeight},
    {6, u"退  出", 9600, kButtonTop, kExitWidth, kButtonHeight},
};

const QColor kGreyField(221, 221, 221);

bool IsMonthField(int i) {
    return RoleOf(i) == FieldRole::Month || RoleOf(i) == FieldRole::StubMonth;
}

// Focus order of the voucher fields, then of the settings boxes.
constexpr FieldRole kFieldTabOrder[] = {
    FieldRole::DrawerName,
    FieldRole::DrawerAccount,
    FieldRole::DrawerBank,
    FieldRole::PayeeName,
    FieldRole::PayeeAccount,
    FieldRole::PayeeBank,
    FieldRole::CapitalAmount,
    FieldRole::Amount,
    FieldRole::Year,
    FieldRole::Month,
    FieldRole::Day,
    FieldRole::BillKind,
    FieldRole::BillCount,
    FieldRole::BillNumbers,
    FieldRole::Checker,
    FieldRole::BookKeeper,
    FieldRole::StubYear,
    FieldRole::StubMonth,
    FieldRole::StubDay,
    FieldRole::StubDrawerName,
    FieldRole::StubDrawerAccount,
    FieldRole::StubDrawerBank,
    FieldRole::StubAmount,
    FieldRole::StubPayeeName,
    FieldRole::StubPayeeAccount,
    FieldRole::StubPayeeBank,
    FieldRole::StubBillKind,
    FieldRole::StubBillCount,
    FieldRole::StubBillNumbers,
    FieldRole::StubChecker,
    FieldRole::StubBookKeeper,
    FieldRole::StubRemarks,
};
constexpr int kSettingsTabOrder[] = {2, 1, 0, 3};

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

}  // namespace

void MainWindowUi::SetupUi(QWidget* form) {
    SetupPicture(form);

    // The tab control with the commands and the print settings.
    sst = new QTabWidget(form);
    sst->setObjectName(QStringLiteral("SST"));
    sst->setFocusPolicy(Qt::ClickFocus);
    sst->tabBar()->setFocusPolicy(Qt::ClickFocus);
    PlaceInTwips(sst, kTabLeft, kTabTop, kTabWidth, kTabHeight);
    auto* printPage = new QWidget;
    auto* settingsPage = new QWidget;
    printPage->setObjectName(QStringLiteral("SSTPage0"));
    settingsPage->setObjectName(QStringLiteral("SSTPage1"));
    sst->addTab(printPage, QStringLiteral("打 印"));
    sst->addTab(settingsPage, QStringLiteral("设 置"));
    SetupPrintTab(printPage);
    SetupSettingsTab(settingsPage);

    for (const ButtonDesign& b : kTopButtons) {
        auto* button = new QPushButton(QString::fromUtf16(b.caption), form);
        button->setObjectName(QStringLiteral("Cm%1").arg(b.index));
        PlaceInTwips(button, b.left, b.top, b.width, b.height);
        cm[static_cast<size_t>(b.index)] = button;
    }
    for (QPushButton* button : cm) {
        if (!button) continue;
        // Buttons take the focus when clicked, so the field being left runs its rules first.
        button->setFocusPolicy(Qt::ClickFocus);
        button->setAutoDefault(false);
        button->raise();
    }
    // The calibration of the amount boxes is not offered.
    cm[5]->setEnabled(false);

    lbl = new QLabel(QStringLiteral("Tallyform 银行进账单填写打印：对准套打，一次成单。"), form);
    lbl->setObjectName(QStringLiteral("LBL"));
    SetTextColour(lbl, Qt::blue);
    PlaceInTwips(lbl, kPicLeft, kPicTop + store::kDesignPictureHeight + 60,
                 store::kDesignPictureWidth, kTipHeight);

    SetupTabOrder();
}

void MainWindowUi::SetupPicture(QWidget* form) {
    // The voucher picture with its fields, captions, title and stub line.
    pic = new PicBox(form);
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
    PlaceInTwips(pic, kPicLeft, kPicTop, store::kDesignPictureWidth, store::kDesignPictureHeight);
    pic->Clear();

    lin = new QFrame(pic);
    lin->setObjectName(QStringLiteral("Lin1"));
    lin->setAutoFillBackground(true);
    {
        QPalette p = lin->palette();
        p.setColor(QPalette::Window, Qt::black);
        lin->setPalette(p);
    }

    title = new QLabel(QStringLiteral("中国 XX 银行进账单    (回 单)"), pic);
    title->setObjectName(QStringLiteral("L0"));
    title->setFont(SimSun(15, true, true));
    title->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    for (int i = kFirstField; i <= kLastField; ++i) {
        auto* edit = new FieldEdit(pic);
        edit->setObjectName(QStringLiteral("T%1").arg(i));
        edit->setProperty(kKindProperty, QStringLiteral("T"));
        edit->setProperty(kIndexProperty, i);
        if (IsDateField(i)) {
            edit->setText(QString::fromUtf16(IsYearField(i)    ? u"2007"
                                             : IsMonthField(i) ? u"1"
                                                               : u"12"));
            edit->setMaxLength(IsYearField(i) ? 4 : 2);
        }
        if (IsDateField(i) || i == kCapitalField) {
            QPalette p = edit->palette();
            p.setColor(QPalette::Base, kGreyField);
            edit->setPalette(p);
        }
        // The right button opens the field's font menu instead of the edit menu.
        edit->setContextMenuPolicy(Qt::PreventContextMenu);
        T[i] = edit;

        auto* caption = new QLabel(FieldCaption(i), pic);
        caption->setObjectName(QStringLiteral("L%1").arg(i));
        caption->setFont(SimSun(9));
        caption->adjustSize();
        L[i] = caption;
    }
    lin->lower();
}

void MainWindowUi::SetupPrintTab(QWidget* page) {
    for (const ButtonDesign& b : kTabButtons) {
        auto* button = new QPushButton(QString::fromUtf16(b.caption), page);
        button->setObjectName(QStringLiteral("Cm%1").arg(b.index));
        PlaceInTwips(button, b.left - kTabLeft, b.top - kTabStrip, b.width, b.height);
        if (b.index == 0) {
            QFont f = button->font();
            f.setBold(true);
            button->setFont(f);
        }
        cm[static_cast<size_t>(b.index)] = button;
    }
    // Not in the original design: a preview of the page before a pre-printed form is spent.
    preview = new QPushButton(QStringLiteral("打印预览"), page);
    preview->setObjectName(QStringLiteral("CmPreview"));
    PlaceInTwips(preview, 6840 - kTabLeft, 480 - kTabStrip, 1455, 375);
    preview->setFocusPolicy(Qt::ClickFocus);
    preview->setAutoDefault(false);

    label3 = new QLabel(QStringLiteral("当前格式："), page);
    label3->setObjectName(QStringLiteral("Label3"));
    curFormat = new QLabel(store::DefaultFormatName(), page);
    curFormat->setObjectName(QStringLiteral("CurFormat"));
    for (QLabel* label : {label3, curFormat}) {
        SetTextColour(label, Qt::red);
        label->adjustSize();
    }
    label3->move(TwipsToPixels(5280 - kTabLeft), TwipsToPixels(1040 - kTabStrip));
    curFormat->move(TwipsToPixels(6160 - kTabLeft), TwipsToPixels(1040 - kTabStrip));
}

void MainWindowUi::SetupSettingsTab(QWidget* page) {
    auto* frm = new QFrame(page);
    frm->setObjectName(QStringLiteral("Frm"));
    frm->setFrameShape(QFrame::StyledPanel);
    frm->setFrameShadow(QFrame::Sunken);
    PlaceInTwips(frm, 60, 30, 10395, 870);

    struct CheckDesign {
        const char16_t* caption;
        double left, width;
    };
    const CheckDesign checks[] = {{u"显示基准网格", 120, 1500},
                                  {u"连同票根打印", 4560, 1620},
                                  {u"进纸器两边向中间收缩", 6360, 2580}};
    for (size_t i = 0; i < chk.size(); ++i) {
        auto* box = new QCheckBox(QString::fromUtf16(checks[i].caption), frm);
        box->setObjectName(QStringLiteral("CHK%1").arg(i));
        box->setFocusPolicy(Qt::ClickFocus);
        PlaceInTwips(box, checks[i].left, 60, checks[i].width, 300);
        chk[i] = box;
    }
    label1 = new QLabel(QStringLiteral("(1CM/大格，2MM/小格)"), frm);
    label1->setObjectName(QStringLiteral("Label1"));
    SetTextColour(label1, Qt::red);
    label1->adjustSize();
    label1->move(TwipsToPixels(1680),
                 TwipsToPixels(60) + (TwipsToPixels(300) - label1->height()) / 2);

    auto* line0 = new QFrame(frm);
    line0->setObjectName(QStringLiteral("Line10"));
    line0->setFrameShape(QFrame::HLine);
    line0->setFrameShadow(QFrame::Sunken);
    PlaceInTwips(line0, 120, 390, 10155, 30);
    auto* line1 = new QFrame(frm);
    line1->setObjectName(QStringLiteral("Line11"));
    line1->setFrameShape(QFrame::VLine);
    line1->setFrameShadow(QFrame::Sunken);
    PlaceInTwips(line1, 2700, 450, 30, 360);

    const char16_t* const options[] = {u"横向打印", u"纵向打印"};
    for (size_t i = 0; i < op.size(); ++i) {
        auto* option = new QRadioButton(QString::fromUtf16(options[i]), frm);
        option->setObjectName(QStringLiteral("OP%1").arg(i));
        option->setFocusPolicy(Qt::ClickFocus);
        PlaceInTwips(option, 120 + 1260 * double(i), 480, 1200, 300);
        op[i] = option;
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
        new TypingLimit(b.maxLength, box);
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
        tt[i] = box;
        label2[i] = label;
    }
}

void MainWindowUi::SetupTabOrder() {
    QList<QWidget*> chain;
    for (const FieldRole role : kFieldTabOrder) chain << T[role];
    for (int i : kSettingsTabOrder) chain << tt[static_cast<size_t>(i)];
    for (qsizetype n = 1; n < chain.size(); ++n) QWidget::setTabOrder(chain[n - 1], chain[n]);
}

}  // namespace tf
