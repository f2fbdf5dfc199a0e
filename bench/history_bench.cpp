// Figures for the history list at 100,000 printed vouchers (3.2 million rows of 记录), set
// beside the sqlite3 command-line tool running the very statements the program ran (caught
// with SQLite's statement trace) on the same file. Run by hand:
//   build/bench/history_bench [vouchers]
// or, to only write a Par.mdb for looking at the window:
//   build/bench/history_bench --populate DIR vouchers
#include <sqlite3.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "amount/amount.h"
#include "bench/bench_support.h"
#include "common/fields.h"
#include "common/fonts.h"
#include "common/prompt.h"
#include "gui/history/grid_view.h"
#include "gui/history/old_rec.h"
#include "history/grid_table_model.h"
#include "history/history_records.h"
#include "history/text_width.h"
#include "store/database.h"
#include "store/records.h"

using namespace tf;
using namespace tf::history;
using namespace Qt::StringLiterals;
using tf::bench::PeakRssMb;

namespace {

// The main window's leave rule without the window: stub copy, amount and capitals.
class BenchVoucher : public VoucherFields {
public:
    FieldTexts texts;
    QString Caption(int field) const override {
        static const char16_t* const captions[] = {
            u"年",         u"月",         u"日",         u"出票人全称",
            u"出票人账号", u"出票人银行", u"收款人全称", u"收款人账号",
            u"收款人银行", u"大写金额",   u"小写金额",   u"票据种类",
            u"票据张数",   u"票据号码",   u"复核",       u"记账"};
        return field == kRemarksField ? u"备注"_s : QString::fromUtf16(captions[field - 2]);
    }
    void TakeText(int field, const QString& text) override {
        texts[field] = text;
        if (field == kAmountField && !text.isEmpty()) {
            texts[12] = amount::NormaliseAmount(text, u"￥"_s);
            texts[11] = amount::CapitalAmount(texts[12], u"￥"_s, u"￥"_s, u"￥"_s);
        }
        if (field <= kLastVoucherField && field != kCapitalField) texts[field + 16] = texts[field];
    }
};

const QStringList kCities{u"北京"_s, u"上海"_s, u"广州"_s, u"深圳"_s, u"杭州"_s,
                          u"南京"_s, u"成都"_s, u"武汉"_s, u"西安"_s, u"天津"_s};
const QStringList kTrades{u"贸易"_s, u"科技"_s, u"建材"_s, u"物流"_s, u"电子"_s,
                          u"食品"_s, u"医药"_s, u"纺织"_s, u"化工"_s, u"机械"_s};
const QStringList kBanks{u"中国工商银行"_s, u"中国农业银行"_s, u"中国银行"_s, u"中国建设银行"_s,
                         u"交通银行"_s,     u"招商银行"_s,     u"兴业银行"_s, u"中信银行"_s};
const QStringList kKinds{u"转账支票"_s, u"银行汇票"_s, u"商业汇票"_s, u"银行本票"_s};
const QStringList kPeople{u"张伟"_s, u"王芳"_s, u"李娜"_s, u"刘洋"_s, u"陈静"_s, u"杨磊"_s};

// A company name: 10 cities × 10 trades × 10 names, so each name is about 0.1% of vouchers.
QString Company(quint32 n) {
    static const QStringList names{u"华信"_s, u"恒达"_s, u"鑫源"_s, u"宏图"_s, u"金盛"_s,
                                   u"瑞丰"_s, u"永安"_s, u"德润"_s, u"嘉和"_s, u"东方"_s};
    return kCities[static_cast<int>(n % 10)] + names[static_cast<int>(n / 10 % 10)] +
           kTrades[static_cast<int>(n / 100 % 10)] + u"有限公司"_s;
}

QString Digits(QRandomGenerator& rng, int count) {
    QString s;
    for (int i = 0; i < count; ++i) s += QChar(u'0' + static_cast<char16_t>(rng.bounded(10)));
    return s;
}

// Writes `vouchers` printed vouchers of 32 rows each, and the kept voucher text.
bool Populate(const AppContext& ctx, int vouchers) {
    store::Database db(ctx);
    db.EnsureTables();
    if (!db.Begin()) return false;
    QSqlQuery q(db.Connection());
    q.prepare(u"INSERT INTO 记录 (Dat, Ctl, Con) VALUES (?,?,?)"_s);
    QRandomGenerator rng(20260307);
    QDateTime when(QDate(2026, 3, 7), QTime(17, 30, 0));
    const auto write = [&q](const QString& dat, const FieldTexts& t) {
        for (int i = kFirstField; i <= kLastField; ++i) {
            q.addBindValue(dat);
            q.addBindValue(i);
            q.addBindValue(t[i]);
            if (!q.exec()) return false;
        }
        return true;
    };
    for (int v = 0; v < vouchers; ++v) {
        FieldTexts t;
        const QDate d = when.date();
        t[2] = QString::number(d.year());
        t[3] = QString::number(d.month());
        t[4] = QString::number(d.day());
        t[5] = Company(rng.bounded(1000u));
        t[6] = Digits(rng, 19);
        t[7] = kCities[static_cast<int>(rng.bounded(10u))] +
               kBanks[static_cast<int>(rng.bounded(8u))] + u"营业部"_s;
        // The payee is one of 100 companies, so a payee's name matches about 1% of rows.
        t[8] = Company(rng.bounded(100u) * 10 + 3) + u"（收）"_s;
        t[9] = Digits(rng, 16);
        t[10] = kBanks[static_cast<int>(rng.bounded(8u))] +
                kCities[static_cast<int>(rng.bounded(10u))] + u"分行"_s;
        t[12] = amount::NormaliseAmount(
            QString::number(rng.bounded(100, 5000000)) + u'.' + Digits(rng, 2), u"￥"_s);
        t[11] = amount::CapitalAmount(t[12], u"￥"_s, u"￥"_s, u"￥"_s);
        t[13] = kKinds[static_cast<int>(rng.bounded(4u))];
        t[14] = QString::number(rng.bounded(1, 30));
        t[15] = Digits(rng, 8);
        t[16] = kPeople[static_cast<int>(rng.bounded(6u))];
        t[17] = kPeople[static_cast<int>(rng.bounded(6u))];
        for (int i = 2; i <= 17; ++i)
            if (i != kCapitalField) t[i + 16] = t[i];
        t[27] = rng.bounded(4u) == 0 ? u"货款"_s : QString();
        if (!write(store::DateText(when), t)) return false;
        // Printed vouchers lie minutes apart; now and then one at midnight (an import).
        when = v % 50 == 49 ? QDateTime(when.date(), QTime(0, 0)) : when.addSecs(-317);
    }
    FieldTexts kept;
    kept[5] = u"屏幕上的凭证"_s;
    if (!write(store::DateText(store::CurrentTextDate()), kept)) return false;
    return db.Commit();
}

// The statements SQLite runs on the connections the program opens while `caught` is set, with
// their bound values written in: what the program asked of the database, word for word.
QStringList* caught = nullptr;

int TraceStatement(unsigned type, void*, void* statement, void* text) {
    // A trigger's steps come as comments; only the statements themselves are kept.
    if (type != SQLITE_TRACE_STMT || !caught || static_cast<const char*>(text)[0] == '-') return 0;
    if (char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement))) {
        caught->append(QString::fromUtf8(sql));
        sqlite3_free(sql);
    }
    return 0;
}

int TraceConnection(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, TraceStatement, nullptr);
    return SQLITE_OK;
}

// Starts the peak anew, so the window's figure is its own.
void ResetPeakRss() {
    QFile f(u"/proc/self/clear_refs"_s);
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

// Wall-clock time and the processor time spent on it (this process, or its finished
// children for the command-line tool). The processor time is the steadier figure on a
// machine shared with other work.
struct Timing {
    double wall = -1;
    double cpu = -1;
};

double CpuMs(int who) {
    rusage u{};
    getrusage(who, &u);
    return (static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The fastest of `runs` runs.
template <typename F>
Timing Best(int runs, F f, int who = RUSAGE_SELF) {
    Timing best{1e99, 0};
    for (int i = 0; i < runs; ++i) {
        const double cpu0 = CpuMs(who);
        QElapsedTimer t;
        t.start();
        f();
        const double wall = static_cast<double>(t.nsecsElapsed()) / 1e6;
        if (wall < best.wall) best = {wall, CpuMs(who) - cpu0};
    }
    return best;
}

void Line(const char* what, Timing ours, Timing reference = {}, const char* against = "") {
    std::printf("%-44s %8.1f ms (cpu %8.1f)", what, ours.wall, ours.cpu);
    if (reference.wall > 0)
        std::printf("   %-24s %8.1f ms (cpu %8.1f)   ratio %.2f (cpu %.2f)", against,
                    reference.wall, reference.cpu, ours.wall / reference.wall,
                    ours.cpu / reference.cpu);
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InstallFontSubstitutions();
    bench::PrintingPrompt prompt(true, "");
    AppContext ctx;
    ctx.SetPrompt(&prompt);

    const QStringList args = QApplication::arguments();
    if (args.size() == 4 && args[1] == u"--populate"_s) {
        ctx.dataDir = args[2];
        return Populate(ctx, args[3].toInt()) ? 0 : 1;
    }
    const int vouchers = args.size() > 1 ? args[1].toInt() : 100000;
    QTemporaryDir dir;
    ctx.dataDir = dir.path();
    QElapsedTimer timer;
    timer.start();
    if (!Populate(ctx, vouchers)) {
        std::printf("could not write the records\n");
        return 1;
    }
    std::printf("Par.mdb with %d vouchers (%d rows of 记录) written in %.1f s\n", vouchers,
                vouchers * 32 + 32, static_cast<double>(timer.elapsed()) / 1000);

    const QFont font(u"宋体"_s, 9);
    const TextWidth width = FontTextWidth(font, 15);  // 96 DPI
    BenchVoucher voucher;

    // What the program reads to fill the list, caught in one fill: the command-line tool runs
    // exactly those queries, its rows going to /dev/null.
    QStringList statements;
    {
        // Every connection opened from here on is traced (Qt's driver and this program share
        // the system's SQLite).
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(TraceConnection));
        caught = &statements;
        TextGrid once;
        FillHistory(ctx, once, voucher, width);
        caught = nullptr;
    }
    QStringList queries;
    for (const QString& sql : statements)
        if (sql.trimmed().startsWith(u"SELECT"_s, Qt::CaseInsensitive) ||
            sql.trimmed().startsWith(u"WITH"_s, Qt::CaseInsensitive))
            queries.append(sql.trimmed());
    std::printf("the program's queries, run by the tool as well:\n");
    for (const QString& q : queries) std::printf("  %s\n", qPrintable(q));
    const QString tool = QStandardPaths::findExecutable(u"sqlite3"_s);
    const auto runCli = [&] {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(tool, {ctx.DatabasePath(), queries.join(u"; "_s)});
        p.waitForFinished(-1);
    };
    const Timing cli =
        tool.isEmpty() || queries.isEmpty() ? Timing{} : Best(3, runCli, RUSAGE_CHILDREN);

    TextGrid grid;
    grid.SetWidth(12315);
    const Timing fill = Best(3, [&] {
        FillHistory(ctx, grid, voucher, width);
        GridTableModel model(grid);
    });
    Line("FillHistory, closed file to filled model", fill, cli, "sqlite3 CLI, same queries");
    std::printf("  %d rows listed\n", grid.Rows() - 2);

    const QString needle = Company(3 * 10 + 3);
    int matched = 0;
    Line("FilterHistory, a payee's name", Best(3, [&] { FilterHistory(grid, needle); }));
    for (int r = 2; r < grid.Rows(); ++r) matched += grid.RowHeight(r) > 0 ? 1 : 0;
    std::printf("  %d rows (%.2f%%) match \"%s\"\n", matched, 100.0 * matched / (grid.Rows() - 2),
                qPrintable(needle));
    Line("FilterHistory, empty text", Best(3, [&] { FilterHistory(grid, {}); }));

    Line("SortByColumn, payer name (text)", Best(3, [&] { SortByColumn(grid, 5); }));
    Line("SortByColumn, amount (number)", Best(3, [&] { SortByColumn(grid, 12); }));
    Line("SortByColumn, bill count (number)", Best(3, [&] { SortByColumn(grid, 14); }));

    const int middle = grid.Rows() / 2;
    grid.Row = middle;
    grid.RowSel = middle + 9;
    bool deleted = false;
    Line("DeleteHistoryRows, 10 rows in the middle",
         Best(1, [&] { deleted = DeleteHistoryRows(ctx, grid); }));
    if (!deleted) std::printf("  the delete failed\n");
    grid.Row = middle;
    Line("TakeBackRecord", Best(3, [&] { TakeBackRecord(grid, voucher); }));
    std::printf("peak resident memory, core figures: %.0f MB\n", PeakRssMb());
    grid = TextGrid();
    ResetPeakRss();

    // The window itself: open, paint, scroll to the end.
    std::unique_ptr<OldRec> window;
    Line("history window: fill, show, first paint", Best(1, [&] {
             window = std::make_unique<OldRec>(ctx, std::make_unique<BenchVoucher>());
             window->show();
             QApplication::processEvents();
         }));
    Line("history window: 20 jumps across the list", Best(1, [&] {
             for (int i = 0; i < 20; ++i) {
                 window->MSG()->verticalScrollBar()->setValue(
                     window->MSG()->verticalScrollBar()->maximum() * i / 19);
                 window->MSG()->viewport()->repaint();
             }
         }));
    std::printf("  %d rows in the window\n", window->MSG()->model()->rowCount());
    std::printf("peak resident memory with the filled window: %.0f MB\n", PeakRssMb());
    return 0;
}
