#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "amount/number.h"
#include "common/fonts.h"
#include "gui/editor/voucher_editor.h"
#include "gui/format/format_chooser.h"
#include "gui/main/main_window.h"
#include "gui/window_utils.h"
#include "screen/arrange.h"
#include "store/default_format.h"
#include "store/formats.h"
#include "store/record_store.h"
#include "support/test_env.h"
#include "support/tmpfs.h"
#include "support/window_support.h"

using namespace tf;

namespace {

const QString kSaveQuestion = QStringLiteral("是否保存当前格式为默认格式？");

// Gives the box the focus, optionally replaces its text, and moves the focus on to `next`.
void Enter(QLineEdit* box, QWidget* next, const std::optional<QString>& text = std::nullopt) {
    box->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    QVERIFY2(box->hasFocus(), qPrintable(box->objectName()));
    if (text) {
        box->selectAll();
        box->del();
        if (!text->isEmpty()) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, *text);
            QApplication::sendEvent(box, &press);
        }
        QCOMPARE(box->text(), *text);
    }
    next->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
}

void ShowSettingsTab(MF& w) {
    w.SST()->setCurrentIndex(1);
    QCoreApplication::processEvents();
}

bool Near(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutions(); }

    // --- the window ----------------------------------------------------------------------

    void startUp() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("银行Tallyform2.11"));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("CurFormat"))->text(),
                 QStringLiteral("默认格式"));
        auto* sst = w->findChild<QTabWidget*>(QStringLiteral("SST"));
        QCOMPARE(sst->currentIndex(), 0);
        QCOMPARE(sst->tabText(0), QStringLiteral("打 印"));
        QCOMPARE(sst->tabText(1), QStringLiteral("设 置"));
        // Today's date (2026-03-07) in both date rows, without leading zeros.
        const QStringList date{QStringLiteral("2026"), QStringLiteral("3"), QStringLiteral("7")};
        const FieldRole voucher[] = {FieldRole::Year, FieldRole::Month, FieldRole::Day};
        const FieldRole stub[] = {FieldRole::StubYear, FieldRole::StubMonth, FieldRole::StubDay};
        for (int n = 0; n < 3; ++n) {
            QCOMPARE(w->Editor()->Field(voucher[n])->text(), date[n]);
            QCOMPARE(w->Editor()->Field(stub[n])->text(), date[n]);
        }
        QCOMPARE(QApplication::focusWidget(), w->findChild<QLineEdit*>(QStringLiteral("T5")));
        QVERIFY(w->ContentChanged());
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("currencySign"))->text(),
                 QStringLiteral("￥"));
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("formWidth"))->text(),
                 QStringLiteral("220"));
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("formHeight"))->text(),
                 QStringLiteral("85"));
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("stubWidth"))->text(),
                 QStringLiteral("65"));
        QVERIFY(test::Child<QCheckBox>(*w, QStringLiteral("showGrid"))->isChecked());
        QVERIFY(test::Child<QCheckBox>(*w, QStringLiteral("printStub"))->isChecked());
        QVERIFY(!test::Child<QCheckBox>(*w, QStringLiteral("centreOnFeeder"))->isChecked());
        QVERIFY(test::Child<QRadioButton>(*w, QStringLiteral("portrait"))->isChecked());
        QVERIFY(!test::Child<QRadioButton>(*w, QStringLiteral("landscape"))->isChecked());
        QVERIFY(
            !test::Child<QPushButton>(*w, QStringLiteral("calibrateAmountButton"))->isEnabled());
        // The window fits the 800 × 600 offscreen screen and shows the loaded format.
        QVERIFY(w->Arrangement());
        QCOMPARE(w->Editor()->width(), TwipsToPixels(w->Arrangement()->pic.width));
        QVERIFY(w->Editor()->StubLine()->isVisibleTo(w->Editor()));
        QCOMPARE(w->Editor()->Field(FieldRole::DrawerName)->x(),
                 TwipsToPixels(w->Editor()->Placement()[5].field.left));
    }

    void controls_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<bool>("grey");
        QTest::newRow("voucher year") << FieldOf(FieldRole::Year) << "年" << 4 << true;
        QTest::newRow("voucher month") << FieldOf(FieldRole::Month) << "月" << 2 << true;
        QTest::newRow("stub day") << FieldOf(FieldRole::StubDay) << "日" << 2 << true;
        QTest::newRow("drawer name")
            << FieldOf(FieldRole::DrawerName) << "出票人全称" << 32767 << false;
        QTest::newRow("capital amount")
            << FieldOf(FieldRole::CapitalAmount) << "大写金额" << 32767 << true;
        QTest::newRow("amount") << FieldOf(FieldRole::Amount) << "小写金额" << 32767 << false;
        QTest::newRow("remarks") << FieldOf(FieldRole::StubRemarks) << "备注" << 32767 << false;
        QTest::newRow("stub book-keeper")
            << FieldOf(FieldRole::StubBookKeeper) << "记账" << 32767 << false;
    }

    void controls() {
        QFETCH(int, field);
        QFETCH(QString, caption);
        QFETCH(int, maxLength);
        QFETCH(bool, grey);
        test::TestEnv env;
        MF w(env.ctx);
        QCOMPARE(w.Editor()->FieldLabel(RoleOf(field))->text(), caption);
        QCOMPARE(w.Editor()->Field(RoleOf(field))->maxLength(), maxLength);
        const QColor base = w.Editor()->Field(RoleOf(field))->palette().color(QPalette::Base);
        QCOMPARE(base == QColor(221, 221, 221), grey);
    }

    void settingsBoxLimits() {
        test::TestEnv env;
        MF w(env.ctx);
        // The limits hold for typing; a loaded value longer than that shows whole.
        const std::pair<const char*, int> limits[] = {
            {"currencySign", 4}, {"formWidth", 3}, {"formHeight", 3}, {"stubWidth", 3}};
        for (const auto& [name, limit] : limits) {
            auto* box = test::Child<QLineEdit>(w, QString::fromLatin1(name));
            box->clear();
            for (const QChar c : QStringLiteral("123456")) {
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
                QApplication::sendEvent(box, &press);
            }
            QCOMPARE(box->text(), QStringLiteral("123456").left(limit));
            box->setText(QStringLiteral("220.55"));
            QCOMPARE(box->text(), QStringLiteral("220.55"));
            QKeyEvent more(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("7"));
            QApplication::sendEvent(box, &more);
            QCOMPARE(box->text(), QStringLiteral("220.55"));
            QTest::keyClick(box, Qt::Key_Backspace);
            QCOMPARE(box->text(), QStringLiteral("220.5"));
        }
        store::VoucherSettings s = store::DesignSettings();
        s.layout.formWidthMm = 220.5;
        w.Settings() = s;
        w.WidgetsFromSettings();
        QCOMPARE(test::Child<QLineEdit>(w, QStringLiteral("formWidth"))->text(),
                 QStringLiteral("220.5"));
        QCOMPARE(w.Editor()->Title()->text(), QStringLiteral("中国 XX 银行进账单    (回 单)"));
        QCOMPARE(test::Child<QLabel>(w, QStringLiteral("gridScale"))->text(),
                 QStringLiteral("(1CM/大格，2MM/小格)"));
    }

    void amountRule_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("figures");
        QTest::addColumn<QString>("capitals");
        QTest::newRow("1234.5") << "1234.5"
                                << "￥1234.50"
                                << "壹仟贰佰叁拾肆元伍角整";
        QTest::newRow("thousands separator") << "1,234.56"
                                             << "￥1234.56"
                                             << "壹仟贰佰叁拾肆元伍角陆分";
        QTest::newRow("no digits") << "abc"
                                   << "￥0.00"
                                   << "零元整";
    }

    void amountRule() {
        QFETCH(QString, typed);
        QFETCH(QString, figures);
        QFETCH(QString, capitals);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        Enter(w->Editor()->Field(FieldRole::Amount), w->Editor()->Field(FieldRole::BillKind),
              typed);
        QCOMPARE(w->Editor()->Field(FieldRole::Amount)->text(), figures);
        QCOMPARE(w->Editor()->Field(FieldRole::CapitalAmount)->text(), capitals);
        QCOMPARE(w->Editor()->Field(FieldRole::StubAmount)->text(), figures);
        QVERIFY(env.prompt.Messages().isEmpty());
    }

    void clearingAmountKeepsCapitals() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        Enter(w->Editor()->Field(FieldRole::Amount), w->Editor()->Field(FieldRole::BillKind),
              QStringLiteral("1234.5"));
        Enter(w->Editor()->Field(FieldRole::Amount), w->Editor()->Field(FieldRole::BillKind),
              QString());
        QCOMPARE(w->Editor()->Field(FieldRole::Amount)->text(), QString());
        QCOMPARE(w->Editor()->Field(FieldRole::CapitalAmount)->text(),
                 QStringLiteral("壹仟贰佰叁拾肆元伍角整"));
        QCOMPARE(w->Editor()->Field(FieldRole::StubAmount)->text(), QString());
    }

    void capitalsTypedByHandStay() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        Enter(w->Editor()->Field(FieldRole::CapitalAmount), w->Editor()->Field(FieldRole::BillKind),
              QStringLiteral("手写大写"));
        QCOMPARE(w->Editor()->Field(FieldRole::CapitalAmount)->text(), QStringLiteral("手写大写"));
        // The capital amount has no stub field: remarks (27) keep their text.
        QCOMPARE(w->Editor()->Field(FieldRole::StubRemarks)->text(), QString());
        Enter(w->Editor()->Field(FieldRole::Amount), w->Editor()->Field(FieldRole::BillKind),
              QStringLiteral("5"));
        QCOMPARE(w->Editor()->Field(FieldRole::CapitalAmount)->text(), QStringLiteral("伍元整"));
    }

    void highDigitsCutWarns() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        Enter(w->Editor()->Field(FieldRole::Amount), w->Editor()->Field(FieldRole::BillKind),
              QStringLiteral("123456789.5"));
        QCOMPARE(w->Editor()->Field(FieldRole::Amount)->text(), QStringLiteral("￥23456789.50"));
        QCOMPARE(w->Editor()->Field(FieldRole::StubAmount)->text(),
                 QStringLiteral("￥23456789.50"));
        QTRY_COMPARE(
            env.prompt.Messages(),
            QStringList{QStringLiteral("金额超出99999999.99，最高位已被截去，请核对小写金额！")});
        // Leaving the already shortened amount again warns no more.
        Enter(w->Editor()->Field(FieldRole::Amount), w->Editor()->Field(FieldRole::BillKind));
        QTest::qWait(20);
        QCOMPARE(env.prompt.Messages().size(), 1);
    }

    void stubCopy_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("target");  // 0: copies nowhere
        QTest::newRow("year 2 to 18") << 2 << 18;
        QTest::newRow("day 4 to 20") << 4 << 20;
        QTest::newRow("drawer name 5 to 21") << 5 << 21;
        QTest::newRow("payee bank 10 to 26") << 10 << 26;
        QTest::newRow("kind of bill 13 to 29") << 13 << 29;
        QTest::newRow("book-keeper 17 to 33") << 17 << 33;
        QTest::newRow("stub drawer name 21 copies nowhere") << 21 << 0;
        QTest::newRow("remarks 27 copies nowhere") << 27 << 0;
    }

    void stubCopy() {
        QFETCH(int, field);
        QFETCH(int, target);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        const FieldTexts before = w->Texts();
        const QString text = field <= 4 ? QStringLiteral("9") : QStringLiteral("上海某某有限公司");
        QLineEdit* next = field == 6 ? w->Editor()->Field(FieldRole::DrawerBank)
                                     : w->Editor()->Field(FieldRole::DrawerAccount);
        Enter(w->Editor()->Field(RoleOf(field)), next, text);
        FieldTexts expected = before;
        expected[field] = text;
        if (target) expected[target] = text;
        QCOMPARE(w->Texts(), expected);
    }

    void contentChangedOnEveryChange() {
        test::TestEnv env;
        MF w(env.ctx);
        w.SetContentChanged(false);
        w.Editor()
            ->Field(FieldRole::BillKind)
            ->setText(QStringLiteral("支票"));  // set by the program
        QVERIFY(w.ContentChanged());
        w.SetContentChanged(false);
        QTest::keyClicks(w.Editor()->Field(FieldRole::BillCount), QStringLiteral("2"));  // typed
        QVERIFY(w.ContentChanged());
        w.SetContentChanged(false);
        test::Child<QLineEdit>(w, QStringLiteral("formHeight"))
            ->setText(QStringLiteral("90"));  // a settings box is not the voucher
        QVERIFY(!w.ContentChanged());
    }

    void currencySymbol_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("figures");
        QTest::addColumn<QString>("capitals");
        QTest::newRow("dollar rewrites 12, 11 and 28") << "$"
                                                       << "$"
                                                       << "$1234.56"
                                                       << "壹仟贰佰叁拾肆元伍角陆美分";
        QTest::newRow("surrounding blanks trimmed") << " € "
                                                    << "€"
                                                    << "€1234.56"
                                                    << "壹仟贰佰叁拾肆元伍角陆分";
        QTest::newRow("blanks restore the previous symbol") << "   "
                                                            << "￥"
                                                            << "￥1234.56"
                                                            << "壹仟贰佰叁拾肆元伍角陆分";
    }

    void currencySymbol() {
        QFETCH(QString, typed);
        QFETCH(QString, symbol);
        QFETCH(QString, figures);
        QFETCH(QString, capitals);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        Enter(w->Editor()->Field(FieldRole::Amount), w->Editor()->Field(FieldRole::BillKind),
              QStringLiteral("1234.56"));
        ShowSettingsTab(*w);
        Enter(test::Child<QLineEdit>(*w, QStringLiteral("currencySign")),
              test::Child<QLineEdit>(*w, QStringLiteral("stubWidth")), typed);
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("currencySign"))->text(), symbol);
        QCOMPARE(w->Editor()->Field(FieldRole::Amount)->text(), figures);
        QCOMPARE(w->Editor()->Field(FieldRole::CapitalAmount)->text(), capitals);
        QCOMPARE(w->Editor()->Field(FieldRole::StubAmount)->text(), figures);
    }

    void dimensionBoxes_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("rearranged");
        QTest::newRow("height 25 restored") << "formHeight"
                                            << "25"
                                            << "85" << false;
        QTest::newRow("height 30 accepted") << "formHeight"
                                            << "30"
                                            << "30" << true;
        QTest::newRow("height unreadable restored") << "formHeight"
                                                    << "mm"
                                                    << "85" << false;
        QTest::newRow("height with unit accepted") << "formHeight"
                                                   << "90m"
                                                   << "90m" << true;
        QTest::newRow("width 29 restored") << "formWidth"
                                           << "29"
                                           << "220" << false;
        QTest::newRow("width 250 accepted") << "formWidth"
                                            << "250"
                                            << "250" << true;
        QTest::newRow("width below stub restored") << "formWidth"
                                                   << "60"
                                                   << "220" << false;
        QTest::newRow("stub equal to width restored") << "stubWidth"
                                                      << "220"
                                                      << "65" << false;
        QTest::newRow("stub wider than width restored") << "stubWidth"
                                                        << "300"
                                                        << "65" << false;
        QTest::newRow("stub 30 accepted") << "stubWidth"
                                          << "30"
                                          << "30" << true;
    }

    void dimensionBoxes() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(bool, rearranged);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        ShowSettingsTab(*w);
        const ArrangeResult before = *w->Arrangement();
        auto* edited = test::Child<QLineEdit>(*w, box);
        const QString next =
            box == u"formHeight" ? QStringLiteral("formWidth") : QStringLiteral("formHeight");
        Enter(edited, test::Child<QLineEdit>(*w, next), typed);
        QCOMPARE(edited->text(), kept);
        const ArrangeResult after = *w->Arrangement();
        const bool changed =
            !Near(before.pic.height, after.pic.height) || !Near(before.lineX, after.lineX);
        QCOMPARE(changed, rearranged);
        if (rearranged)
            QVERIFY(
                Near(after.twipsPerMm,
                     after.pic.height /
                         LenientNumber(
                             test::Child<QLineEdit>(*w, QStringLiteral("formHeight"))->text())));
        QVERIFY(env.prompt.Messages().isEmpty());
    }

    void refusedHeightDoesNotRescaleTheLayout() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        const FieldFormats before = w->FieldFormats();
        // Type 25 as the height, press Left (arrow keys also act on the layout), then Tab:
        // the box goes back to 85 and the layout must stay as it was.
        test::Child<QLineEdit>(*w, QStringLiteral("formHeight"))->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        test::Child<QLineEdit>(*w, QStringLiteral("formHeight"))->selectAll();
        test::Child<QLineEdit>(*w, QStringLiteral("formHeight"))->del();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("25"));
        QApplication::sendEvent(test::Child<QLineEdit>(*w, QStringLiteral("formHeight")), &press);
        QTest::keyClick(test::Child<QLineEdit>(*w, QStringLiteral("formHeight")), Qt::Key_Left);
        test::Child<QLineEdit>(*w, QStringLiteral("formWidth"))->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("formHeight"))->text(),
                 QStringLiteral("85"));
        w->ArrangeWindow();  // the next re-arrangement
        for (int i = kFirstField; i <= kLastField; ++i) {
            const FieldFormat& a = before[i];
            const FieldFormat& b = w->FieldFormats()[i];
            QVERIFY2(std::abs(a.X - b.X) < 1e-6 && std::abs(a.Y - b.Y) < 1e-6 &&
                         std::abs(a.W - b.W) < 1e-6 && std::abs(a.H - b.H) < 1e-6,
                     qPrintable(QStringLiteral("field %1: %2 became %3").arg(i).arg(a.W).arg(b.W)));
        }
    }

    void hidingStubNarrowsWindow() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        ShowSettingsTab(*w);
        const ArrangeResult shown = *w->Arrangement();
        const double x21 = w->Editor()->Placement()[21].field.left;
        w->FieldFormats()[7].Selected = true;
        QTest::mouseClick(test::Child<QCheckBox>(*w, QStringLiteral("printStub")), Qt::LeftButton);
        QVERIFY(!test::Child<QCheckBox>(*w, QStringLiteral("printStub"))->isChecked());
        QVERIFY(!w->FieldFormats()[7].Selected);
        const ArrangeResult hidden = *w->Arrangement();
        QVERIFY(Near(hidden.window.width, shown.window.width * 155 / 220));
        QVERIFY(!w->Editor()->StubLine()->isVisibleTo(w->Editor()));
        // Every field moves left by the stub's 65 mm at the new scale.
        QVERIFY(Near(x21 / shown.twipsPerMm - 65,
                     w->Editor()->Placement()[21].field.left / hidden.twipsPerMm));
        for (int i = 18; i <= kLastField; ++i)
            QVERIFY(w->Editor()->Field(RoleOf(i))->geometry().right() < 0);
        // A stub as wide as the form is refused while hidden, without breaking the window.
        Enter(test::Child<QLineEdit>(*w, QStringLiteral("stubWidth")),
              test::Child<QLineEdit>(*w, QStringLiteral("formHeight")), QStringLiteral("220"));
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("stubWidth"))->text(),
                 QStringLiteral("65"));
        QTest::mouseClick(test::Child<QCheckBox>(*w, QStringLiteral("printStub")), Qt::LeftButton);
        QVERIFY(Near(w->Arrangement()->window.width, shown.window.width));
        QVERIFY(w->Editor()->StubLine()->isVisibleTo(w->Editor()));
    }

    void captureAfterArrangeGivesBackFormats() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        const FieldFormats loaded = w->FieldFormats();
        for (bool stub : {true, false}) {
            test::Child<QCheckBox>(*w, QStringLiteral("printStub"))->setChecked(stub);
            w->ArrangeWindow();
            w->Editor()->CaptureLayout();
            for (int i = kFirstField; i <= kLastField; ++i) {
                const FieldFormat& a = w->FieldFormats()[i];
                const FieldFormat& b = loaded[i];
                QVERIFY(std::abs(a.X - b.X) < 1e-9 && std::abs(a.Y - b.Y) < 1e-9);
                QVERIFY(std::abs(a.W - b.W) < 1e-9 && std::abs(a.H - b.H) < 1e-9);
                QCOMPARE(a.font.family, b.font.family);
                QCOMPARE(a.font.size, b.font.size);
                QCOMPARE(a.font.color, b.font.color);
                QCOMPARE(a.font.bold, b.font.bold);
            }
        }
    }

    void fieldFontsAndColours() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        FieldFormat& f = w->FieldFormats()[8];
        f.font = FieldFont{
            .family = QStringLiteral("黑体"), .size = 12, .bold = true, .color = 0x0000FF};
        w->ArrangeWindow();
        QCOMPARE(w->Editor()->Field(FieldRole::PayeeName)->font().family(), QStringLiteral("黑体"));
        QCOMPARE(w->Editor()->Field(FieldRole::PayeeName)->font().pointSizeF(), 12.0);
        QVERIFY(w->Editor()->Field(FieldRole::PayeeName)->font().bold());
        QCOMPARE(w->Editor()->Field(FieldRole::PayeeName)->palette().color(QPalette::Text),
                 QColor(255, 0, 0));
    }

    void tabOrder() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        const int order[] = {5,  6,  7,  8,  9,  10, 11, 12, 2,  3,  4,  13, 14, 15, 16, 17,
                             18, 19, 20, 21, 22, 23, 28, 24, 25, 26, 29, 30, 31, 32, 33, 27};
        QCOMPARE(QApplication::focusWidget(), w->Editor()->Field(FieldRole::DrawerName));
        QTest::keyClick(w->Editor()->Field(FieldRole::DrawerName), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(),
                 w->Editor()->Field(FieldRole::DrawerName));  // Enter does not advance
        QStringList visited;
        for (size_t n = 1; n < std::size(order); ++n) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QStringList expected;
        for (size_t n = 1; n < std::size(order); ++n)
            expected << QStringLiteral("T%1").arg(order[n]);
        QCOMPARE(visited, expected);
        ShowSettingsTab(*w);
        w->Editor()->Field(FieldRole::StubRemarks)->setFocus(Qt::TabFocusReason);
        visited.clear();
        for (int n = 0; n < 4; ++n) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited,
                 (QStringList{QStringLiteral("formHeight"), QStringLiteral("formWidth"),
                              QStringLiteral("currencySign"), QStringLiteral("stubWidth")}));
    }

    void buttonsClearSelection_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("print") << "printButton";
        QTest::newRow("history") << "historyButton";
        QTest::newRow("calibrate") << "calibratePrinterButton";
    }

    void buttonsClearSelection() {
        QFETCH(QString, button);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        const FieldTexts texts = w->Texts();
        w->FieldFormats()[9].Selected = true;
        w->FieldFormats()[30].Selected = true;
        // Printing is cancelled at the printer dialog, the calibration print at its question.
        env.prompt.printers.enqueue(false);
        env.prompt.yesNo.enqueue(false);
        QTest::mouseClick(test::Child<QPushButton>(*w, button), Qt::LeftButton);
        for (int i = kFirstField; i <= kLastField; ++i) QVERIFY(!w->FieldFormats()[i].Selected);
        QCOMPARE(w->Texts(), texts);
        QVERIFY(env.prompt.unexpected.isEmpty());
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != w.get() && top->isVisible()) top->close();
    }

    void settingsBoxAndTabClearSelection() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        w->FieldFormats()[9].Selected = true;
        QTest::mouseClick(w->SST()->tabBar(), Qt::LeftButton, {},
                          w->SST()->tabBar()->tabRect(1).center());
        QCOMPARE(w->SST()->currentIndex(), 1);
        QVERIFY(!w->FieldFormats()[9].Selected);
        w->FieldFormats()[9].Selected = true;
        test::Child<QLineEdit>(*w, QStringLiteral("formWidth"))->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        QVERIFY(!w->FieldFormats()[9].Selected);
    }

    void saveLoadAndDeleteFormats() {
        test::TestEnv env;
        env.CreateDatabase();
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        ShowSettingsTab(*w);
        Enter(test::Child<QLineEdit>(*w, QStringLiteral("formWidth")),
              test::Child<QLineEdit>(*w, QStringLiteral("formHeight")), QStringLiteral("200"));
        test::Child<QRadioButton>(*w, QStringLiteral("landscape"))->setChecked(true);

        env.prompt.inputs.enqueue(QStringLiteral("  窄票  "));
        QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("saveFormatButton")),
                          Qt::LeftButton);
        QCOMPARE(w->CurFormat()->text(), QStringLiteral("窄票"));
        QVERIFY(store::FormatNames(env.ctx).contains(QStringLiteral("窄票")));
        env.prompt.inputs.enqueue(QStringLiteral("其他"));
        QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("saveFormatButton")),
                          Qt::LeftButton);
        QCOMPARE(w->CurFormat()->text(), QStringLiteral("其他"));

        // Back to the default format through the chooser: its settings return.
        test::PickInChooser(store::DefaultFormatName());
        QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("loadFormatButton")),
                          Qt::LeftButton);
        QCOMPARE(w->CurFormat()->text(), QStringLiteral("默认格式"));
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("formWidth"))->text(),
                 QStringLiteral("220"));
        QVERIFY(test::Child<QRadioButton>(*w, QStringLiteral("portrait"))->isChecked());
        QVERIFY(Near(w->Arrangement()->lineX, w->Arrangement()->pic.width * 65 / 220));

        test::PickInChooser(QStringLiteral("窄票"));
        QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("loadFormatButton")),
                          Qt::LeftButton);
        QCOMPARE(w->CurFormat()->text(), QStringLiteral("窄票"));
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("formWidth"))->text(),
                 QStringLiteral("200"));
        QVERIFY(test::Child<QRadioButton>(*w, QStringLiteral("landscape"))->isChecked());
        QVERIFY(Near(w->Arrangement()->lineX, w->Arrangement()->pic.width * 65 / 200));

        env.prompt.Clear();
        env.prompt.yesNo.enqueue(true);
        test::PickInChooser(QStringLiteral("其他"));
        QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("deleteFormatButton")),
                          Qt::LeftButton);
        QCOMPARE(env.prompt.Questions(), QStringList{QStringLiteral("您确定要删除格式：其他？")});
        QVERIFY(!store::FormatNames(env.ctx).contains(QStringLiteral("其他")));
        QCOMPARE(w->CurFormat()->text(), QStringLiteral("窄票"));
    }

    void helpPageMissingIsReported() {
        if (!MF::HelpPagePath().isEmpty()) QSKIP("a help page lies beside the test program");
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        for (const char* button : {"helpButton", "contactButton"}) {
            env.prompt.Clear();
            QTest::mouseClick(test::Child<QPushButton>(*w, QString::fromLatin1(button)),
                              Qt::LeftButton);
            QCOMPARE(env.prompt.Messages().size(), 1);
            QVERIFY(env.prompt.Messages().first().startsWith(QStringLiteral("找不到帮助文件：")));
        }
    }

    void shutDownAndRestart_data() {
        QTest::addColumn<bool>("saveLayout");
        QTest::newRow("Yes keeps texts and layout") << true;
        QTest::newRow("No keeps texts but not layout") << false;
    }

    void shutDownAndRestart() {
        QFETCH(bool, saveLayout);
        test::TestEnv env;
        FieldTexts typed;
        double movedX = 0;
        double designX = 0;
        {
            auto w = test::OpenMainWindow(env);
            QVERIFY(w);
            Enter(w->Editor()->Field(FieldRole::DrawerName),
                  w->Editor()->Field(FieldRole::DrawerAccount),
                  QStringLiteral("北京某某贸易有限公司"));
            Enter(w->Editor()->Field(FieldRole::Amount), w->Editor()->Field(FieldRole::BillKind),
                  QStringLiteral("88.8"));
            Enter(w->Editor()->Field(FieldRole::StubRemarks),
                  w->Editor()->Field(FieldRole::DrawerAccount), QStringLiteral("代发工资"));
            ShowSettingsTab(*w);
            Enter(test::Child<QLineEdit>(*w, QStringLiteral("formHeight")),
                  test::Child<QLineEdit>(*w, QStringLiteral("formWidth")), QStringLiteral("90"));
            designX = w->FieldFormats()[5].X;
            w->FieldFormats()[5].X += 10;  // as an edit on screen would leave it
            movedX = w->FieldFormats()[5].X;
            typed = w->Texts();
            env.prompt.yesNo.enqueue(saveLayout);
            QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("exitButton")),
                              Qt::LeftButton);
            QVERIFY(!w->isVisible());
            QCOMPARE(env.prompt.Questions(), QStringList{kSaveQuestion});
            QCOMPARE(env.prompt.shown.first().title, QString());
            w->close();  // a second close asks nothing more
            QCOMPARE(env.prompt.Questions().size(), 1);
        }
        env.clock = QDateTime(QDate(2026, 4, 1), QTime(8, 0));
        env.prompt.Clear();
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        FieldTexts expected = typed;
        expected[2] = expected[18] = QStringLiteral("2026");
        expected[3] = expected[19] = QStringLiteral("4");
        expected[4] = expected[20] = QStringLiteral("1");
        QCOMPARE(w->Texts(), expected);
        QCOMPARE(w->Editor()->Field(FieldRole::CapitalAmount)->text(),
                 QStringLiteral("捌拾捌元捌角整"));
        QCOMPARE(test::Child<QLineEdit>(*w, QStringLiteral("formHeight"))->text(),
                 saveLayout ? QStringLiteral("90") : QStringLiteral("85"));
        QCOMPARE(w->FieldFormats()[5].X, saveLayout ? movedX : designX);
        QVERIFY(env.prompt.shown.isEmpty());
    }

    void readOnlyFileAtExitAsksNothing() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        env.ctx.canWrite = [](const QString&) { return false; };
        QVERIFY(w->close());
        QVERIFY(env.prompt.Questions().isEmpty());
        QVERIFY(!env.prompt.shown.isEmpty());
    }

    // Par.mdb on a disk mounted read-only, found so by the program's own check: the clerk was
    // told at start that changes are not kept, and closing offers no format to save.
    void readOnlyDiskAtExitAsksNothing() {
        test::TestEnv env;
        test::Tmpfs disk(env.dir.filePath(QStringLiteral("share")), 4 << 20);
        if (!disk.Mounted()) QSKIP("cannot mount a tmpfs here");
        env.ctx.dataDir = disk.Path();
        env.CreateDatabase();
        QVERIFY(disk.RemountReadOnly());
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        QCOMPARE(env.prompt.Messages().size(), 1);  // the read-only notice
        w->Editor()->Field(FieldRole::PayeeAccount)->setText(QStringLiteral("6222020200112233"));
        QVERIFY(w->close());
        QVERIFY(env.prompt.Questions().isEmpty());
    }

    void closeBoxRunsShutDown() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        w->Editor()->Field(FieldRole::PayeeAccount)->setText(QStringLiteral("6222020200112233"));
        env.prompt.yesNo.enqueue(false);
        QVERIFY(w->close());
        QCOMPARE(env.prompt.Questions(), QStringList{kSaveQuestion});
        FieldTexts stored;
        store::LoadCurrentText(env.ctx, stored);
        QCOMPARE(stored[9], QStringLiteral("6222020200112233"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
