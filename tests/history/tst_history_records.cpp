#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include "history/history_model.h"
#include "history/history_records.h"
#include "store/database.h"
#include "store/record_store.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::history;
using namespace Qt::StringLiterals;
using tf::test::TestEnv;

Q_DECLARE_METATYPE(tf::store::DbFailure)

namespace {

// Captions like the main window's labels; every call that fills a field is noted.
struct FakeVoucher : VoucherFields {
    QList<QPair<int, QString>> taken;
    QString Caption(int field) const override { return u"L"_s + QString::number(field); }
    void TakeText(int field, const QString& text) override { taken.append({field, text}); }
};

QDateTime At(int day, int hour = 9) {
    return QDateTime(QDate(2026, 3, day), QTime(hour, 15, 0));
}

// A voucher whose every field holds its tag and field number.
FieldTexts Voucher(const QString& tag) {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = tag + u'-' + QString::number(i);
    return t;
}

int Groups(const AppContext& ctx) {
    return test::Scalar(ctx, u"SELECT COUNT(DISTINCT Dat) FROM 记录"_s).toInt();
}

// A field's texts down the shown rows.
QStringList Column(const HistoryModel& m, int field) {
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r) out << m.RowTexts(r)[field];
    return out;
}

QStringList Numbers(const HistoryModel& m) {
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r) out << m.headerData(r, Qt::Vertical).toString();
    return out;
}

}  // namespace

class TestHistoryRecords : public QObject {
    Q_OBJECT
private slots:
    void init();
    void fillListsNewestFirst();
    void fillWithoutRecordsTable();
    void filter_data();
    void filter();
    void deleteSelectedRows();
    void deleteOutsideTheDataRowsDoesNothing();
    void failedWriteKeepsEverythingAndTellsTheCause_data();
    void failedWriteKeepsEverythingAndTellsTheCause();
    void clearKeepsTheVoucherText();
    void takeBack();

private:
    std::unique_ptr<TestEnv> env_;
    FakeVoucher voucher_;
    std::unique_ptr<store::RecordStore> store_;
    std::unique_ptr<HistoryModel> model_;
    // The list as the history window opens it, over a store opened now.
    bool Open() {
        model_.reset();
        store_ = store::OpenRecordStore(env_->ctx);
        model_ = std::make_unique<HistoryModel>(*store_, HistoryCaptions(voucher_));
        return model_->Reload();
    }
    void Store(const QDateTime& when, const QString& tag) {
        QVERIFY(store::StoreTexts(env_->ctx, when, Voucher(tag)));
    }
    // Five vouchers a … e, one a day from 1 to 5 March, e the newest; and the kept text.
    void StoreFive() {
        for (int d = 1; d <= 5; ++d) Store(At(d), QString(QChar(u'a' + d - 1)));
        Store(store::CurrentTextDate(), u"kept"_s);
    }
};

void TestHistoryRecords::init() {
    env_ = std::make_unique<TestEnv>();
    env_->CreateDatabase();
    voucher_.taken.clear();
    model_.reset();
    store_.reset();
}

void TestHistoryRecords::fillListsNewestFirst() {
    StoreFive();
    Store(QDateTime(QDate(2026, 3, 6), QTime(0, 0)), u"midnight"_s);
    Store(At(3, 12), u"noon"_s);  // stored after newer ones
    // A voucher that lacks some fields leaves their cells empty.
    QVERIFY(test::Exec(env_->ctx,
                       u"DELETE FROM 记录 WHERE Dat='2026-03-03 09:15:00' AND "
                       "Ctl IN (6, 27)"_s));
    QVERIFY(Open());
    const HistoryModel& m = *model_;

    QCOMPARE(m.rowCount(), 7);
    QCOMPARE(m.columnCount(), 17);
    QCOMPARE(Column(m, 5), (QStringList{u"midnight-5"_s, u"e-5"_s, u"d-5"_s, u"noon-5"_s, u"c-5"_s,
                                        u"b-5"_s, u"a-5"_s}));
    QCOMPARE(Numbers(m), (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s}));
    QCOMPARE(store::DatOfKey(m.KeyAt(0)), u"2026-03-06 00:00:00"_s);
    QCOMPARE(store::DatOfKey(m.KeyAt(1)), u"2026-03-05 09:15:00"_s);
    // The columns are the fields 2 … 17, then the remarks.
    QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), u"L2"_s);
    QCOMPARE(m.headerData(16, Qt::Horizontal).toString(), u"L27"_s);
    QCOMPARE(m.data(m.index(1, 16)).toString(), u"e-27"_s);
    QCOMPARE(m.data(m.index(1, 15)).toString(), u"e-17"_s);
    QCOMPARE(m.data(m.index(4, 4)).toString(), QString());
    QCOMPARE(m.data(m.index(4, 16)).toString(), QString());
    QCOMPARE(m.data(m.index(4, 5)).toString(), u"c-7"_s);
    // No stub field appears anywhere.
    for (int r = 0; r < m.rowCount(); ++r)
        for (int c = 0; c < m.columnCount(); ++c) {
            const QString t = m.data(m.index(r, c)).toString();
            QVERIFY2(!t.contains(u"kept"_s), qPrintable(t));
            const int field = t.section(u'-', 1).toInt();
            QVERIFY2(field <= 17 || field == 27, qPrintable(t));
        }
    QVERIFY(env_->prompt.shown.isEmpty());
}

void TestHistoryRecords::fillWithoutRecordsTable() {
    QVERIFY(test::Exec(env_->ctx, u"DROP TABLE 记录"_s));
    QVERIFY(!Open());
    QCOMPARE(model_->rowCount(), 0);
    QCOMPARE(model_->headerData(0, Qt::Horizontal).toString(), u"L2"_s);
    QCOMPARE(env_->prompt.Messages(),
             QStringList{u"数据库打开错误(SELECT * FROM 记录 WHERE Dat<>#1973-08-18# ORDER BY "
                         "Dat DESC)！"_s});
}

void TestHistoryRecords::filter_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown");  // column 5 of the rows left visible
    const QStringList all{u"e-5"_s, u"d-5"_s, u"c-5"_s, u"b-5"_s, u"a-5"_s};
    QTest::newRow("one voucher's text") << u"c-1"_s << QStringList{u"c-5"_s};
    QTest::newRow("a text in every row") << u"-27"_s << all;
    QTest::newRow("case-sensitive") << u"C-1"_s << QStringList{};
    QTest::newRow("only in the timestamp") << u"2026-03"_s << QStringList{};
    QTest::newRow("empty shows all") << QString() << all;
}

void TestHistoryRecords::filter() {
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    StoreFive();
    QVERIFY(Open());
    QVERIFY(model_->Search(u"zzz"_s));  // everything hidden first
    QVERIFY(model_->Search(text));
    QCOMPARE(Column(*model_, 5), shown);
    QCOMPARE(model_->OrderedKeys().size(), 5u);
}

void TestHistoryRecords::deleteSelectedRows() {
    StoreFive();
    QVERIFY(Open());
    env_->prompt.yesNo << false << true;
    QVERIFY(!DeleteHistoryRows(env_->ctx, *model_, 3, 1));  // No changes nothing
    QCOMPARE(Groups(env_->ctx), 6);
    QCOMPARE(model_->rowCount(), 5);

    QVERIFY(DeleteHistoryRows(env_->ctx, *model_, 3, 1));
    QCOMPARE(env_->prompt.Questions(), QStringList(2, u"您确定要删除第2至第4行数据？"_s));
    QCOMPARE(Column(*model_, 5), (QStringList{u"e-5"_s, u"a-5"_s}));
    QCOMPARE(Numbers(*model_), (QStringList{u"1"_s, u"2"_s}));
    QCOMPARE(
        test::Rows(env_->ctx, u"SELECT DISTINCT Dat FROM 记录 ORDER BY Dat"_s),
        (QList<QVariantList>{
            {u"1973-08-18 00:00:00"_s}, {u"2026-03-01 09:15:00"_s}, {u"2026-03-05 09:15:00"_s}}));
    QCOMPARE(test::Scalar(env_->ctx, u"SELECT COUNT(*) FROM 记录"_s).toInt(), 3 * 32);
}

void TestHistoryRecords::deleteOutsideTheDataRowsDoesNothing() {
    StoreFive();
    QVERIFY(Open());
    for (const auto& [row, sel] : {std::pair{-1, 1}, std::pair{1, 5}})
        QVERIFY(!DeleteHistoryRows(env_->ctx, *model_, row, sel));
    QVERIFY(env_->prompt.shown.isEmpty());
    QCOMPARE(Groups(env_->ctx), 6);
}

void TestHistoryRecords::failedWriteKeepsEverythingAndTellsTheCause_data() {
    QTest::addColumn<bool>("clear");  // "清空记录", else deleting rows 2 … 4
    QTest::addColumn<store::DbFailure>("cause");
    for (const bool clear : {false, true}) {
        const char* action = clear ? "clear" : "delete";
        QTest::addRow("%s refused part-way", action) << clear << store::DbFailure::Other;
        QTest::addRow("%s on a read-only file", action) << clear << store::DbFailure::ReadOnly;
        QTest::addRow("%s while another program writes", action)
            << clear << store::DbFailure::Locked;
    }
}

void TestHistoryRecords::failedWriteKeepsEverythingAndTellsTheCause() {
    QFETCH(bool, clear);
    QFETCH(store::DbFailure, cause);
    StoreFive();
    QVERIFY(Open());
    const QString path = QFileInfo(env_->ctx.DatabasePath()).absoluteFilePath();
    // The third of three deletes is refused: the two before it must not stay deleted.
    if (cause == store::DbFailure::Other)
        QVERIFY(test::Exec(env_->ctx,
                           u"CREATE TRIGGER keep BEFORE DELETE ON 记录 WHEN "
                           "OLD.Dat='2026-03-03 09:15:00' BEGIN "
                           "SELECT RAISE(ABORT, 'record is kept'); END"_s));
    if (cause == store::DbFailure::ReadOnly)
        env_->ctx.canWrite = [](const QString&) { return false; };
    QSqlDatabase holder = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"holder"_s);
    holder.setDatabaseName(path);
    QVERIFY(holder.open());
    if (cause == store::DbFailure::Locked) QVERIFY(QSqlQuery(holder).exec(u"BEGIN IMMEDIATE"_s));

    env_->prompt.yesNo << true;
    QVERIFY(
        !(clear ? ClearHistory(env_->ctx, *model_) : DeleteHistoryRows(env_->ctx, *model_, 0, 2)));
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"holder"_s);

    QCOMPARE(Groups(env_->ctx), 6);
    QCOMPARE(model_->rowCount(), 5);
    // The cause in plain words naming the file; no statement, no SQLite text.
    QCOMPARE(env_->prompt.Messages(), QStringList{store::FailureMessage(cause, path)});
}

void TestHistoryRecords::clearKeepsTheVoucherText() {
    StoreFive();
    QVERIFY(Open());
    env_->prompt.yesNo << false << true;
    QVERIFY(!ClearHistory(env_->ctx, *model_));
    QCOMPARE(Groups(env_->ctx), 6);
    QCOMPARE(model_->rowCount(), 5);
    QVERIFY(ClearHistory(env_->ctx, *model_));
    QCOMPARE(env_->prompt.Questions(), QStringList(2, u"您确认要删除所有打印记录？"_s));
    QCOMPARE(model_->rowCount(), 0);
    QCOMPARE(test::Rows(env_->ctx, u"SELECT DISTINCT Dat FROM 记录"_s),
             QList<QVariantList>{{u"1973-08-18 00:00:00"_s}});
    QCOMPARE(test::Scalar(env_->ctx, u"SELECT COUNT(*) FROM 记录"_s).toInt(), 32);
}

void TestHistoryRecords::takeBack() {
    // An empty history (only the kept text) lists nothing and takes nothing back.
    Store(store::CurrentTextDate(), u"kept"_s);
    QVERIFY(Open());
    QCOMPARE(model_->rowCount(), 0);
    TakeBackRow(*model_, 0, voucher_);
    QVERIFY(voucher_.taken.isEmpty());

    StoreFive();
    QVERIFY(Open());
    TakeBackRow(*model_, -1, voucher_);  // no row is current
    QVERIFY(voucher_.taken.isEmpty());

    TakeBackRow(*model_, 1, voucher_);
    QList<QPair<int, QString>> expected;
    for (int i = 2; i <= 17; ++i) expected.append({i, u"d-"_s + QString::number(i)});
    expected.append({27, u"d-27"_s});
    QCOMPARE(voucher_.taken, expected);
}

QTEST_GUILESS_MAIN(TestHistoryRecords)
#include "tst_history_records.moc"
