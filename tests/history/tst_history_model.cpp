#include <QtTest>

#include "history/grid_ops.h"
#include "history/history_model.h"
#include "support/memory_record_store.h"

using namespace tf;
using namespace tf::history;
using namespace Qt::StringLiterals;

namespace {

// 300 records, one a minute apart, record i the i-th oldest. Each has a rank k, a shuffle of
// i, that its sortable texts follow: the accounts (field 8) are numbers of 18 and 19 digits in
// the order of k, neighbours differing in the last digit only (beyond a double's precision,
// and in another order as plain texts); the payers (field 5) tie in three groups of 100 ranks;
// the remarks (field 27) exist from rank 50 on. Every tenth record (i % 10 == 3) holds the
// text "标记".
constexpr int kRecords = 300;
constexpr int kGroups = 3;
constexpr int kGroupSize = kRecords / kGroups;
const HistoryPaging kPaging{16, 4};  // 64 rows cached, far fewer than the history has

int Rank(int i) {
    return i * 7 % kRecords;
}

store::RecordKey KeyOf(int i) {
    return 1'772'000'000 + 60 * store::RecordKey{i};
}

QString Text(int field, int k) {
    static const qint64 kBases[kGroups] = {900'000'000'000'000'000, 1'000'000'000'000'000'000,
                                           5'000'000'000'000'000'000};
    switch (field) {
        case 5:
            return u"付款单位"_s + QString(u"丙乙甲"_s[k / kGroupSize]);
        case 8:
            return QString::number(kBases[k / kGroupSize] + k % kGroupSize);
        case 27:
            return k < 50 ? QString() : u"备注%1"_s.arg(k, 3, 10, QChar(u'0'));
        default:
            return {};
    }
}

FieldTexts Record(int i) {
    FieldTexts t;
    for (const int field : {5, 8, 27}) t[field] = Text(field, Rank(i));
    t[6] = u"收款%1"_s.arg(i);
    t[7] = i % 10 == 3 ? u"标记"_s : u"普通"_s;
    t[12] = u"%1.00"_s.arg(100 + i);
    t[20] = u"票根%1"_s.arg(i);  // not a shown field
    return t;
}

void Fill(test::MemoryRecordStore& store) {
    for (int i = 0; i < kRecords; ++i) store.Put(KeyOf(i), Record(i));
}

QStringList Captions() {
    QStringList captions;
    for (int c = 0; c < HistoryModel::kColumns; ++c)
        captions << u"L"_s + QString::number(HistoryModel::FieldOfColumn(c));
    return captions;
}

int ColumnOf(int field) {
    for (int c = 0; c < HistoryModel::kColumns; ++c)
        if (HistoryModel::FieldOfColumn(c) == field) return c;
    return -1;
}

// A column's texts as the view shows them, top to bottom.
QStringList Shown(const HistoryModel& model, int field) {
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts << model.data(model.index(r, ColumnOf(field))).toString();
    return texts;
}

QStringList Numbers(const HistoryModel& model) {
    QStringList numbers;
    for (int r = 0; r < model.rowCount(); ++r)
        numbers << model.headerData(r, Qt::Vertical).toString();
    return numbers;
}

// Every cell of the rows, as a view painting them asks.
void Paint(const HistoryModel& model, int first, int last) {
    for (int r = first; r <= last; ++r)
        for (int c = 0; c < model.columnCount(); ++c) model.data(model.index(r, c));
}

}  // namespace

class TestHistoryModel : public QObject {
    Q_OBJECT
private slots:
    void sortsEveryRecordByTheGridRule_data();
    void sortsEveryRecordByTheGridRule();
    void searchKeepsItsRowsAndTheirNumbersThroughSortAndAppend();
    void deletesTheWholeListBetweenTheChosenRows_data();
    void deletesTheWholeListBetweenTheChosenRows();
    void readsOnlyThePagesShownAndKeepsFew();
    void showsWhoStoredEachRecordWhereTheStoreKeepsIt();
    void takesInWhatOthersStoredAndDeletedKeepingSortAndSearch();
};

void TestHistoryModel::sortsEveryRecordByTheGridRule_data() {
    QTest::addColumn<QList<int>>("presses");  // the fields whose headers are pressed
    QTest::addColumn<int>("field");           // the column checked
    QTest::addColumn<QList<int>>("groups");   // its rank groups top to bottom
    QTest::addColumn<bool>("ranksDown");      // ranks descending inside a group
    QTest::addColumn<QString>("header");      // the last pressed column's header

    const QList<int> up{0, 1, 2};
    const QList<int> down{2, 1, 0};
    QTest::newRow("long numbers exactly, across lengths")
        << QList<int>{8} << 8 << up << false << u"L8△"_s;
    QTest::newRow("a second press reverses") << QList<int>{8, 8} << 8 << down << true << u"L8▽"_s;
    QTest::newRow("ties keep the order before") << QList<int>{8, 5} << 8 << up << false << u"L5△"_s;
    QTest::newRow("ties keep the order before, reversed")
        << QList<int>{8, 5, 5} << 8 << down << false << u"L5▽"_s;
    QTest::newRow("another column's press starts ascending")
        << QList<int>{8, 8, 5, 8} << 8 << up << false << u"L8△"_s;
    QTest::newRow("records without the field first")
        << QList<int>{27} << 27 << up << false << u"L27△"_s;
}

void TestHistoryModel::sortsEveryRecordByTheGridRule() {
    QFETCH(QList<int>, presses);
    QFETCH(int, field);
    QFETCH(QList<int>, groups);
    QFETCH(bool, ranksDown);
    QFETCH(QString, header);
    test::MemoryRecordStore store;
    Fill(store);
    HistoryModel model(store, Captions(), kPaging);
    QVERIFY(model.Reload());
    Paint(model, 0, 20);  // the first screenful is cached before the sort

    for (const int pressed : presses) QVERIFY(model.SortByColumn(ColumnOf(pressed)));

    QStringList expected;
    for (const int g : groups)
        for (int j = 0; j < kGroupSize; ++j)
            expected << Text(field, g * kGroupSize + (ranksDown ? kGroupSize - 1 - j : j));
    QCOMPARE(Shown(model, field), expected);
    for (int c = 0; c < HistoryModel::kColumns; ++c) {
        const bool last = HistoryModel::FieldOfColumn(c) == presses.constLast();
        QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), last ? header : Captions()[c]);
    }
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), u"1"_s);
}

void TestHistoryModel::searchKeepsItsRowsAndTheirNumbersThroughSortAndAppend() {
    test::MemoryRecordStore store;
    Fill(store);
    HistoryModel model(store, Captions(), kPaging);
    QVERIFY(model.Reload());

    // Newest first: record i is row 300 - i, and stays so for a search.
    QVERIFY(model.Search(u"标记"_s));
    QStringList payees, numbers;
    for (int i = kRecords - 7; i >= 0; i -= 10) {
        payees << u"收款%1"_s.arg(i);
        numbers << QString::number(kRecords - i);
    }
    QCOMPARE(Shown(model, 6), payees);
    QCOMPARE(Numbers(model), numbers);

    // Sorted by account, the hidden records take their places too: the number is the rank.
    QVERIFY(model.SortByColumn(ColumnOf(8)));
    std::vector<int> recordOfRank(kRecords);
    for (int i = 0; i < kRecords; ++i) recordOfRank[static_cast<size_t>(Rank(i))] = i;
    QStringList accounts, allAccounts;
    numbers.clear();
    for (int k = 0; k < kRecords; ++k) {
        allAccounts << Text(8, k);
        if (recordOfRank[static_cast<size_t>(k)] % 10 == 3) {
            accounts << Text(8, k);
            numbers << QString::number(k + 1);
        }
    }
    QCOMPARE(Shown(model, 8), accounts);
    QCOMPARE(Numbers(model), numbers);

    // A print while searching: its record joins the list at the end, shown.
    FieldTexts printed;
    printed[5] = u"新单位"_s;
    const QList<store::RecordKey> keys =
        store.StoreVouchers(QDateTime(QDate(2027, 1, 5), QTime(10, 0)), {printed});
    QCOMPARE(keys.size(), 1);
    model.AppendKeys(keys);
    model.AppendKeys(keys);  // listed already
    QCOMPARE(model.rowCount(), static_cast<int>(accounts.size()) + 1);
    QCOMPARE(model.headerData(model.rowCount() - 1, Qt::Vertical).toString(), u"301"_s);
    QCOMPARE(Shown(model, 5).constLast(), u"新单位"_s);

    // Records deleted elsewhere, one shown and one hidden, leave the list.
    const store::RecordKey gone[] = {model.KeyAt(0), KeyOf(0)};
    QVERIFY(store.Delete(gone));
    model.RemoveKeys(gone);
    QCOMPARE(model.rowCount(), static_cast<int>(accounts.size()));
    QCOMPARE(model.headerData(model.rowCount() - 1, Qt::Vertical).toString(), u"299"_s);
    QCOMPARE(Shown(model, 8).constFirst(), accounts[1]);

    QVERIFY(model.Search(QString()));
    QCOMPARE(model.rowCount(), kRecords - 1);
    allAccounts.removeOne(accounts[0]);
    allAccounts.removeOne(Text(8, Rank(0)));
    QCOMPARE(Shown(model, 8).mid(0, kRecords - 2), allAccounts);
}

void TestHistoryModel::deletesTheWholeListBetweenTheChosenRows_data() {
    QTest::addColumn<int>("a");  // shown rows chosen, while searching for every tenth record
    QTest::addColumn<int>("b");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("numbers");  // of the chosen ends, as the question names them
    QTest::addColumn<int>("recordsLeft");
    QTest::addColumn<QString>("nextNumber");  // of the row now in the first chosen row's place

    // Shown row r is record 293 - 10 r, number 7 + 10 r.
    QTest::newRow("rows 1 to 3") << 1 << 3 << false << u"17-37"_s << 279 << u"26"_s;
    QTest::newRow("rows 3 to 1") << 3 << 1 << false << u"37-17"_s << 279 << u"26"_s;
    QTest::newRow("the last row alone") << 29 << 29 << false << u"297-297"_s << 299 << QString();
    QTest::newRow("the store refuses") << 1 << 3 << true << u"17-37"_s << 300 << u"17"_s;
}

void TestHistoryModel::deletesTheWholeListBetweenTheChosenRows() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(bool, refused);
    QFETCH(QString, numbers);
    QFETCH(int, recordsLeft);
    QFETCH(QString, nextNumber);
    test::MemoryRecordStore store;
    Fill(store);
    HistoryModel model(store, Captions(), kPaging);
    QVERIFY(model.Reload());
    QVERIFY(model.Search(u"标记"_s));
    Paint(model, 0, model.rowCount() - 1);

    QCOMPARE(u"%1-%2"_s.arg(model.SequenceNumber(a)).arg(model.SequenceNumber(b)), numbers);
    const store::RecordKey following = std::max(a, b) + 1 < model.rowCount()
                                           ? model.KeyAt(std::max(a, b) + 1)
                                           : store::RecordKey{-1};
    store.failWrites = refused;
    QCOMPARE(model.DeleteRange(a, b), !refused);

    // Every record from one end to the other in the whole list, hidden ones too, and no other.
    const int top = std::min(a, b);
    const int firstGone = refused ? kRecords : kRecords - 7 - 10 * std::max(a, b);
    const int lastGone = kRecords - 7 - 10 * top;
    for (int i = 0; i < kRecords; ++i)
        QCOMPARE(store.Holds(KeyOf(i)), i < firstGone || i > lastGone);
    QCOMPARE(store.Size(), recordsLeft);
    const int shownLeft = refused ? 30 : 30 - (std::abs(a - b) + 1);
    QCOMPARE(model.rowCount(), shownLeft);
    QCOMPARE(static_cast<int>(model.OrderedKeys().size()), recordsLeft);
    if (top < model.rowCount()) {
        QCOMPARE(model.headerData(top, Qt::Vertical).toString(), nextNumber);
        QCOMPARE(model.KeyAt(top), refused ? KeyOf(kRecords - 7 - 10 * top) : following);
        QCOMPARE(model.data(model.index(top, ColumnOf(6))).toString(),
                 Record(static_cast<int>((model.KeyAt(top) - KeyOf(0)) / 60))[6]);
    }
}

void TestHistoryModel::readsOnlyThePagesShownAndKeepsFew() {
    test::MemoryRecordStore store;
    Fill(store);
    HistoryModel model(store, Captions(), kPaging);
    QVERIFY(model.Reload());
    QCOMPARE(store.calls.readRecords, 0);

    // A screenful inside the third page: that page, once, however often it is painted.
    Paint(model, 34, 45);
    Paint(model, 32, 47);
    QCOMPARE(store.calls.readRecords, 1);
    QList<store::RecordKey> page;
    for (int r = 32; r < 48; ++r) page << KeyOf(kRecords - 1 - r);
    QCOMPARE(store.calls.keysRead.constFirst(), page);

    // Four more pages push it out of the cache, so it is read again.
    Paint(model, 48, 111);
    QCOMPARE(store.calls.readRecords, 5);
    Paint(model, 40, 40);
    QCOMPARE(store.calls.readRecords, 6);

    // Take back the last row: the oldest record's shown texts, read through the model.
    const FieldTexts taken = model.RowTexts(model.rowCount() - 1);
    QCOMPARE(store.calls.readRecords, 7);
    QCOMPARE(store.calls.keysRead.constLast().constLast(), KeyOf(0));
    const FieldTexts oldest = Record(0);
    for (const int field : store::kShownFields) QCOMPARE(taken[field], oldest[field]);
    QVERIFY(taken[20].isNull());

    // A store that cannot read is asked once for a screenful, not once for every cell, and a
    // sort it cannot read leaves the list as it was.
    store.failReads = true;
    Paint(model, 192, 207);
    QCOMPARE(store.calls.readRecords, 8);
    QCOMPARE(store.failuresTold, 1);
    QCOMPARE(model.data(model.index(200, ColumnOf(5))).toString(), QString());
    const std::vector<store::RecordKey> before(model.OrderedKeys().begin(),
                                               model.OrderedKeys().end());
    QVERIFY(!model.SortByColumn(ColumnOf(8)));
    QCOMPARE(model.headerData(ColumnOf(8), Qt::Horizontal).toString(), u"L8"_s);
    QVERIFY(std::equal(before.begin(), before.end(), model.OrderedKeys().begin()));
}

// On an office server every record carries the login that stored it: a last column
// "打印人" shows it beside its own record, also after a sort and past the cache; the local file
// has no such column.
void TestHistoryModel::showsWhoStoredEachRecordWhereTheStoreKeepsIt() {
    test::MemoryRecordStore local;
    Fill(local);
    HistoryModel plain(local, Captions(), kPaging);
    QVERIFY(plain.Reload());
    QCOMPARE(plain.columnCount(), HistoryModel::kColumns);
    QCOMPARE(plain.PrintedByColumn(), -1);

    test::MemoryRecordStore server;
    server.printedBy = [](store::RecordKey key) { return u"clerk%1"_s.arg(key); };
    Fill(server);
    HistoryModel model(server, Captions(), kPaging);
    QVERIFY(model.Reload());
    const int column = model.PrintedByColumn();
    QCOMPARE(column, HistoryModel::kColumns);
    QCOMPARE(model.columnCount(), HistoryModel::kColumns + 1);
    QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), u"打印人"_s);
    QVERIFY(model.SortByColumn(ColumnOf(5)));
    for (const int r : {0, model.rowCount() / 2, model.rowCount() - 1})
        QCOMPARE(model.data(model.index(r, column)).toString(), u"clerk%1"_s.arg(model.KeyAt(r)));
}

// Another clerk stores two records and deletes one meanwhile: the list follows, sorted and
// searched as the clerk left it; the new records come at the end, newest first.
void TestHistoryModel::takesInWhatOthersStoredAndDeletedKeepingSortAndSearch() {
    test::MemoryRecordStore store;
    Fill(store);
    HistoryModel model(store, Captions(), kPaging);
    QVERIFY(model.Reload());
    QVERIFY(model.SortByColumn(ColumnOf(8)));
    QVERIFY(model.Search(u"标记"_s));
    const int shown = model.rowCount();
    Paint(model, 0, shown - 1);
    const store::RecordKey gone = model.KeyAt(1);
    QVERIFY(store.Delete(std::span<const store::RecordKey>(&gone, 1)));
    FieldTexts fresh = Record(3);
    fresh[6] = u"新"_s;
    store.Put(KeyOf(kRecords + 1), fresh);
    store.Put(KeyOf(kRecords + 2), fresh);

    QVERIFY(model.SyncKeys());
    QCOMPARE(model.rowCount(), shown - 1 + 2);
    QCOMPARE(model.OrderedKeys().size(), size_t(kRecords - 1 + 2));
    QCOMPARE(model.KeyAt(model.rowCount() - 2), KeyOf(kRecords + 2));
    QCOMPARE(model.KeyAt(model.rowCount() - 1), KeyOf(kRecords + 1));
    QCOMPARE(model.data(model.index(model.rowCount() - 1, ColumnOf(6))).toString(), u"新"_s);
    QCOMPARE(model.headerData(ColumnOf(8), Qt::Horizontal).toString(), u"L8△"_s);
    QVERIFY(model.Searching());
    for (int r = 0; r < model.rowCount(); ++r) QVERIFY(model.KeyAt(r) != gone);
}

QTEST_GUILESS_MAIN(TestHistoryModel)
#include "tst_history_model.moc"
