#include "gui/main/main_window_ui.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include "gui/editor/voucher_editor.h"
#include "gui/main/typing_limit.h"
#include "gui/window_utils.h"
#include "store/default_format.h"
#include "store/formats.h"

namespace tf {

using namespace design;

namespace {

struct ActionDesign {
    QAction* MainWindowActions::*action;
    const char16_t* name;
    const char16_t* text;
    QKeyCombination key;  // none when empty
};

constexpr ActionDesign kActions[] = {
    {&MainWindowActions::print, u"actionPrint", u"打印", Qt::CTRL | Qt::Key_P},
    {&MainWindowActions::preview, u"actionPreview", u"打印预览", Qt::CTRL | Qt::SHIFT | Qt::Key_P},
    {&MainWindowActions::history, u"actionHistory", u"历史打印记录", Qt::CTRL | Qt::Key_H},
    {&MainWindowActions::loadFormat, u"actionLoadFormat", u"历史格式", {}},
    {&MainWindowActions::saveFormat, u"actionSaveFormat", u"保存格式", Qt::CTRL | Qt::Key_S},
    {&MainWindowActions::deleteFormat, u"actionDeleteFormat", u"删除格式", {}},
    {&MainWindowActions::calibratePrinter, u"actionCalibratePrinter", u"校准打印机", {}},
    {&MainWindowActions::calibrateAmount, u"actionCalibrateAmount", u"校准小写金额", {}},
    {&MainWindowActions::databaseSettings, u"actionDatabaseSettings", u"数据库设置", {}},
    {&MainWindowActions::contact, u"actionContact", u"QQ在线帮助", {}},
    {&MainWindowActions::help, u"actionHelp", u"帮助", Qt::Key_F1},
    {&MainWindowActions::exit, u"actionExit", u"退出", {}},
};

struct ButtonDesign {
    QAction* MainWindowActions::*action;
    const char16_t* name;
    const char16_t* caption;
    double left, top, width, height;
};

// Buttons on tab 0 ("打 印"). The preview is not in the original design: it shows the page
// before a pre-printed form is spent.
constexpr ButtonDesign kTabButtons[] = {
    {&MainWindowActions::print, u"printButton", u"打      印", 120, 480, 1935, 735},
    {&MainWindowActions::loadFormat, u"loadFormatButton", u"历 史 格 式", 2160, 480, 1455, 375},
    {&MainWindowActions::saveFormat, u"saveFormatButton", u"保 存 格 式", 2160, 840, 1455, 375},
    {&MainWindowActions::calibratePrinter, u"calibratePrinterButton", u"校准  打印机", 3720, 480,
     1455, 375},
    {&MainWindowActions::history, u"historyButton", u"历史打印记录", 3720, 840, 1455, 375},
    {&MainWindowActions::deleteFormat, u"deleteFormatButton", u"删 除 格 式", 5280, 480, 1455, 375},
    {&MainWindowActions::preview, u"previewButton", u"打印预览", 6840, 480, 1455, 375},
    {&MainWindowActions::calibrateAmount, u"calibrateAmountButton", u"校准 小写金额", 8760, 480,
     1455, 375},
};

// On the settings tab, beside the options' frame.
constexpr ButtonDesign kDatabaseButton = {&MainWindowActions::databaseSettings,
                                          u"databaseSettingsButton",
                                          u"数据库设置",
                                          10500,
                                          30,
                                          1095,
                                          375};

// Buttons above the tab control.
constexpr ButtonDesign kTopButtons[] = {
    {&MainWindowActions::contact, u"contactButton", u"QQ在线帮助", 6840, kButtonTop, kContactWidth,
     kButtonHeight},
    {&MainWindowActions::help, u"helpButton", u"帮  助", 8040, kButtonTop, kHelpWidth,
     kButtonHeight},
    {&MainWindowActions::exit, u"exitButton", u"退  出", 9600, kButtonTop, kExitWidth,
     kButtonHeight},
};

// A button of the window showing its action. Buttons take the focus when clicked, so the
// field being left runs its rules first.
QPushButton* ActionButton(const ButtonDesign& b, const MainWindowActions& actions, QWidget* parent,
                          double left, double top) {
    auto* button = new QPushButton(QString::fromUtf16(b.caption), parent);
    button->setObjectName(QString::fromUtf16(b.name));
    PlaceInTwips(button, left, top, b.width, b.height);
    button->setFocusPolicy(Qt::ClickFocus);
    button->setAutoDefault(false);
    ShowAction(button, actions.*b.action);
    return button;
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

void SetTextColour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

}  // namespace

void MainWindowUi::SetupUi(QWidget* form, VoucherEditor* voucherEditor) {
    SetupActions(form);
    editor = voucherEditor;
    PlaceInTwips(editor, kPicLeft, kPicTop, store::kDesignPictureWidth,
                 store::kDesignPictureHeight);
    editor->Clear();

    // The tab control with the commands and the print settings.
    tabs = new QTabWidget(form);
    tabs->setObjectName(QStringLiteral("SST"));
    tabs->setFocusPolicy(Qt::ClickFocus);
    tabs->tabBar()->setFocusPolicy(Qt::ClickFocus);
    PlaceInTwips(tabs, kTabLeft, kTabTop, kTabWidth, kTabHeight);
    auto* printPage = new QWidget;
    auto* settingsPage = new QWidget;
    printPage->setObjectName(QStringLiteral("printPage"));
    settingsPage->setObjectName(QStringLiteral("settingsPage"));
    tabs->addTab(printPage, QStringLiteral("打 印"));
    tabs->addTab(settingsPage, QStringLiteral("设 置"));
    SetupPrintTab(printPage);
    SetupSettingsTab(settingsPage);

    QPushButton** const top[] = {&contactButton, &helpButton, &exitButton};
    for (size_t i = 0; i < std::size(kTopButtons); ++i) {
        const ButtonDesign& b = kTopButtons[i];
        *top[i] = ActionButton(b, actions, form, b.left, b.top);
        (*top[i])->raise();
    }

    tip = new QLabel(QStringLiteral("Tallyform 银行进账单填写打印：对准套打，一次成单。"), form);
    tip->setObjectName(QStringLiteral("LBL"));
    SetTextColour(tip, Qt::blue);
    PlaceInTwips(tip, kPicLeft, kPicTop + store::kDesignPictureHeight + 60,
                 store::kDesignPictureWidth, kTipHeight);
    database = new QLabel(form);
    database->setObjectName(QStringLiteral("databaseLine"));
    database->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    SetupTabOrder();
}

void MainWindowUi::SetupActions(QWidget* form) {
    for (const ActionDesign& a : kActions) {
        auto* action = new QAction(QString::fromUtf16(a.text), form);
        action->setObjectName(QString::fromUtf16(a.name));
        if (a.key != QKeyCombination()) {
            const QKeySequence key(a.key);
            action->setShortcut(key);
            action->setShortcutContext(Qt::WindowShortcut);
            action->setToolTip(action->text() + QStringLiteral(" (") +
                               key.toString(QKeySequence::NativeText) + u')');
        }
        form->addAction(action);
        actions.*a.action = action;
    }
    // The calibration of the amount boxes is not offered.
    actions.calibrateAmount->setEnabled(false);
}

void MainWindowUi::SetupPrintTab(QWidget* page) {
    for (const ButtonDesign& b : kTabButtons) {
        QPushButton* button = ActionButton(b, actions, page, b.left - kTabLeft, b.top - kTabStrip);
        if (b.action == &MainWindowActions::print) {
            QFont f = button->font();
            f.setBold(true);
            button->setFont(f);
        }
    }

    auto* label3 = new QLabel(QStringLiteral("当前格式："), page);
    label3->setObjectName(QStringLiteral("curFormatCaption"));
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
    // Beside the frame: which database holds the formats and the history.
    ActionButton(kDatabaseButton, actions, page, kDatabaseButton.left, kDatabaseButton.top);

    struct CheckDesign {
        QCheckBox* MainWindowUi::*box;
        const char16_t* name;
        const char16_t* caption;
        double left, width;
    };
    const CheckDesign checks[] = {
        {&MainWindowUi::showGrid, u"showGrid", u"显示基准网格", 120, 1500},
        {&MainWindowUi::printStub, u"printStub", u"连同票根打印", 3900, 1620},
        {&MainWindowUi::centreOnFeeder, u"centreOnFeeder", u"进纸器两边向中间收缩", 5640, 2400},
        {&MainWindowUi::quickFill, u"quickFill", u"输入时提示历史名称", 8160, 2160}};
    for (const CheckDesign& c : checks) {
        auto* box = new QCheckBox(QString::fromUtf16(c.caption), frm);
        box->setObjectName(QString::fromUtf16(c.name));
        box->setFocusPolicy(Qt::ClickFocus);
        PlaceInTwips(box, c.left, 60, c.width, 300);
        this->*c.box = box;
    }
    auto* label1 = new QLabel(QStringLiteral("(1CM/大格，2MM/小格)"), frm);
    label1->setObjectName(QStringLiteral("gridScale"));
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

    struct OptionDesign {
        QRadioButton* MainWindowUi::*option;
        const char16_t* name;
        const char16_t* caption;
        double left;
    };
    const OptionDesign options[] = {{&MainWindowUi::portrait, u"portrait", u"横向打印", 120},
                                    {&MainWindowUi::landscape, u"landscape", u"纵向打印", 1380}};
    for (const OptionDesign& o : options) {
        auto* option = new QRadioButton(QString::fromUtf16(o.caption), frm);
        option->setObjectName(QString::fromUtf16(o.name));
        option->setFocusPolicy(Qt::ClickFocus);
        PlaceInTwips(option, o.left, 480, 1200, 300);
        this->*o.option = option;
    }

    // The boxes stand in the blanks of their captions, between the name and "MM".
    struct BoxDesign {
        QLineEdit* MainWindowUi::*box;
        const char16_t* name;
        const char16_t* caption;
        double left;
        int maxLength;
    };
    const BoxDesign boxes[] = {
        {&MainWindowUi::formHeight, u"formHeight", u"单据高度：    MM", 2880, 3},
        {&MainWindowUi::formWidth, u"formWidth", u"单据宽度：    MM", 4560, 3},
        {&MainWindowUi::currencySign, u"currencySign", u"货币符号：", 6360, 4},
        {&MainWindowUi::stubWidth, u"stubWidth", u"票根宽度：       MM", 8160, 3}};
    // A face whose Latin letters are half the width of a Chinese one, as on the forms'
    // original screens, so the blanks of a caption are wide enough for the box.
    QFont captionFont(QStringLiteral("Noto Sans Mono CJK SC"));
    captionFont.setFamilies({QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("宋体")});
    captionFont.setPointSizeF(9);
    const QFontMetrics fm(captionFont);
    for (const BoxDesign& b : boxes) {
        const QString text = QString::fromUtf16(b.caption);
        auto* label = new QLabel(text, frm);
        label->setObjectName(QString::fromUtf16(b.name) + QStringLiteral("Caption"));
        label->setFont(captionFont);
        label->adjustSize();
        const int rowTop = TwipsToPixels(480);
        const int rowHeight = TwipsToPixels(300);
        label->move(TwipsToPixels(b.left), rowTop + (rowHeight - label->height()) / 2);

        auto* box = new QLineEdit(frm);
        box->setObjectName(QString::fromUtf16(b.name));
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
        this->*b.box = box;
    }
}

void MainWindowUi::SetupTabOrder() {
    QList<QWidget*> chain;
    for (const FieldRole role : kFieldTabOrder) chain << editor->Field(role);
    chain << formHeight << formWidth << currencySign << stubWidth;
    for (qsizetype n = 1; n < chain.size(); ++n) QWidget::setTabOrder(chain[n - 1], chain[n]);
}

}  // namespace tf
