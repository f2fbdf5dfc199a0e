#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "gui/editor/voucher_editor.h"
#include "gui/history/choosers.h"
#include "gui/history/column_dialog.h"
#include "gui/history/history_view.h"
#include "gui/history/old_rec.h"
#include "print/printer.h"
#include "support/fake_workbook.h"
#include "support/python_tool.h"
#include "support/recording_printer.h"
#include "support/test_env.h"
#include "support/window_support.h"

using namespace Qt::StringLiterals;
using namespace tf;
using namespace tf::history;
using tf::test::FakeOpener;
using tf::test::FakeWorkbook;
using tf::test::RetryUntil;
using tf::test::TestEnv;

namespace {

template <typename T>
T* Shown(const QString& objectName) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible() && t->objectName() == objectName)
            return t;
    return nullptr;
}

// Acts on a dialog as soon as it shows.
template <typename T>
void WhenShown(const QString& objectName, std::function<void(T*)> act) {
    RetryUntil([objectName, act] {
        T* dialog = Shown<T>(objectName);
        if (!dialog) return false;
        act(dialog);
        return true;
    });
}

void PressCell(QTableView* view, int row, int col, Qt::MouseButton button = Qt::LeftButton) {
    const QRect cell = view->visualRect(view->model()->index(row, col));
    QTest::mousePress(view->viewport(), button, {}, cell.center());
    QTest::mouseRelease(view->viewport(), button, {}, cell.center());
}

QStringList Column(const Sheets* sheets, int col) {
    QStringList out;
    for (int r = 0; r < sheets->Grid().Rows(); ++r) out.append(sheets->Grid().Text(r, col));
    return out;
}

FakeWorkbook ThreeSheets() {
    FakeWorkbook book;
    for (const char16_t* name : {u"一月", u"二月", u"图表1"})
        book.Set(QString::fromUtf16(name), 1, 1, QStringLiteral("x"));
    return book;
}

}  // namespace

class TestImportDialogs : public QObject {
    Q_OBJECT
private slots:
    void fileChoice_data();
    void fileChoice();
    void markMovesTogglesAndChoosesNothingWhenCleared();
    void unreadableWorkbookIsRefusedWithItsCause();
    void columnDialogDefaultsAndEdits();
    void cancelledColumnDialogChoosesNothing();
    void importedRowPrintsAgainFromTheHistoryWindow();
};

void TestImportDialogs::fileChoice_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("cancelled") << ""
                               << "" << QStringList{};
    QTest::newRow("upper-case .XLS") << "/d/账.XLS"
                                     << "/d/账.XLS" << QStringList{};
    QTest::newRow(".xlsx") << "/d/账.xlsx"
                           << "/d/账.xlsx" << QStringList{};
    QTest::newRow("other file") << "/d/账.csv"
                                << ""
                                << QStringList{QStringLiteral(
                                       "您选择的文件不是EXCEL文件，请选择EXCEL文件。")};
}

void TestImportDialogs::fileChoice() {
    QFETCH(QString, file);
    QFETCH(QString, path);
    QFETCH(QStringList, messages);
    TestEnv env;
    env.prompt.files.enqueue(file);
    bool sheetsShown = false;
    if (!path.isEmpty())
        WhenShown<Sheets>(QStringLiteral("Sheets"), [&sheetsShown](Sheets* s) {
            sheetsShown = true;
            s->IMG(0)->click();
        });
    const FakeWorkbook book = ThreeSheets();
    const WorkbookAndSheet choice = ChooseWorkbookAndSheet(env.ctx, 1, FakeOpener(book));
    QCOMPARE(choice.path, path);
    QCOMPARE(choice.sheet, path.isEmpty() ? QString() : QStringLiteral("一月"));
    QCOMPARE(sheetsShown, !path.isEmpty());
    QCOMPARE(env.prompt.Messages(), messages);
    QCOMPARE(env.prompt.shown.front().text, QStringLiteral("Excel 工作簿 (*.xls *.xlsx)"));
}

void TestImportDialogs::markMovesTogglesAndChoosesNothingWhenCleared() {
    TestEnv env;
    env.prompt.files.enqueue(QStringLiteral("/d/book.xls"));
    QStringList numbers, marksAtStart, marksMoved, marksUnchanged, marksCleared;
    WhenShown<Sheets>(QStringLiteral("Sheets"), [&](Sheets* s) {
        QVERIFY(s->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        numbers = Column(s, 0);
        marksAtStart = Column(s, 1);
        PressCell(s->SHL(), 2, 1, Qt::RightButton);
        marksMoved = Column(s, 1);
        PressCell(s->SHL(), 0, 1);  // header
        PressCell(s->SHL(), 3, 2);  // a name
        marksUnchanged = Column(s, 1);
        PressCell(s->SHL(), 2, 1);
        marksCleared = Column(s, 1);
        s->IMG(0)->click();
    });
    const FakeWorkbook book = ThreeSheets();
    const WorkbookAndSheet choice = ChooseWorkbookAndSheet(env.ctx, 1, FakeOpener(book));
    const QString mark = QStringLiteral("√");
    QCOMPARE(numbers, (QStringList{u"No."_s, u"1"_s, u"2"_s, u"3"_s}));
    QCOMPARE(marksAtStart, (QStringList{u"选择"_s, mark, {}, {}}));
    QCOMPARE(marksMoved, (QStringList{u"选择"_s, {}, mark, {}}));
    QCOMPARE(marksUnchanged, marksMoved);
    QCOMPARE(marksCleared, (QStringList{u"选择"_s, {}, {}, {}}));
    QCOMPARE(choice.path, QStringLiteral("/d/book.xls"));
    QCOMPARE(choice.sheet, QString());
}

void TestImportDialogs::unreadableWorkbookIsRefusedWithItsCause() {
    TestEnv env;
    env.prompt.files.enqueue(QStringLiteral("/d/book.xls"));
    FakeWorkbook book = ThreeSheets();
    book.openError = workbook::kEncrypted;
    // No sheet list: it would wait for a choice that never comes.
    const WorkbookAndSheet choice = ChooseWorkbookAndSheet(env.ctx, 1, FakeOpener(book));
    QVERIFY(Shown<Sheets>(QStringLiteral("Sheets")) == nullptr);
    QCOMPARE(choice.sheet, QString());
    QCOMPARE(env.prompt.Messages(),
             QStringList{QStringLiteral("文件已加密，请先在电子表格程序中取消密码")});
}

void TestImportDialogs::columnDialogDefaultsAndEdits() {
    TestEnv env;
    FakeWorkbook book;
    book.Set(QStringLiteral("Sheet1"), 1, 1, QStringLiteral("序号"));
    book.Set(QStringLiteral("Sheet1"), 10, 20, QStringLiteral("角"));
    QStringList defaults;
    QString sampleCorner;
    int yearLimit = 0;
    WhenShown<fOpen>(QStringLiteral("fOpen"), [&](fOpen* f) {
        QVERIFY(f->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        for (int i : {0, 1, 10, 11, 27}) defaults.append(f->Text1(i)->text());
        sampleCorner = f->Sample().Text(10, 20);
        yearLimit = f->Text1(11)->maxLength();
        // Letters are refused in a row box; digits stop at four.
        f->Text1(0)->clear();
        QTest::keyClicks(f->Text1(0), QStringLiteral("3x-4"));
        f->Text1(1)->clear();
        QTest::keyClicks(f->Text1(1), QStringLiteral("123456"));
        f->Text1(15)->setText(QStringLiteral(" aa "));
        f->Text1(16)->clear();
        f->QQB(0)->click();
    });
    const std::optional<ImportRequest> request = ChooseColumns(
        env.ctx, QStringLiteral("/d/book.xls"), QStringLiteral("Sheet1"), FakeOpener(book));
    QCOMPARE(defaults, (QStringList{u"2"_s, u"100"_s, u"A"_s, u"B"_s, u"R"_s}));
    QCOMPARE(sampleCorner, QStringLiteral("角"));
    QCOMPARE(yearLimit, 2);
    QVERIFY(request.has_value());
    QCOMPARE(request->path, QStringLiteral("/d/book.xls"));
    QCOMPARE(request->sheet, QStringLiteral("Sheet1"));
    QCOMPARE(request->firstRow, 34);
    QCOMPARE(request->lastRow, 1234);
    QCOMPARE(request->columnMap[4], 5);
    QCOMPARE(request->columnMap[5], 27);
    QCOMPARE(request->columnMap[6], 0);
    QCOMPARE(request->columnMap[17], 18);
}

void TestImportDialogs::cancelledColumnDialogChoosesNothing() {
    TestEnv env;
    FakeWorkbook book = ThreeSheets();
    WhenShown<fOpen>(QStringLiteral("fOpen"), [](fOpen* f) {
        f->Text1(0)->setText(QStringLiteral("7"));
        f->QQB(1)->click();
    });
    QVERIFY(!ChooseColumns(env.ctx, QStringLiteral("/d/book.xls"), QStringLiteral("一月"),
                           FakeOpener(book))
                 .has_value());
    QVERIFY(Shown<fOpen>(QStringLiteral("fOpen")) == nullptr);
}

void TestImportDialogs::importedRowPrintsAgainFromTheHistoryWindow() {
    TestEnv env;
    QVERIFY(test::RunPython(
        {QStringLiteral(TALLYFORM_IMPORT_TEST_DIR "/make_import_fixtures.py"), env.dir.path()}));
    test::RecordingPrinter printer;
    auto w = test::OpenMainWindow(env);
    QVERIFY(w);
    w->UsePrinter(&printer, &printer);
    test::Child<QPushButton>(*w, QStringLiteral("historyButton"))->click();
    auto* rec = w->findChild<OldRec*>();
    QVERIFY(rec);
    QVERIFY(test::Child<QPushButton>(*rec, QStringLiteral("importButton"))->isEnabled());

    env.prompt.files.enqueue(env.dir.filePath(u"import.xls"_s));
    WhenShown<Sheets>(u"Sheets"_s, [](Sheets* s) { s->IMG(0)->click(); });
    WhenShown<fOpen>(u"fOpen"_s, [](fOpen* f) {
        f->Text1(1)->setText(u"3"_s);
        f->QQB(0)->click();
    });
    test::Child<QPushButton>(*rec, QStringLiteral("importButton"))->click();
    QCOMPARE(env.prompt.Messages(), QStringList{u"导入EXCEL表格第2至第3行!"_s});
    QCOMPARE(rec->Model()->rowCount(), 2);

    rec->MSG()->ChooseRows(0, 0);
    test::Child<QPushButton>(*rec, QStringLiteral("reprintButton"))->click();
    QCOMPARE(w->Editor()->Field(FieldRole::DrawerName)->text(), u"上海浦江贸易有限公司"_s);
    QCOMPARE(w->Editor()->Field(FieldRole::Amount)->text(), u"￥12345.50"_s);

    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(false);
    test::Child<QPushButton>(*w, QStringLiteral("printButton"))->click();
    QCOMPARE(printer.endDocs, 1);
    QString printed;
    for (const auto& run : printer.runs) printed += run.text;
    QVERIFY(printed.contains(u"上海浦江贸易有限公司"_s));
    QVERIFY(printed.contains(u"6217000010001234567"_s));
    rec->close();
    env.prompt.yesNo.enqueue(false);
    w->close();
}

QTEST_MAIN(TestImportDialogs)
#include "tst_import_dialogs.moc"
