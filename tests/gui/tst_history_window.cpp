#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>
#include <memory>

#include "gui/dialogs/qt_prompt.h"
#include "gui/editor/voucher_editor.h"
#include "gui/history/history_link.h"
#include "gui/history/history_view.h"
#include "gui/history/old_rec.h"
#include "gui/main/main_window.h"
#include "gui/window_utils.h"
#include "history/workbook/workbook.h"
#include "store/record_store.h"
#include "store/server_record_store.h"
#include "support/recording_printer.h"
#include "support/test_env.h"
#include "support/test_server.h"
#include "support/window_support.h"

using namespace tf;
using namespace tf::history;
using namespace Qt::StringLiterals;

namespace {

struct FakeVoucher : VoucherFields {
    QString Caption(int field) const override { return u"L"_s + QString::number(field); }
    void TakeText(int, const QString&) override {}
};

// Vouchers named 1 … n, one a minute apart, the last one the newest; payer names in
// reverse order of age, so sorting by the payer reverses the list.
void StoreVouchers(const AppContext& ctx, int n) {
    for (int v = 1; v <= n; ++v) {
        FieldTexts t;
        for (int i = kFirstField; i <= kLastField; ++i) t[i] = u"v%1-%2"_s.arg(v).arg(i);
        t[5] = u"付款单位%1"_s.arg(QChar(u'Z' - v));
        t[12] = u"%1.5"_s.arg(1000 + v);
        QVERIFY(store::StoreTexts(ctx, QDateTime(QDate(2026, 3, 1), QTime(9, v, 0)), t));
    }
}

// The texts of a field's column, top down.
QStringList ShownColumn(const HistoryView& view, int field) {
    QStringList out;
    const auto* m = view.model();
    const auto column = std::find(store::kShownFields.begin(), store::kShownFields.end(), field) -
                        store::kShownFields.begin();
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->data(m->index(r, static_cast<int>(column))).toString();
    return out;
}

void PressHeader(HistoryView& view, int modelCol) {
    QHeaderView* h = view.horizontalHeader();
    const QPoint at(h->sectionViewportPosition(modelCol) + h->sectionSize(modelCol) / 2,
                    h->height() / 2);
    QTest::mousePress(h->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void openedFromMainWindowTakesBackARecord();
    void headerPressesSortAndRefit();
    void shiftKeysSelectTheRowsToDelete_data();
    void shiftKeysSelectTheRowsToDelete();
    void searchRunsOnTheButton();
    void exportWritesTheWholeListInItsOrder();
    void batchPrintsTheChosenRowOrAsksBeforeAll();
    void dialogsBelongToTheHistoryWindow();
    void opensWideEnoughForEveryColumn();
    void followsOtherClerksOnTheServer();
    void firstRowsToArriveAreShown();
};

void TestHistoryWindow::openedFromMainWindowTakesBackARecord() {
    test::TestEnv env;
    auto w = test::OpenMainWindow(env);
    QVERIFY(w);
    StoreVouchers(env.ctx, 3);
    test::Child<QPushButton>(*w, QStringLiteral("historyButton"))->click();
    auto* rec = w->findChild<OldRec*>();
    QVERIFY(rec);
    QVERIFY(QTest::qWaitForWindowExposed(rec));
    QVERIFY(!rec->isModal());
    QCOMPARE(rec->windowTitle(), u"历史记录"_s);
    QCOMPARE(rec->Model()->headerData(5 - 2, Qt::Horizontal).toString(),
             w->Editor()->FieldLabel(FieldRole::DrawerName)->text());
    // A second press brings the open window forward instead of opening another.
    test::Child<QPushButton>(*w, QStringLiteral("historyButton"))->click();
    QCOMPARE(w->findChildren<OldRec*>().size(), 1);

    // Take back the second newest voucher (v2): fields filled, stub copied, amount normalised.
    QTest::mouseClick(rec->MSG()->viewport(), Qt::LeftButton, {},
                      rec->MSG()->visualRect(rec->Model()->index(1, 3)).center());
    QCOMPARE(rec->ChosenRows().second, 1);
    test::Child<QPushButton>(*rec, QStringLiteral("reprintButton"))->click();
    QCOMPARE(w->Editor()->Field(FieldRole::DrawerAccount)->text(), u"v2-6"_s);
    QCOMPARE(w->Editor()->Field(FieldRole::StubDrawerAccount)->text(), u"v2-6"_s);
    QCOMPARE(w->Editor()->Field(FieldRole::StubRemarks)->text(), u"v2-27"_s);
    QCOMPARE(w->Editor()->Field(FieldRole::Amount)->text(), u"￥1002.50"_s);
    QCOMPARE(w->Editor()->Field(FieldRole::CapitalAmount)->text(), u"壹仟零贰元伍角整"_s);
    QCOMPARE(w->Editor()->Field(FieldRole::StubAmount)->text(), u"￥1002.50"_s);
    QVERIFY(rec->isVisible());  // it stays open for the next one

    // "导出数据" asks for a file and writes the list into it; a cancelled dialog writes nothing.
    QVERIFY(test::Child<QPushButton>(*rec, QStringLiteral("exportButton"))->isEnabled());
    test::Child<QPushButton>(*rec, QStringLiteral("exportButton"))->click();
    QCOMPARE(env.prompt.Texts(u"save"_s).size(), 1);
    QCOMPARE(QDir(env.dir.path()).entryList({u"*.xls*"_s}), QStringList());
    env.prompt.files.enqueue(env.dir.filePath(u"历史"_s));
    test::Child<QPushButton>(*rec, QStringLiteral("exportButton"))->click();
    auto book = workbook::OpenWorkbook(env.dir.filePath(u"历史.xls"_s));
    book->SelectSheet(book->SheetNames().value(0));
    QCOMPARE(book->CellText(1, 5), u' ' + w->Editor()->FieldLabel(FieldRole::DrawerName)->text());
    QCOMPARE(book->CellText(3, 1), u" 2"_s);
    QCOMPARE(env.prompt.Messages(), QStringList());

    // Import is wired from the start; an action set later replaces it.
    QVERIFY(test::Child<QPushButton>(*rec, QStringLiteral("importButton"))->isEnabled());
    bool imported = false;
    rec->SetImport([&imported] { imported = true; });
    test::Child<QPushButton>(*rec, QStringLiteral("importButton"))->click();
    QVERIFY(imported);
    env.prompt.yesNo.enqueue(false);
    w->close();
}

void TestHistoryWindow::headerPressesSortAndRefit() {
    test::TestEnv env;
    env.CreateDatabase();
    StoreVouchers(env.ctx, 4);
    OldRec rec(env.ctx, std::make_unique<FakeVoucher>());
    rec.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rec));
    HistoryView& view = *rec.MSG();
    QCOMPARE(rec.Model()->rowCount(), 4);
    QCOMPARE(ShownColumn(view, 5).constFirst(), u"付款单位V"_s);  // newest first

    PressHeader(view, 5 - 2);
    QCOMPARE(rec.Model()->headerData(3, Qt::Horizontal).toString(), u"L5△"_s);
    QCOMPARE(ShownColumn(view, 5),
             (QStringList{u"付款单位V"_s, u"付款单位W"_s, u"付款单位X"_s, u"付款单位Y"_s}));
    QCOMPARE(view.verticalHeader()->model()->headerData(0, Qt::Vertical).toString(), u"1"_s);
    PressHeader(view, 5 - 2);
    QCOMPARE(rec.Model()->headerData(3, Qt::Horizontal).toString(), u"L5▽"_s);
    QCOMPARE(ShownColumn(view, 5).constFirst(), u"付款单位Y"_s);

    // The corner (the numbering column's header) refits the columns and sorts nothing.
    view.setColumnWidth(3, TwipsToPixels(3000));
    auto* corner = view.findChild<QAbstractButton*>();
    QVERIFY(corner);
    QTest::mouseClick(corner, Qt::LeftButton, {}, QPoint(2, 2));
    QVERIFY(view.columnWidth(3) < TwipsToPixels(3000));
    QCOMPARE(rec.Model()->headerData(3, Qt::Horizontal).toString(), u"L5▽"_s);
    QCOMPARE(ShownColumn(view, 5).constFirst(), u"付款单位Y"_s);
}

void TestHistoryWindow::shiftKeysSelectTheRowsToDelete_data() {
    QTest::addColumn<QList<int>>("keys");  // pressed with Shift (and Ctrl for Home and End)
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("left");  // the rows left, by their drawer accounts
    QTest::newRow("Shift+Down twice")
        << QList<int>{Qt::Key_Down, Qt::Key_Down} << u"您确定要删除第2至第4行数据？"_s
        << QStringList{u"v6-6"_s, u"v2-6"_s, u"v1-6"_s};
    QTest::newRow("Shift+Ctrl+End")
        << QList<int>{Qt::Key_End} << u"您确定要删除第2至第6行数据？"_s << QStringList{u"v6-6"_s};
    QTest::newRow("Shift+Ctrl+End, then Shift+Ctrl+Home")
        << QList<int>{Qt::Key_End, Qt::Key_Home} << u"您确定要删除第1至第2行数据？"_s
        << QStringList{u"v4-6"_s, u"v3-6"_s, u"v2-6"_s, u"v1-6"_s};
}

void TestHistoryWindow::shiftKeysSelectTheRowsToDelete() {
    QFETCH(QList<int>, keys);
    QFETCH(QString, question);
    QFETCH(QStringList, left);
    test::TestEnv env;
    env.CreateDatabase();
    StoreVouchers(env.ctx, 6);
    OldRec rec(env.ctx, std::make_unique<FakeVoucher>());
    rec.show();
    QVERIFY(QTest::qWaitForWindowActive(&rec));
    HistoryView& view = *rec.MSG();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      view.visualRect(rec.Model()->index(1, 3)).center());
    for (const int key : keys) {
        const bool jump = key == Qt::Key_Home || key == Qt::Key_End;
        QTest::keyClick(&view, Qt::Key(key),
                        jump ? Qt::ShiftModifier | Qt::ControlModifier : Qt::ShiftModifier);
    }
    QCOMPARE(rec.ChosenRows().first, 1);  // the row clicked stays the selection's anchor

    env.prompt.yesNo.enqueue(true);
    test::Child<QPushButton>(rec, QStringLiteral("deleteButton"))->click();
    QCOMPARE(env.prompt.Questions(), QStringList{question});
    QCOMPARE(ShownColumn(view, 6), left);
    QCOMPARE(test::Scalar(env.ctx, u"SELECT COUNT(DISTINCT Dat) FROM 记录"_s).toInt(), left.size());
}

void TestHistoryWindow::searchRunsOnTheButton() {
    test::TestEnv env;
    env.CreateDatabase();
    StoreVouchers(env.ctx, 5);
    OldRec rec(env.ctx, std::make_unique<FakeVoucher>());
    rec.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rec));
    rec.Search()->setText(u"v3-"_s);
    emit rec.Search()->textEdited(rec.Search()->text());
    QCOMPARE(rec.Model()->rowCount(), 5);  // typing alone does not search
    test::Child<QPushButton>(rec, QStringLiteral("searchButton"))->click();
    QCOMPARE(ShownColumn(*rec.MSG(), 6), QStringList{u"v3-6"_s});
    rec.Search()->clear();
    test::Child<QPushButton>(rec, QStringLiteral("searchButton"))->click();
    QCOMPARE(rec.Model()->rowCount(), 5);
}

void TestHistoryWindow::exportWritesTheWholeListInItsOrder() {
    test::TestEnv env;
    auto w = test::OpenMainWindow(env);
    QVERIFY(w);
    StoreVouchers(env.ctx, 5);
    OldRec* rec = ShowHistoryWindow(env.ctx, *w);
    QVERIFY(QTest::qWaitForWindowExposed(rec));
    // Sorted by the payer, then searched down to one row.
    PressHeader(*rec->MSG(), 5 - 2);
    rec->Search()->setText(u"v2-"_s);
    rec->Commands().search->trigger();
    QCOMPARE(rec->Model()->rowCount(), 1);

    env.prompt.files.enqueue(env.dir.filePath(u"历史.xlsx"_s));
    rec->Commands().exportData->trigger();
    QCOMPARE(env.prompt.Messages(), QStringList());
    auto book = workbook::OpenWorkbook(env.dir.filePath(u"历史.xlsx"_s));
    book->SelectSheet(book->SheetNames().value(0));
    // The header as shown, sort marker included; every record in the sorted order, numbered.
    const QString payer = w->Editor()->FieldLabel(FieldRole::DrawerName)->text();
    QCOMPARE(book->CellText(1, 5), u' ' + payer + u"△"_s);
    QStringList payers;
    QStringList numbers;
    for (int r = 2; r <= 7; ++r) {
        payers << book->CellText(r, 5);
        numbers << book->CellText(r, 1);
    }
    QCOMPARE(payers, (QStringList{u" 付款单位U"_s, u" 付款单位V"_s, u" 付款单位W"_s,
                                  u" 付款单位X"_s, u" 付款单位Y"_s, QString()}));
    QCOMPARE(numbers, (QStringList{u" 1"_s, u" 2"_s, u" 3"_s, u" 4"_s, u" 5"_s, QString()}));
    env.prompt.yesNo.enqueue(false);
    w->close();
}

void TestHistoryWindow::batchPrintsTheChosenRowOrAsksBeforeAll() {
    test::TestEnv env;
    test::RecordingPrinter printer;
    auto w = test::OpenMainWindow(env);
    QVERIFY(w);
    w->UsePrinter(&printer, &printer);
    StoreVouchers(env.ctx, 4);
    OldRec* rec = ShowHistoryWindow(env.ctx, *w);
    QVERIFY(QTest::qWaitForWindowExposed(rec));
    // Each character of a field is placed on its own.
    const auto printed = [&printer](const QString& payer) {
        QString page;
        for (const auto& run : printer.runs) page += run.text;
        return page.contains(payer);
    };

    // Just opened, nothing chosen: the clerk is asked first, and No prints nothing.
    env.prompt.yesNo.enqueue(false);
    test::Child<QPushButton>(*rec, QStringLiteral("batchPrintButton"))->click();
    QCOMPARE(env.prompt.Questions(), QStringList{u"将打印4张进账单，是否继续？"_s});
    QCOMPARE(env.prompt.Texts(u"printer"_s).size(), 0);
    QCOMPARE(printer.endDocs, 0);

    // One row clicked: that voucher alone, without the question.
    env.prompt.Clear();
    QTest::mouseClick(rec->MSG()->viewport(), Qt::LeftButton, {},
                      rec->MSG()->visualRect(rec->Model()->index(1, 3)).center());
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(false);  // no print records
    test::Child<QPushButton>(*rec, QStringLiteral("batchPrintButton"))->click();
    QCOMPARE(env.prompt.Questions(), QStringList{u"是否保存打印记录？"_s});
    QCOMPARE(printer.endDocs, 1);
    QCOMPARE(printer.pageStarts.size(), 0);
    QVERIFY(printed(u"付款单位W"_s));
    QVERIFY(!printed(u"付款单位V"_s));
    w->UsePrinter(nullptr, nullptr);
    env.prompt.yesNo.enqueue(false);
    w->close();
}

void TestHistoryWindow::dialogsBelongToTheHistoryWindow() {
    test::TestEnv env;
    auto w = test::OpenMainWindow(env);
    QVERIFY(w);
    StoreVouchers(env.ctx, 3);
    QtPrompt dialogs(w.get());
    env.ctx.SetPrompt(&dialogs);
    OldRec* rec = ShowHistoryWindow(env.ctx, *w);
    QVERIFY(QTest::qWaitForWindowExposed(rec));
    // A window of its own, kept above the main window by the window manager.
    QVERIFY(rec->isWindow());
    QCOMPARE(rec->windowHandle()->transientParent(), w->windowHandle());

    // The delete question answered No, and the export's file dialog cancelled.
    QList<QWidget*> parents;
    const auto answer = [&parents] {
        test::RetryUntil([&parents] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                parents.append(box->parentWidget());
                box->button(QMessageBox::No)->click();
                return true;
            }
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                parents.append(files->parentWidget());
                files->reject();
                return true;
            }
            return false;
        });
    };
    answer();
    test::Child<QPushButton>(*rec, QStringLiteral("deleteButton"))->click();
    answer();
    test::Child<QPushButton>(*rec, QStringLiteral("exportButton"))->click();
    QCOMPARE(parents, (QList<QWidget*>{rec, rec}));
    QCOMPARE(rec->Model()->rowCount(), 3);

    env.ctx.SetPrompt(&env.prompt);
    rec->close();
    env.prompt.yesNo.enqueue(false);
    w->close();
}

void TestHistoryWindow::opensWideEnoughForEveryColumn() {
    test::TestEnv env;
    env.CreateDatabase();
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = u"栏%1内容"_s.arg(i);
    QVERIFY(store::StoreTexts(env.ctx, QDateTime(QDate(2026, 3, 1), QTime(9, 0)), t));
    OldRec rec(env.ctx, std::make_unique<FakeVoucher>());
    rec.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rec));
    const QRect screen = rec.screen()->availableGeometry();
    QCOMPARE(screen.width(), 1366);
    // Wider than it was designed, yet on the screen, and no column out of view.
    QVERIFY(rec.width() > TwipsToPixels(12615));
    QVERIFY(rec.width() < screen.width());
    QCOMPARE(rec.MSG()->horizontalScrollBar()->maximum(), 0);
}

// On an office server the list names who stored each record and takes in, while open, what
// another clerk stores, keeping the clerk's sort and chosen row.
void TestHistoryWindow::followsOtherClerksOnTheServer() {
    test::TestServer server;
    QVERIFY(server.Ok());
    test::TestEnv env, other;
    server.Use(env.ctx, test::ClerkLogin());
    other.ctx.database->serverUri = server.Uri(test::AdminLogin());
    store::ServerRecordStore theirs(other.ctx);
    FieldTexts t;
    for (const QString& payer : {u"乙"_s, u"丙"_s, u"甲"_s}) {
        t[5] = payer;
        QCOMPARE(theirs.StoreVouchers(env.clock, {t}).size(), 1);
    }
    OldRec rec(env.ctx, std::make_unique<FakeVoucher>());
    rec.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rec));
    const int printedBy = rec.Model()->PrintedByColumn();
    QCOMPARE(printedBy, HistoryModel::kColumns);
    QCOMPARE(rec.Model()->headerData(printedBy, Qt::Horizontal).toString(), u"打印人"_s);
    QVERIFY(!rec.Model()->data(rec.Model()->index(0, printedBy)).toString().isEmpty());

    PressHeader(*rec.MSG(), 5 - 2);
    QTest::mouseClick(rec.MSG()->viewport(), Qt::LeftButton, {},
                      rec.MSG()->visualRect(rec.Model()->index(1, 3)).center());
    t[5] = u"丁"_s;
    QCOMPARE(theirs.StoreVouchers(env.clock.addSecs(60), {t}).size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(rec.Model()->rowCount(), 4, 2000);
    QCOMPARE(ShownColumn(*rec.MSG(), 5), (QStringList{u"丙"_s, u"乙"_s, u"甲"_s, u"丁"_s}));
    QCOMPARE(rec.Model()->headerData(3, Qt::Horizontal).toString(), u"L5△"_s);
    QCOMPARE(rec.ChosenRows(), std::make_pair(1, 1));
    QVERIFY(rec.RowsChosen());
}

// A screen of 1366 × 768 pixels, as an office desktop has, instead of the offscreen
// platform's 800 × 600.
int main(int argc, char** argv) {
    QTemporaryDir config;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        QFile json(config.filePath(u"screens.json"_s));
        if (json.open(QIODevice::WriteOnly))
            json.write(R"({"screens": [{"name": "office", "x": 0, "y": 0, "width": 1366,
                "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        json.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(json.fileName()));
    }
    QApplication app(argc, argv);
    TestHistoryWindow test;
    return QTest::qExec(&test, argc, argv);
}
// A list opened empty shows the first records printed or stored meanwhile, not columns fitted
// to no text.
void TestHistoryWindow::firstRowsToArriveAreShown() {
    test::TestEnv env;
    env.CreateDatabase();
    OldRec rec(env.ctx, std::make_unique<FakeVoucher>());
    rec.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rec));
    QCOMPARE(rec.Model()->rowCount(), 0);
    FieldTexts t;
    t[5] = u"庚方物流有限公司"_s;
    rec.AddRecords(store::OpenRecordStore(env.ctx)->StoreVouchers(env.clock, {t}));
    QCOMPARE(rec.Model()->rowCount(), 1);
    QVERIFY(rec.MSG()->columnWidth(5 - 2) > rec.MSG()->fontMetrics().horizontalAdvance(t[5]));
}

#include "tst_history_window.moc"
