#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "gui/editor/voucher_editor.h"
#include "gui/main/main_window.h"
#include "gui/print/collate_form.h"
#include "gui/window_utils.h"
#include "print/page.h"
#include "print/printer.h"
#include "store/record_store.h"
#include "support/recording_printer.h"
#include "support/test_env.h"
#include "support/window_support.h"

using namespace tf;

namespace {

std::unique_ptr<MF> Open(test::TestEnv& env, test::RecordingPrinter& printer) {
    auto w = test::OpenMainWindow(env);
    if (w) w->UsePrinter(&printer, &printer);
    return w;
}

void Type(MF& w, int field, const QString& text) {
    w.Editor()->Field(RoleOf(field))->setFocus();
    QCoreApplication::processEvents();
    w.Editor()->Field(RoleOf(field))->setText(text);
    // Leaving the field runs its rules.
    const FieldRole next =
        RoleOf(field) == FieldRole::DrawerName ? FieldRole::DrawerAccount : FieldRole::DrawerName;
    w.Editor()->Field(next)->setFocus();
    QCoreApplication::processEvents();
}

int StoredGroups(const AppContext& ctx) {
    return test::Scalar(
               ctx, QStringLiteral(
                        "SELECT COUNT(DISTINCT Dat) FROM 记录 WHERE Dat<>'1973-08-18 00:00:00'"))
        .toInt();
}

void CloseWithoutSaving(test::TestEnv& env, MF& w) {
    env.prompt.yesNo.enqueue(false);
    w.close();
}

}  // namespace

class TestPrintWindow : public QObject {
    Q_OBJECT
private slots:
    void printsWhatTheScreenShows_data();
    void printsWhatTheScreenShows();
    void recordQuestionOncePerChange();
    void cancelledPrinterDialogKeepsContentChanged();
    void calibrationOpensOffsetDialogAfterNo();
    void previewButtonShowsPage();
    void cutWarningComesBeforeThePrinterDialog();
};

void TestPrintWindow::printsWhatTheScreenShows_data() {
    QTest::addColumn<bool>("stubShown");
    QTest::newRow("stub shown") << true;
    QTest::newRow("stub hidden") << false;
}

void TestPrintWindow::printsWhatTheScreenShows() {
    QFETCH(bool, stubShown);
    test::TestEnv env;
    test::RecordingPrinter printer;
    auto w = Open(env, printer);
    QVERIFY(w);
    if (test::Child<QCheckBox>(*w, QStringLiteral("printStub"))->isChecked() != stubShown)
        test::Child<QCheckBox>(*w, QStringLiteral("printStub"))->click();
    QCoreApplication::processEvents();

    // The page the window hands to printing is the format in use, in millimetres, with the
    // settings and texts the window shows.
    const print::VoucherPage page = w->CurrentPage();
    QCOMPARE(page.layout, w->Settings().layout);
    QCOMPARE(page.layout.printStub, stubShown);
    QVERIFY(page.fields == w->FieldFormats());
    QCOMPARE(page.texts, w->Texts());
    QCOMPARE(page.format, w->CurFormat()->text());

    // Printed: field 5 lands 3 mm left of and above its format position (no stored offsets).
    Type(*w, 5, QStringLiteral("北京某某公司"));
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(false);
    test::Child<QPushButton>(*w, QStringLiteral("printButton"))->click();
    QCOMPARE(printer.endDocs, 1);
    const FieldFormat& f5 = w->FieldFormats()[5];
    const double left = stubShown ? f5.X : f5.X - 65;
    bool found = false;
    for (const auto& run : printer.runs) {
        if (run.text != QStringLiteral("北") || run.x < print::MmToTwips(left - 3) - 1) continue;
        found = true;
        QVERIFY(qAbs(run.x - print::MmToTwips(left - 3)) < 1e-6);
        QVERIFY(qAbs(run.y - print::MmToTwips(f5.Y - 3)) < 1e-6);
    }
    QVERIFY(found);
    // The stub's copy of the drawer's name prints only with the stub.
    int copies = 0;
    for (const auto& run : printer.runs) copies += run.text == QStringLiteral("北") ? 1 : 0;
    QCOMPARE(copies, stubShown ? 2 : 1);
    CloseWithoutSaving(env, *w);
}

void TestPrintWindow::recordQuestionOncePerChange() {
    test::TestEnv env;
    test::RecordingPrinter printer;
    auto w = Open(env, printer);
    QVERIFY(w);
    Type(*w, 12, QStringLiteral("8"));
    QCOMPARE(w->Editor()->Field(FieldRole::Amount)->text(), QStringLiteral("￥8.00"));

    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(true);
    test::Child<QPushButton>(*w, QStringLiteral("printButton"))->click();
    QCOMPARE(env.prompt.Questions(), QStringList{QStringLiteral("是否保存打印记录？")});
    QCOMPARE(StoredGroups(env.ctx), 1);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 记录 WHERE Dat=?"),
                          {store::DateText(env.clock)})
                 .toInt(),
             32);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT Con FROM 记录 WHERE Dat=? AND Ctl=12"),
                          {store::DateText(env.clock)})
                 .toString(),
             QStringLiteral("￥8.00"));
    QVERIFY(!w->ContentChanged());

    // The same voucher again: printed, not asked.
    env.prompt.Clear();
    env.prompt.printers.enqueue(true);
    test::Child<QPushButton>(*w, QStringLiteral("printButton"))->click();
    QCOMPARE(printer.endDocs, 2);
    QVERIFY(env.prompt.Questions().isEmpty());

    // A changed field asks again.
    Type(*w, 8, QStringLiteral("收款单位"));
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(false);
    test::Child<QPushButton>(*w, QStringLiteral("printButton"))->click();
    QCOMPARE(env.prompt.Questions(), QStringList{QStringLiteral("是否保存打印记录？")});
    QCOMPARE(StoredGroups(env.ctx), 1);
    QVERIFY(env.prompt.unexpected.isEmpty());
    CloseWithoutSaving(env, *w);
}

void TestPrintWindow::cancelledPrinterDialogKeepsContentChanged() {
    test::TestEnv env;
    test::RecordingPrinter printer;
    auto w = Open(env, printer);
    QVERIFY(w);
    QVERIFY(w->ContentChanged());
    env.prompt.printers.enqueue(false);
    test::Child<QPushButton>(*w, QStringLiteral("printButton"))->click();
    QVERIFY(printer.runs.isEmpty());
    QCOMPARE(printer.endDocs, 0);
    QVERIFY(w->ContentChanged());
    QVERIFY(env.prompt.Questions().isEmpty());
    CloseWithoutSaving(env, *w);
}

void TestPrintWindow::calibrationOpensOffsetDialogAfterNo() {
    test::TestEnv env;
    test::RecordingPrinter printer;
    auto w = Open(env, printer);
    QVERIFY(w);
    env.prompt.yesNo.enqueue(false);
    test::Child<QPushButton>(*w, QStringLiteral("calibratePrinterButton"))->click();
    QCOMPARE(env.prompt.shown.last().title, QStringLiteral("打印位置校验"));
    QVERIFY(printer.boxes.isEmpty());
    QVERIFY(IsFormOpen(print::CollateCaption()));

    // With Yes the square goes out, and the dialog opens again.
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->windowTitle() == print::CollateCaption()) top->close();
    QCoreApplication::processEvents();
    env.prompt.yesNo.enqueue(true);
    env.prompt.printers.enqueue(true);
    test::Child<QPushButton>(*w, QStringLiteral("calibratePrinterButton"))->click();
    QCOMPARE(printer.boxes.size(), 1);
    QVERIFY(IsFormOpen(print::CollateCaption()));
    CloseWithoutSaving(env, *w);
}

void TestPrintWindow::previewButtonShowsPage() {
    test::TestEnv env;
    test::RecordingPrinter printer;
    auto w = Open(env, printer);
    QVERIFY(w);
    QCOMPARE(test::Child<QPushButton>(*w, QStringLiteral("previewButton"))->text(),
             QStringLiteral("打印预览"));
    bool seen = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* dlg = qobject_cast<QPrintPreviewDialog*>(top); dlg && dlg->isVisible()) {
                seen = true;
                dlg->reject();
            }
        }
    });
    test::Child<QPushButton>(*w, QStringLiteral("previewButton"))->click();
    QVERIFY(seen);
    QVERIFY(env.prompt.Messages().isEmpty());
    QVERIFY(printer.runs.isEmpty());  // the preview draws on its own printer
    CloseWithoutSaving(env, *w);
}

QTEST_MAIN(TestPrintWindow)
void TestPrintWindow::cutWarningComesBeforeThePrinterDialog() {
    test::TestEnv env;
    test::RecordingPrinter printer;
    auto w = Open(env, printer);
    QVERIFY(w);
    w->Editor()->Field(FieldRole::Amount)->setFocus();
    QCoreApplication::processEvents();
    w->Editor()->Field(FieldRole::Amount)->setText(QStringLiteral("123456789.5"));
    env.prompt.printers.enqueue(false);
    // The press on the button takes the focus from the amount field and prints at once.
    QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("printButton")), Qt::LeftButton);
    QCOMPARE(w->Editor()->Field(FieldRole::Amount)->text(), QStringLiteral("￥23456789.50"));
    QTest::qWait(20);
    QStringList kinds;
    for (const auto& shown : env.prompt.shown) kinds << shown.kind;
    QCOMPARE(kinds, (QStringList{QStringLiteral("message"), QStringLiteral("printer")}));
    CloseWithoutSaving(env, *w);
}

#include "tst_print_window.moc"
