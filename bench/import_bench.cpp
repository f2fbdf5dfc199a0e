// Imports a 10,000-row worksheet (.xls written by xlwt, .xlsx by openpyxl) into a Par.mdb that
// already holds 100,000 vouchers, with and without the progress window, and prints the median
// of five runs beside the time xlrd (.xls) or openpyxl read-only (.xlsx) takes merely to read
// the same cells, and beside the sqlite3 tool storing exactly the rows the import stored. Every
// run starts from a copy of the same Par.mdb written through to the disk, so no run pays for
// flushing the copy. Memory is the import's own: the peak during it above what the process
// held before it.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "common/prompt.h"
#include "gui/progress/indicator.h"
#include "history/history_records.h"
#include "history/import.h"
#include "store/database.h"
#include "store/raw_statement.h"

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

constexpr int kRuns = 5;

// A value of /proc/self/status, KiB.
long StatusKiB(const char* key) {
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(qstrlen(key)).trimmed().split(' ')[0].toLong();
    return -1;
}

// Starts the peak resident memory afresh from the current one (Linux 4.0 and later).
void ResetPeak() {
    QFile f(u"/proc/self/clear_refs"_s);
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

// Copies Par.mdb into a folder and writes the copy through to the disk.
void CopySynced(const QString& from, const QString& folder) {
    QDir().mkpath(folder);
    const QString to = folder + u"/Par.mdb"_s;
    QFile::remove(to);
    QFile::copy(from, to);
    for (const QString& path : {to, folder}) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
}

double Median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values[values.size() / 2];
}

// The records stored under the imported (midnight) dates, as CSV for the sqlite3 tool.
bool WriteImportedRows(const AppContext& ctx, const QString& csv) {
    store::Database db(ctx);
    db.OpenDatabase();
    QSqlQuery q(db.Connection());
    q.setForwardOnly(true);
    if (!q.exec(u"SELECT Dat, Ctl, Con FROM 记录 WHERE Dat LIKE '% 00:00:00' ORDER BY rowid"_s))
        return false;
    QFile out(csv);
    if (!out.open(QIODevice::WriteOnly)) return false;
    QByteArray text;
    while (q.next()) {
        QString con = q.value(2).toString();
        con.replace(u'"', u"\"\""_s);
        text += q.value(0).toString().toUtf8() + ',' + q.value(1).toByteArray() + ",\"" +
                con.toUtf8() + "\"\n";
    }
    return out.write(text) == text.size();
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

struct Record {
    QString dat;
    int ctl = 0;
    QString con;
};

// The rows written out for the sqlite3 tool, read back.
QList<Record> ReadRecords(const QString& csv) {
    QList<Record> records;
    QFile in(csv);
    if (!in.open(QIODevice::ReadOnly)) return records;
    for (const QByteArray& line : in.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(',');
        if (parts.size() < 3) continue;
        const qsizetype quote = line.indexOf('"');
        QString con = QString::fromUtf8(line.mid(quote + 1, line.size() - quote - 2));
        records.append(
            {QString::fromUtf8(parts[0]), parts[1].toInt(), con.replace(u"\"\""_s, u"\""_s)});
    }
    return records;
}

// Stores the records in one write transaction, 17 to a statement; seconds.
double StoreRecords(const AppContext& ctx, const QList<Record>& records, bool raw) {
    constexpr int kGroup = 17;
    store::Database db(ctx);
    db.OpenDatabase();
    QStringList tuples;
    for (int k = 0; k < kGroup; ++k) tuples.append(u"(?,?,?)"_s);
    const QString sql = u"INSERT INTO 记录 (Dat, Ctl, Con) VALUES "_s + tuples.join(u',');
    QElapsedTimer timer;
    timer.start();
    QSqlQuery(db.Connection()).exec(u"BEGIN IMMEDIATE"_s);
    if (raw) {
        store::RawStatement insert(db, sql);
        for (qsizetype i = 0; i + kGroup <= records.size(); i += kGroup) {
            for (int k = 0; k < kGroup; ++k) {
                const Record& r = records[i + k];
                insert.Bind(3 * k, r.dat);
                insert.Bind(3 * k + 1, qint64{r.ctl});
                insert.Bind(3 * k + 2, r.con);
            }
            insert.Run();
        }
    } else {
        QSqlQuery insert(db.Connection());
        insert.prepare(sql);
        for (qsizetype i = 0; i + kGroup <= records.size(); i += kGroup) {
            for (int k = 0; k < kGroup; ++k) {
                const Record& r = records[i + k];
                insert.bindValue(3 * k, r.dat);
                insert.bindValue(3 * k + 1, r.ctl);
                insert.bindValue(3 * k + 2, r.con);
            }
            insert.exec();
        }
    }
    db.Commit();
    return timer.nsecsElapsed() / 1e9;
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

    // A quiet prompt: the closing notice of every run would only repeat itself.
    NullPrompt prompt;
    const QString csv = dir.filePath(u"imported.csv"_s);

    // One import into a fresh synced copy: seconds, and the import's own peak memory.
    const auto import = [&](const QString& kind, bool window, bool keepRows) {
        const QString data = dir.filePath(kind + (window ? u"-window"_s : u"-quiet"_s));
        CopySynced(base + u"/Par.mdb"_s, data);
        progress::Indicator indicator;
        NullProgress quiet;
        AppContext ctx;
        ctx.dataDir = data;
        ctx.SetPrompt(&prompt);
        ctx.SetProgress(window ? static_cast<Progress*>(&indicator) : &quiet);
        QList<store::RecordKey> keys;
        history::ImportRequest request;
        request.path = dir.filePath(u"bench."_s + kind);
        request.sheet = u"记录"_s;
        request.firstRow = 2;
        request.lastRow = kRows + 1;
        request.columnMap = history::DefaultColumnMap();
        const qint64 before = RecordCount(ctx);

        const long held = StatusKiB("VmRSS:");
        ResetPeak();
        QElapsedTimer timer;
        timer.start();
        const int result = history::ImportWorkbook(ctx, request, workbook::OpenWorkbook, &keys);
        const double seconds = timer.nsecsElapsed() / 1e9;
        const long peak = StatusKiB("VmHWM:") - held;
        const qint64 added = RecordCount(ctx) - before;
        if (result != 0 || added != qint64(kRows) * 17)
            std::printf("  import .%s: result %d, %lld keys listed, %lld records added\n",
                        qPrintable(kind), result, static_cast<long long>(keys.size()), added);
        if (keepRows && !WriteImportedRows(ctx, csv))
            std::printf("  the imported rows could not be written out\n");
        return std::pair{seconds, peak};
    };
    // The sqlite3 tool storing exactly the rows the .xls import stored, in one transaction,
    // into a synced copy of the same Par.mdb with the program's journal settings (rollback
    // journal, synchronous FULL).
    const auto tool = [&] {
        const QString data = dir.filePath(u"sqlite3"_s);
        CopySynced(base + u"/Par.mdb"_s, data);
        QProcess sqlite;
        QElapsedTimer timer;
        timer.start();
        sqlite.start(u"sqlite3"_s,
                     {data + u"/Par.mdb"_s, u"PRAGMA journal_mode=DELETE;"_s,
                      u"PRAGMA synchronous=FULL;"_s, u".import --csv "_s + csv + u" 记录"_s});
        const bool ran = sqlite.waitForFinished(-1) && sqlite.exitCode() == 0 &&
                         sqlite.readAllStandardError().isEmpty();
        return ran ? timer.nsecsElapsed() / 1e9 : -1.0;
    };

    // The variants take turns in every round, so a machine busy with other work slows them
    // alike.
    QMap<QString, QList<double>> times;
    QMap<QString, long> peaks;
    QMap<QString, QByteArray> readerPeaks;
    QList<Record> rows;
    for (int run = 0; run < kRuns; ++run) {
        for (const QString& kind : {u"xls"_s, u"xlsx"_s}) {
            const QList<QByteArray> ref =
                Python({u"read"_s, dir.path(), QString::number(kRows), kind}).trimmed().split(' ');
            times[kind + u"-reader"_s].append(ref.value(0).toDouble());
            readerPeaks[kind] = ref.value(1);
            for (const bool window : {true, false}) {
                const QString key = kind + (window ? u"-window"_s : u"-quiet"_s);
                const auto [seconds, peak] = import(kind, window, run == 0 && !window);
                times[key].append(seconds);
                peaks[key] = std::max(peaks.value(key), peak);
            }
            times[kind + u"-ours-alone"_s].append(ReadOnly(dir.filePath(u"bench."_s + kind)));
        }
        times[u"tool"_s].append(tool());
        if (run == 0) rows = ReadRecords(csv);
        // The storing alone, without reading a workbook: the same rows, 17 records to a
        // statement as the import writes them, bound through QtSql by position and through
        // SQLite's own interface.
        for (const bool raw : {false, true}) {
            const QString data = dir.filePath(u"store-only"_s);
            CopySynced(base + u"/Par.mdb"_s, data);
            AppContext ctx;
            ctx.dataDir = data;
            ctx.SetPrompt(&prompt);
            times[raw ? u"store-raw"_s : u"store-qt"_s].append(StoreRecords(ctx, rows, raw));
        }
    }

    std::printf("median of %d runs, each into a fresh synced copy\n", kRuns);
    std::printf("%-44s %10s %12s %8s %14s %14s\n", "what", "ours (s)", "reference (s)", "ratio",
                "ours peak KiB", "ref peak KiB");
    const auto line = [&](const QString& what, const QString& ours, const QString& theirs,
                          const QByteArray& theirPeak) {
        const double a = Median(times.value(ours));
        const double b = Median(times.value(theirs));
        std::printf("%-44s %10.3f %12.3f %8.2f %14ld %14s\n", qPrintable(what), a, b,
                    b > 0 ? a / b : 0.0, peaks.value(ours, -1), theirPeak.constData());
    };
    for (const QString& kind : {u"xls"_s, u"xlsx"_s}) {
        const QString reference = kind == u"xls"_s ? u"xlrd"_s : u"openpyxl read-only"_s;
        for (const bool window : {true, false})
            line(u"import .%1 %2 vs %3"_s.arg(kind, window ? u"with window"_s : u"no window"_s,
                                              reference),
                 kind + (window ? u"-window"_s : u"-quiet"_s), kind + u"-reader"_s,
                 readerPeaks[kind]);
        line(u"our reader alone .%1 vs %2"_s.arg(kind, reference), kind + u"-ours-alone"_s,
             kind + u"-reader"_s, readerPeaks[kind]);
    }
    line(u"import .xls no window vs sqlite3 tool"_s, u"xls-quiet"_s, u"tool"_s, "-");
    line(u"storing alone, QSqlQuery::bindValue(int)"_s, u"store-qt"_s, u"tool"_s, "-");
    line(u"storing alone, SQLite's interface"_s, u"store-raw"_s, u"tool"_s, "-");
    std::printf("%-44s %10s %12.3f\n", "sqlite3 tool storing the same rows", "",
                Median(times.value(u"tool"_s)));
    return 0;
}
