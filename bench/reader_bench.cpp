// Reads worksheets of 1,000, 10,000 and 100,000 rows × 18 columns as the import does (a row
// cursor over rows 2 … N+1) and prints, beside it in the same run: `xmllint --stream` parsing
// the same sheet part (.xlsx), openpyxl read-only (.xlsx) and xlrd (.xls) reading the same
// cells. Each reading runs in a process of its own, so its peak memory is its own. Times are
// the CPU seconds (user + system) of that whole process, start-up included, the median of three
// runs: on a shared machine the clock on the wall says more about the neighbours.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "bench/bench_support.h"
#include "history/workbook/workbook.h"

using namespace tf;

namespace {

struct Figure {
    double seconds = -1;
    double peakMb = -1;
};

// Child: reads every cell of rows 2 … rows + 1 and prints seconds and peak memory (KiB).
int ReadChild(const QString& path, int rows) {
    QElapsedTimer timer;
    timer.start();
    auto reader = workbook::OpenWorkbook(path);
    reader->SelectSheet(QStringLiteral("记录"));
    std::vector<int> cols;
    for (int c = 1; c <= 18; ++c) cols.push_back(c);
    auto cursor = reader->Rows(cols);
    qint64 chars = 0;
    for (int r = 2; r <= rows + 1; ++r)
        for (const workbook::Cell& cell : cursor->Read(r)) chars += cell.text.size();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%.4f %.0f\n", chars > 0 ? seconds : -1, bench::PeakRssMb() * 1024);
    return 0;
}

QByteArray Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        std::exit(1);
    }
    return process.readAllStandardOutput();
}

// CPU seconds used by the children that ended so far.
double ChildrenCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A child run `runs` times: the median of its CPU time and, when it prints "seconds peakKiB",
// the largest peak.
Figure Measure(const QString& program, const QStringList& args, int runs = 3) {
    std::vector<double> times;
    Figure f;
    for (int i = 0; i < runs; ++i) {
        const double before = ChildrenCpu();
        const QList<QByteArray> out = Run(program, args).trimmed().split(' ');
        times.push_back(ChildrenCpu() - before);
        if (out.size() > 1) f.peakMb = std::max(f.peakMb, out.value(1).toDouble() / 1024);
    }
    std::sort(times.begin(), times.end());
    f.seconds = times[times.size() / 2];
    return f;
}

void Line(const char* what, int rows, const Figure& ours, const Figure& reference,
          const char* referenceName) {
    std::printf("%-5s %6d rows: ours %7.3f s %6.1f MB | %-18s %7.3f s %6.1f MB | ratio %.2f\n",
                what, rows, ours.seconds, ours.peakMb, referenceName, reference.seconds,
                reference.peakMb, ours.seconds / reference.seconds);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == u"--read") return ReadChild(args[2], args[3].toInt());

    const QString self = app.applicationFilePath();
    const QString python = QStringLiteral(TALLYFORM_PYTHON);
    const QString script = QStringLiteral(TALLYFORM_BENCH_SCRIPT);
    std::printf(
        "reader_bench: rows × 18 columns read through the row cursor; CPU seconds of the "
        "whole process, median of 3; peak resident memory\n");
    double peak1k = 0, peak100k = 0;
    for (const int rows : {1000, 10000, 100000}) {
        QTemporaryDir dir;
        const QString n = QString::number(rows);
        Run(python, {script, QStringLiteral("write"), dir.path(), n});
        const Figure xlsx =
            Measure(self, {QStringLiteral("--read"), dir.filePath(QStringLiteral("rows.xlsx")), n});
        // openpyxl takes minutes at 100,000 rows: run once there.
        const Figure openpyxl =
            Measure(python, {script, QStringLiteral("read"), dir.path(), n, QStringLiteral("xlsx")},
                    rows > 10000 ? 1 : 3);
        Line("xlsx", rows, xlsx, openpyxl, "openpyxl read-only");
        if (rows == 10000) {
            const Figure xmllint = Measure(QStringLiteral("xmllint"),
                                           {QStringLiteral("--stream"), QStringLiteral("--noout"),
                                            dir.filePath(QStringLiteral("sheet1.xml"))});
            Line("xlsx", rows, xlsx, xmllint, "xmllint --stream");
        }
        if (rows == 1000) peak1k = xlsx.peakMb;
        if (rows == 100000) peak100k = xlsx.peakMb;
        if (rows < 65536) {
            const Figure xls = Measure(
                self, {QStringLiteral("--read"), dir.filePath(QStringLiteral("rows.xls")), n});
            const Figure xlrd = Measure(
                python, {script, QStringLiteral("read"), dir.path(), n, QStringLiteral("xls")});
            Line("xls", rows, xls, xlrd, "xlrd");
        }
        std::fflush(stdout);
    }
    std::printf("xlsx peak memory growth from 1,000 to 100,000 rows: %.1f MB\n", peak100k - peak1k);
    return 0;
}
