#include <QSqlQuery>
#include <QtTest>

#include "store/database.h"
#include "store/parties.h"
#include "store/record_store.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::store;
using namespace Qt::StringLiterals;
using tf::test::TestEnv;

namespace {

constexpr int kDrawer = 5;
constexpr int kPayee = 8;
constexpr int kPayeeBank = 10;
constexpr int kChecker = 16;
constexpr int kBookKeeper = 17;

// A voucher as the editor stores it: every field has a row, most of them empty.
FieldTexts Voucher(const QString& drawer, const QString& drawerAccount, const QString& payee,
                   const QString& payeeAccount, const QString& payeeBank = u"中国银行"_s) {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = u""_s;
    t[kDrawer] = drawer;
    t[kDrawer + 1] = drawerAccount;
    t[kDrawer + 2] = u"中国工商银行北京分行"_s;
    t[kPayee] = payee;
    t[kPayee + 1] = payeeAccount;
    t[kPayeeBank] = payeeBank;
    t[kChecker] = u"张伟"_s;
    return t;
}

QString At(int day, int hour = 9) {
    return DateText(QDateTime(QDate(2026, 1, 1).addDays(day), QTime(hour, 0)));
}

// What the record store does: vouchers' rows and their parties in one transaction, each
// voucher replacing the group of its timestamp. Fields with a null text get no row, as in an
// imported record.
void StoreAll(const AppContext& ctx, const QList<std::pair<QString, FieldTexts>>& vouchers) {
    Database db(ctx);
    QVERIFY(db.Begin());
    PartyUpdates parties(db);
    for (const auto& [dat, texts] : vouchers) {
        QVERIFY(parties.Remove(dat));
        QVERIFY(db.ExecuteSql(u"DELETE FROM 记录 WHERE Dat=?"_s, {dat}));
        for (int i = kFirstField; i <= kLastField; ++i)
            if (!texts[i].isNull())
                QVERIFY(db.ExecuteSql(u"INSERT INTO 记录 (Dat, Ctl, Con) VALUES (?,?,?)"_s,
                                      {dat, i, texts[i]}));
        parties.Add(dat, texts);
    }
    QVERIFY(parties.Write());
    QVERIFY(db.Commit());
}

void Store(const AppContext& ctx, const QString& dat, const FieldTexts& texts) {
    StoreAll(ctx, {{dat, texts}});
}

void Delete(const AppContext& ctx, const QString& dat) {
    Database db(ctx);
    QVERIFY(db.Begin());
    PartyUpdates parties(db);
    QVERIFY(parties.Remove(dat));
    QVERIFY(db.ExecuteSql(u"DELETE FROM 记录 WHERE Dat=?"_s, {dat}));
    QVERIFY(parties.Write());
    QVERIFY(db.Commit());
}

void Clear(const AppContext& ctx) {
    Database db(ctx);
    QVERIFY(db.Begin());
    QVERIFY(db.ExecuteSql(u"DELETE FROM 记录 WHERE Dat<>?"_s, {DateText(CurrentTextDate())}));
    QVERIFY(PartyUpdates(db).Clear());
    QVERIFY(db.Commit());
}

// The table's rows in a fixed order: list, name, account, bank, uses, last, weight.
QList<QVariantList> TableRows(Database& db) {
    QList<QVariantList> rows;
    if (!db.OpenDatabase()) return rows;
    QSqlQuery q(db.Connection());
    q.exec(
        u"SELECT Fld, Name, Acct, Bank, Uses, Last, Weight FROM 输入提示 "
        u"ORDER BY Fld, Name, Acct, Bank"_s);
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < 7; ++i) row.append(q.value(i));
        rows.append(row);
    }
    return rows;
}

// The table as kept step by step must equal the table built afresh from the records. (No
// step here deletes the latest use of an entry that stays, which would leave its Last.)
void CheckAgainstRebuild(const AppContext& ctx) {
    Database db(ctx);
    const QList<QVariantList> kept = TableRows(db);
    QVERIFY(db.Begin());
    QVERIFY(RebuildPartyTable(db));
    const QList<QVariantList> rebuilt = TableRows(db);
    db.Rollback();
    QCOMPARE(kept.size(), rebuilt.size());
    for (qsizetype i = 0; i < kept.size(); ++i) {
        QCOMPARE(kept[i].mid(0, 6), rebuilt[i].mid(0, 6));
        // Sums taken in another order differ in the last bits only.
        const double a = kept[i][6].toDouble(), b = rebuilt[i][6].toDouble();
        QVERIFY2(std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b)),
                 qPrintable(kept[i][1].toString()));
    }
}

QStringList Labels(const QList<Suggestion>& entries) {
    QStringList labels;
    for (const Suggestion& s : entries) labels.append(SuggestionLabel(s));
    return labels;
}

}  // namespace

class TestParties : public QObject {
    Q_OBJECT
private slots:
    void builtFromHistory();
    void followsStoreDeleteAndClear();
    void recordStoreKeepsTheTable();
    void oftenAndLatelyUsedFirst();
    void nameWithSeveralAccounts();
    void largeBuildShowsProgress();
    void failedBuildIsTold();
};

void TestParties::builtFromHistory() {
    TestEnv env;
    env.CreateDatabase();
    const QDateTime when(QDate(2026, 3, 1), QTime(10, 0));
    QVERIFY(StoreTexts(env.ctx, when,
                       Voucher(u"北京华夏建设有限公司"_s, u"6222020200112233445"_s,
                               u"庚方物流有限公司"_s, u"6217000010001234"_s)));
    FieldTexts kept = Voucher(u"屏幕上的凭证"_s, u"1"_s, u"华夏未打印公司"_s, u"2"_s);
    kept[kBookKeeper] = u"王芳"_s;
    QVERIFY(StoreTexts(env.ctx, CurrentTextDate(), kept));
    QVERIFY(EnsurePartyTable(env.ctx));

    // Either side's party is offered in both name fields, by characters or initials.
    const Suggestion payee{u"庚方物流有限公司"_s, u"6217000010001234"_s, u"中国银行"_s};
    QCOMPARE(Suggest(env.ctx, kDrawer, u"庚方"_s), QList<Suggestion>{payee});
    QCOMPARE(Suggest(env.ctx, kPayee, u"gfwl"_s), QList<Suggestion>{payee});
    QCOMPARE(Suggest(env.ctx, kPayee, u"hx"_s).size(), 1);
    QCOMPARE(Suggest(env.ctx, kPayeeBank, u"zgyh"_s).value(0).text, u"中国银行"_s);
    // Each other field offers its own texts only; the voucher kept on screen is no record.
    QCOMPARE(Suggest(env.ctx, kChecker, u"zw"_s).value(0).text, u"张伟"_s);
    QVERIFY(Suggest(env.ctx, kBookKeeper, u"张"_s).isEmpty());
    QVERIFY(Suggest(env.ctx, kBookKeeper, u"王芳"_s).isEmpty());
    QVERIFY(Suggest(env.ctx, kDrawer, u"未打印"_s).isEmpty());
    QVERIFY(env.prompt.shown.isEmpty());
}

void TestParties::followsStoreDeleteAndClear() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(EnsurePartyTable(env.ctx));
    const auto names = [&](const QString& typed) {
        QStringList found;
        for (const Suggestion& s : Suggest(env.ctx, kDrawer, typed)) found.append(s.text);
        found.sort();
        return found;
    };
    Store(env.ctx, At(1), Voucher(u"甲公司"_s, u"1111"_s, u"乙公司"_s, u"2222"_s));
    Store(env.ctx, At(2), Voucher(u"甲公司"_s, u"1111"_s, u"丙公司"_s, u"3333"_s));
    CheckAgainstRebuild(env.ctx);
    Delete(env.ctx, At(1));
    CheckAgainstRebuild(env.ctx);
    QCOMPARE(names(u"公司"_s), (QStringList{u"丙公司"_s, u"甲公司"_s}));
    // A voucher stored again under its timestamp replaces the old one and its parties.
    Store(env.ctx, At(2), Voucher(u"丁公司"_s, u"4444"_s, u"丙公司"_s, u"3333"_s));
    CheckAgainstRebuild(env.ctx);
    QCOMPARE(names(u"公司"_s), (QStringList{u"丁公司"_s, u"丙公司"_s}));
    // An import in one transaction: records with the payee's name alone, not in time order,
    // one of them twice under one timestamp (the later replaces the earlier).
    FieldTexts imported, other;
    imported[kPayee] = u"戊公司"_s;
    other[kPayee] = u"戊己公司"_s;
    StoreAll(env.ctx, {{At(5), other}, {At(5), imported}, {At(4), imported}, {At(3), imported}});
    CheckAgainstRebuild(env.ctx);
    QCOMPARE(Suggest(env.ctx, kPayee, u"戊"_s), (QList<Suggestion>{{u"戊公司"_s, {}, {}}}));
    // One transaction taking a use of 戊公司 away and adding a later one.
    StoreAll(env.ctx, {{At(4), other}, {At(6), imported}});
    CheckAgainstRebuild(env.ctx);
    Delete(env.ctx, At(2));
    Delete(env.ctx, At(3));
    CheckAgainstRebuild(env.ctx);
    QCOMPARE(names(u"公司"_s), (QStringList{u"戊公司"_s, u"戊己公司"_s}));
    // The voucher kept on screen neither counts nor uncounts.
    Store(env.ctx, DateText(CurrentTextDate()), Voucher(u"己公司"_s, u"5"_s, u"庚公司"_s, u"6"_s));
    Clear(env.ctx);
    CheckAgainstRebuild(env.ctx);
    QCOMPARE(names(u"公司"_s), QStringList{});
    QCOMPARE(test::Scalar(env.ctx, u"SELECT COUNT(*) FROM 输入提示"_s).toInt(), 0);
}

// Every write of the record store keeps the table in its own transaction: printed and
// imported vouchers are offered, a party no record uses any more is not, a cleared history
// offers nothing.
void TestParties::recordStoreKeepsTheTable() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(EnsurePartyTable(env.ctx));
    const std::unique_ptr<RecordStore> records = OpenRecordStore(env.ctx);
    const auto offered = [&](const QString& typed) {
        QStringList found;
        for (const Suggestion& s : Suggest(env.ctx, kPayee, typed)) found.append(s.text);
        found.sort();
        return found;
    };
    const QDateTime now(QDate(2026, 3, 1), QTime(10, 0));
    const QList<RecordKey> printed =
        records->StoreVouchers(now, {Voucher(u"甲公司"_s, u"1111"_s, u"乙公司"_s, u"2222"_s),
                                     Voucher(u"甲公司"_s, u"1111"_s, u"丙公司"_s, u"3333"_s)});
    QCOMPARE(printed.size(), 2);
    ImportPlan plan;
    plan.fields = {kPayee, kPayee + 1};
    plan.firstDay = now.date().addDays(-1);
    const std::unique_ptr<ImportSink> sink = records->BeginImport(plan);
    QVERIFY(sink);
    FieldTexts row;
    row[kPayee] = u"丁公司"_s;
    row[kPayee + 1] = u"4444"_s;
    QVERIFY(sink->Add(row));
    QVERIFY(sink->Commit());
    CheckAgainstRebuild(env.ctx);
    QCOMPARE(offered(u"公司"_s), (QStringList{u"丁公司"_s, u"丙公司"_s, u"乙公司"_s, u"甲公司"_s}));

    QVERIFY(records->Delete(QList<RecordKey>{printed[0]}));
    CheckAgainstRebuild(env.ctx);
    QCOMPARE(offered(u"公司"_s), (QStringList{u"丁公司"_s, u"丙公司"_s, u"甲公司"_s}));

    QVERIFY(records->Clear());
    QCOMPARE(offered(u"公司"_s), QStringList{});
    QVERIFY(env.prompt.shown.isEmpty());
}

void TestParties::oftenAndLatelyUsedFirst() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(EnsurePartyTable(env.ctx));
    // 甲 three times two years ago, 乙 once yesterday, 丙 three times lately.
    for (int i = 0; i < 3; ++i)
        Store(env.ctx, At(-730 + i), Voucher(u"甲商行"_s, u"1"_s, QString(), QString()));
    Store(env.ctx, At(99), Voucher(u"乙商行"_s, u"2"_s, QString(), QString()));
    for (int i = 0; i < 3; ++i)
        Store(env.ctx, At(90 + i), Voucher(u"丙商行"_s, u"3"_s, QString(), QString()));
    // Ten more, each once and long ago: the list stops at ten.
    for (int i = 0; i < 10; ++i)
        Store(env.ctx, At(-2000 + i),
              Voucher(u"旧商行"_s + QString::number(i), u"4"_s, QString(), QString()));
    const QList<Suggestion> found = Suggest(env.ctx, kDrawer, u"sh"_s);
    QCOMPARE(found.size(), kSuggestionLimit);
    QCOMPARE(Labels(found.mid(0, 3)), (QStringList{u"丙商行"_s, u"乙商行"_s, u"甲商行"_s}));
}

void TestParties::nameWithSeveralAccounts() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(EnsurePartyTable(env.ctx));
    Store(env.ctx, At(1),
          Voucher(u"单一公司"_s, u"1"_s, u"庚方物流有限公司"_s, u"6217 0000 1000 1234"_s,
                  u"中国银行"_s));
    Store(env.ctx, At(2),
          Voucher(QString(), QString(), u"庚方物流有限公司"_s, u"6222-0000-5678"_s, u"招商银行"_s));
    QCOMPARE(Labels(Suggest(env.ctx, kPayee, u"庚方"_s)),
             (QStringList{u"庚方物流有限公司  尾号5678  招商银行"_s,
                          u"庚方物流有限公司  尾号1234  中国银行"_s}));
    QCOMPARE(Labels(Suggest(env.ctx, kPayee, u"单一"_s)), QStringList{u"单一公司"_s});
}

void TestParties::largeBuildShowsProgress() {
    TestEnv env;
    env.CreateDatabase();
    // A file kept from before the table existed.
    QVERIFY(test::Exec(env.ctx, u"DROP TABLE 输入提示"_s));
    // 200,001 imported records with a name each, over 100 days.
    QVERIFY(test::Exec(env.ctx,
                       u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n "
                       u"WHERE i<200000) INSERT INTO 记录 (Dat, Ctl, Con) "
                       u"SELECT datetime('2026-01-01', (i/2001)||' days', "
                       u"(i%2001)||' seconds'), 8, '商户'||(i%7) FROM n"_s));
    QVERIFY(EnsurePartyTable(env.ctx));
    QCOMPARE(env.progress.calls.value(0), u"show 正在整理历史记录中的名称，供输入时提示 … 100 0"_s);
    QCOMPARE(env.progress.calls.last(), u"close"_s);
    QCOMPARE(env.progress.position, 100);
    QCOMPARE(Suggest(env.ctx, kPayee, u"商户"_s).size(), 7);
}

void TestParties::failedBuildIsTold() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(test::Exec(env.ctx, u"DROP TABLE 输入提示"_s));
    QVERIFY(test::Exec(env.ctx, u"ALTER TABLE 记录 RENAME TO 旧记录"_s));
    QVERIFY(!EnsurePartyTable(env.ctx));
    QCOMPARE(env.prompt.shown.size(), 1);
    QCOMPARE(env.prompt.shown[0].text,
             u"输入时提示历史名称所需的数据没有建立，这次运行中不会提示。\n数据库文件“"_s +
                 QFileInfo(env.ctx.DatabasePath()).absoluteFilePath() +
                 u"”读写出错：no such table: 记录"_s);
    // Nothing half made is left behind: the next start tries again.
    QVERIFY(
        !test::Scalar(env.ctx, u"SELECT 1 FROM sqlite_master WHERE name='输入提示'"_s).isValid());
}

QTEST_GUILESS_MAIN(TestParties)
#include "tst_parties.moc"
