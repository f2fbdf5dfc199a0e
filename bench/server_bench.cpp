// The office server beside the local file, in one run: the history opened to its first rows
// with 100,000 vouchers held, one voucher stored, and 10,000 worksheet rows imported beside
// psql loading the same 170,000 rows of 记录 with COPY.
//
//   server_bench [VOUCHERS]      (default 100000)
//
// Starts a throw-away cluster of its own with the server's safe defaults (fsync on,
// scripts/pg_test_cluster.sh ... durable), listening on a socket in /tmp, and stops it at the
// end. Each figure is the median of several rounds.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdio>

#include "bench/bench_support.h"
#include "store/database.h"
#include "store/record_store.h"
#include "store/server_connection.h"
#include "store/server_record_store.h"

using namespace tf;
using namespace tf::store;
using namespace Qt::StringLiterals;

namespace {

constexpr int kFirstRows = 40;  // a screenful of the history
constexpr int kImportRows = 10000;

double Median(QList<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms.isEmpty() ? -1 : ms[ms.size() / 2];
}

template <typename F>
double TimeMs(F f) {
    QElapsedTimer t;
    t.start();
    f();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

bool RunScript(const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(u"bash"_s, QStringList{QStringLiteral(TALLYFORM_CLUSTER_SCRIPT)} + args);
    return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The cluster, stopped and removed when the bench ends.
struct Cluster {
    QString folder = u"/tmp/tallyform-bench-pg-%1"_s.arg(QCoreApplication::applicationPid());
    bool ok = RunScript({u"start"_s, folder, u"durable"_s});
    ~Cluster() { RunScript({u"stop"_s, folder}); }
    QString Uri(const QString& login, const QString& db) const {
        return u"postgresql://%1@/%2?host=%3"_s.arg(
            login, db, QString::fromLatin1(QUrl::toPercentEncoding(folder)));
    }
};

// Statements run by the cluster's superuser; false with the error printed.
bool Superuser(const Cluster& c, const QString& db, const QString& sql) {
    bool ok = false;
    {
        QSqlDatabase conn = QSqlDatabase::addDatabase(u"QPSQL"_s, u"bench-admin"_s);
        conn.setHostName(c.folder);
        conn.setDatabaseName(db);
        conn.setUserName(u"postgres"_s);
        QSqlQuery q(conn);
        ok = conn.open() && q.exec(sql);
        if (!ok) std::printf("server: %s\n", qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(u"bench-admin"_s);
    return ok;
}

FieldTexts Voucher(int n) {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i)
        t[i] = u"北京某某贸易有限公司 %1/%2"_s.arg(n).arg(i);
    return t;
}

// The history's first screen: every key, then the shown fields of the newest rows.
double OpenHistory(RecordStore& store) {
    return TimeMs([&] {
        const QList<RecordKey> keys = store.ListKeys().value_or(QList<RecordKey>{});
        const auto first = std::span(keys).last(std::min<size_t>(kFirstRows, keys.size()));
        if (!store.ReadRecords(first, Fields::Shown)) std::printf("history not read\n");
    });
}

// The same screen on the local file, as the history reads it there.
double OpenLocalHistory(const AppContext& ctx) {
    return TimeMs([&] {
        Database db(ctx);
        db.OpenDatabase();
        QSqlQuery q(db.Connection());
        q.setForwardOnly(true);
        q.exec(u"SELECT DISTINCT Dat FROM 记录 ORDER BY Dat"_s);
        QStringList dats;
        while (q.next()) dats.append(q.value(0).toString());
        QSqlQuery page(db.Connection());
        page.prepare(u"SELECT Ctl, Con FROM 记录 WHERE Dat = ?"_s);
        for (qsizetype i = std::max<qsizetype>(0, dats.size() - kFirstRows); i < dats.size(); ++i) {
            page.addBindValue(dats[i]);
            page.exec();
            while (page.next()) {
            }
        }
    });
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int vouchers = argc > 1 ? std::atoi(argv[1]) : 100000;
    bench::PrintingPrompt prompt(false, "  ");
    Cluster cluster;
    if (!cluster.ok) return 1;
    for (const QString& db : {u"bench"_s, u"bench_copy"_s})
        if (!Superuser(cluster, u"postgres"_s,
                       u"CREATE DATABASE %1 TEMPLATE tallyform_template"_s.arg(db)))
            return 1;

    QTemporaryDir serverDir, localDir;
    AppContext server, local;
    server.dataDir = serverDir.path();
    local.dataDir = localDir.path();
    server.SetPrompt(&prompt);
    local.SetPrompt(&prompt);
    server.database->serverUri = cluster.Uri(u"tallyform_admin1"_s, u"bench"_s);
    Database(local).EnsureTables();
    Database(server).EnsureTables();

    // The history: the same vouchers, every field, in both databases.
    std::printf("filling %d vouchers of 32 fields …\n", vouchers);
    const QString n = QString::number(vouchers);
    if (!Superuser(cluster, u"bench"_s,
                   u"INSERT INTO 记录 (Dat, Ctl, Con) SELECT to_char(timestamp '2001-01-01 08:00' "
                   u"+ g * interval '37 second', 'YYYY-MM-DD HH24:MI:SS'), c, "
                   u"'北京某某贸易有限公司 ' || g || '/' || c FROM generate_series(1, "_s +
                       n + u") g, generate_series(2, 33) c"_s))
        return 1;
    {
        Database db(local);
        db.OpenDatabase();
        QSqlQuery q(db.Connection());
        if (!q.exec(u"WITH RECURSIVE g(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM g WHERE n < "_s +
                    n +
                    u"), c(c) AS (SELECT 2 UNION ALL SELECT c + 1 FROM c WHERE c < 33) "
                    u"INSERT INTO 记录 (Dat, Ctl, Con) SELECT strftime('%Y-%m-%d %H:%M:%S', "
                    u"'2001-01-01 08:00:00', '+' || (n * 37) || ' seconds'), c, "
                    u"'北京某某贸易有限公司 ' || n || '/' || c FROM g, c"_s)) {
            std::printf("local: %s\n", qPrintable(q.lastError().text()));
            return 1;
        }
    }
    Superuser(cluster, u"bench"_s, u"VACUUM ANALYZE"_s);

    ServerRecordStore store(server);
    QList<double> open, openLocal, one, oneLocal;
    for (int round = 0; round < 5; ++round) {
        open.append(OpenHistory(store));
        openLocal.append(OpenLocalHistory(local));
    }
    std::printf("history to its first %d rows, %d vouchers: server %.1f ms, local file %.1f ms\n",
                kFirstRows, vouchers, Median(open), Median(openLocal));

    const QDateTime now(QDate(2026, 3, 7), QTime(9, 30));
    for (int i = 0; i < 100; ++i) {
        one.append(TimeMs([&] { store.StoreVouchers(now, {Voucher(i)}); }));
        oneLocal.append(TimeMs([&] { StoreTexts(local, now, Voucher(i)); }));
    }
    std::printf("storing one voucher: server %.1f ms, local file %.1f ms (median of 100)\n",
                Median(one), Median(oneLocal));

    // An import of 10,000 rows of the 17 fields the history shows, into an empty database.
    const QList<int> fields(kShownFields.begin(), kShownFields.end());
    AppContext copyCtx = server;
    copyCtx.database = std::make_shared<DatabaseChoice>();
    copyCtx.database->serverUri = cluster.Uri(u"tallyform_admin1"_s, u"bench_copy"_s);
    ServerRecordStore copyStore(copyCtx);
    // Every round starts from empty tables without dead rows.
    const auto empty = [&] {
        CloseServerConnections();
        return Superuser(cluster, u"bench_copy"_s, u"TRUNCATE 记录, 凭证, 输入提示"_s);
    };
    QList<double> imported;
    for (int round = 0; round < 3; ++round) {
        if (!empty()) return 1;
        imported.append(TimeMs([&] {
            ImportPlan plan;
            plan.fields = fields;
            plan.firstDay = QDate(2026, 3, 6);
            plan.expectedRows = kImportRows;
            const std::unique_ptr<ImportSink> sink = copyStore.BeginImport(plan);
            for (int r = 0; r < kImportRows; ++r) sink->Add(Voucher(r));
            if (!sink->Commit()) std::printf("import failed\n");
        }));
    }
    // psql loading exactly those rows, from a file, into the same emptied table.
    QTemporaryDir rowsDir;
    const QString rowsFile = rowsDir.filePath(u"rows.tsv"_s);
    const int rows = kImportRows * static_cast<int>(fields.size());
    {
        Database db(copyCtx);
        db.OpenDatabase();
        QSqlQuery q(db.Connection());
        q.setForwardOnly(true);
        QFile out(rowsFile);
        // The texts hold no tab, line break or backslash: COPY's text form needs no escapes.
        if (!out.open(QIODevice::WriteOnly) ||
            !q.exec(u"SELECT Dat, Ctl, Con FROM 记录 ORDER BY Dat, Ctl"_s))
            return 1;
        while (q.next())
            out.write((q.value(0).toString() + u'\t' + q.value(1).toString() + u'\t' +
                       q.value(2).toString() + u'\n')
                          .toUtf8());
    }
    QList<double> copied;
    for (int round = 0; round < 3; ++round) {
        if (!empty()) return 1;
        copied.append(TimeMs([&] {
            QProcess psql;
            psql.start(u"psql"_s, {u"-X"_s, u"-q"_s, u"-h"_s, cluster.folder, u"-U"_s,
                                   u"tallyform_admin1"_s, u"-d"_s, u"bench_copy"_s, u"-c"_s,
                                   u"\\copy 记录 (Dat, Ctl, Con) FROM '%1'"_s.arg(rowsFile)});
            psql.waitForFinished(600000);
        }));
    }
    std::printf(
        "import of %d rows (%d rows of 记录): %.0f ms; psql COPY of the same rows: %.0f ms "
        "(ratio %.2f)\n",
        kImportRows, rows, Median(imported), Median(copied), Median(imported) / Median(copied));
    CloseServerConnections();
    return 0;
}
