// The print records on the office server, where it differs from the local file: other writers,
// lost connections, the roles' rights, the clerk's login with every record, and the server
// telling every program of changes.
#include <QtTest>

#include "store/database.h"
#include "store/formats.h"
#include "store/record_store.h"
#include "store/server_address.h"
#include "store/server_copy.h"
#include "store/server_record_store.h"
#include "support/test_env.h"
#include "support/test_server.h"

using namespace tf;
using namespace tf::store;
using namespace Qt::StringLiterals;
using tf::test::TestEnv;
using tf::test::TestServer;

Q_DECLARE_METATYPE(tf::store::DbFailure)

namespace {

FieldTexts Voucher(const QString& tag) {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = tag + u'-' + QString::number(i);
    return t;
}

const QDateTime kNow(QDate(2026, 3, 7), QTime(9, 30, 0));

int Vouchers(const TestServer& server) {
    return server.Scalar(u"SELECT COUNT(*) FROM 凭证"_s).toInt();
}

// The print records of a clerk's local file, as the copy reads them: kept in memory.
class FileRecords final : public RecordStore {
public:
    QMap<RecordKey, FieldTexts> records;

    std::optional<QList<RecordKey>> ListKeys() override { return records.keys(); }
    std::optional<QList<Record>> ReadRecords(std::span<const RecordKey> keys, Fields) override {
        QList<Record> read;
        for (const RecordKey key : keys)
            if (records.contains(key)) read.append({key, records[key], {}});
        return read;
    }
    // The copy only reads.
    bool LoadCurrentText(FieldTexts&) override { return false; }
    bool StoreCurrentText(const FieldTexts&) override { return false; }
    QList<RecordKey> StoreVouchers(const QDateTime&, const QList<FieldTexts>&) override {
        return {};
    }
    std::unique_ptr<ImportSink> BeginImport(const ImportPlan&) override { return nullptr; }
    bool ReadField(int, const std::function<void(RecordKey, QStringView)>&) override {
        return false;
    }
    std::optional<QList<RecordKey>> Search(const QString&) override { return std::nullopt; }
    bool Delete(std::span<const RecordKey>) override { return false; }
    bool Clear() override { return false; }
    DbFailure LastFailure() const override { return DbFailure::Other; }
    QString FailureText(bool) const override { return {}; }
};

}  // namespace

class TestServerRecords : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(!TestServer::SocketFolder().isEmpty(), "run through ctest: no test cluster");
    }
    void aSecondTakenMeanwhileIsPickedAgain();
    void lostConnectionStoresNothing_data();
    void lostConnectionStoresNothing();
    void refusedRightsChangeNothing_data();
    void refusedRightsChangeNothing();
    void everyProgramIsToldOfChanges();
    void copyingAFileTwiceCopiesNothingTwice();
};

// Another writer takes a second the store picked, between its pick and its insert (here a
// trigger, once): the store picks again instead of failing.
void TestServerRecords::aSecondTakenMeanwhileIsPickedAgain() {
    TestServer server;
    QVERIFY(server.Ok());
    QVERIFY(
        server.Exec(u"CREATE SEQUENCE once; GRANT USAGE ON SEQUENCE once TO PUBLIC; "
                    u"CREATE FUNCTION take_first() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                    u"IF nextval('once') = 1 THEN "
                    u"INSERT INTO 记录 (Dat, Ctl, Con) VALUES (NEW.Dat, NEW.Ctl, 'other'); END IF; "
                    u"RETURN NEW; END $$; "
                    u"CREATE TRIGGER take_first BEFORE INSERT ON 记录 FOR EACH ROW "
                    u"EXECUTE FUNCTION take_first()"_s));
    TestEnv env;
    server.Use(env.ctx, test::ClerkLogin());
    ServerRecordStore store(env.ctx);
    const QList<RecordKey> keys = store.StoreVouchers(kNow, {Voucher(u"a"_s), Voucher(u"b"_s)});
    QCOMPARE(keys.size(), 2);
    QCOMPARE(keys.last(), KeyOfTime(kNow));
    QVERIFY(server.Scalar(u"SELECT last_value FROM once"_s).toInt() > 2);
    QCOMPARE(server.Scalar(u"SELECT COUNT(*) FROM 记录 WHERE Con = 'other'"_s).toInt(), 0);
    QCOMPARE(server.Scalar(u"SELECT COUNT(*) FROM 记录"_s).toInt(), 64);
}

void TestServerRecords::lostConnectionStoresNothing_data() {
    QTest::addColumn<bool>("import");
    QTest::addRow("batch") << false;
    QTest::addRow("import") << true;
}

// The connection breaks while the rows are written: the clerk is told so, nothing of the batch
// or the import is stored, and the next action connects afresh.
void TestServerRecords::lostConnectionStoresNothing() {
    QFETCH(bool, import);
    TestServer server;
    QVERIFY(server.Ok());
    QVERIFY(
        server.Exec(u"CREATE FUNCTION cut() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                    u"IF EXISTS (SELECT 1 FROM 新行 WHERE Con = 'CUT') THEN "
                    u"PERFORM pg_terminate_backend(pg_backend_pid()); END IF; RETURN NULL; END $$; "
                    u"CREATE TRIGGER cut AFTER INSERT ON 记录 REFERENCING NEW TABLE AS 新行 "
                    u"FOR EACH STATEMENT EXECUTE FUNCTION cut()"_s));
    TestEnv env;
    server.Use(env.ctx, test::AdminLogin());
    ServerRecordStore store(env.ctx);
    QList<FieldTexts> vouchers{Voucher(u"a"_s), Voucher(u"b"_s), Voucher(u"c"_s)};
    vouchers[1][5] = u"CUT"_s;
    if (import) {
        ImportPlan plan;
        plan.fields = {2, 5, 12};
        plan.firstDay = kNow.date();
        const std::unique_ptr<ImportSink> sink = store.BeginImport(plan);
        for (const FieldTexts& v : vouchers) QVERIFY(sink->Add(v));
        QVERIFY(!sink->Commit());
    } else {
        QVERIFY(store.StoreVouchers(kNow, vouchers).isEmpty());
    }
    QCOMPARE(store.LastFailure(), DbFailure::ConnectionLost);
    QCOMPARE(
        store.FailureText(),
        u"与办公室数据库服务器“%1”的连接中断了，这次操作没有完成，服务器上没有留下它的任何改动。"_s
            .arg(ParseServerUri(env.ctx.database->serverUri)->Shown()));
    QCOMPARE(Vouchers(server), 0);
    QCOMPARE(server.Scalar(u"SELECT COUNT(*) FROM 记录"_s).toInt(), 0);
    QCOMPARE(store.StoreVouchers(kNow, {Voucher(u"d"_s)}).size(), 1);
}

void TestServerRecords::refusedRightsChangeNothing_data() {
    QTest::addColumn<QString>("login");
    QTest::addColumn<bool>("clear");
    QTest::addColumn<QString>("refusal");
    QTest::addRow("clerk deletes")
        << test::ClerkLogin() << false << u"没有删除记录的权限，请联系管理员"_s;
    QTest::addRow("clerk clears") << test::ClerkLogin() << true
                                  << u"没有清空历史记录的权限，请联系管理员"_s;
    QTest::addRow("administrator deletes") << test::AdminLogin() << false << QString();
    QTest::addRow("administrator clears") << test::AdminLogin() << true << QString();
}

void TestServerRecords::refusedRightsChangeNothing() {
    QFETCH(QString, login);
    QFETCH(bool, clear);
    QFETCH(QString, refusal);
    TestServer server;
    QVERIFY(server.Ok());
    TestEnv env;
    server.Use(env.ctx, login);
    ServerRecordStore store(env.ctx);
    const QList<RecordKey> keys =
        store.StoreVouchers(kNow, {Voucher(u"a"_s), Voucher(u"b"_s), Voucher(u"c"_s)});
    QCOMPARE(keys.size(), 3);
    const std::span<const RecordKey> two(keys.data(), 2);
    const bool done = clear ? store.Clear() : store.Delete(two);
    QCOMPARE(done, refusal.isEmpty());
    if (!done) {
        QCOMPARE(store.LastFailure(), DbFailure::NoRight);
        QCOMPARE(store.FailureText(), refusal);
    }
    QCOMPARE(store.ListKeys().value_or(QList<RecordKey>{-1}),
             done ? (clear ? QList<RecordKey>{} : QList<RecordKey>{keys[2]}) : keys);
    // Every record carries the login that stored it.
    const auto read = store.ReadRecords(keys, Fields::Shown);
    QVERIFY(read);
    for (const Record& r : *read) QCOMPARE(r.printedBy, login);
}

// A program watching the records is told which vouchers another stores or deletes, and that
// anything may have changed after its own connection to the server broke and was made anew,
// or after an import (too many vouchers to name).
void TestServerRecords::everyProgramIsToldOfChanges() {
    TestServer server;
    QVERIFY(server.Ok());
    TestEnv watching, storing;
    server.Use(watching.ctx, test::ClerkLogin());
    storing.ctx.database->serverUri = server.Uri(test::AdminLogin());
    ServerRecordStore mine(watching.ctx), theirs(storing.ctx);
    QList<RecordsChange> told;
    const std::unique_ptr<RecordsWatch> watch =
        mine.Watch([&told](const RecordsChange& change) { told.append(change); });
    QVERIFY(watch);
    const auto tells = [](const RecordsChange& change, RecordsChange::Kind kind,
                          const QList<RecordKey>& keys) {
        return change.kind == kind && change.keys == keys;
    };
    const QList<RecordKey> stored = theirs.StoreVouchers(kNow, {Voucher(u"a"_s), Voucher(u"b"_s)});
    QCOMPARE(stored.size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, 5000);
    QVERIFY(tells(told[0], RecordsChange::Kind::Added, stored));

    // The watching connection is cut: it comes back, tells once (changes may have been missed),
    // and hears the next change.
    QVERIFY(
        server.Exec(u"SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                    u"WHERE usename = 'tallyform_clerk1' AND datname = current_database()"_s));
    QTRY_COMPARE_WITH_TIMEOUT(told.size(), 2, 10000);
    QVERIFY(tells(told[1], RecordsChange::Kind::Unknown, {}));
    QVERIFY(theirs.Delete(QList<RecordKey>{stored[0]}));
    QTRY_COMPARE_WITH_TIMEOUT(told.size(), 3, 5000);
    QVERIFY(tells(told[2], RecordsChange::Kind::Removed, {stored[0]}));

    ImportPlan plan;
    plan.fields = {2, 5};
    plan.firstDay = kNow.date();
    const std::unique_ptr<ImportSink> sink = theirs.BeginImport(plan);
    QVERIFY(sink->Add(Voucher(u"c"_s)));
    QVERIFY(sink->Commit());
    QTRY_COMPARE_WITH_TIMEOUT(told.size(), 4, 5000);
    QVERIFY(tells(told[3], RecordsChange::Kind::Unknown, {}));
}

// A clerk's file goes onto a server where another clerk already stored a voucher in one of its
// seconds: that one takes the next free second, and a second copy adds nothing.
void TestServerRecords::copyingAFileTwiceCopiesNothingTwice() {
    TestServer server;
    QVERIFY(server.Ok());
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings counter;
    counter.layout.formWidthMm = 180;
    counter.fieldFormats[5].X = 42.5;
    QString name = u"柜台"_s;
    QVERIFY(SaveFormat(env.ctx, name, counter));
    server.Use(env.ctx, test::ClerkLogin());
    // As at start: the server gets its format "默认格式".
    Database(env.ctx).EnsureTables();
    ServerRecordStore onServer(env.ctx);
    const RecordKey taken = onServer.StoreVouchers(kNow, {Voucher(u"other"_s)}).value(0, -1);
    QCOMPARE(taken, KeyOfTime(kNow));

    FileRecords file;
    file.records[taken] = Voucher(u"mine"_s);
    file.records[taken - 86400] = Voucher(u"yesterday"_s);
    file.records[taken + 3600] = Voucher(u"later"_s);
    QString failure;
    const std::optional<CopyCounts> first = CopyLocalToServer(env.ctx, file, &failure);
    QVERIFY2(first, qPrintable(failure));
    QCOMPARE(first->formats, 1);
    QCOMPARE(first->formatsKept, 1);
    QCOMPARE(first->records, 3);
    QCOMPARE(first->moved, 1);
    QCOMPARE(first->alreadyThere, 0);
    const QList<RecordKey> keys{taken - 86400, taken, taken + 1, taken + 3600};
    QCOMPARE(onServer.ListKeys().value_or(QList<RecordKey>{-1}), keys);
    const auto read = onServer.ReadRecords(keys, Fields::All);
    QVERIFY(read && read->size() == 4);
    QCOMPARE((*read)[1].texts, Voucher(u"other"_s));
    QCOMPARE((*read)[2].texts, Voucher(u"mine"_s));
    QCOMPARE((*read)[3].texts, Voucher(u"later"_s));
    VoucherSettings loaded;
    LoadFormat(env.ctx, name, loaded, {});
    QCOMPARE(loaded.layout.formWidthMm, 180.0);
    QCOMPARE(loaded.fieldFormats[5].X, 42.5);

    env.prompt.yesNo.enqueue(true);
    QVERIFY(CopyLocalDataToServer(env.ctx, file));
    QCOMPARE(env.prompt.Messages(),
             QStringList{u"复制完成。\n格式：复制了 0 个，服务器上已有同名格式的 2 个保持服务器上的"
                         u"样子。\n打印记录：复制了 0 条。\n已在服务器上的 3 条（以前复制过的）没有"
                         u"重复复制。"_s});
    QCOMPARE(Vouchers(server), 4);
}

QTEST_GUILESS_MAIN(TestServerRecords)
#include "tst_server_records.moc"
