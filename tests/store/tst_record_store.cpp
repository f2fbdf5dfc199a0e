// The record store's operations, run against every store this machine offers (StoreKinds):
// what they keep, list, find and remove, seen only through the interface.
#include <QtTest>

#include "store/parties.h"
#include "store/record_store.h"
#include "support/store_kinds.h"

using namespace tf;
using namespace tf::store;
using namespace Qt::StringLiterals;
using tf::test::StoreKind;
using tf::test::TestEnv;

namespace {

// A voucher whose every field holds its tag and field number, e.g. "b-5".
FieldTexts Voucher(const QString& tag) {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = tag + u'-' + QString::number(i);
    return t;
}

const QDateTime kNow(QDate(2026, 3, 7), QTime(14, 36, 36));

}  // namespace

class TestRecordStore : public QObject {
    Q_OBJECT
public:
    explicit TestRecordStore(StoreKind kind) : kind_(std::move(kind)) {}

private slots:
    void init();
    void freeTimestampsAreNeverReused();
    void textsReadBackExactly();
    void searchMeaning_data();
    void searchMeaning();
    void deleteByKeysAndClearKeepTheVoucherText();
    void importIsAllOrNothing();

private:
    StoreKind kind_;
    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<RecordStore> store_;

    RecordKey StoreOne(const QDateTime& now, const FieldTexts& texts) {
        const QList<RecordKey> keys = store_->StoreVouchers(now, {texts});
        return keys.value(0, -1);
    }
    QList<RecordKey> Keys() { return store_->ListKeys().value_or(QList<RecordKey>{-1}); }
    QList<RecordKey> Found(const QString& text) {
        return store_->Search(text).value_or(QList<RecordKey>{-1});
    }
    FieldTexts Read(RecordKey key, Fields which = Fields::All) {
        const std::optional<QList<Record>> read = store_->ReadRecords({&key, 1}, which);
        return read && read->size() == 1 ? read->first().texts : Voucher(u"unread"_s);
    }
    // The keys of the records read for the keys asked, in their order.
    QList<RecordKey> KeysRead(const QList<RecordKey>& keys) {
        const std::optional<QList<Record>> read = store_->ReadRecords(keys, Fields::All);
        if (!read) return {-1};
        QList<RecordKey> found;
        for (const Record& record : *read) found.append(record.key);
        return found;
    }
};

void TestRecordStore::init() {
    env_ = std::make_unique<TestEnv>();
    if (!kind_.prepare(*env_)) QSKIP("this store is not available here");
    store_ = OpenRecordStore(env_->ctx);
}

// Every stored print record takes a timestamp of its own, also in the second a batch ended
// in: a record is never replaced by a later one.
void TestRecordStore::freeTimestampsAreNeverReused() {
    QList<FieldTexts> batch;
    for (int i = 0; i < 40; ++i) batch.append(Voucher(u"b%1"_s.arg(i)));
    const QList<RecordKey> stored = store_->StoreVouchers(kNow, batch);
    QCOMPARE(stored.size(), 40);
    QCOMPARE(stored.last(), KeyOfTime(kNow));
    const RecordKey single = StoreOne(kNow.addMSecs(400), Voucher(u"single"_s));
    QCOMPARE(single, KeyOfTime(kNow) + 1);
    // A clock set back into the batch: the seconds after it are held, up to the single one.
    const RecordKey earlier = StoreOne(kNow.addSecs(-10), Voucher(u"earlier"_s));
    QCOMPARE(earlier, KeyOfTime(kNow) + 2);

    QList<RecordKey> expected = stored;
    expected << single << earlier;
    std::sort(expected.begin(), expected.end());
    QCOMPARE(Keys(), expected);
    QCOMPARE(Read(stored.first())[5], u"b0-5"_s);
    QCOMPARE(Read(stored.last())[33], u"b39-33"_s);
    QCOMPARE(Read(single)[5], u"single-5"_s);
    QCOMPARE(Read(KeyOfTime(kNow) - 9)[5], u"b30-5"_s);
    QVERIFY(env_->prompt.shown.isEmpty());
}

void TestRecordStore::textsReadBackExactly() {
    FieldTexts texts = Voucher(u"x"_s);
    texts[5] = u"北京某某贸易有限公司 （收）"_s;
    texts[6] = u"6222021234567890123456789"_s;
    texts[7] = QString();  // no text: stored as the empty text
    texts[8] = u"It's \"quoted\" 100% a_b \\ ; --"_s;
    texts[9] = u"  blanks kept  "_s;
    texts[10] = u"line\nbreak\ttab"_s;
    texts[11] = QString(3000, u'壹');
    texts[15] = u"𠀀𠀁 outside the basic plane"_s;
    texts[27] = u"\u001f"_s;
    const RecordKey key = StoreOne(kNow, texts);
    QVERIFY(key >= 0);

    FieldTexts expected = texts;
    expected[7] = u""_s;
    QCOMPARE(Read(key), expected);
    const FieldTexts shown = Read(key, Fields::Shown);
    for (int i = kFirstField; i <= kLastField; ++i)
        QCOMPARE(shown[i], IsShownField(i) ? expected[i] : QString());

    QList<std::pair<RecordKey, QString>> column;
    QVERIFY(store_->ReadField(8, [&](RecordKey k, QStringView text) {
        column.append({k, text.toString()});
    }));
    QCOMPARE(column, (QList<std::pair<RecordKey, QString>>{{key, texts[8]}}));

    // The kept voucher text is no record, and comes back whole.
    QVERIFY(store_->StoreCurrentText(Voucher(u"kept"_s)));
    QVERIFY(store_->StoreCurrentText(texts));
    FieldTexts kept;
    QVERIFY(store_->LoadCurrentText(kept));
    QCOMPARE(kept, expected);
    QCOMPARE(Keys(), QList<RecordKey>{key});

    // Quick fill keeps the party as typed, quotes and backslashes included.
    QVERIFY(EnsurePartyTable(env_->ctx));
    const QList<Suggestion> offered = Suggest(env_->ctx, 8, u"quoted"_s);
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered[0], (Suggestion{texts[8], texts[9].trimmed(), texts[10]}));
}

void TestRecordStore::searchMeaning_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("found");  // tags of the vouchers found, oldest first
    QTest::newRow("a voucher item") << u"甲乙丙丁"_s << QStringList{u"a"_s};
    QTest::newRow("the remarks") << u"备注里"_s << QStringList{u"b"_s};
    QTest::newRow("in several vouchers") << u"有限公司"_s << QStringList{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("a stub field only") << u"票根上的"_s << QStringList{};
    QTest::newRow("the timestamp only") << u"2026-03"_s << QStringList{};
    QTest::newRow("the kept voucher text only") << u"屏幕上"_s << QStringList{};
    QTest::newRow("letters as stored") << u"ABCD"_s << QStringList{u"c"_s};
    QTest::newRow("case-sensitive") << u"abcd"_s << QStringList{};
    QTest::newRow("across two fields") << u"公司6222"_s << QStringList{};
    QTest::newRow("two characters, a whole field") << u"张伟"_s << QStringList{u"b"_s};
    QTest::newRow("one character, end of a field") << u"伟"_s << QStringList{u"b"_s};
    QTest::newRow("one character, in a field") << u"乙"_s << QStringList{u"a"_s};
    QTest::newRow("a digit") << u"7"_s << QStringList{u"c"_s};
    QTest::newRow("signs of search syntax") << u"\"100%_"_s << QStringList{u"c"_s};
    QTest::newRow("not anywhere") << u"无此文字"_s << QStringList{};
    QTest::newRow("empty: every record") << QString() << QStringList{u"a"_s, u"b"_s, u"c"_s};
}

// A record is found when one of the fields the list shows contains the text.
void TestRecordStore::searchMeaning() {
    QFETCH(QString, text);
    QFETCH(QStringList, found);
    const auto voucher = [](const QString& tag) {
        FieldTexts t;
        for (int i = kFirstField; i <= kLastField; ++i) t[i] = tag;
        t[5] = tag + u"有限公司"_s;
        t[6] = u"62220000"_s;
        return t;
    };
    FieldTexts a = voucher(u"a"_s), b = voucher(u"b"_s), c = voucher(u"c"_s);
    a[13] = u"甲乙丙丁"_s;
    b[27] = u"写在备注里"_s;
    b[16] = u"张伟"_s;
    a[20] = b[20] = c[20] = u"票根上的字"_s;
    c[9] = u"ABCD 7"_s;
    c[10] = u"\"100%_"_s;
    FieldTexts kept = voucher(u"k"_s);
    kept[5] = u"屏幕上的凭证"_s;
    QVERIFY(store_->StoreCurrentText(kept));
    QMap<RecordKey, QString> tags;
    tags[StoreOne(kNow.addSecs(-200), a)] = u"a"_s;
    tags[StoreOne(kNow.addSecs(-100), b)] = u"b"_s;
    tags[StoreOne(kNow, c)] = u"c"_s;

    QStringList tagsFound;
    for (const RecordKey key : Found(text)) tagsFound.append(tags.value(key, u"?"_s));
    QCOMPARE(tagsFound, found);
}

void TestRecordStore::deleteByKeysAndClearKeepTheVoucherText() {
    QVERIFY(store_->StoreCurrentText(Voucher(u"kept"_s)));
    QList<RecordKey> keys;
    for (int i = 0; i < 5; ++i)
        keys.append(StoreOne(kNow.addDays(i - 5), Voucher(u"v%1"_s.arg(i))));

    QVERIFY(store_->Delete(QList<RecordKey>{keys[1], keys[3]}));
    QCOMPARE(Keys(), (QList<RecordKey>{keys[0], keys[2], keys[4]}));
    QCOMPARE(Found(u"v1-5"_s), QList<RecordKey>{});
    // A deleted key is passed over.
    QCOMPARE(KeysRead({keys[0], keys[1], keys[2]}), (QList<RecordKey>{keys[0], keys[2]}));
    QCOMPARE(Read(keys[2])[33], u"v2-33"_s);

    QVERIFY(store_->Clear());
    QCOMPARE(Keys(), QList<RecordKey>{});
    QCOMPARE(KeysRead({keys[0], keys[4]}), QList<RecordKey>{});
    QCOMPARE(Found(u"-5"_s), QList<RecordKey>{});
    FieldTexts kept;
    QVERIFY(store_->LoadCurrentText(kept));
    QCOMPARE(kept, Voucher(u"kept"_s));
    // The history goes on after a clear, listed and found as before.
    const RecordKey after = StoreOne(kNow, Voucher(u"after"_s));
    QCOMPARE(Keys(), QList<RecordKey>{after});
    QCOMPARE(Found(u"after-7"_s), QList<RecordKey>{after});
    QVERIFY(env_->prompt.shown.isEmpty());
}

// The rows of an import are stored all together or not at all; each row whole under a midnight
// date of its own.
void TestRecordStore::importIsAllOrNothing() {
    const QDate yesterday = kNow.date().addDays(-1);
    ImportPlan plan;
    plan.fields = {5, 8, 27};
    plan.firstDay = yesterday;
    const auto row = [](const QString& tag) {
        FieldTexts t;
        t[5] = tag + u"-5"_s;
        t[8] = tag + u"-8"_s;
        t[27] = QString();
        return t;
    };
    const RecordKey printed = StoreOne(kNow, Voucher(u"p"_s));
    {
        std::unique_ptr<ImportSink> sink = store_->BeginImport(plan);
        QVERIFY(sink);
        QCOMPARE(sink->Add(row(u"r1"_s)).value_or(-1),
                 KeyOfTime(QDateTime(yesterday, QTime(0, 0))));
        QVERIFY(sink->Add(row(u"r2"_s)));
        sink->Rollback();
        QCOMPARE(Keys(), QList<RecordKey>{printed});
        QVERIFY(sink->Add(row(u"r3"_s)));
        // Ended without a commit: nothing stays either.
    }
    QCOMPARE(Keys(), QList<RecordKey>{printed});
    QCOMPARE(Found(u"r1-5"_s), QList<RecordKey>{});

    std::unique_ptr<ImportSink> sink = store_->BeginImport(plan);
    QVERIFY(sink);
    const RecordKey first = sink->Add(row(u"r4"_s)).value_or(-1);
    const RecordKey second = sink->Add(row(u"r5"_s)).value_or(-1);
    QVERIFY(sink->Commit());
    QCOMPARE(first, KeyOfTime(QDateTime(yesterday, QTime(0, 0))));
    QCOMPARE(second, first - 86400);
    QCOMPARE(Keys(), (QList<RecordKey>{second, first, printed}));
    FieldTexts expected;
    expected[5] = u"r5-5"_s;
    expected[8] = u"r5-8"_s;
    expected[27] = u""_s;
    QCOMPARE(Read(second), expected);
    QCOMPARE(Found(u"r4-8"_s), QList<RecordKey>{first});
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (const StoreKind& kind : tf::test::StoreKinds()) {
        std::printf("********* Store: %s\n", qPrintable(kind.name));
        TestRecordStore test(kind);
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}

#include "tst_record_store.moc"
