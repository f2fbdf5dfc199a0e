#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include "common/progress.h"
#include "history/import.h"
#include "store/database.h"
#include "support/fake_workbook.h"
#include "support/test_env.h"
#include "support/tmpfs.h"

using namespace tf;
using namespace tf::history;
using tf::test::FakeOpener;
using tf::test::FakeWorkbook;
using tf::test::TestEnv;

namespace {

// Notes every progress call as text.
class ProgressLog : public Progress {
public:
    QStringList calls;
    void ShowProgress(const QString& title, qint32 total, qint32& start) override {
        calls.append(QStringLiteral("show %1 %2 %3").arg(title).arg(total).arg(start));
    }
    void StepProgress(qint32 delta, const QString& text) override {
        calls.append(QStringLiteral("step %1 %2").arg(delta).arg(text));
    }
    void CloseProgress() override { calls.append(QStringLiteral("close")); }
};

// The stored timestamps of keys.
QStringList Dats(const QList<store::RecordKey>& keys) {
    QStringList out;
    for (const store::RecordKey key : keys) out.append(store::DatOfKey(key));
    return out;
}

// The stored texts of the records of keys, read back through the store.
QList<FieldTexts> Stored(const AppContext& ctx, const QList<store::RecordKey>& keys) {
    QList<FieldTexts> out;
    if (const auto records = store::OpenRecordStore(ctx)->ReadRecords(keys, store::Fields::All))
        for (const store::Record& r : *records) out.append(r.texts);
    return out;
}

// A sheet "Sheet1" with a header row and `rows` data rows from row 2; cell texts say where
// they are, e.g. "r2c5".
FakeWorkbook Book(int rows) {
    FakeWorkbook b;
    for (int c = 1; c <= 18; ++c) b.Set(QStringLiteral("Sheet1"), 1, c, QStringLiteral("头"));
    for (int r = 2; r < 2 + rows; ++r)
        for (int c = 1; c <= 18; ++c)
            b.Set(QStringLiteral("Sheet1"), r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
    return b;
}

ImportRequest Request(qint32 first, qint32 last) {
    ImportRequest req;
    req.path = QStringLiteral("/x/book.xls");
    req.sheet = QStringLiteral("Sheet1");
    req.firstRow = first;
    req.lastRow = last;
    req.columnMap = DefaultColumnMap();
    return req;
}

void Store(const AppContext& ctx, const QString& dat) {
    QVERIFY(test::Exec(
        ctx, QStringLiteral("INSERT INTO 记录 (Dat, Ctl, Con) VALUES ('%1', 5, 'x')").arg(dat)));
}

QStringList ImportedDates(const AppContext& ctx) {
    QStringList out;
    for (const QVariantList& row :
         test::Rows(ctx, QStringLiteral("SELECT DISTINCT Dat FROM 记录 WHERE Con LIKE 'r%' "
                                        "ORDER BY Dat DESC")))
        out.append(row[0].toString());
    return out;
}

}  // namespace

class TestImport : public QObject {
    Q_OBJECT
private slots:
    void columnNumber_data();
    void columnNumber();
    void rowsBecomeRecordsAndListedKeys();
    void freeDates_data();
    void freeDates();
    void failures_data();
    void failures();
    void databaseFailureKeepsEarlierRowsAndNoPartOfTheFailingOne();
    void failedCommitLeavesNoRowInTheList();
    void lockedFileAsksToWaitOrStop_data();
    void lockedFileAsksToWaitOrStop();
    void emptyWorksheetRowsAreNotImported();
    void emptyRangeImportsNothing();
    void sampleShowsTopLeftOfSheet();
};

void TestImport::columnNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("lower case") << "a" << 1;
    QTest::newRow("last default") << "R" << 18;
    QTest::newRow("two letters") << "AA" << 27;
    QTest::newRow("largest") << "ZZ" << 702;
    QTest::newRow("blanks around") << " c " << 3;
    QTest::newRow("three letters") << "ABC" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("blanks only") << "  " << 0;
    QTest::newRow("digit") << "1" << 1;
    QTest::newRow("letter and digit") << "A1" << 11;
    QTest::newRow("non-ASCII") << "甲" << 1;
}

void TestImport::columnNumber() {
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(ColumnNumber(text), number);
}

void TestImport::rowsBecomeRecordsAndListedKeys() {
    TestEnv env;
    env.CreateDatabase();
    ProgressLog progress;
    env.ctx.SetProgress(&progress);
    FakeWorkbook book = Book(3);
    book.Set(QStringLiteral("Sheet1"), 3, 5, QStringLiteral("  张三 "));
    book.Set(QStringLiteral("Sheet1"), 3, 9, QStringLiteral("6222021234567890123"));
    QList<store::RecordKey> keys;
    ImportRequest req = Request(2, 3);
    req.columnMap[17] = ColumnNumber(QStringLiteral("I"));  // 备注 from column I

    QCOMPARE(ImportWorkbook(env.ctx, req, FakeOpener(book), &keys), 0);

    // The keys of the stored rows, in worksheet order, for the list to append.
    QCOMPARE(Dats(keys), (QStringList{QStringLiteral("2026-03-06 00:00:00"),
                                      QStringLiteral("2026-03-05 00:00:00")}));
    const QList<FieldTexts> stored = Stored(env.ctx, keys);
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored[0][2], QStringLiteral("r2c2"));
    QCOMPARE(stored[1][5], QStringLiteral("张三"));
    QCOMPARE(stored[1][9], QStringLiteral("6222021234567890123"));
    QCOMPARE(stored[1][27], QStringLiteral("6222021234567890123"));

    const auto rows = test::Rows(env.ctx, QStringLiteral("SELECT Ctl, Con FROM 记录 WHERE "
                                                         "Dat='2026-03-05 00:00:00' ORDER BY Ctl"));
    QCOMPARE(rows.size(), 17);
    QCOMPARE(rows.front(), (QVariantList{2, QStringLiteral("r3c2")}));
    QCOMPARE(rows[3], (QVariantList{5, QStringLiteral("张三")}));
    QCOMPARE(rows.back(), (QVariantList{27, QStringLiteral("6222021234567890123")}));
    QCOMPARE(ImportedDates(env.ctx), (QStringList{QStringLiteral("2026-03-06 00:00:00"),
                                                  QStringLiteral("2026-03-05 00:00:00")}));

    QCOMPARE(progress.calls,
             (QStringList{QStringLiteral("show 正在读取记录… 2 0"), QStringLiteral("step 1 pages"),
                          QStringLiteral("step 1 pages"), QStringLiteral("close")}));
    QCOMPARE(env.prompt.Messages(), QStringList{QStringLiteral("导入EXCEL表格第2至第3行!")});
}

void TestImport::freeDates_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QStringList>("used");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("used yesterday skipped")
        << QDate(2026, 3, 7) << QStringList{QStringLiteral("2026-03-06 00:00:00")}
        << QStringList{QStringLiteral("2026-03-05 00:00:00"),
                       QStringLiteral("2026-03-04 00:00:00")};
    QTest::newRow("gap between used days filled")
        << QDate(2026, 3, 7)
        << QStringList{QStringLiteral("2026-03-06 00:00:00"), QStringLiteral("2026-03-04 00:00:00")}
        << QStringList{QStringLiteral("2026-03-05 00:00:00"),
                       QStringLiteral("2026-03-03 00:00:00")};
    QTest::newRow("printed during yesterday does not block it")
        << QDate(2026, 3, 7) << QStringList{QStringLiteral("2026-03-06 00:00:01")}
        << QStringList{QStringLiteral("2026-03-06 00:00:00"),
                       QStringLiteral("2026-03-05 00:00:00")};
    QTest::newRow("reserved current-text date passed over")
        << QDate(1973, 8, 21) << QStringList{QStringLiteral("1973-08-20 00:00:00")}
        << QStringList{QStringLiteral("1973-08-19 00:00:00"),
                       QStringLiteral("1973-08-17 00:00:00")};
}

void TestImport::freeDates() {
    QFETCH(QDate, today);
    QFETCH(QStringList, used);
    QFETCH(QStringList, expected);
    TestEnv env;
    env.CreateDatabase();
    env.clock = QDateTime(today, QTime(8, 0));
    for (const QString& dat : used) Store(env.ctx, dat);
    FakeWorkbook book = Book(2);
    QList<store::RecordKey> keys;
    QCOMPARE(ImportWorkbook(env.ctx, Request(2, 3), FakeOpener(book), &keys), 0);
    QCOMPARE(ImportedDates(env.ctx), expected);
}

void TestImport::failures_data() {
    QTest::addColumn<int>("openError");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("firstRow");
    QTest::addColumn<QString>("box");  // text of the 出票账号 box
    QTest::addColumn<int>("lastSheetRow");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("storedRows");
    QTest::addColumn<int>("rowsListed");

    const QString outOfRange = QStringLiteral("输入表格列号超界，请重新输入！");
    QTest::newRow("first row 0") << 0 << "Sheet1" << 0 << "F" << 65536 << 1004 << outOfRange << 0
                                 << 0;
    QTest::newRow("three letters")
        << 0 << "Sheet1" << 2 << "ABC" << 65536 << 1004 << outOfRange << 0 << 0;
    QTest::newRow("empty box") << 0 << "Sheet1" << 2 << "" << 65536 << 1004 << outOfRange << 0 << 0;
    QTest::newRow("past the sheet's last row, earlier rows kept")
        << 0 << "Sheet1" << 2 << "F" << 3 << 1004 << outOfRange << 2 << 2;
    QTest::newRow("missing sheet") << 0 << "图表1" << 2 << "F" << 65536 << 9
                                   << "输入表格名称有误，无法打开表格，请重新输入！" << 0 << 0;
    QTest::newRow("cannot open") << 5 << "Sheet1" << 2 << "F" << 65536 << 5
                                 << "无法打开Excel文件，请检查后重新输入文件名及路径！" << 0 << 0;
    QTest::newRow("not a workbook") << 438 << "Sheet1" << 2 << "F" << 65536 << 438
                                    << "文件类型不对，请选择Excel文档！" << 0 << 0;
    QTest::newRow("other number") << 7 << "Sheet1" << 2 << "F" << 65536 << 7
                                  << "未知错误，错误号：7\u3000请检查输入值！" << 0 << 0;
}

void TestImport::failures() {
    QFETCH(int, openError);
    QFETCH(QString, sheet);
    QFETCH(int, firstRow);
    QFETCH(QString, box);
    QFETCH(int, lastSheetRow);
    QFETCH(int, error);
    QFETCH(QString, message);
    QFETCH(int, storedRows);
    QFETCH(int, rowsListed);
    TestEnv env;
    env.CreateDatabase();
    ProgressLog progress;
    env.ctx.SetProgress(&progress);
    FakeWorkbook book = Book(10);
    book.openError = openError;
    book.maxRow = lastSheetRow;
    QList<store::RecordKey> keys;
    ImportRequest req = Request(firstRow, 5);
    req.sheet = sheet;
    req.columnMap[5] = ColumnNumber(box);

    QCOMPARE(ImportWorkbook(env.ctx, req, FakeOpener(book), &keys), error);
    QCOMPARE(env.prompt.Messages(), QStringList{message});
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 记录")).toInt(),
             storedRows * 17);
    // The list holds the stored rows only; the row being read when it failed is not one.
    QCOMPARE(keys.size(), rowsListed);
    QCOMPARE(Stored(env.ctx, keys).size(), rowsListed);
    if (!progress.calls.isEmpty()) QCOMPARE(progress.calls.last(), QStringLiteral("close"));
}

void TestImport::databaseFailureKeepsEarlierRowsAndNoPartOfTheFailingOne() {
    TestEnv env;
    env.CreateDatabase();
    // The 12th field of the third row cannot be stored.
    QVERIFY(test::Exec(env.ctx, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 记录 WHEN "
                                               "NEW.Con='r4c12' BEGIN SELECT RAISE(ABORT, "
                                               "'refused'); END")));
    FakeWorkbook book = Book(5);
    QList<store::RecordKey> keys;

    QCOMPARE(ImportWorkbook(env.ctx, Request(2, 6), FakeOpener(book), &keys), -1);

    QCOMPARE(ImportedDates(env.ctx), (QStringList{QStringLiteral("2026-03-06 00:00:00"),
                                                  QStringLiteral("2026-03-05 00:00:00")}));
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 记录")).toInt(), 34);
    QCOMPARE(Dats(keys), ImportedDates(env.ctx));
    QCOMPARE(env.prompt.Messages(),
             QStringList{store::FailureMessage(
                 store::DbFailure::Other, QFileInfo(env.ctx.DatabasePath()).absoluteFilePath())});
}

void TestImport::failedCommitLeavesNoRowInTheList() {
    TestEnv env;
    test::Tmpfs disk(env.dir.filePath(QStringLiteral("small")), 1 << 20);
    if (!disk.Mounted()) QSKIP("cannot mount a tmpfs here");
    env.ctx.dataDir = disk.Path();
    env.CreateDatabase();
    // Room for part of the rows: the disk fills while they are written.
    disk.FillAllBut(256 << 10);
    QList<store::RecordKey> keys;

    QCOMPARE(ImportWorkbook(env.ctx, Request(2, 2001), FakeOpener(Book(2000)), &keys), -1);
    QCOMPARE(keys, QList<store::RecordKey>());
    QCOMPARE(ImportedDates(env.ctx), QStringList());
    QCOMPARE(env.prompt.Messages(),
             QStringList{store::FailureMessage(store::DbFailure::Full, env.ctx.DatabasePath())});
}

namespace {

// Answers the question about the locked file with "wait on"; the other program ends its
// transaction meanwhile.
class WaitOnPrompt : public test::ScriptedPrompt {
public:
    explicit WaitOnPrompt(QSqlDatabase& other) : other_(other) {}
    bool AskYesNo(const QString& text, const QString& title) override {
        shown.append({QStringLiteral("question"), text, title, {}});
        QSqlQuery(other_).exec(QStringLiteral("ROLLBACK"));
        return true;
    }

private:
    QSqlDatabase& other_;
};

}  // namespace

void TestImport::lockedFileAsksToWaitOrStop_data() {
    QTest::addColumn<bool>("writing");  // the other program writes, else it only reads
    QTest::addColumn<bool>("waitOn");
    QTest::newRow("another program writes, stopped") << true << false;
    QTest::newRow("another program reads, stopped") << false << false;
    QTest::newRow("another program writes, waited on") << true << true;
    QTest::newRow("another program reads, waited on") << false << true;
}

void TestImport::lockedFileAsksToWaitOrStop() {
    QFETCH(bool, writing);
    QFETCH(bool, waitOn);
    TestEnv env;
    env.CreateDatabase();
    const QString path = QFileInfo(env.ctx.DatabasePath()).absoluteFilePath();
    {
        QSqlDatabase other =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(path);
        QVERIFY(other.open());
        QSqlQuery hold(other);
        if (writing) {
            QVERIFY(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
        } else {
            QVERIFY(hold.exec(QStringLiteral("BEGIN")));
            QVERIFY(hold.exec(QStringLiteral("SELECT COUNT(*) FROM 记录")) && hold.next());
        }
        hold.finish();
        WaitOnPrompt waiting(other);
        test::ScriptedPrompt& prompt = waitOn ? waiting : env.prompt;
        env.ctx.SetPrompt(&prompt);
        QList<store::RecordKey> keys;

        QCOMPARE(ImportWorkbook(env.ctx, Request(2, 3), FakeOpener(Book(2)), &keys),
                 waitOn ? 0 : -1);
        QCOMPARE(prompt.Questions(), QStringList{LockedQuestionText(path)});
        QCOMPARE(prompt.Questions().constFirst(),
                 QStringLiteral("数据库文件“%1”正被其他程序使用，导入正在等待。\n"
                                "是否继续等待？选“否”停止导入，不导入任何记录。")
                     .arg(path));
        QCOMPARE(prompt.Messages(),
                 QStringList{waitOn ? QStringLiteral("导入EXCEL表格第2至第3行!")
                                    : QStringLiteral("导入已停止，没有导入任何记录。")});
        QCOMPARE(keys.size(), waitOn ? 2 : 0);
        QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    QCOMPARE(ImportedDates(env.ctx).size(), waitOn ? 2 : 0);
}

void TestImport::emptyWorksheetRowsAreNotImported() {
    TestEnv env;
    env.CreateDatabase();
    FakeWorkbook book = Book(3);
    // Row 3 holds only blanks: no voucher either.
    for (int c = 1; c <= 18; ++c) book.Set(QStringLiteral("Sheet1"), 3, c, QStringLiteral("  "));
    QList<store::RecordKey> keys;

    QCOMPARE(ImportWorkbook(env.ctx, Request(2, 100), FakeOpener(book), &keys), 0);
    QCOMPARE(env.prompt.Messages(),
             QStringList{QStringLiteral("导入EXCEL表格第2至第100行!（其中97行为空，未导入）")});
    QCOMPARE(ImportedDates(env.ctx), (QStringList{QStringLiteral("2026-03-06 00:00:00"),
                                                  QStringLiteral("2026-03-05 00:00:00")}));
    QCOMPARE(Dats(keys), ImportedDates(env.ctx));
    QCOMPARE(Stored(env.ctx, keys).value(1)[2], QStringLiteral("r4c2"));
}

void TestImport::emptyRangeImportsNothing() {
    TestEnv env;
    env.CreateDatabase();
    FakeWorkbook book = Book(5);
    QList<store::RecordKey> keys;
    QCOMPARE(ImportWorkbook(env.ctx, Request(5, 4), FakeOpener(book), &keys), 0);
    QCOMPARE(keys, QList<store::RecordKey>());
    QCOMPARE(env.prompt.Messages(), QStringList{QStringLiteral("导入EXCEL表格第5至第4行!")});
}

void TestImport::sampleShowsTopLeftOfSheet() {
    TestEnv env;
    FakeWorkbook book = Book(12);
    book.Set(QStringLiteral("Sheet1"), 10, 20, QStringLiteral("角"));
    book.Set(QStringLiteral("Sheet1"), 11, 1, QStringLiteral("不显示"));
    TextGrid grid;
    QCOMPARE(DisplayXls(env.ctx, grid, QStringLiteral("/x/book.xls"), QStringLiteral("Sheet1"),
                        FakeOpener(book)),
             0);
    QCOMPARE(grid.Rows(), 11);
    QCOMPARE(grid.Cols(), 21);
    QCOMPARE(grid.Text(0, 20), QStringLiteral("T"));
    QCOMPARE(grid.Text(10, 0), QStringLiteral("10"));
    QCOMPARE(grid.Text(2, 3), QStringLiteral("r2c3"));
    QCOMPARE(grid.Text(10, 20), QStringLiteral("角"));

    book.openError = 438;
    QCOMPARE(DisplayXls(env.ctx, grid, QStringLiteral("/x/book.xls"), QStringLiteral("Sheet1"),
                        FakeOpener(book)),
             438);
    QCOMPARE(grid.Text(2, 3), QString());
    QCOMPARE(env.prompt.Messages(), QStringList{QStringLiteral("文件类型不对，请选择Excel文档！")});
}

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
