#include <QtTest>

#include "store/record_store.h"
#include "support/test_env.h"

using namespace tf;
using namespace Qt::StringLiterals;
using namespace tf::store;
using tf::test::TestEnv;

namespace {

FieldTexts Sample(const QString& tag) {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = tag + QString::number(i);
    t[5] = QStringLiteral("北京某某贸易有限公司");
    t[14] = QString();  // an empty field is stored too
    return t;
}

}  // namespace

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void reservedDate();
    void dateTextIsSortable_data();
    void dateTextIsSortable();
    void storeThenLoad();
    void printRecordsNeverShareATimestamp_data();
    void printRecordsNeverShareATimestamp();
    void loadKeepsFieldsWithoutRow();
    void failedStoreKeepsOldGroup();
    void failedStoreIsTold_data();
    void failedStoreIsTold();
    void indexIsBuiltFromTheRecordsOfAnOlderFile();
};

void TestRecords::reservedDate() {
    QCOMPARE(DateText(CurrentTextDate()), QStringLiteral("1973-08-18 00:00:00"));
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(StoreTexts(env.ctx, CurrentTextDate(), Sample(QStringLiteral("a"))));
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral(
                                       "SELECT COUNT(*) FROM 记录 WHERE Dat='1973-08-18 00:00:00'"))
                 .toInt(),
             32);
}

void TestRecords::dateTextIsSortable_data() {
    QTest::addColumn<QDateTime>("earlier");
    QTest::addColumn<QDateTime>("later");
    QTest::newRow("single-digit month") << QDateTime(QDate(2007, 1, 5), QTime(8, 3, 9))
                                        << QDateTime(QDate(2007, 10, 1), QTime(0, 0, 0));
    QTest::newRow("single-digit hour") << QDateTime(QDate(2026, 3, 7), QTime(9, 59, 59))
                                       << QDateTime(QDate(2026, 3, 7), QTime(10, 0, 0));
    QTest::newRow("reserved before all")
        << CurrentTextDate() << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59));
}

void TestRecords::dateTextIsSortable() {
    QFETCH(QDateTime, earlier);
    QFETCH(QDateTime, later);
    QVERIFY(DateText(earlier) < DateText(later));
    QCOMPARE(DateText(earlier).size(), 19);
}

void TestRecords::storeThenLoad() {
    TestEnv env;
    env.CreateDatabase();
    const FieldTexts stored = Sample(QStringLiteral("x"));
    QVERIFY(StoreTexts(env.ctx, CurrentTextDate(), stored));
    FieldTexts loaded;
    LoadCurrentText(env.ctx, loaded);
    QVERIFY(loaded == stored);
    QCOMPARE(loaded[5], QStringLiteral("北京某某贸易有限公司"));
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT Con FROM 记录 WHERE Ctl=14")).toString(),
             QString());
    QVERIFY(!test::Scalar(env.ctx, QStringLiteral("SELECT Con FROM 记录 WHERE Ctl=14")).isNull());
    QVERIFY(env.prompt.shown.isEmpty());
}

void TestRecords::printRecordsNeverShareATimestamp_data() {
    QTest::addColumn<int>("batch");        // vouchers of a batch stored at the clock's time
    QTest::addColumn<int>("singleAfter");  // seconds later a single voucher is stored
    QTest::addColumn<int>("singleAt");     // seconds after the batch's time the single one takes
    QTest::newRow("single print 5 s after a batch of 40") << 40 << 5 << 5;
    QTest::newRow("second print within the same second") << 1 << 0 << 1;
}

// Every store of a print record takes a timestamp of its own: a record is never replaced by
// a later one, and a batch takes the free seconds up to the clock rather than running ahead.
void TestRecords::printRecordsNeverShareATimestamp() {
    QFETCH(int, batch);
    QFETCH(int, singleAfter);
    QFETCH(int, singleAt);
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(StoreTexts(env.ctx, CurrentTextDate(), Sample(QStringLiteral("kept"))));
    const QDateTime now(QDate(2026, 3, 7), QTime(14, 36, 36));
    QList<FieldTexts> vouchers;
    for (int i = 0; i < batch; ++i) vouchers.append(Sample(QStringLiteral("b%1-").arg(i)));
    const QList<QDateTime> stamps = StoreTextsBatch(env.ctx, now, vouchers);
    QCOMPARE(stamps.size(), batch);
    QVERIFY(StoreTexts(env.ctx, now.addMSecs(singleAfter * 1000 + 400),
                       Sample(QStringLiteral("single"))));

    const QString groups = QStringLiteral(
        "SELECT COUNT(*) FROM (SELECT Dat FROM 记录 WHERE Dat<>'1973-08-18 00:00:00' "
        "GROUP BY Dat HAVING COUNT(*)=32 AND COUNT(DISTINCT Ctl)=32)");
    QCOMPARE(test::Scalar(env.ctx, groups).toInt(), batch + 1);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 记录")).toInt(),
             (batch + 2) * 32);
    QCOMPARE(stamps.last(), now);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT Dat FROM 记录 WHERE Con='single2'"))
                 .toString(),
             DateText(now.addSecs(singleAt)));
    FieldTexts kept;
    LoadCurrentText(env.ctx, kept);
    QCOMPARE(kept[2], QStringLiteral("kept2"));
}

void TestRecords::loadKeepsFieldsWithoutRow() {
    TestEnv env;
    env.CreateDatabase();
    // An imported group holds only some fields.
    QVERIFY(test::Exec(
        env.ctx,
        QStringLiteral(
            "INSERT INTO 记录 VALUES ('1973-08-18 00:00:00', 8, '收款人'), "
            "('1973-08-18 00:00:00', 40, '越界'), ('1973-08-19 00:00:00', 9, '别的日子')")));
    FieldTexts texts = Sample(QStringLiteral("k"));
    LoadCurrentText(env.ctx, texts);
    QCOMPARE(texts[8], QStringLiteral("收款人"));
    QCOMPARE(texts[9], QStringLiteral("k9"));
    QCOMPARE(texts[33], QStringLiteral("k33"));
}

void TestRecords::failedStoreKeepsOldGroup() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(StoreTexts(env.ctx, CurrentTextDate(), Sample(QStringLiteral("old"))));
    QVERIFY(
        test::Exec(env.ctx, QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 记录 WHEN NEW.Ctl "
                                           "= 30 BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
    QVERIFY(!StoreTexts(env.ctx, CurrentTextDate(), Sample(QStringLiteral("new"))));
    FieldTexts texts;
    LoadCurrentText(env.ctx, texts);
    QCOMPARE(texts[2], QStringLiteral("old2"));
    QCOMPARE(texts[33], QStringLiteral("old33"));
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 记录")).toInt(), 32);
}

void TestRecords::failedStoreIsTold_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("told");
    QTest::newRow("voucher text at exit")
        << CurrentTextDate() << QStringLiteral("当前凭证的内容没有保存，下次启动时不能恢复！");
    QTest::newRow("print record") << QDateTime(QDate(2026, 3, 7), QTime(9, 30, 15))
                                  << QStringLiteral("打印记录没有保存！");
}

void TestRecords::failedStoreIsTold() {
    QFETCH(QDateTime, when);
    QFETCH(QString, told);
    TestEnv env;
    env.CreateDatabase();
    // A records table brought from elsewhere without its text column.
    QVERIFY(test::Exec(env.ctx, QStringLiteral("DROP TABLE 记录")));
    QVERIFY(test::Exec(env.ctx, QStringLiteral("CREATE TABLE 记录 (Dat TEXT, Ctl INTEGER)")));
    QVERIFY(!StoreTexts(env.ctx, when, Sample(QStringLiteral("x"))));
    const QStringList messages = env.prompt.Messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().startsWith(told + u'\n'), qPrintable(messages.first()));
    QVERIFY2(messages.first().contains(env.ctx.DatabasePath()), qPrintable(messages.first()));
    QVERIFY2(messages.first().contains(QStringLiteral("Con")), qPrintable(messages.first()));
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 记录")).toInt(), 0);
}

// A file written before the index existed (or by a program that dropped it) gets it built from
// its records at the next start, and then lists and finds exactly what the records hold.
void TestRecords::indexIsBuiltFromTheRecordsOfAnOlderFile() {
    TestEnv env;
    env.CreateDatabase();
    for (const QString& sql :
         {u"DROP TRIGGER 记录_增"_s, u"DROP TRIGGER 记录_删"_s, u"DROP TRIGGER 记录_改"_s,
          u"DROP TABLE 记录检索"_s, u"DROP TABLE 记录键"_s})
        QVERIFY(test::Exec(env.ctx, sql));
    QVERIFY(StoreTexts(env.ctx, CurrentTextDate(), Sample(u"kept"_s)));
    QVERIFY(StoreTexts(env.ctx, QDateTime(QDate(2026, 3, 1), QTime(9, 0)), Sample(u"p"_s)));
    // An imported group of two fields, a stub field alone, a timestamp of another form.
    QVERIFY(test::Exec(env.ctx,
                       u"INSERT INTO 记录 VALUES ('2026-02-27 00:00:00', 8, '进口的收款人'), "
                       u"('2026-02-27 00:00:00', 27, '备注'), ('2026-02-26 00:00:00', 20, 'x'), "
                       u"('2026-2-25 8:3:9', 5, '进口的')"_s));
    env.CreateDatabase();

    const std::unique_ptr<RecordStore> store = OpenRecordStore(env.ctx);
    const auto key = [](const QString& dat) { return KeyOfDat(dat).value_or(-1); };
    const RecordKey printed = key(u"2026-03-01 09:00:00"_s);
    const RecordKey imported = key(u"2026-02-27 00:00:00"_s);
    QCOMPARE(store->ListKeys().value_or(QList<RecordKey>{-1}),
             (QList<RecordKey>{key(u"2026-02-26 00:00:00"_s), imported, printed}));
    QCOMPARE(store->Search(u"进口的"_s).value_or(QList<RecordKey>{-1}), QList<RecordKey>{imported});
    QCOMPARE(store->Search(u"备注"_s).value_or(QList<RecordKey>{-1}), QList<RecordKey>{imported});
    QCOMPARE(store->Search(u"p2"_s).value_or(QList<RecordKey>{-1}), QList<RecordKey>{printed});
    QCOMPARE(store->Search(u"p20"_s).value_or(QList<RecordKey>{-1}), QList<RecordKey>{});
    QCOMPARE(store->Search(u"kept"_s).value_or(QList<RecordKey>{-1}), QList<RecordKey>{});
    // Written after the build, deleted and cleared: the index follows.
    QVERIFY(store->Delete(QList<RecordKey>{imported}));
    QCOMPARE(store->Search(u"进口的"_s).value_or(QList<RecordKey>{-1}), QList<RecordKey>{});
    QVERIFY(env.prompt.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
