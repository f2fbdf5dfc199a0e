// Workbooks written by the export, read back with independent readers: xlrd for .xls and
// openpyxl for .xlsx (tests/workbook/dump_workbook.py).

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "history/export.h"
#include "history/workbook/workbook.h"
#include "store/record_store.h"
#include "support/memory_record_store.h"
#include "support/python_tool.h"
#include "support/test_env.h"
#include "support/tmpfs.h"

using namespace tf;
using namespace tf::history;
using namespace Qt::StringLiterals;

namespace {

constexpr int kCols = 19;  // the history grid: timestamp, number, 17 fields

// The history grid with the given records (each a list of 17 field texts); hidden row 0 and
// column 0 as the history window keeps them, widths in twips.
TextGrid History(const QList<QStringList>& records) {
    TextGrid g;
    g.SetCols(kCols);
    g.SetRows(2 + int(records.size()));
    g.SetFixedRows(2);
    g.SetFixedCols(2);
    g.SetRowHeight(0, 0);
    g.SetColWidth(0, 0);
    g.SetColWidth(1, 50);
    for (int c = 2; c < kCols; ++c) {
        g.SetText(0, c, QString::number(c < 18 ? c : 27));
        g.SetText(1, c, u"项目"_s + QString::number(c));
        g.SetColWidth(c, 123.0 * c + 60);  // ⌊…/123⌋ = c
    }
    g.SetText(1, 2, u"年△"_s);
    for (int i = 0; i < records.size(); ++i) {
        g.SetText(2 + i, 0, u"2026-03-0%1 09:30:15"_s.arg(i + 1));
        g.SetText(2 + i, 1, QString::number(i + 1));
        for (int c = 2; c < kCols; ++c) g.SetText(2 + i, c, records[i].value(c - 2));
    }
    return g;
}

QJsonObject Dump(const QString& path) {
    const auto json = test::RunPython({QStringLiteral(TALLYFORM_DUMP_WORKBOOK), path});
    return json ? QJsonDocument::fromJson(*json).object() : QJsonObject();
}

}  // namespace

class TestExportFiles : public QObject {
    Q_OBJECT

private slots:
    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("records");
        QTest::newRow(".xls") << u"历史.xls"_s << 2;
        QTest::newRow(".xlsx") << u"历史.xlsx"_s << 2;
        QTest::newRow("empty history .xls") << u"空.xls"_s << 0;
        QTest::newRow("empty history .xlsx") << u"空.xlsx"_s << 0;
    }

    void layout() {
        QFETCH(QString, name);
        QFETCH(int, records);
        QStringList first(17);
        first[0] = u"2026"_s;
        first[3] = u"北京华夏建材贸易有限公司"_s;
        first[4] = u"6222021234567890123"_s;  // 19 digits: must stay text
        first[10] = u"￥1234.50"_s;
        QStringList second(17);
        second[0] = u"2025"_s;
        second[16] = u"货款"_s;
        QList<QStringList> rows{first, second};
        TextGrid grid = History(rows.mid(0, records));
        if (records > 1) grid.SetRowHeight(3, 0);  // hidden by a search

        test::TestEnv env;
        const QString path = env.dir.filePath(name);
        QVERIFY(ExportGrid(env.ctx, grid, path));
        QCOMPARE(env.prompt.Messages(), QStringList());
        const QJsonObject book = Dump(path);
        QVERIFY(!book.isEmpty());
        const int lastRow = 1 + records;
        QCOMPARE(book[u"rows"_s].toInt(), lastRow);
        QCOMPARE(book[u"cols"_s].toInt(), kCols - 1);

        const QJsonObject cells = book[u"cells"_s].toObject();
        for (int r = 1; r <= lastRow; ++r) {
            for (int c = 1; c < kCols; ++c) {
                const QString at = u"%1,%2"_s.arg(r).arg(c);
                const QJsonObject cell = cells[at].toObject();
                const QString text = grid.Text(r, c);
                QCOMPARE(cell[u"text"_s].toString(), text.isEmpty() ? QString() : u' ' + text);
                if (!text.isEmpty()) QCOMPARE(cell[u"type"_s].toInt(), 1);  // text, not number
                QCOMPARE(cell[u"border"_s].toString(), u"thin"_s);
                QCOMPARE(cell[u"bold"_s].toBool(), r == 1);
                QCOMPARE(cell[u"fill"_s].toString(), r == 1 ? u"d0d0d0"_s : QString());
            }
        }
        QVERIFY(!cells.contains(u"%1,1"_s.arg(lastRow + 1)));

        const QJsonObject widths = book[u"widths"_s].toObject();
        QCOMPARE(widths[u"1"_s].toDouble(), 0.0);  // the 50-twip number column
        // The file keeps the width with the cell padding of 5/7 of a character.
        for (int c = 2; c < kCols; ++c)
            QCOMPARE(qRound((widths[QString::number(c)].toDouble() - 5.0 / 7) * 10), c * 10);
    }

    void fullDiskIsToldAsFull_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow(".xls") << u"历史.xls"_s;
        QTest::newRow(".xlsx") << u"历史.xlsx"_s;
    }

    void fullDiskIsToldAsFull() {
        QFETCH(QString, name);
        test::TestEnv env;
        test::Tmpfs disk(env.dir.filePath(u"small"_s), 1 << 20);
        if (!disk.Mounted()) QSKIP("cannot mount a tmpfs here");
        disk.Fill();
        QList<QStringList> records(200, QStringList(17, u"北京华夏建材贸易有限公司"_s));
        const QString path = QDir(disk.Path()).filePath(name);
        QVERIFY(!ExportGrid(env.ctx, History(records), path));
        QCOMPARE(env.prompt.Messages(),
                 QStringList{u"文件“%1”未能保存：磁盘已满。\n请腾出磁盘空间后再试。"_s.arg(
                     QDir::toNativeSeparators(path))});
        QVERIFY(!QFile::exists(path));
    }

    void unwritableTargetIsToldAndKeepsNothing() {
        test::TestEnv env;
        const QString path = env.dir.filePath(u"没有的文件夹/历史.xlsx"_s);
        QVERIFY(!ExportGrid(env.ctx, History({}), path));
        QCOMPARE(env.prompt.Messages().size(), 1);
        QVERIFY(env.prompt.Messages()[0].contains(QDir::toNativeSeparators(path)));
        QVERIFY(!QFile::exists(path));
    }

    // A record deleted after the keys were listed (by another clerk on the server) leaves its
    // row empty; the rows after it keep their own records.
    void recordDeletedMeanwhileLeavesItsRowEmpty() {
        test::MemoryRecordStore store;
        const int field = store::kShownFields[0];
        FieldTexts first;
        first[field] = u"甲"_s;
        FieldTexts third;
        third[field] = u"丙"_s;
        store.Put(1, first);
        store.Put(3, third);

        test::TestEnv env;
        const QString path = env.dir.filePath(u"历史.xlsx"_s);
        QVERIFY(ExportRecords(env.ctx, store, {1, 2, 3}, ExportLayout(), path));
        const QJsonObject cells = Dump(path)[u"cells"_s].toObject();
        QCOMPARE(cells[u"2,2"_s].toObject()[u"text"_s].toString(), u" 甲"_s);
        QCOMPARE(cells[u"3,2"_s].toObject()[u"text"_s].toString(), QString());
        QCOMPARE(cells[u"4,2"_s].toObject()[u"text"_s].toString(), u" 丙"_s);
    }

    // Where the store keeps who stored each record, the login is the last column, after the
    // remarks, beside its own record.
    void loginOfEachRecordIsTheLastColumn() {
        test::MemoryRecordStore store;
        store.printedBy = [](store::RecordKey key) { return u"clerk%1"_s.arg(key); };
        FieldTexts texts;
        texts[kRemarksField] = u"备注"_s;
        store.Put(1, texts);
        store.Put(2, texts);
        ExportLayout layout;
        for (int c = 0; c <= 17; ++c) layout.captions.append(u"H%1"_s.arg(c));
        layout.captions.append(u"打印人"_s);

        test::TestEnv env;
        const QString path = env.dir.filePath(u"历史.xlsx"_s);
        QVERIFY(ExportRecords(env.ctx, store, {2, 1}, layout, path));
        const QJsonObject cells = Dump(path)[u"cells"_s].toObject();
        const auto at = [&cells](int row, int col) {
            return cells[u"%1,%2"_s.arg(row).arg(col)].toObject()[u"text"_s].toString();
        };
        QCOMPARE(at(1, 19), u" 打印人"_s);
        QCOMPARE(at(2, 18), u" 备注"_s);
        QCOMPARE(at(2, 19), u" clerk2"_s);
        QCOMPARE(at(3, 19), u" clerk1"_s);
    }

    // Texts go from the file to the workbook as they are stored; one that is not well-formed
    // UTF-8 (written by another program) or holds a literal escape still reads back as the
    // history shows it.
    void storedTextsReadBackAsShown() {
        test::TestEnv env;
        env.CreateDatabase();
        FieldTexts texts;
        texts[2] = u"张三"_s;
        texts[3] = u"x"_s;
        texts[4] = u"_x0041_"_s;
        const std::unique_ptr<store::RecordStore> records = store::OpenRecordStore(env.ctx);
        const QList<store::RecordKey> keys = records->StoreVouchers(env.clock, {texts});
        QCOMPARE(keys.size(), 1);
        QVERIFY(test::Exec(env.ctx, u"UPDATE 记录 SET Con=CAST(X'41FF42' AS TEXT) WHERE Ctl=3"_s));

        const QString path = env.dir.filePath(u"历史.xlsx"_s);
        QVERIFY(ExportRecords(env.ctx, *records, keys, ExportLayout(), path));
        const std::unique_ptr<workbook::WorkbookReader> book = workbook::OpenWorkbook(path);
        book->SelectSheet(book->SheetNames().value(0));
        QCOMPARE(book->CellText(2, 2), u" 张三"_s);
        QCOMPARE(book->CellText(2, 3), u" A\uFFFDB"_s);
        QCOMPARE(book->CellText(2, 4), u" _x0041_"_s);
    }
};

QTEST_GUILESS_MAIN(TestExportFiles)
#include "tst_export_files.moc"
