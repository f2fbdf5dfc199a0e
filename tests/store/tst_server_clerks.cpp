// Several clerks' programs on one office server at the same time, each a process of its own
// (tests/store/store_worker.cpp): nothing merged, nothing lost.
#include <QtTest>

#include "store/formats.h"
#include "store/record_store.h"
#include "support/test_env.h"
#include "support/test_server.h"

using namespace tf;
using namespace tf::store;
using namespace Qt::StringLiterals;
using tf::test::TestServer;

namespace {

// Starts a worker; its output is read when it has finished.
std::unique_ptr<QProcess> Start(const QStringList& args) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QStringLiteral(TALLYFORM_STORE_WORKER), args);
    return p;
}

QList<qint64> Finish(QProcess& p) {
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {-1};
    QList<qint64> out;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (!line.isEmpty()) out.append(line.toLongLong());
    return out;
}

}  // namespace

class TestServerClerks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(!TestServer::SocketFolder().isEmpty(), "run through ctest: no test cluster");
    }
    void storesAndImportsAtOnceKeepEveryGroupWhole();
    void formatSavedByTwoClerksStaysOneWholeVersion();
};

// Four clerks each store 500 vouchers one by one and 500 in batches of ten, all at the same
// moment of their clocks, while two import 1,000 rows each.
void TestServerClerks::storesAndImportsAtOnceKeepEveryGroupWhole() {
    TestServer server;
    QVERIFY(server.Ok());
    const QString now = u"2026-03-07T09:30:00"_s;
    std::vector<std::unique_ptr<QProcess>> storing, importing;
    for (int w = 0; w < 4; ++w)
        storing.push_back(
            Start({u"store"_s, server.Uri(test::ClerkLogin()), u"500"_s, now, u"s%1"_s.arg(w)}));
    for (int w = 0; w < 2; ++w)
        importing.push_back(Start({u"import"_s, server.Uri(test::AdminLogin()), u"1000"_s,
                                   u"2026-03-06"_s, u"i%1"_s.arg(w)}));
    QSet<qint64> stored, imported;
    qsizetype told = 0;
    for (auto& p : storing) {
        const QList<qint64> keys = Finish(*p);
        QCOMPARE(keys.size(), 1000);
        told += keys.size();
        stored.unite(QSet<qint64>(keys.begin(), keys.end()));
    }
    for (auto& p : importing) {
        const QList<qint64> keys = Finish(*p);
        QCOMPARE(keys.size(), 1000);
        told += keys.size();
        imported.unite(QSet<qint64>(keys.begin(), keys.end()));
    }
    // Every key told is a voucher of its own.
    QCOMPARE(stored.size() + imported.size(), told);
    QVERIFY(!stored.intersects(imported));

    // The server holds exactly those vouchers, each whole: all its fields, all of one
    // voucher's texts (the tag and number of one worker's voucher in every field).
    const QList<QVariantList> groups = server.Rows(
        u"SELECT r.Dat, COUNT(*), COUNT(DISTINCT split_part(Con, '/', 1) || '/' || "
        u"split_part(Con, '/', 2)), MIN(v.Usr) FROM 记录 r JOIN 凭证 v USING (Dat) GROUP BY r.Dat"_s);
    QCOMPARE(groups.size(), 6000);
    int storedGroups = 0;
    for (const QVariantList& g : groups) {
        const qint64 key = KeyOfDat(g[0].toString()).value_or(-1);
        const bool isStored = stored.contains(key);
        QVERIFY2(isStored || imported.contains(key), qPrintable(g[0].toString()));
        QCOMPARE(g[1].toInt(), isStored ? 32 : 6);
        QCOMPARE(g[2].toInt(), 1);
        QCOMPARE(g[3].toString(), isStored ? test::ClerkLogin() : test::AdminLogin());
        storedGroups += isStored ? 1 : 0;
    }
    QCOMPARE(storedGroups, 4000);
}

// Two clerks save the same format over and over while a third loads it: every load reads one
// whole version, and one whole version is left.
void TestServerClerks::formatSavedByTwoClerksStaysOneWholeVersion() {
    TestServer server;
    QVERIFY(server.Ok());
    test::TestEnv env;
    server.Use(env.ctx, test::ClerkLogin());
    // Version 0 of the layouts the workers save (store_worker.cpp).
    VoucherSettings first;
    first.layout.formWidthMm = 200;
    QString name = u"争用"_s;
    QVERIFY(SaveFormat(env.ctx, name, first));
    const QString uri = server.Uri(test::ClerkLogin());
    auto a = Start({u"save"_s, uri, u"40"_s, u"1"_s});
    auto b = Start({u"save"_s, uri, u"40"_s, u"2"_s});
    auto reader = Start({u"load"_s, uri, u"80"_s});
    QCOMPARE(Finish(*a), QList<qint64>{});
    QCOMPARE(Finish(*b), QList<qint64>{});
    QCOMPARE(Finish(*reader), QList<qint64>{0});
    QCOMPARE(server.Scalar(u"SELECT COUNT(*) FROM 参数 WHERE Name='争用'"_s).toInt(), 33);
    QCOMPARE(
        server.Scalar(u"SELECT COUNT(DISTINCT X) FROM 参数 WHERE Name='争用' AND Ctl>=2"_s).toInt(),
        1);
    const double version =
        server.Scalar(u"SELECT X FROM 参数 WHERE Name='争用' AND Ctl=2"_s).toDouble();
    QCOMPARE(server.Scalar(u"SELECT X FROM 参数 WHERE Name='争用' AND Ctl=-1"_s).toDouble(),
             200 + version);
}

QTEST_GUILESS_MAIN(TestServerClerks)
#include "tst_server_clerks.moc"
