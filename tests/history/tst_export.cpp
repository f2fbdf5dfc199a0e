#include <QtTest>

#include "history/export.h"
#include "support/recording_progress.h"
#include "support/recording_workbook.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::history;
using namespace Qt::StringLiterals;

namespace {

// A grid laid out like the history list: row 0 maps columns to fields and is hidden, row 1
// is the header, column 0 holds the hidden timestamp and column 1 the sequence number.
TextGrid HistoryLikeGrid(int cols, int records) {
    TextGrid g;
    g.SetCols(cols);
    g.SetRows(2 + records);
    g.SetFixedRows(2);
    g.SetFixedCols(2);
    g.SetRowHeight(0, 0);
    g.SetColWidth(0, 0);
    g.SetColWidth(1, 50);
    for (int c = 2; c < cols; ++c) {
        g.SetText(0, c, QString::number(c));
        g.SetText(1, c, u"列"_s + QString::number(c));
    }
    for (int r = 2; r < 2 + records; ++r) {
        g.SetText(r, 0, u"2026-03-07 09:30:15"_s);
        g.SetText(r, 1, QString::number(r - 1));
    }
    return g;
}

struct Export {
    test::TestEnv env;
    test::RecordingProgress progress;
    std::shared_ptr<test::WorkbookLog> log = std::make_shared<test::WorkbookLog>();
    bool failToCreate = false;
    int created = 0;

    Export() { env.ctx.SetProgress(&progress); }

    bool Run(const TextGrid& grid, const QString& name = u"历史.xls"_s) {
        return ExportGrid(env.ctx, grid, env.dir.filePath(name), [this](const QString&) {
            ++created;
            if (failToCreate) throw workbook::WorkbookError(workbook::kCannotOpen, u"x"_s);
            return std::make_unique<test::RecordingWorkbook>(log);
        });
    }
};

}  // namespace

class TestExport : public QObject {
    Q_OBJECT

private slots:
    void writesRowsFromOneAndColumnsFromOne() {
        TextGrid g = HistoryLikeGrid(4, 2);
        g.SetText(1, 2, u"年△"_s);  // sorted by this column
        g.SetText(1, 3, u"出票人账号"_s);
        g.SetColWidth(2, 1230);
        g.SetColWidth(3, 1229);
        g.SetText(2, 2, u"2026"_s);
        g.SetText(2, 3, u"6222021234567890123"_s);
        g.SetText(3, 2, u"2025"_s);  // an empty account is not written
        g.SetRowHeight(3, 0);        // hidden by a search: written all the same

        Export e;
        QVERIFY(e.Run(g));
        const QStringList expected{
            u"width 1 0"_s,
            u"width 2 10"_s,
            u"width 3 9"_s,
            u"fill 1,1:1,3 13684944"_s,
            u"bold 1,1:1,3"_s,
            u"borders 1,1:3,3 2"_s,
            u"text 1,2 [ 年△]"_s,
            u"text 1,3 [ 出票人账号]"_s,
            u"text 2,1 [ 1]"_s,
            u"text 2,2 [ 2026]"_s,
            u"text 2,3 [ 6222021234567890123]"_s,
            u"text 3,1 [ 2]"_s,
            u"text 3,2 [ 2025]"_s,
            u"save"_s,
        };
        QCOMPARE(e.log->calls, expected);
        QCOMPARE(e.env.prompt.shown.size(), 0);

        // Two steps before the rows and one per row, over a total of rows − 1.
        QStringList progress{u"show 正在保存为Excel文件 … 3 0"_s};
        for (int i = 0; i < 5; ++i) progress.append(u"step 1 pages"_s);
        progress.append(u"close"_s);
        QCOMPARE(e.progress.calls, progress);
    }

    void emptyHistoryWritesTheHeaderOnly() {
        Export e;
        QVERIFY(e.Run(HistoryLikeGrid(19, 0)));
        QVERIFY(e.log->calls.contains(u"fill 1,1:1,18 13684944"_s));
        QVERIFY(e.log->calls.contains(u"borders 1,1:1,18 2"_s));
        QVERIFY(e.log->calls.contains(u"text 1,18 [ 列18]"_s));
        QVERIFY(!e.log->calls.filter(u"text 2,"_s).size());
    }

    // A failing formatting step or cell is skipped; a workbook that cannot be made or saved
    // is told once, naming the file.
    void failures_data() {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("stillWritten");
        QTest::newRow("fill skipped") << u"fill"_s << true << u"bold 1,1:1,3"_s;
        QTest::newRow("borders skipped") << u"borders"_s << true << u"text 2,1 [ 1]"_s;
        QTest::newRow("a cell skipped") << u"text 1,2"_s << true << u"text 1,3 [ 列3]"_s;
        QTest::newRow("save fails") << u"save"_s << false << u"text 2,1 [ 1]"_s;
        QTest::newRow("workbook not made") << u"create"_s << false << QString();
    }

    void failures() {
        QFETCH(QString, failing);
        QFETCH(bool, saved);
        QFETCH(QString, stillWritten);
        Export e;
        if (failing == u"create")
            e.failToCreate = true;
        else
            e.log->failing.append(failing);
        QCOMPARE(e.Run(HistoryLikeGrid(4, 1), u"记录.xls"_s), saved);
        QCOMPARE(e.log->saved, saved);
        if (!stillWritten.isEmpty()) QVERIFY(e.log->calls.contains(stillWritten));
        QVERIFY(!e.progress.open);
        const QStringList messages = e.env.prompt.Messages();
        if (saved) {
            QCOMPARE(messages.size(), 0);
        } else {
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages[0].contains(u"记录.xls”未能保存"_s), qPrintable(messages[0]));
        }
    }

    // An .xls worksheet holds the header and 65,535 records; more go to .xlsx only.
    void rowLimit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("written");
        QTest::newRow("65535 records fit an .xls") << u"a.xls"_s << 65535 << true;
        QTest::newRow("65536 records do not") << u"a.XLS"_s << 65536 << false;
        QTest::newRow("65536 records fit an .xlsx") << u"a.xlsx"_s << 65536 << true;
    }

    void rowLimit() {
        QFETCH(QString, name);
        QFETCH(int, records);
        QFETCH(bool, written);
        Export e;
        QCOMPARE(e.Run(HistoryLikeGrid(3, records), name), written);
        QCOMPARE(e.created, written ? 1 : 0);
        QCOMPARE(e.progress.calls.isEmpty(), !written);
        const QStringList messages = e.env.prompt.Messages();
        QCOMPARE(messages.size(), written ? 0 : 1);
        if (!written) {
            QVERIFY(messages[0].contains(u"共有65536条记录"_s));
            QVERIFY(messages[0].contains(u"最多只能保存65535条"_s));
            QVERIFY(messages[0].contains(name));
            QVERIFY(messages[0].contains(u".xlsx"_s));
        }
    }

    void chooseSaveWorkbook_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("type");  // the file type chosen in the dialog
        QTest::addColumn<QString>("path");
        const QString xls = u"Excel 工作簿 (*.xls)"_s;
        const QString xlsx = u"Excel 2007 工作簿 (*.xlsx)"_s;
        QTest::newRow("cancelled") << QString() << xlsx << QString();
        QTest::newRow("no extension") << u"/tmp/历史"_s << xls << u"/tmp/历史.xls"_s;
        QTest::newRow("no extension, .xlsx chosen")
            << u"/tmp/hist3"_s << xlsx << u"/tmp/hist3.xlsx"_s;
        QTest::newRow("no type told") << u"/tmp/hist3"_s << QString() << u"/tmp/hist3.xls"_s;
        QTest::newRow("typed .xls wins over .xlsx chosen")
            << u"/tmp/a.xls"_s << xlsx << u"/tmp/a.xls"_s;
        QTest::newRow("upper-case .XLS kept") << u"/tmp/a.XLS"_s << xls << u"/tmp/a.XLS"_s;
        QTest::newRow(".xlsx kept") << u"/tmp/a.xlsx"_s << xls << u"/tmp/a.xlsx"_s;
        QTest::newRow(".Xlsx kept") << u"/tmp/a.Xlsx"_s << xls << u"/tmp/a.Xlsx"_s;
        QTest::newRow("other extension") << u"/tmp/a.csv"_s << xls << u"/tmp/a.csv.xls"_s;
    }

    void chooseSaveWorkbook() {
        QFETCH(QString, answer);
        QFETCH(QString, type);
        QFETCH(QString, path);
        test::ScriptedPrompt prompt;
        prompt.files.enqueue(answer);
        prompt.fileTypes.enqueue(type);
        QCOMPARE(ChooseSaveWorkbook(prompt), path);
        const QString filter = prompt.Texts(u"save"_s).value(0);
        QVERIFY2(filter.contains(u"(*.xls)"_s) && filter.contains(u"(*.xlsx)"_s),
                 qPrintable(filter));
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
