// The import on workbooks written by independent tools: xlwt for .xls, openpyxl for .xlsx.

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include "history/export.h"
#include "history/history_records.h"
#include "history/import.h"
#include "store/record_store.h"
#include "support/python_tool.h"
#include "support/test_env.h"

using namespace Qt::StringLiterals;
using namespace tf;
using namespace tf::history;
using tf::test::TestEnv;

namespace {

// The text a history column (2 … 18, the shown fields in order) shows of a record.
QString Cell(const FieldTexts& texts, int column) {
    return texts[store::kShownFields[static_cast<size_t>(column - 2)]];
}

// The records of keys as stored, read back through the store.
QList<FieldTexts> Stored(const AppContext& ctx, const QList<store::RecordKey>& keys) {
    QList<FieldTexts> out;
    if (const auto records = store::OpenRecordStore(ctx)->ReadRecords(keys, store::Fields::All))
        for (const store::Record& r : *records) out.append(r.texts);
    return out;
}

ImportRequest Request(const QString& path, const QString& sheet) {
    ImportRequest req;
    req.path = path;
    req.sheet = sheet;
    req.firstRow = 2;
    req.lastRow = 3;
    req.columnMap = DefaultColumnMap();
    return req;
}

}  // namespace

class TestImportFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rowsArriveAsTheSheetShowsThem_data();
    void rowsArriveAsTheSheetShowsThem();
    void datesNumbersAndLongTextsArriveAsTheSheetShowsThem_data();
    void datesNumbersAndLongTextsArriveAsTheSheetShowsThem();
    void refusals_data();
    void refusals();
    void exportedHistoryReadsBackUnchanged_data();
    void exportedHistoryReadsBackUnchanged();

private:
    QTemporaryDir fixtures_;
};

void TestImportFiles::initTestCase() {
    QVERIFY(test::RunPython(
        {QStringLiteral(TALLYFORM_IMPORT_TEST_DIR "/make_import_fixtures.py"), fixtures_.path()}));
    QFile text(fixtures_.filePath(u"text.xls"_s));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("序号,收款人\n1,张三\n");
    text.close();
    QVERIFY(QFile::copy(text.fileName(), fixtures_.filePath(u"text.xlsx"_s)));
    // 10,000 random bytes, bare or behind the signature of a compound file or a zip, so the
    // readers get past their first check.
    const QList<std::pair<QString, QByteArray>> randomFiles = {
        {u"random.xls"_s, {}},
        {u"random.xlsx"_s, {}},
        {u"random-ole.xls"_s, QByteArray::fromHex("d0cf11e0a1b11ae1")},
        {u"random-zip.xlsx"_s, QByteArray("PK\x03\x04", 4)},
    };
    QRandomGenerator random(20261208);
    for (const auto& [name, signature] : randomFiles) {
        QByteArray bytes(10000, Qt::Uninitialized);
        for (char& b : bytes) b = char(random.bounded(256));
        bytes.replace(0, signature.size(), signature);
        QFile file(fixtures_.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
}

void TestImportFiles::rowsArriveAsTheSheetShowsThem_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("xls by xlwt") << "import.xls";
    QTest::newRow("xlsx by openpyxl") << "import.xlsx";
}

void TestImportFiles::rowsArriveAsTheSheetShowsThem() {
    QFETCH(QString, file);
    TestEnv env;
    env.CreateDatabase();
    QList<store::RecordKey> keys;
    QCOMPARE(ImportWorkbook(env.ctx, Request(fixtures_.filePath(file), u"清单"_s),
                            workbook::OpenWorkbook, &keys),
             0);
    QCOMPARE(env.prompt.Messages(), QStringList{u"导入EXCEL表格第2至第3行!"_s});
    QCOMPARE(keys.size(), 2);
    QCOMPARE(store::DatOfKey(keys[0]), u"2026-03-06 00:00:00"_s);
    QCOMPARE(store::DatOfKey(keys[1]), u"2026-03-05 00:00:00"_s);
    const QList<FieldTexts> rows = Stored(env.ctx, keys);
    QCOMPARE(rows.size(), 2);

    const QStringList first = {u"2026"_s,
                               u"3"_s,
                               u"6"_s,
                               u"上海浦江贸易有限公司"_s,
                               u"6222021234567890123"_s,
                               u"中国工商银行上海分行"_s,
                               u"北京华远建设集团"_s,
                               u"6217000010001234567"_s,
                               u"中国建设银行北京朝阳支行"_s,
                               u"壹万贰仟叁佰肆拾伍元伍角整"_s,
                               u"12345.5"_s,
                               u"转账支票"_s,
                               u"2"_s,
                               u"00012345"_s,
                               u"王芳"_s,
                               u"李强"_s,
                               u"货款"_s};
    QStringList stored;
    for (const QVariantList& row : test::Rows(
             env.ctx, u"SELECT Con FROM 记录 WHERE Dat='2026-03-06 00:00:00' ORDER BY Ctl"_s))
        stored.append(row[0].toString());
    QCOMPARE(stored, first);
    for (int c = 2; c <= 18; ++c) QCOMPARE(Cell(rows[0], c), first[c - 2]);
    // Empty cells arrive empty; a whole number stays without a fraction.
    QCOMPARE(Cell(rows[1], 9), QString());
    QCOMPARE(Cell(rows[1], 15), u"12345678"_s);
    QCOMPARE(Cell(rows[1], 18), QString());
}

void TestImportFiles::datesNumbersAndLongTextsArriveAsTheSheetShowsThem_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("xls by xlwt") << "values.xls";
    QTest::newRow("xlsx by openpyxl") << "values.xlsx";
}

void TestImportFiles::datesNumbersAndLongTextsArriveAsTheSheetShowsThem() {
    QFETCH(QString, file);
    TestEnv env;
    env.CreateDatabase();
    QList<store::RecordKey> keys;
    QCOMPARE(ImportWorkbook(env.ctx, Request(fixtures_.filePath(file), u"清单"_s),
                            workbook::OpenWorkbook, &keys),
             0);
    // The accounts were typed as numbers: the clerk is told which cells to check.
    const QString inexact = u"的数字超过15位，可能已不准确，请在表格中设为文本格式"_s;
    QCOMPARE(env.prompt.Messages(), QStringList{u"导入EXCEL表格第2至第3行!\n第2行F列"_s + inexact +
                                                u"\n第3行F列"_s + inexact});
    const QList<FieldTexts> rows = Stored(env.ctx, keys);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(Cell(rows[0], 2), u"2026-12-05"_s);
    QCOMPARE(Cell(rows[1], 2), u"2026-12-07 15:30:00"_s);
    QCOMPARE(Cell(rows[0], 3), u"x"_s);
    QCOMPARE(Cell(rows[0], 5), QString(12327, QChar(u'Ω')));
    QCOMPARE(Cell(rows[0], 6), u"6222021234567890000"_s);
    QCOMPARE(Cell(rows[0], 7), u"TRUE"_s);
    QCOMPARE(Cell(rows[1], 7), u"FALSE"_s);
}

void TestImportFiles::refusals_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("message");
    const QString noSheet = u"输入表格名称有误，无法打开表格，请重新输入！"_s;
    const QString notWorkbook = u"文件类型不对，请选择Excel文档！"_s;
    const QString damaged = u"文件已损坏，无法读取"_s;
    QTest::newRow("xls, missing sheet") << "import.xls"
                                        << "图表1" << noSheet;
    QTest::newRow("xlsx, missing sheet") << "import.xlsx"
                                         << "图表1" << noSheet;
    QTest::newRow("text file named .xls") << "text.xls"
                                          << "清单" << notWorkbook;
    QTest::newRow("text file named .xlsx") << "text.xlsx"
                                           << "清单" << notWorkbook;
    for (const char* name : {"random.xls", "random.xlsx"})
        QTest::newRow(name) << name << "清单" << notWorkbook;
    // Past the signature of a compound file or a zip, the file is taken as a damaged workbook.
    for (const char* name : {"random-ole.xls", "random-zip.xlsx"})
        QTest::newRow(name) << name << "清单" << damaged;
    QTest::newRow("xls with a password") << "encrypted.xls"
                                         << "清单" << u"文件已加密，请先在电子表格程序中取消密码"_s;
    QTest::newRow("no such file") << "gone.xls"
                                  << "清单"
                                  << u"无法打开Excel文件，请检查后重新输入文件名及路径！"_s;
}

void TestImportFiles::refusals() {
    QFETCH(QString, file);
    QFETCH(QString, sheet);
    QFETCH(QString, message);
    TestEnv env;
    env.CreateDatabase();
    QList<store::RecordKey> keys;
    QVERIFY(ImportWorkbook(env.ctx, Request(fixtures_.filePath(file), sheet),
                           workbook::OpenWorkbook, &keys) != 0);
    QCOMPARE(env.prompt.Messages(), QStringList{message});
    QCOMPARE(keys, QList<store::RecordKey>());
    QCOMPARE(test::Scalar(env.ctx, u"SELECT COUNT(*) FROM 记录"_s).toInt(), 0);
}

namespace {

struct Captions : VoucherFields {
    QString Caption(int field) const override { return u"栏%1"_s.arg(field); }
    void TakeText(int, const QString&) override {}
};

}  // namespace

void TestImportFiles::exportedHistoryReadsBackUnchanged_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << "history.xls";
    QTest::newRow("xlsx") << "history.xlsx";
}

void TestImportFiles::exportedHistoryReadsBackUnchanged() {
    QFETCH(QString, file);
    constexpr int kVouchers = 200;
    TestEnv from;
    from.CreateDatabase();
    for (int v = 0; v < kVouchers; ++v) {
        FieldTexts t;
        for (int i = kFirstField; i <= kLastField; ++i) t[i] = u"项%1-%2"_s.arg(v).arg(i);
        t[4] = QString::number(v % 28 + 1);
        t[5] = u"上海浦江贸易有限公司 第%1分部"_s.arg(v);
        t[6] = u"62220212345678%1"_s.arg(v, 5, 10, QChar(u'0'));
        t[12] = u"￥%1.50"_s.arg(1000 + v);
        t[15] = u"000%1"_s.arg(v);
        t[16] = v % 3 == 0 ? QString() : u"王芳"_s;
        QVERIFY(store::StoreTexts(from.ctx,
                                  QDateTime(QDate(2026, 2, 1), QTime(8, 0)).addSecs(v * 61), t));
    }
    const std::unique_ptr<store::RecordStore> records = store::OpenRecordStore(from.ctx);
    HistoryModel history(*records, HistoryCaptions(Captions()));
    QVERIFY(history.Reload());
    QCOMPARE(history.rowCount(), kVouchers);
    ExportLayout layout;
    for (int c = 0; c <= HistoryModel::kColumns; ++c) {
        layout.captions.append(c == 0 ? QString()
                                      : history.headerData(c - 1, Qt::Horizontal).toString());
        layout.widths.append(1000);
    }
    const QString path = from.dir.filePath(file);
    const std::span<const store::RecordKey> listed = history.OrderedKeys();
    QVERIFY(ExportRecords(from.ctx, *records, QList<store::RecordKey>(listed.begin(), listed.end()),
                          layout, path));

    TestEnv to;
    to.CreateDatabase();
    QList<store::RecordKey> keys;
    ImportRequest req = Request(path, QString());
    req.sheet = workbook::OpenWorkbook(path)->SheetNames().value(0);
    req.lastRow = kVouchers + 1;
    QCOMPARE(ImportWorkbook(to.ctx, req, workbook::OpenWorkbook, &keys), 0);
    QCOMPARE(keys.size(), history.rowCount());
    const QList<FieldTexts> imported = Stored(to.ctx, keys);
    QCOMPARE(imported.size(), history.rowCount());
    for (int r = 0; r < history.rowCount(); ++r) {
        const FieldTexts shown = history.RowTexts(r);
        for (const int field : store::kShownFields) QCOMPARE(imported[r][field], shown[field]);
    }
    QCOMPARE(test::Scalar(to.ctx, u"SELECT COUNT(*) FROM 记录"_s).toInt(), kVouchers * 17);
    QCOMPARE(test::Scalar(to.ctx, u"SELECT Con FROM 记录 WHERE Dat=? AND Ctl=6"_s,
                          {store::DatOfKey(keys[0])})
                 .toString(),
             history.RowTexts(0)[6]);
}

QTEST_GUILESS_MAIN(TestImportFiles)
#include "tst_import_files.moc"
