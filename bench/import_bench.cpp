// Imports a 10,000-row worksheet (.xls written by xlwt, .xlsx by openpyxl) into a Par.mdb that
// already holds 100,000 vouchers, with the progress window shown, and prints the time beside
// the time xlrd (.xls) or openpyxl read-only (.xlsx) takes merely to read the same cells.

#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

#include "bench/bench_support.h"
#include "common/prompt.h"
#include "history/history_records.h"
#include "history/import.h"
#include "progress/indicator.h"
#include "store/database.h"

using namespace tf;
using namespace Qt::StringLiterals;

namespace {

constexpr int kRows = 10000;
constexpr int kVouchers = 100000;

QByteArray Python(const QStringList& arguments) {
    QProcess python;
    python.start(QStringLiteral(TALLYFORM_PYTHON),
                 QStringList{QStringLiteral(TALLYFORM_BENCH_SCRIPT)} + arguments);
    if (!python.waitForFinished(-1) || python.exitCode() != 0) {
        std::fprintf(stderr, "python failed: %s\n", python.readAllStandardError().constData());
        std::exit(1);
    }
    return python.readAllStandardOutput();
}

// 100,000 printed vouchers of 32 fields each, one every 1537 seconds back from today.
void MakeHistory(const AppContext& ctx) {
    store::Database db(ctx);
    db.EnsureTables();
    db.Begin();
    db.ExecuteSql(
        u"WITH RECURSIVE v(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM v WHERE n < ?), "
        "f(c) AS (SELECT 2 UNION ALL SELECT c + 1 FROM f WHERE c < 33) "
        "INSERT INTO 记录 (Dat, Ctl, Con) SELECT strftime('%Y-%m-%d %H:%M:%S', ?, "
        "'-' || (n * 1537) || ' seconds'), c, '上海浦江贸易有限公司' || n FROM v, f"_s,
        {kVouchers - 1, QDateTime::currentDateTime().toString(u"yyyy-MM-dd 17:00:00"_s)});
    db.Commit();
}

// The history grid with its mapping row, header and one row per stored voucher.
history::TextGrid HistoryGrid() {
    history::TextGrid grid;
    grid.SetCols(history::kHistoryCols);
    grid.SetRows(2 + kVouchers);
    grid.SetFixedRows(2);
    grid.SetFixedCols(2);
    for (int c = 2; c <= 17; ++c) grid.SetText(0, c, QString::number(c));
    grid.SetText(0, 18, QString::number(history::kRemarksField));
    return grid;
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

qint64 RecordCount(const AppContext& ctx) {
    store::Database db(ctx);
    db.OpenDatabase();
    QSqlQuery count(db.Connection());
    count.exec(u"SELECT COUNT(*) FROM 记录"_s);
    return count.next() ? count.value(0).toLongLong() : -1;
}

// Our reader alone over the same cells, seconds.
double ReadOnly(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    auto reader = workbook::OpenWorkbook(path);
    reader->SelectSheet(u"记录"_s);
    qsizetype chars = 0;
    for (int r = 2; r <= kRows + 1; ++r)
        for (int c = 1; c <= 18; ++c) chars += reader->CellText(r, c).size();
    const double seconds = timer.nsecsElapsed() / 1e9;
    return chars > 0 ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    std::printf("import_bench: %d worksheet rows into a Par.mdb of %d vouchers\n", kRows,
                kVouchers);
    Python({u"write"_s, dir.path(), QString::number(kRows)});

    const QString base = dir.filePath(u"base"_s);
    QDir().mkpath(base);
    AppContext baseCtx;
    baseCtx.dataDir = base;
    MakeHistory(baseCtx);

    bench::PrintingPrompt prompt(false, "  ");
    std::printf("%-40s %10s %12s %8s %14s %14s\n", "what", "ours (s)", "reference (s)", "ratio",
                "ours peak KiB", "ref peak KiB");
    for (const QString& kind : {u"xls"_s, u"xlsx"_s}) {
        const QString book = dir.filePath(u"bench."_s + kind);
        const QList<QByteArray> ref =
            Python({u"read"_s, dir.path(), QString::number(kRows), kind}).trimmed().split(' ');
        const double theirs = ref.value(0).toDouble();
        const auto line = [&](const QString& what, double ours) {
            std::printf("%-40s %10.3f %12.3f %8.2f %14ld %14s\n", qPrintable(what), ours, theirs,
                        theirs > 0 ? ours / theirs : 0.0, PeakKiB(), ref.value(1).constData());
        };
        const QString reference = kind == u"xls"_s ? u"xlrd"_s : u"openpyxl read-only"_s;

        for (const bool window : {true, false}) {
            const QString data = dir.filePath(kind + (window ? u"-window"_s : u"-quiet"_s));
            QDir().mkpath(data);
            QFile::copy(base + u"/Par.mdb"_s, data + u"/Par.mdb"_s);
            progress::Indicator indicator;
            NullProgress quiet;
            AppContext ctx;
            ctx.dataDir = data;
            ctx.SetPrompt(&prompt);
            ctx.SetProgress(window ? static_cast<Progress*>(&indicator) : &quiet);
            history::TextGrid grid = HistoryGrid();
            history::ImportRequest request;
            request.path = book;
            request.sheet = u"记录"_s;
            request.firstRow = 2;
            request.lastRow = kRows + 1;
            request.columnMap = history::DefaultColumnMap();
            const qint64 before = RecordCount(ctx);

            QElapsedTimer timer;
            timer.start();
            const int result = history::ImportWorkbook(ctx, grid, request, workbook::OpenWorkbook);
            const double ours = timer.nsecsElapsed() / 1e9;
            line(u"import .%1 %2 vs %3"_s.arg(kind, window ? u"with window"_s : u"no window"_s,
                                              reference),
                 ours);
            std::printf("  result %d, %d grid rows added, %lld records added\n", result,
                        grid.Rows() - 2 - kVouchers, RecordCount(ctx) - before);
        }
        line(u"our reader alone .%1 vs %2"_s.arg(kind, reference), ReadOnly(book));
    }

    // The floor the storing has on this disk: the sqlite3 tool inserting as many rows of
    // similar texts, under as many midnight dates, into a copy of the same Par.mdb in one
    // statement and one transaction.
    const QString data = dir.filePath(u"sqlite3"_s);
    QDir().mkpath(data);
    QFile::copy(base + u"/Par.mdb"_s, data + u"/Par.mdb"_s);
    QProcess sqlite;
    QElapsedTimer timer;
    timer.start();
    sqlite.start(
        u"sqlite3"_s,
        {data + u"/Par.mdb"_s,
         u"PRAGMA synchronous=NORMAL; BEGIN; WITH RECURSIVE v(n) AS (SELECT 0 UNION ALL "
         "SELECT n + 1 FROM v WHERE n < %1), f(c) AS (SELECT 2 UNION ALL SELECT c + 1 "
         "FROM f WHERE c < 18) INSERT INTO 记录 (Dat, Ctl, Con) SELECT date('now', '-' "
         "|| (n + 1) || ' days') || ' 00:00:00', CASE c WHEN 18 THEN 27 ELSE c END, "
         "'北京华远建设集团第' || n || '号中国建设银行北京朝阳支行' FROM v, f; COMMIT;"_s.arg(
             kRows - 1)});
    const bool ran = sqlite.waitForFinished(-1) && sqlite.exitCode() == 0;
    std::printf("%-40s %10s %12.3f\n", "sqlite3 tool storing the same rows", "",
                ran ? timer.nsecsElapsed() / 1e9 : -1.0);
    return 0;
}
