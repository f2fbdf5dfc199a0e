// Figures for quick fill at 1,000,000 printed vouchers (32 million rows of 记录): the time of
// one keystroke's suggestions, building the suggestion table from the history, and what the
// table adds to storing and deleting one voucher. References measured in the same run: the
// sqlite3 command-line tool scanning the history for the same names and aggregating its
// parties, and the store without the table. Run by hand:
//   build-release/bench/quickfill_bench [vouchers]
// The history is written once into the build folder (bench-data/) and used again.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>

#include "bench/bench_support.h"
#include "common/fields.h"
#include "common/pinyin.h"
#include "store/database.h"
#include "store/parties.h"
#include "store/record_store.h"

using namespace tf;
using namespace Qt::StringLiterals;
using tf::bench::PeakRssMb;

namespace {

// ---- the history -------------------------------------------------------------------------

const QStringList kCities{u"北京"_s, u"上海"_s, u"广州"_s, u"深圳"_s, u"杭州"_s, u"南京"_s,
                          u"成都"_s, u"武汉"_s, u"西安"_s, u"天津"_s, u"重庆"_s, u"长沙"_s,
                          u"郑州"_s, u"济南"_s, u"青岛"_s, u"厦门"_s, u"苏州"_s, u"无锡"_s,
                          u"宁波"_s, u"合肥"_s, u"福州"_s, u"昆明"_s, u"沈阳"_s, u"大连"_s};
// Characters of trade names, paired into two-character names.
const QString kNameChars =
    u"华夏庚方恒达鑫源宏图金盛瑞丰永安德润嘉和东方兴业中联长城银河天宇新世纪百利通泰"
    u"万家福星海光明远博雅诚信汇丰佳禾晨曦锦程立行乐重"_s;
const QStringList kTrades{u"物流"_s, u"贸易"_s,     u"科技"_s,     u"建设"_s,
                          u"建材"_s, u"电子"_s,     u"食品"_s,     u"医药"_s,
                          u"纺织"_s, u"化工"_s,     u"机械"_s,     u"印务"_s,
                          u"餐饮"_s, u"文化传媒"_s, u"信息技术"_s, u"农业发展"_s};
const QStringList kSuffixes{u"有限公司"_s,     u"有限公司"_s, u"有限公司"_s,
                            u"股份有限公司"_s, u"商行"_s,     u"厂"_s};
const QStringList kBanks{u"中国工商银行"_s, u"中国农业银行"_s, u"中国银行"_s, u"中国建设银行"_s,
                         u"交通银行"_s,     u"招商银行"_s,     u"兴业银行"_s, u"中信银行"_s};
const QStringList kBranches{u"营业部"_s,     u"东城支行"_s, u"高新区支行"_s,
                            u"开发区支行"_s, u"城南支行"_s, u"人民路支行"_s};
const QStringList kKinds{u"转账支票"_s, u"银行汇票"_s, u"商业汇票"_s, u"银行本票"_s, u"现金"_s};
const QStringList kPeople{u"张伟"_s, u"王芳"_s, u"李娜"_s, u"刘洋"_s,
                          u"陈静"_s, u"杨磊"_s, u"赵敏"_s, u"黄强"_s};
const QStringList kRemarks{u"货款"_s,   u"服务费"_s,    u"运费"_s,   u"预付款"_s, u"租金"_s,
                           u"工程款"_s, u"材料款"_s,    u"保证金"_s, u"退款"_s,   u"咨询费"_s,
                           u"往来款"_s, u"设备款"_s,    u"加工费"_s, u"广告费"_s, u"维修费"_s,
                           u"代垫款"_s, u"技术服务费"_s};

struct Party {
    QString name;
    QString account;
    QString bank;
};

QString Digits(QRandomGenerator& rng, int count) {
    QString s;
    for (int i = 0; i < count; ++i) s += QChar(u'0' + static_cast<char16_t>(rng.bounded(10)));
    return s;
}

template <typename T>
const T& Pick(QRandomGenerator& rng, const QList<T>& list) {
    return list[static_cast<qsizetype>(rng.bounded(static_cast<quint32>(list.size())))];
}

// `names` distinct company names; one in five has a second account, one in twenty a third.
QList<Party> MakeParties(QRandomGenerator& rng, int names) {
    QSet<QString> used;
    QList<Party> parties;
    while (used.size() < names) {
        const QString brand = kNameChars[rng.bounded(static_cast<int>(kNameChars.size()))] +
                              QString(kNameChars[rng.bounded(static_cast<int>(kNameChars.size()))]);
        const QString name = Pick(rng, kCities) + brand + Pick(rng, kTrades) + Pick(rng, kSuffixes);
        if (used.contains(name)) continue;
        used.insert(name);
        const int accounts = rng.bounded(20) == 0 ? 3 : rng.bounded(5) == 0 ? 2 : 1;
        for (int a = 0; a < accounts; ++a)
            parties.append({name, Digits(rng, 16 + rng.bounded(4)),
                            Pick(rng, kBanks) + Pick(rng, kCities) + Pick(rng, kBranches)});
    }
    // Shuffled, so that popularity (by position) is not ordered by name.
    for (qsizetype i = parties.size() - 1; i > 0; --i)
        std::swap(parties[i], parties[rng.bounded(static_cast<quint32>(i + 1))]);
    return parties;
}

// Picks a party with a Zipf-like popularity: a few are used every day, most now and then.
class Popularity {
public:
    explicit Popularity(qsizetype count) {
        double sum = 0;
        for (qsizetype i = 0; i < count; ++i) cumulative_.append(sum += 1.0 / std::pow(i + 1, 0.9));
    }
    qsizetype Pick(QRandomGenerator& rng) const {
        const double x = rng.generateDouble() * cumulative_.last();
        return std::lower_bound(cumulative_.begin(), cumulative_.end(), x) - cumulative_.begin();
    }

private:
    QList<double> cumulative_;
};

FieldTexts MakeVoucher(QRandomGenerator& rng, const QList<Party>& parties, const Popularity& pop,
                       const QDateTime& when, int serial) {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = u""_s;
    t[2] = QString::number(when.date().year());
    t[3] = QString::number(when.date().month());
    t[4] = QString::number(when.date().day());
    const Party& drawer = parties[pop.Pick(rng)];
    const Party& payee = parties[pop.Pick(rng)];
    t[5] = drawer.name;
    t[6] = drawer.account;
    t[7] = drawer.bank;
    t[8] = payee.name;
    t[9] = payee.account;
    t[10] = payee.bank;
    t[12] = u"￥"_s + QString::number(rng.bounded(100, 5000000)) + u".00"_s;
    t[11] = u"壹万元整"_s;
    t[13] = Pick(rng, kKinds);
    t[14] = QString::number(rng.bounded(1, 5));
    t[15] = Digits(rng, 8);
    t[16] = Pick(rng, kPeople);
    t[17] = Pick(rng, kPeople);
    for (int i = 2; i <= 17; ++i)
        if (i != kCapitalField) t[i + 16] = t[i];
    // Mostly empty or a usual word; one in twenty a text of its own (about 50,000).
    const int remark = rng.bounded(20);
    if (remark == 0)
        t[27] = u"发票号"_s + QString::number(10000000 + serial);
    else if (remark < 6)
        t[27] = Pick(rng, kRemarks);
    return t;
}

// Writes the history straight through a connection of its own, one statement a voucher and
// no journal: this is the bench's set-up, not a figure.
bool Populate(const AppContext& ctx, int vouchers, int names, QList<Party>& parties) {
    QRandomGenerator rng(20260307);
    parties = MakeParties(rng, names);
    const Popularity pop(parties.size());
    const QString connection = u"bench-populate"_s;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(ctx.DatabasePath());
        ok = db.open();
        QSqlQuery q(db);
        ok = ok && q.exec(u"PRAGMA journal_mode=OFF"_s) && q.exec(u"PRAGMA synchronous=OFF"_s) &&
             q.exec(u"CREATE TABLE 记录 (Dat TEXT, Ctl INTEGER, Con TEXT)"_s) && db.transaction();
        QStringList tuples;
        for (int i = kFirstField; i <= kLastField; ++i) tuples.append(u"(?,?,?)"_s);
        ok = ok && q.prepare(u"INSERT INTO 记录 (Dat, Ctl, Con) VALUES "_s + tuples.join(u','));
        // Ten years of vouchers, the latest now.
        const QDateTime last(QDate(2026, 3, 6), QTime(17, 0));
        const qint64 span = 10LL * 365 * 86400;
        for (int v = 0; ok && v < vouchers; ++v) {
            const QDateTime when = last.addSecs(-span + span * v / vouchers);
            const FieldTexts t = MakeVoucher(rng, parties, pop, when, v);
            const QString dat = store::DateText(when);
            for (int i = kFirstField, n = 0; i <= kLastField; ++i) {
                q.bindValue(n++, dat);
                q.bindValue(n++, i);
                q.bindValue(n++, t[i]);
            }
            ok = q.exec();
            if (v % 100000 == 99999) std::printf("  %d vouchers written\n", v + 1);
        }
        if (!ok) std::printf("populate: %s\n", qPrintable(q.lastError().text()));
        q.finish();
        ok = ok && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!ok) return false;
    store::Database db(ctx);
    db.EnsureTables();
    return store::StoreTexts(ctx, store::CurrentTextDate(), FieldTexts());
}

// ---- timing ------------------------------------------------------------------------------

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

template <typename F>
Timing Time(F f, int who = RUSAGE_SELF) {
    const double cpu0 = CpuMs(who);
    QElapsedTimer t;
    t.start();
    f();
    return {static_cast<double>(t.nsecsElapsed()) / 1e6, CpuMs(who) - cpu0};
}

void Line(const char* what, Timing ours, Timing reference = {}, const char* against = "") {
    std::printf("%-46s %9.2f ms (cpu %9.2f)", what, ours.wall, ours.cpu);
    if (reference.wall > 0)
        std::printf("   %-28s %9.2f ms (cpu %9.2f)   ratio %.3f", against, reference.wall,
                    reference.cpu, ours.wall / reference.wall);
    std::printf("\n");
    std::fflush(stdout);
}

// Median, 90th percentile and largest of a set of times, wall-clock and processor time.
void Spread(const char* what, const QList<Timing>& times, const char* unit, Timing reference = {},
            const char* against = "") {
    QList<double> wall, cpu;
    for (const Timing& t : times) {
        wall.append(t.wall);
        cpu.append(t.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    const auto at = [](const QList<double>& ms, double q) {
        return ms[static_cast<qsizetype>(q * static_cast<double>(ms.size() - 1))];
    };
    std::printf("%-40s median %6.2f p90 %6.2f max %6.2f ms, cpu median %6.2f max %6.2f (%lld %s)",
                what, at(wall, 0.5), at(wall, 0.9), wall.last(), at(cpu, 0.5), cpu.last(),
                static_cast<long long>(times.size()), unit);
    if (reference.wall > 0)
        std::printf("   %s %.0f ms (cpu %.0f)", against, reference.wall, reference.cpu);
    std::printf("\n");
    std::fflush(stdout);
}

// The initials of a text, the first letter of each ideograph's set.
QString InitialsOf(const QString& text) {
    QString out;
    for (QChar c : text) {
        const pinyin::Letters letters = pinyin::InitialsOf(c.unicode());
        for (char16_t l = u'a'; l <= u'z'; ++l)
            if (letters & pinyin::LetterBit(l)) {
                out += QChar(l);
                break;
            }
    }
    return out;
}

// The sqlite3 tool running one statement, its output dropped.
Timing Cli(const QString& sqlite3, const QString& file, const QString& sql) {
    return Time(
        [&] {
            QProcess p;
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(sqlite3, {file, sql});
            p.waitForFinished(-1);
        },
        RUSAGE_CHILDREN);
}

// What the record store does to keep a voucher: its rows, and with `parties` its entries,
// in one transaction.
bool StoreVoucher(const AppContext& ctx, const QString& dat, const FieldTexts& t, bool parties) {
    store::Database db(ctx, store::Database::Reports::ToCaller);
    bool ok = db.Begin();
    std::optional<store::PartyUpdates> updates;
    if (ok && parties) ok = updates.emplace(db).Remove(dat);
    ok = ok && db.ExecuteSql(u"DELETE FROM 记录 WHERE Dat=?"_s, {dat});
    for (int i = kFirstField; ok && i <= kLastField; ++i)
        ok = db.ExecuteSql(u"INSERT INTO 记录 (Dat, Ctl, Con) VALUES (?,?,?)"_s, {dat, i, t[i]});
    if (ok && parties) {
        updates->Add(dat, t);
        ok = updates->Write();
    }
    return ok && db.Commit();
}

bool DeleteVoucher(const AppContext& ctx, const QString& dat, bool parties) {
    store::Database db(ctx, store::Database::Reports::ToCaller);
    bool ok = db.Begin();
    std::optional<store::PartyUpdates> updates;
    if (ok && parties) ok = updates.emplace(db).Remove(dat);
    ok = ok && db.ExecuteSql(u"DELETE FROM 记录 WHERE Dat=?"_s, {dat});
    if (ok && parties) ok = updates->Write();
    return ok && db.Commit();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    bench::PrintingPrompt prompt(true, "");
    AppContext ctx;
    ctx.SetPrompt(&prompt);
    const int vouchers = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    const int names = 12000;
    ctx.dataDir =
        QDir(QStringLiteral(TALLYFORM_BENCH_DATA)).filePath(u"quickfill-%1"_s.arg(vouchers));
    QDir().mkpath(ctx.dataDir);
    const QString done = QDir(ctx.dataDir).filePath(u"complete"_s);

    QList<Party> parties;
    if (!QFile::exists(done)) {
        QFile::remove(ctx.DatabasePath());
        std::printf("writing %d vouchers into %s\n", vouchers, qPrintable(ctx.DatabasePath()));
        const Timing t = Time([&] {
            if (!Populate(ctx, vouchers, names, parties)) std::exit(1);
        });
        QFile(done).open(QIODevice::WriteOnly);
        std::printf("  written in %.0f s\n", t.wall / 1000);
    } else {
        QRandomGenerator rng(20260307);
        parties = MakeParties(rng, names);
    }
    std::printf("history: %d vouchers (%d rows of 记录), %d names, %lld parties, %.0f MB\n",
                vouchers, vouchers * 32, names, static_cast<long long>(parties.size()),
                static_cast<double>(QFileInfo(ctx.DatabasePath()).size()) / 1e6);
    const QString sqlite3 = QStandardPaths::findExecutable(u"sqlite3"_s);

    // Building the table from the history, against the sqlite3 tool gathering the same
    // parties with one statement.
    {
        store::Database db(ctx);
        if (!db.Begin()) return 1;
        const Timing build = Time([&] {
            if (!store::RebuildPartyTable(db)) std::printf("  the build failed\n");
        });
        if (!db.Commit()) return 1;
        const Timing ref =
            sqlite3.isEmpty() ? Timing{}
                              : Cli(sqlite3, ctx.DatabasePath(),
                                    u"SELECT n.Con, a.Con, b.Con, COUNT(*), MAX(n.Dat) FROM 记录 n "
                                    u"JOIN 记录 a ON a.Dat=n.Dat AND a.Ctl=n.Ctl+1 "
                                    u"JOIN 记录 b ON b.Dat=n.Dat AND b.Ctl=n.Ctl+2 "
                                    u"WHERE n.Ctl IN (5,8) AND n.Dat<>'1973-08-18 00:00:00' "
                                    u"GROUP BY 1,2,3"_s);
        Line("build the table from the history", build, ref, "sqlite3: parties GROUP BY");
        QSqlQuery q(db.Connection());
        q.exec(u"SELECT Fld, COUNT(*) FROM 输入提示 GROUP BY Fld ORDER BY Fld"_s);
        std::printf("  rows per list (0 = parties, else the field):");
        while (q.next()) std::printf(" %d: %d", q.value(0).toInt(), q.value(1).toInt());
        std::printf("; peak memory %.0f MB\n", PeakRssMb());
    }

    // Keystrokes: each a connection of its own and one Suggest, as the list asks for them.
    QList<Timing> byChars, byInitials, misses, others;
    int shown = 0;
    const auto key = [&](int field, const QString& typed, QList<Timing>& into) {
        QList<store::Suggestion> found;
        into.append(Time([&] { found = store::Suggest(ctx, field, typed); }));
        shown += static_cast<int>(found.size());
    };
    // Names from the most used to the seldom used ones.
    for (qsizetype rank : {0, 3, 10, 30, 100, 300, 1000, 3000, 8000, 14000}) {
        const QString name = parties[std::min(rank, parties.size() - 1)].name;
        const QString initials = InitialsOf(name);
        for (int n = 1; n <= 4; ++n) key(8, name.left(n), byChars);
        key(8, name.mid(2, 2), byChars);  // the trade name inside
        for (int n = 1; n <= 6; ++n) key(5, initials.left(n), byInitials);
        key(5, initials.mid(2, 4), byInitials);  // initials inside
    }
    for (const QString& typed : {u"不存在的名称"_s, u"zzzzqq"_s, u"xxxxx"_s}) key(5, typed, misses);
    for (const QString& typed : {u"中国"_s, u"zgyh"_s, u"jtyh"_s}) key(10, typed, others);
    for (const QString& typed : {u"货"_s, u"fph"_s, u"发票号1234"_s, u"发票号99999999"_s})
        key(27, typed, others);
    for (const QString& typed : {u"z"_s, u"张"_s}) key(16, typed, others);
    const QString probe = parties[100].name.left(4);
    const Timing scan =
        sqlite3.isEmpty()
            ? Timing{}
            : Cli(sqlite3, ctx.DatabasePath(),
                  u"SELECT DISTINCT Con FROM 记录 WHERE Ctl IN (5,8) AND Con LIKE '%"_s + probe +
                      u"%'"_s);
    Spread("keystroke, name by characters", byChars, "keystrokes", scan,
           "against sqlite3 scanning the history:");
    Spread("keystroke, name by initials", byInitials, "keystrokes");
    Spread("keystroke, name matching nothing", misses, "keystrokes");
    Spread("keystroke, banks, remarks, checker", others, "keystrokes");
    std::printf("  %d entries offered in all\n", shown);

    // Storing and deleting one voucher, each in its own transaction on the full file, with
    // and without the table, alternately.
    QRandomGenerator rng(7);
    const Popularity pop(parties.size());
    QList<Timing> store0, store1, delete0, delete1;
    const QDateTime future(QDate(2030, 1, 1), QTime(9, 0));
    const int rounds = 100;
    for (int i = 0; i < rounds; ++i) {
        const QDateTime at = future.addSecs(2 * i);
        const FieldTexts t = MakeVoucher(rng, parties, pop, at, vouchers + i);
        const QString plain = store::DateText(at), counted = store::DateText(at.addSecs(1));
        store0.append(Time([&] { StoreVoucher(ctx, plain, t, false); }));
        store1.append(Time([&] { StoreVoucher(ctx, counted, t, true); }));
    }
    for (int i = 0; i < rounds; ++i) {
        const QDateTime at = future.addSecs(2 * i);
        delete0.append(Time([&] { DeleteVoucher(ctx, store::DateText(at), false); }));
        delete1.append(Time([&] { DeleteVoucher(ctx, store::DateText(at.addSecs(1)), true); }));
    }
    Spread("store one voucher, records only", store0, "vouchers");
    Spread("store one voucher, records and table", store1, "vouchers");
    Spread("delete one voucher, records only", delete0, "vouchers");
    Spread("delete one voucher, records and table", delete1, "vouchers");
    std::printf("peak resident memory %.0f MB\n", PeakRssMb());
    return 0;
}
