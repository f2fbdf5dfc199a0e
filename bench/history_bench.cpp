// Store-level figures of the print history at 100,000 or 1,000,000 vouchers (32 rows of 记录
// each): listing the record keys, the first and the last page of records, reading one field of
// every record for sorting beside the sqlite3 tool reading the same column, searching for a
// rare and a common text, deleting 10 records, and exporting every record to .xlsx beside
// libxlsxwriter alone writing the same cells. The history is written once into the build
// folder (bench-data/history-N/Par.mdb) and used again; the first run also times the building
// of the file's index of its records, as a first start of the program on an older file does.
// With --window, the same history through the history window itself on the offscreen platform:
// from opening to the first rows painted, the peak memory of the process with the window open,
// sorting by a text and by a number column (to the rows repainted) beside the sqlite3 tool
// reading that column, searching for a rare and a common text, deleting 10 rows, jumping to
// the last row, and exporting the list to .xlsx beside libxlsxwriter alone.
// Run by hand, under nice: build/bench/history_bench [--window] [vouchers] (the window on
// QT_QPA_PLATFORM=offscreen), or --populate DIR vouchers to only write a Par.mdb.
#include <sqlite3.h>
#include <sys/resource.h>
#include <xlsxwriter.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "amount/amount.h"
#include "bench/bench_support.h"
#include "common/fields.h"
#include "gui/history/history_view.h"
#include "gui/history/old_rec.h"
#include "history/export.h"
#include "store/database.h"
#include "store/record_store.h"

using namespace tf;
using namespace Qt::StringLiterals;
using tf::bench::PeakRssMb;
using tf::store::RecordKey;

namespace {

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

// Writes `vouchers` printed vouchers of 32 rows each, and the kept voucher text, straight
// through SQLite with no journal and the date index made afterwards: the bench's set-up, not a
// figure. The file is as the program leaves it: its tables, its indexes, its journal mode.
bool Populate(const QString& path, int vouchers) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) return false;
    const auto exec = [db](const char* sql) {
        return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    };
    bool ok = exec("PRAGMA journal_mode=OFF") && exec("PRAGMA synchronous=OFF") &&
              exec("CREATE TABLE 记录 (Dat TEXT, Ctl INTEGER, Con TEXT)") && exec("BEGIN");
    std::string sql = "INSERT INTO 记录 (Dat, Ctl, Con) VALUES ";
    for (int i = kFirstField; i <= kLastField; ++i) sql += i > kFirstField ? ",(?,?,?)" : "(?,?,?)";
    sqlite3_stmt* insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr) == SQLITE_OK;
    const auto write = [insert](const QString& dat, const FieldTexts& t) {
        const QByteArray d = dat.toUtf8();
        std::array<QByteArray, kFieldCount> texts;
        for (int i = kFirstField, n = 1; i <= kLastField; ++i) {
            texts[static_cast<size_t>(i - kFirstField)] = t[i].toUtf8();
            const QByteArray& c = texts[static_cast<size_t>(i - kFirstField)];
            sqlite3_bind_text(insert, n++, d.constData(), int(d.size()), SQLITE_STATIC);
            sqlite3_bind_int(insert, n++, i);
            sqlite3_bind_text(insert, n++, c.constData(), int(c.size()), SQLITE_STATIC);
        }
        const bool done = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
        return done;
    };
    QRandomGenerator rng(20260307);
    QDateTime when(QDate(2026, 3, 7), QTime(17, 30, 0));
    for (int v = 0; ok && v < vouchers; ++v) {
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
        ok = write(store::DateText(when), t);
        // Printed vouchers lie minutes apart; now and then one at midnight (an import).
        when = v % 50 == 49 ? QDateTime(when.date(), QTime(0, 0)) : when.addSecs(-317);
        if (when == store::CurrentTextDate()) when = when.addSecs(-317);
        if (v % 100000 == 99999) std::printf("  %d vouchers written\n", v + 1);
    }
    FieldTexts kept;
    kept[5] = u"屏幕上的凭证"_s;
    ok = ok && write(store::DateText(store::CurrentTextDate()), kept);
    sqlite3_finalize(insert);
    ok = ok && exec("COMMIT") && exec("CREATE INDEX 记录_日期 ON 记录 (Dat)") &&
         exec("PRAGMA journal_mode=DELETE");
    sqlite3_close(db);
    return ok;
}

// ---- timing ------------------------------------------------------------------------------

// Wall-clock time and the processor time spent on it (this process, or its finished children
// for the command-line tool). The processor time is the steadier figure on a machine shared
// with other work.
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

// The median of the timings, wall-clock and processor time each.
Timing Middle(std::vector<Timing> runs) {
    std::vector<double> walls, cpus;
    for (const Timing& t : runs) {
        walls.push_back(t.wall);
        cpus.push_back(t.cpu);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

// The median of `runs` runs, wall-clock and processor time each.
template <typename F>
Timing Median(int runs, F f, int who = RUSAGE_SELF) {
    std::vector<Timing> timings;
    for (int i = 0; i < runs; ++i) {
        const double cpu0 = CpuMs(who);
        QElapsedTimer t;
        t.start();
        f();
        timings.push_back({static_cast<double>(t.nsecsElapsed()) / 1e6, CpuMs(who) - cpu0});
    }
    return Middle(std::move(timings));
}

void Line(const char* what, Timing ours, Timing reference = {}, const char* against = "") {
    std::printf("%-46s %9.1f ms (cpu %9.1f)", what, ours.wall, ours.cpu);
    if (reference.wall > 0)
        std::printf("   %-30s %9.1f ms (cpu %9.1f)   ratio %.2f (cpu %.2f)", against,
                    reference.wall, reference.cpu, ours.wall / reference.wall,
                    ours.cpu / reference.cpu);
    std::printf("\n");
    std::fflush(stdout);
}

// Starts the peak anew, so a figure is the operation's own.
void ResetPeakRss() {
    QFile f(u"/proc/self/clear_refs"_s);
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

double RssMb() {
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

double FileMb(const QString& path) {
    return static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
}

// The sqlite3 command-line tool running one query on the file, its rows to /dev/null.
Timing Tool(const QString& database, const QString& sql, int runs) {
    const QString tool = QStandardPaths::findExecutable(u"sqlite3"_s);
    if (tool.isEmpty()) return {};
    return Median(
        runs,
        [&] {
            QProcess p;
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(tool, {database, sql});
            p.waitForFinished(-1);
        },
        RUSAGE_CHILDREN);
}

// ---- the reference export: libxlsxwriter alone ----------------------------------------------

// Every cell's text as the export writes it (a leading blank), in one buffer.
struct Cells {
    std::string text;
    std::vector<std::pair<quint32, quint32>> at;  // row, column of each text
    std::vector<size_t> end;                      // where each text ends in `text`
};

// Writes the cells with libxlsxwriter in constant-memory mode, with the export's column widths,
// its grey bold header and thin borders on every cell.
bool WriteWithLibxlsxwriter(const Cells& cells, const QString& path, int columns) {
    lxw_workbook_options options{};
    options.constant_memory = 1;
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook* book = workbook_new_opt(file.constData(), &options);
    if (!book) return false;
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* header = workbook_add_format(book);
    format_set_bold(header);
    format_set_bg_color(header, 0xD0D0D0);
    format_set_border(header, LXW_BORDER_THIN);
    lxw_format* body = workbook_add_format(book);
    format_set_border(body, LXW_BORDER_THIN);
    for (int c = 0; c < columns; ++c)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), 12,
                             nullptr);
    size_t from = 0;
    for (size_t i = 0; i < cells.at.size(); ++i) {
        const auto [row, col] = cells.at[i];
        std::string text = cells.text.substr(from, cells.end[i] - from);
        from = cells.end[i];
        worksheet_write_string(sheet, row, static_cast<lxw_col_t>(col), text.c_str(),
                               row == 0 ? header : body);
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

// The cells an export of the keys writes: the captions, then each record numbered from 1.
Cells ExportCells(store::RecordStore& records, const QList<RecordKey>& keys,
                  const history::ExportLayout& layout) {
    Cells cells;
    for (int c = 0; c < 18; ++c) {
        cells.text += ' ' + layout.captions.value(c).toStdString();
        cells.at.emplace_back(0, c);
        cells.end.push_back(cells.text.size());
    }
    for (qsizetype at = 0; at < keys.size(); at += 1000) {
        const qsizetype n = std::min<qsizetype>(1000, keys.size() - at);
        const QList<store::Record> chunk = *records.ReadRecords(
            {keys.constData() + at, static_cast<size_t>(n)}, store::Fields::Shown);
        for (qsizetype i = 0; i < chunk.size(); ++i) {
            const auto row = static_cast<quint32>(at + i + 1);
            QStringList texts{QString::number(row)};
            for (const int field : store::kShownFields) texts.append(chunk[i].texts[field]);
            for (int c = 0; c < texts.size(); ++c) {
                if (texts[c].isEmpty()) continue;
                cells.text += ' ' + texts[c].toStdString();
                cells.at.emplace_back(row, c);
                cells.end.push_back(cells.text.size());
            }
        }
    }
    return cells;
}

// Exports the keys to .xlsx as the program does, then libxlsxwriter alone writes the same cells;
// tells both times and the memory around the export.
void ExportFigure(const char* what, const AppContext& ctx, store::RecordStore& records,
                  const QList<RecordKey>& keys, const history::ExportLayout& layout) {
    QTemporaryDir out;
    const double before = RssMb();
    ResetPeakRss();
    bool exported = false;
    const Timing ours = Median(1, [&] {
        exported =
            history::ExportRecords(ctx, records, keys, layout, out.filePath(u"history.xlsx"_s));
    });
    const double peak = PeakRssMb();
    const Cells cells = ExportCells(records, keys, layout);
    const Timing reference =
        Median(1, [&] { WriteWithLibxlsxwriter(cells, out.filePath(u"reference.xlsx"_s), 18); });
    Line(what, ours, reference, "libxlsxwriter alone");
    std::printf("  %s, %.0f MB written (reference %.0f MB); memory %.0f MB before, peak %.0f MB\n",
                exported ? "saved" : "NOT saved", FileMb(out.filePath(u"history.xlsx"_s)),
                FileMb(out.filePath(u"reference.xlsx"_s)), before, peak);
}

// ---- the records deleted by the bench go back, so that every run finds the same history ----

bool Restore(const QString& path, const QList<store::Record>& records) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO 记录 (Dat, Ctl, Con) VALUES (?,?,?)", -1,
                                  &insert, nullptr) == SQLITE_OK;
    for (const store::Record& r : records) {
        const QByteArray dat = store::DatOfKey(r.key).toUtf8();
        for (int i = kFirstField; ok && i <= kLastField; ++i) {
            if (r.texts[i].isNull()) continue;
            const QByteArray con = r.texts[i].toUtf8();
            sqlite3_bind_text(insert, 1, dat.constData(), int(dat.size()), SQLITE_STATIC);
            sqlite3_bind_int(insert, 2, i);
            sqlite3_bind_text(insert, 3, con.constData(), int(con.size()), SQLITE_STATIC);
            ok = sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
        }
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// ---- the window ------------------------------------------------------------------------------

struct Captions : history::VoucherFields {
    QString Caption(int field) const override { return u"字段%1"_s.arg(field); }
    void TakeText(int, const QString&) override {}
};

// Notes the paint events a widget receives.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// Runs the step and then the event loop until the widget has painted anew (10 s at most).
template <typename F>
void UntilPainted(PaintWatch& watch, F step) {
    watch.painted = false;
    step();
    QElapsedTimer t;
    t.start();
    while (!watch.painted && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    if (!watch.painted) std::printf("  (no repaint within 10 s)\n");
}

// The window figures of the history at `path` (see the top of this file).
int WindowFigures(AppContext& ctx, const QString& path) {
    std::printf("before the window: %.0f MB resident, peak %.0f MB\n", RssMb(), PeakRssMb());
    std::unique_ptr<history::OldRec> window;
    std::unique_ptr<PaintWatch> watch;
    // The first opening reads a cold list; each opening is a new window, as for the clerk.
    const Timing open = Median(3, [&] {
        watch.reset();
        window.reset();
        window = std::make_unique<history::OldRec>(ctx, std::make_unique<Captions>());
        watch = std::make_unique<PaintWatch>(window->MSG()->viewport());
        UntilPainted(*watch, [&] { window->show(); });
    });
    history::OldRec& w = *window;
    history::HistoryModel& model = *w.Model();
    Line("Window: open to the first rows painted", open);
    std::printf("  %d rows listed, window %d px wide; peak memory %.0f MB (VmHWM)\n",
                model.rowCount(), w.width(), PeakRssMb());

    // A press on a column's header, to the rows repainted, beside the tool reading the column.
    for (const auto& [field, what] : {std::pair{14, "Window: sort by bill count (number)"},
                                      std::pair{5, "Window: sort by drawer (text)"}}) {
        const int column = static_cast<int>(
            std::find(store::kShownFields.begin(), store::kShownFields.end(), field) -
            store::kShownFields.begin());
        const Timing ours = Median(3, [&] {
            UntilPainted(*watch, [&] { emit w.MSG()->horizontalHeader()->sectionClicked(column); });
        });
        Line(what, ours, Tool(path, u"SELECT Dat, Con FROM 记录 WHERE Ctl = %1"_s.arg(field), 3),
             qPrintable(u"sqlite3: Ctl = %1"_s.arg(field)));
    }

    // "搜索" with a rare and a common text, to the rows repainted; the list shown whole again
    // after each (not timed).
    const QString account = model.RowTexts(model.rowCount() / 2)[6].mid(3, 12);
    for (const auto& [text, what] :
         {std::pair{account, "Window: search, rare (12 digits of an account)"},
          std::pair{u"中国银行"_s, "Window: search, common (a bank, about 23 %)"}}) {
        std::vector<Timing> runs;
        int shown = 0;
        for (int i = 0; i < 3; ++i) {
            w.Search()->setText(text);
            runs.push_back(
                Median(1, [&] { UntilPainted(*watch, [&] { w.Commands().search->trigger(); }); }));
            shown = model.rowCount();
            w.Search()->clear();
            UntilPainted(*watch, [&] { w.Commands().search->trigger(); });
        }
        Line(what, Middle(runs));
        std::printf("  %d rows shown\n", shown);
    }

    // Ten rows in the middle chosen and deleted ("删除记录", answered yes), to the rows
    // repainted; the records are stored back afterwards (not timed), the list keeps 10 fewer.
    {
        std::vector<Timing> runs;
        for (int i = 0; i < 3; ++i) {
            const int at = model.rowCount() / 2;
            const QList<RecordKey> ten = model.KeysBetween(at, at + 9);
            const QList<store::Record> saved = *model.Store().ReadRecords(ten, store::Fields::All);
            w.MSG()->ChooseRows(at, at + 9);
            runs.push_back(Median(
                1, [&] { UntilPainted(*watch, [&] { w.Commands().deleteRecords->trigger(); }); }));
            if (!Restore(path, saved)) std::printf("  the records could not be stored back\n");
        }
        Line("Window: delete 10 rows", Middle(runs));
    }

    // Ctrl+End in the list, to the last rows painted; Ctrl+Home back (not timed).
    {
        std::vector<Timing> runs;
        const auto key = [&](Qt::Key k) {
            QKeyEvent press(QEvent::KeyPress, k, Qt::ControlModifier);
            QCoreApplication::sendEvent(w.MSG(), &press);
        };
        for (int i = 0; i < 3; ++i) {
            runs.push_back(Median(1, [&] { UntilPainted(*watch, [&] { key(Qt::Key_End); }); }));
            UntilPainted(*watch, [&] { key(Qt::Key_Home); });
        }
        Line("Window: jump to the last row", Middle(runs));
    }

    // "导出数据" as the window runs it: the list's keys in its order, its captions and widths.
    const std::span<const RecordKey> ordered = model.OrderedKeys();
    const QList<RecordKey> keys(ordered.begin(), ordered.end());
    const history::ExportLayout layout = w.CurrentExportLayout();
    ExportFigure("Window: export all to .xlsx", ctx, model.Store(), keys, layout);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The window figures need widgets; the store-level ones run without.
    const bool windowed = argc > 1 && qstrcmp(argv[1], "--window") == 0;
    std::unique_ptr<QCoreApplication> app;
    if (windowed)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    bench::PrintingPrompt prompt(true, "");
    AppContext ctx;
    ctx.SetPrompt(&prompt);

    QStringList args = QCoreApplication::arguments();
    if (windowed) args.removeAt(1);
    if (args.size() == 4 && args[1] == u"--populate"_s) {
        ctx.dataDir = args[2];
        return Populate(ctx.DatabasePath(), args[3].toInt()) ? 0 : 1;
    }
    const int vouchers = args.size() > 1 ? args[1].toInt() : 100000;
    ctx.dataDir =
        QDir(QStringLiteral(TALLYFORM_BENCH_DATA)).filePath(u"history-%1"_s.arg(vouchers));
    const QString path = ctx.DatabasePath();
    QDir().mkpath(ctx.dataDir);
    if (!QFileInfo::exists(path)) {
        QElapsedTimer timer;
        timer.start();
        if (!Populate(path, vouchers)) {
            std::printf("could not write the records\n");
            QFile::remove(path);
            return 1;
        }
        std::printf("history written in %.1f s (set-up, once)\n",
                    static_cast<double>(timer.elapsed()) / 1000);
    }
    if (windowed) {
        store::Database(ctx).EnsureTables();
        std::printf("Par.mdb: %d vouchers, %.0f MB (%s)\n", vouchers, FileMb(path),
                    qPrintable(path));
        return WindowFigures(ctx, path);
    }
    const double bareMb = FileMb(path);
    Line("start: tables, record index, suggestion table",
         Median(1, [&] { store::Database(ctx).EnsureTables(); }));
    std::printf("Par.mdb: %d vouchers, %d rows of 记录, %.0f MB (%s)\n", vouchers,
                vouchers * 32 + 32, FileMb(path), qPrintable(path));
    std::printf("  (the size before this run's start: %.0f MB)\n", bareMb);
    std::unique_ptr<store::RecordStore> records = store::OpenRecordStore(ctx);

    // Keys and pages: what a list needs before it shows its first rows.
    QList<RecordKey> keys;
    Line("ListKeys (the key table)", Median(5, [&] { keys = records->ListKeys().value_or(keys); }),
         Tool(path, u"SELECT DISTINCT Dat FROM 记录"_s, 3), "sqlite3: SELECT DISTINCT Dat");
    std::printf("  %lld keys\n", static_cast<long long>(keys.size()));
    if (keys.size() < 100) return 1;
    const auto page = [&](qsizetype at, qsizetype n) {
        return std::span<const RecordKey>(keys.constData() + at, static_cast<size_t>(n));
    };
    Line("ReadRecords, the 50 newest (first screen)", Median(5, [&] {
             records->ReadRecords(page(keys.size() - 50, 50), store::Fields::Shown);
         }));
    Line("ReadRecords, the 50 oldest (jump to the end)",
         Median(5, [&] { records->ReadRecords(page(0, 50), store::Fields::Shown); }));

    // One field of every record, for sorting, against the tool reading the same column.
    for (const auto& [field, what] : {std::pair{14, "ReadField 14, bill count (number)"},
                                      std::pair{5, "ReadField 5, drawer (text)"}}) {
        qint64 n = 0;
        const Timing ours = Median(3, [&] {
            n = 0;
            records->ReadField(field, [&n](RecordKey, QStringView) { ++n; });
        });
        const QString sql = u"SELECT Dat, Con FROM 记录 WHERE Ctl = %1"_s.arg(field);
        Line(what, ours, Tool(path, sql, 3), qPrintable(u"sqlite3: Ctl = %1"_s.arg(field)));
        std::printf("  %lld texts\n", static_cast<long long>(n));
    }

    // Searches, from a text one voucher holds to one every voucher holds.
    const QString account =
        records->ReadRecords(page(keys.size() / 2, 1), store::Fields::Shown)->first().texts[6];
    for (const auto& [text, what] :
         {std::pair{account.mid(3, 12), "Search, rare (12 digits of an account)"},
          std::pair{Company(3 * 10 + 3), "Search, a payee's name (1 %)"},
          std::pair{u"中国银行"_s, "Search, common (a bank, about 23 %)"},
          std::pair{u"有限公司"_s, "Search, in every voucher"},
          std::pair{u"张伟"_s, "Search, two characters (a name)"},
          std::pair{u"7"_s, "Search, one digit"}}) {
        qsizetype found = 0;
        Line(what,
             Median(3, [&] { found = records->Search(text).value_or(QList<RecordKey>{}).size(); }));
        std::printf("  %lld vouchers hold \"%s\"\n", static_cast<long long>(found),
                    qPrintable(text));
    }

    // Deleting 10 records in the middle; they are stored back (not timed) after each run.
    const std::span<const RecordKey> ten = page(keys.size() / 2, 10);
    const QList<store::Record> tenRecords = *records->ReadRecords(ten, store::Fields::All);
    bool deleted = true;
    std::vector<Timing> runs;
    for (int run = 0; run < 3; ++run, Restore(path, tenRecords))
        runs.push_back(Median(1, [&] { deleted = deleted && records->Delete(ten); }));
    Line("Delete, 10 records", Middle(runs));
    if (!deleted) std::printf("  the delete failed: %s\n", qPrintable(records->FailureText(true)));

    // Every record to .xlsx, newest first, against libxlsxwriter alone writing the same cells.
    QList<RecordKey> newestFirst(keys.rbegin(), keys.rend());
    history::ExportLayout layout;
    layout.captions.append(QString());
    for (const int field : store::kShownFields) layout.captions.append(u"字段%1"_s.arg(field));
    for (int c = 0; c < 18; ++c) layout.widths.append(1500);
    ExportFigure("Export all to .xlsx", ctx, *records, newestFirst, layout);
    return 0;
}
