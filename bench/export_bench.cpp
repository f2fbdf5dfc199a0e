// Export of a filled history grid to .xlsx and .xls, side by side with python3-xlsxwriter
// (constant_memory) and python3-xlwt writing the same cells, and the cost of showing the
// progress window. Prints figures; never a pass/fail timing.
//
// usage: export_bench [xlsx-records [xls-records]]   (defaults 100000 and 65535)

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <thread>

#include "common/app_context.h"
#include "common/progress.h"
#include "gui/progress/indicator.h"
#include "history/export.h"

using tf::history::TextGrid;

namespace {

// Kilobytes of a line of /proc/self/status ("VmRSS", "VmHWM").
qint64 StatusKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ')[0].toLongLong();
    return 0;
}

// Starts a new peak: the kernel sets the high-water mark back to the present size.
void ResetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

QString Pick(QRandomGenerator& rng, const QStringList& list) {
    return list[int(rng.bounded(quint32(list.size())))];
}

QString Digits(QRandomGenerator& rng, int n) {
    QString s;
    s.reserve(n);
    for (int i = 0; i < n; ++i) s += QChar(u'0' + int(rng.bounded(10u)));
    return s;
}

// A history grid as the history window fills it: the hidden mapping row, the header, and
// one row per record with the texts clerks type.
TextGrid HistoryGrid(int records) {
    static const QStringList headers{
        QStringLiteral("年"),         QStringLiteral("月"),         QStringLiteral("日"),
        QStringLiteral("出票人全称"), QStringLiteral("出票人账号"), QStringLiteral("出票人银行"),
        QStringLiteral("收款人全称"), QStringLiteral("收款人账号"), QStringLiteral("收款人银行"),
        QStringLiteral("大写金额"),   QStringLiteral("小写金额"),   QStringLiteral("票据种类"),
        QStringLiteral("票据张数"),   QStringLiteral("票据号码"),   QStringLiteral("复核"),
        QStringLiteral("记账"),       QStringLiteral("备注")};
    static const QStringList companies{QStringLiteral("北京华夏建材贸易有限公司"),
                                       QStringLiteral("上海浦东新区长江物流有限公司"),
                                       QStringLiteral("广州市天河区明珠电子科技有限公司"),
                                       QStringLiteral("深圳前海宏达供应链管理有限公司"),
                                       QStringLiteral("杭州西湖茶叶进出口有限公司"),
                                       QStringLiteral("成都锦江餐饮管理有限公司")};
    static const QStringList banks{
        QStringLiteral("中国工商银行北京海淀支行"), QStringLiteral("中国建设银行上海浦东分行"),
        QStringLiteral("中国农业银行广州天河支行"), QStringLiteral("招商银行深圳前海支行"),
        QStringLiteral("交通银行杭州西湖支行")};
    static const QStringList capitals{
        QStringLiteral("壹万贰仟叁佰肆拾伍元陆角柒分"), QStringLiteral("玖佰捌拾元整"),
        QStringLiteral("叁拾万零伍佰元整"), QStringLiteral("柒仟元零伍分")};
    static const QStringList kinds{QStringLiteral("转账支票"), QStringLiteral("银行汇票"),
                                   QStringLiteral("本票")};
    static const QStringList people{QStringLiteral("王芳"), QStringLiteral("李强"),
                                    QStringLiteral("张伟"), QStringLiteral("刘洋")};
    static const QStringList remarks{QString(), QStringLiteral("货款"),
                                     QStringLiteral("预付三月份房租"), QStringLiteral("服务费")};

    QRandomGenerator rng(20260307);
    TextGrid g;
    g.SetCols(19);
    g.SetRows(2 + records);
    g.SetFixedRows(2);
    g.SetFixedCols(2);
    g.SetRowHeight(0, 0);
    g.SetColWidth(0, 0);
    const double widths[19] = {0,    700,  620,  420,  420,  3300, 2600, 3000, 3300, 2600,
                               3000, 3500, 1400, 1100, 1000, 1300, 800,  800,  1700};
    for (int c = 0; c < 19; ++c) g.SetColWidth(c, widths[c]);
    for (int c = 2; c < 19; ++c) {
        g.SetText(0, c, QString::number(c < 18 ? c : 27));
        g.SetText(1, c, headers[c - 2]);
    }
    g.SetText(1, 2, QStringLiteral("年▽"));  // sorted newest first
    for (int i = 0; i < records; ++i) {
        const int r = 2 + i;
        const int month = 1 + int(rng.bounded(12u));
        const int day = 1 + int(rng.bounded(28u));
        g.SetText(r, 0, QStringLiteral("2025-%1-%2 10:%3:00").arg(month).arg(day).arg(i % 60));
        g.SetText(r, 1, QString::number(i + 1));
        g.SetText(r, 2, QStringLiteral("2025"));
        g.SetText(r, 3, QString::number(month));
        g.SetText(r, 4, QString::number(day));
        g.SetText(r, 5, Pick(rng, companies));
        g.SetText(r, 6, u'6' + Digits(rng, 18));
        g.SetText(r, 7, Pick(rng, banks));
        g.SetText(r, 8, Pick(rng, companies));
        g.SetText(r, 9, Digits(rng, 19));
        g.SetText(r, 10, Pick(rng, banks));
        g.SetText(r, 11, Pick(rng, capitals));
        g.SetText(r, 12,
                  QStringLiteral("￥%1.%2").arg(rng.bounded(1, 99999)).arg(rng.bounded(10, 99)));
        g.SetText(r, 13, Pick(rng, kinds));
        g.SetText(r, 14, QString::number(1 + rng.bounded(3)));
        g.SetText(r, 15, Digits(rng, 8));
        g.SetText(r, 16, Pick(rng, people));
        g.SetText(r, 17, Pick(rng, people));
        g.SetText(r, 18, Pick(rng, remarks));
    }
    return g;
}

// The cells the export writes, for the reference writers: widths, then row 1 … row n.
void WriteCells(const TextGrid& g, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return;
    QTextStream out(&f);
    for (int c = 1; c < g.Cols(); ++c)
        out << (c > 1 ? "\t" : "") << std::floor(g.ColWidth(c) / 123);
    out << '\n';
    for (int r = 1; r < g.Rows(); ++r) {
        for (int c = 1; c < g.Cols(); ++c) {
            if (c > 1) out << '\t';
            if (!g.Text(r, c).isEmpty()) out << ' ' << g.Text(r, c);
        }
        out << '\n';
    }
}

// Seconds of CPU this process has used, user and system.
double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Run {
    double seconds = 0;
    double cpu = 0;     // CPU seconds: steadier than wall time on a shared machine
    double peakMb = 0;  // above the size before the export
};

Run Export(tf::AppContext& ctx, const TextGrid& g, const QString& path) {
    QFile::remove(path);
    const qint64 before = StatusKb("VmRSS");
    ResetPeak();
    QElapsedTimer timer;
    const double cpu = CpuSeconds();
    timer.start();
    if (!tf::history::ExportGrid(ctx, g, path)) std::fprintf(stderr, "export failed\n");
    Run run;
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.cpu = CpuSeconds() - cpu;
    run.peakMb = (StatusKb("VmHWM") - before) / 1024.0;
    return run;
}

Run Reference(const QString& kind, const QString& cells, const QString& target) {
    QProcess python;
    python.start(QStringLiteral(TALLYFORM_PYTHON),
                 {QStringLiteral(EXPORT_REFERENCE_SCRIPT), kind, cells, target});
    Run run;
    if (!python.waitForFinished(-1) || python.exitCode() != 0) {
        std::fprintf(stderr, "%s\n", python.readAllStandardError().constData());
        run.seconds = NAN;
        return run;
    }
    const QJsonObject o = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    run.seconds = o.value(QStringLiteral("seconds")).toDouble();
    run.cpu = o.value(QStringLiteral("cpu")).toDouble();
    run.peakMb = o.value(QStringLiteral("peak_kb")).toDouble() / 1024.0;
    return run;
}

Run Best(const Run& a, const Run& b) {
    return a.seconds <= b.seconds ? a : b;
}

void Line(const QString& what, const Run& ours, const Run& ref, const char* refPeak) {
    std::printf("%-50s %8.3f %8.3f %7.3f %8.3f %8.3f %7.3f %9.1f %9s\n", qPrintable(what),
                ours.seconds, ref.seconds, ours.seconds / ref.seconds, ours.cpu, ref.cpu,
                ours.cpu / ref.cpu, ours.peakMb, refPeak);
}

// Exports `records` records to a file of the kind, without and with the progress window, and
// has the reference library write the same cells.
void Compare(tf::AppContext& ctx, tf::progress::Indicator& indicator, const QTemporaryDir& dir,
             const QString& kind, int records, const char* reference) {
    const TextGrid g = HistoryGrid(records);
    const QString cells = dir.filePath(QStringLiteral("cells.tsv"));
    WriteCells(g, cells);
    const QString ours = dir.filePath(QStringLiteral("ours.") + kind);
    const QString theirs = dir.filePath(QStringLiteral("reference.") + kind);

    tf::NullProgress none;
    ctx.SetProgress(&none);
    const Run quiet = Best(Export(ctx, g, ours), Export(ctx, g, ours));
    ctx.SetProgress(&indicator);
    const Run shown = Best(Export(ctx, g, ours), Export(ctx, g, ours));
    const Run ref = Best(Reference(kind, cells, theirs), Reference(kind, cells, theirs));

    const QByteArray refPeak = QByteArray::number(ref.peakMb, 'f', 1);
    Line(QStringLiteral("%1 records to .%2 vs %3")
             .arg(records)
             .arg(kind)
             .arg(QLatin1StringView(reference)),
         quiet, ref, refPeak.constData());
    Line(QStringLiteral("  with the progress window vs without"), shown, quiet, "-");
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int xlsxRecords = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int xlsRecords = argc > 2 ? std::atoi(argv[2]) : 65535;

    QTemporaryDir dir;
    tf::progress::Indicator indicator;
    tf::AppContext ctx;
    ctx.dataDir = dir.path();

    std::printf("machine: %u hardware threads, Qt platform %s; best of 2 runs each\n",
                std::thread::hardware_concurrency(), qPrintable(QGuiApplication::platformName()));
    std::printf("%-50s %8s %8s %7s %8s %8s %7s %9s %9s\n", "what", "wall s", "ref s", "ratio",
                "cpu s", "ref cpu", "ratio", "peak MB", "ref peak");
    Compare(ctx, indicator, dir, QStringLiteral("xlsx"), xlsxRecords, "xlsxwriter constant_memory");
    Compare(ctx, indicator, dir, QStringLiteral("xls"), xlsRecords, "xlwt");
    std::printf(
        "peak MB: resident memory the export added above the filled grid (ours) / the "
        "whole Python process (reference)\n");
    return 0;
}
