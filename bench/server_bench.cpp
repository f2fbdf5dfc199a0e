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

// A voucher of an office's payment run: a few hundred payees paid from three accounts of the
// office, four bill kinds, three checkers and bookkeepers, a dozen remarks; the amounts and bill
// numbers differ from voucher to voucher.
FieldTexts PaymentVoucher(int n) {
    const auto set = [](FieldTexts& t, FieldRole role, const QString& text) {
        t[FieldOf(role)] = text;
    };
    FieldTexts t;
    const int payee = (n * 7919) % 300, drawer = n % 3;
    set(t, FieldRole::Year, u"2026"_s);
    set(t, FieldRole::Month, u"03"_s);
    set(t, FieldRole::Day, QString::number(1 + n % 28));
    set(t, FieldRole::DrawerName, u"杭州东方建材有限公司"_s);
    set(t, FieldRole::DrawerAccount, u"3301040160000%1"_s.arg(drawer));
    set(t, FieldRole::DrawerBank,
        QStringList{u"工商银行杭州分行"_s, u"建设银行西湖支行"_s, u"招商银行杭州分行"_s}[drawer]);
    set(t, FieldRole::PayeeName, u"供应商%1贸易有限公司"_s.arg(payee));
    set(t, FieldRole::PayeeAccount, u"62220212%1"_s.arg(100000 + payee));
    set(t, FieldRole::PayeeBank, u"中国银行第%1支行"_s.arg(payee % 40));
    set(t, FieldRole::Amount,
        u"%1.%2"_s.arg(1000 + (n * 37) % 90000).arg(n % 100, 2, 10, QChar(u'0')));
    set(t, FieldRole::BillKind,
        QStringList{u"转账支票"_s, u"银行汇票"_s, u"商业汇票"_s, u"银行本票"_s}[n % 4]);
    set(t, FieldRole::BillCount, QString::number(1 + n % 3));
    set(t, FieldRole::BillNumbers, u"%1"_s.arg(10000000 + n));
    set(t, FieldRole::Checker, QStringList{u"王芳"_s, u"李静"_s, u"张伟"_s}[n % 3]);
    set(t, FieldRole::BookKeeper, QStringList{u"刘洋"_s, u"陈杰"_s, u"赵敏"_s}[(n / 3) % 3]);
    t[kRemarksField] = u"%1月货款"_s.arg(1 + n % 12);
    return t;
}

// The same run with each remark naming its own invoice: a new quick-fill text on every row.
FieldTexts InvoicedVoucher(int n) {
    FieldTexts t = PaymentVoucher(n);
    t[kRemarksField] = u"%1月货款 发票%2"_s.arg(1 + n % 12).arg(40000000 + n);
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
    // The import of the rows `voucher` makes, beside psql loading the same rows of 记录.
    const auto importFigure = [&](const char* what, FieldTexts (*voucher)(int)) {
        QList<double> imported;
        for (int round = 0; round < 3; ++round) {
            if (!empty()) return false;
            imported.append(TimeMs([&] {
                ImportPlan plan;
                plan.fields = fields;
                plan.firstDay = QDate(2026, 3, 6);
                plan.expectedRows = kImportRows;
                const std::unique_ptr<ImportSink> sink = copyStore.BeginImport(plan);
                for (int r = 0; r < kImportRows; ++r) sink->Add(voucher(r));
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
                return false;
            while (q.next())
                out.write((q.value(0).toString() + u'\t' + q.value(1).toString() + u'\t' +
                           q.value(2).toString() + u'\n')
                              .toUtf8());
        }
        QList<double> copied;
        for (int round = 0; round < 3; ++round) {
            if (!empty()) return false;
            copied.append(TimeMs([&] {
                QProcess psql;
                psql.start(u"psql"_s, {u"-X"_s, u"-q"_s, u"-h"_s, cluster.folder, u"-U"_s,
                                       u"tallyform_admin1"_s, u"-d"_s, u"bench_copy"_s, u"-c"_s,
                                       u"\\copy 记录 (Dat, Ctl, Con) FROM '%1'"_s.arg(rowsFile)});
                psql.waitForFinished(600000);
            }));
        }
        std::printf(
            "import of %d rows (%d rows of 记录), %s: %.0f ms; psql COPY of the same rows: %.0f "
            "ms (ratio %.2f)\n",
            kImportRows, rows, what, Median(imported), Median(copied),
            Median(imported) / Median(copied));
        return true;
    };
    // A payment run repeats its payees, banks and clerks, with or without a remark of its own
    // on each row; the last case, every text distinct, gives quick fill the most entries to keep.
    if (!importFigure("a payment run", PaymentVoucher) ||
        !importFigure("a payment run, every remark distinct", InvoicedVoucher) ||
        !importFigure("every text distinct", Voucher))
        return 1;
    CloseServerConnections();
    return 0;
}
