#include <QtTest>

#include "amount/number.h"
#include "store/database.h"
#include "store/default_format.h"
#include "store/formats.h"
#include "store/spacing.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::store;
using tf::test::TestEnv;

namespace {

// A layout that differs from the default in every value.
VoucherSettings Edited() {
    VoucherSettings s = DesignSettings();
    s.layout = VoucherLayout{.currencySign = QStringLiteral("$"),
                             .formWidthMm = 230,
                             .formHeightMm = 90.5,
                             .stubWidthMm = 70,
                             .showGrid = false,
                             .printStub = false,
                             .centreOnFeeder = true,
                             .portrait = false,
                             .landscape = true};
    for (int i = kFirstField; i <= kLastField; ++i) {
        FieldFormat& f = s.fieldFormats[i];
        f.X = i * 1.25;
        f.Y = i * 0.5 + 0.125;
        f.W = 10 + i;
        f.H = 4.75;
        f.font = FieldFont{.family = i % 3 ? QStringLiteral("黑体") : QStringLiteral("楷体_GB2312"),
                           .size = 9 + i / 4.0f,
                           .bold = i % 2 == 1,
                           .italic = i % 3 == 0,
                           .underline = i % 5 == 0,
                           .strikeout = i % 7 == 0,
                           .color = 0x0000FF * (i % 2) + 0x123400};
    }
    return s;
}

int RowsOf(const AppContext& ctx, const QString& name) {
    return test::Scalar(ctx, QStringLiteral("SELECT COUNT(*) FROM 参数 WHERE Name=?"), {name})
        .toInt();
}

FormatHooks NoChooser() {
    return {[] { return QString(); }, [] {}};
}

}  // namespace

class TestFormats : public QObject {
    Q_OBJECT
private slots:
    void roundTripKeepsEveryValue();
    void dimensionsComeBackAsTheirLeadingNumber_data();
    void dimensionsComeBackAsTheirLeadingNumber();
    void loadingUnknownNameKeepsLayoutAndClearsChecks();
    void loadingSkipsEmptyColumns();
    void loadWithEmptyNameUsesChooser();
    void overwriteQuestion();
    void defaultFormatIsOverwrittenWithoutQuestion();
    void namesAreTrimmedAndBlankNamesCancel_data();
    void namesAreTrimmedAndBlankNamesCancel();
    void awkwardNamesRoundTrip_data();
    void awkwardNamesRoundTrip();
    void deletingFormatInUseOrDefaultIsRefused_data();
    void deletingFormatInUseOrDefaultIsRefused();
    void deleteAsksAndReports();
    void failedSaveLeavesOldFormatWhole();
    void saveUnderNewNameCopiesSpacing();
    void formatAndItsSpacingAreSavedTogether();
    void chooserListsStoredNamesInOrder();
    void copySpacingIsAllOrNothing();
    void withoutPromptNothingIsAskedOrChanged();
};

void TestFormats::roundTripKeepsEveryValue() {
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings saved = Edited();
    QString name = QStringLiteral("工商银行");
    QVERIFY(SaveFormat(env.ctx, name, saved));
    QCOMPARE(saved.CurFormat, name);
    QCOMPARE(RowsOf(env.ctx, name), 33);

    VoucherSettings loaded;  // starts from the design values
    int applied = 0;
    LoadFormat(env.ctx, name, loaded, {{}, [&] {
                                           ++applied;
                                           // The hook sees the loaded checks but not yet the new
                                           // name.
                                           QCOMPARE(loaded.layout, saved.layout);
                                           QCOMPARE(loaded.CurFormat, DefaultFormatName());
                                       }});
    QCOMPARE(applied, 1);
    QCOMPARE(loaded.layout, saved.layout);
    QCOMPARE(loaded.CurFormat, name);
    for (int i = kFirstField; i <= kLastField; ++i)
        QVERIFY2(loaded.fieldFormats[i] == saved.fieldFormats[i], qPrintable(QString::number(i)));
    QVERIFY(env.prompt.shown.isEmpty());
}

void TestFormats::dimensionsComeBackAsTheirLeadingNumber_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("loaded");
    QTest::newRow("plain number") << "220"
                                  << "220";
    QTest::newRow("decimal") << "85.5"
                             << "85.5";
    QTest::newRow("number with letters") << "210mm"
                                         << "210";
    QTest::newRow("no number") << "abc"
                               << "0";
    QTest::newRow("leading blanks") << "  97"
                                    << "97";
    QTest::newRow("empty") << ""
                           << "0";
}

void TestFormats::dimensionsComeBackAsTheirLeadingNumber() {
    QFETCH(QString, typed);
    QFETCH(QString, loaded);
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s;
    // The window reads a dimension box leniently and shows the number it holds.
    s.layout.formWidthMm = s.layout.formHeightMm = s.layout.stubWidthMm = LenientNumber(typed);
    QString name = QStringLiteral("尺寸");
    QVERIFY(SaveFormat(env.ctx, name, s));
    VoucherSettings back;
    LoadFormat(env.ctx, name, back, NoChooser());
    QCOMPARE(NumberText(back.layout.formWidthMm), loaded);
    QCOMPARE(NumberText(back.layout.formHeightMm), loaded);
    QCOMPARE(NumberText(back.layout.stubWidthMm), loaded);
}

void TestFormats::loadingUnknownNameKeepsLayoutAndClearsChecks() {
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s = Edited();
    s.layout.showGrid = s.layout.printStub = s.layout.centreOnFeeder = true;
    s.fieldFormats[9].Selected = true;
    const VoucherSettings before = s;
    int applied = 0;
    QString name = QStringLiteral("没有的格式");
    LoadFormat(env.ctx, name, s, {{}, [&] { ++applied; }});
    QCOMPARE(applied, 1);
    QCOMPARE(s.layout.currencySign, before.layout.currencySign);
    QCOMPARE(s.layout.formWidthMm, before.layout.formWidthMm);
    QCOMPARE(s.layout.formHeightMm, before.layout.formHeightMm);
    QCOMPARE(s.layout.stubWidthMm, before.layout.stubWidthMm);
    QCOMPARE(s.layout.portrait, before.layout.portrait);
    QCOMPARE(s.layout.landscape, before.layout.landscape);
    QCOMPARE(s.layout.showGrid, false);
    QCOMPARE(s.layout.printStub, false);
    QCOMPARE(s.layout.centreOnFeeder, false);
    QCOMPARE(s.CurFormat, name);
    QVERIFY(!s.fieldFormats[9].Selected);
    s.fieldFormats[9].Selected = true;
    QVERIFY(s.fieldFormats == before.fieldFormats);
    QVERIFY(env.prompt.shown.isEmpty());
}

void TestFormats::loadingSkipsEmptyColumns() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(
        test::Exec(env.ctx, QStringLiteral("UPDATE 参数 SET fName=NULL, fSize=NULL WHERE Ctl=7")));
    QVERIFY(test::Exec(env.ctx, QStringLiteral("DELETE FROM 参数 WHERE Ctl=8")));
    VoucherSettings s;
    s.fieldFormats[7].font.family = QStringLiteral("黑体");
    s.fieldFormats[7].font.size = 14;
    s.fieldFormats[8].X = 123;
    QString name = DefaultFormatName();
    LoadFormat(env.ctx, name, s, NoChooser());
    QCOMPARE(s.fieldFormats[7].font.family, QStringLiteral("黑体"));
    QCOMPARE(s.fieldFormats[7].font.size, 14.0f);
    QCOMPARE(s.fieldFormats[7].X, DesignFieldFormats()[7].X);
    QCOMPARE(s.fieldFormats[8].X, 123.0);  // no row: entry kept
}

void TestFormats::loadWithEmptyNameUsesChooser() {
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s = Edited();
    QString other = QStringLiteral("其他");
    QVERIFY(SaveFormat(env.ctx, other, s));

    VoucherSettings target;
    int asked = 0;
    QString name;
    LoadFormat(env.ctx, name, target,
               {[&] {
                    ++asked;
                    return QString();
                },
                [] {}});
    QCOMPARE(asked, 1);
    QVERIFY(name.isEmpty());
    QCOMPARE(target.CurFormat, DefaultFormatName());  // cancelled: nothing changes
    QCOMPARE(target.layout.formWidthMm, 220.0);

    LoadFormat(env.ctx, name, target, {[&] { return other; }, [] {}});
    QCOMPARE(name, other);
    QCOMPARE(target.CurFormat, other);
    QCOMPARE(target.layout.formWidthMm, 230.0);
}

void TestFormats::overwriteQuestion() {
    TestEnv env;
    env.CreateDatabase();
    QString name = QStringLiteral("农行");
    VoucherSettings first = Edited();
    QVERIFY(SaveFormat(env.ctx, name, first));
    const auto before =
        test::Rows(env.ctx, QStringLiteral("SELECT * FROM 参数 WHERE Name=? ORDER BY Ctl"), {name});
    const qint64 voucherRow =
        test::Scalar(env.ctx, QStringLiteral("SELECT rowid FROM 参数 WHERE Name=? AND Ctl=-1"),
                     {name})
            .toLongLong();

    VoucherSettings second = DesignSettings();
    second.CurFormat = QStringLiteral("别的");
    env.prompt.yesNo.enqueue(false);
    QVERIFY(!SaveFormat(env.ctx, name, second));
    QCOMPARE(env.prompt.Questions(), QStringList{QStringLiteral("该记录已存在，是否覆盖？")});
    QCOMPARE(second.CurFormat, QStringLiteral("别的"));
    QCOMPARE(
        test::Rows(env.ctx, QStringLiteral("SELECT * FROM 参数 WHERE Name=? ORDER BY Ctl"), {name}),
        before);

    env.prompt.yesNo.enqueue(true);
    QVERIFY(SaveFormat(env.ctx, name, second));
    QCOMPARE(second.CurFormat, name);
    QCOMPARE(RowsOf(env.ctx, name), 33);
    // The voucher row is changed in place, the field rows written afresh.
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT rowid FROM 参数 WHERE Name=? AND Ctl=-1"),
                          {name})
                 .toLongLong(),
             voucherRow);
    QCOMPARE(
        test::Scalar(env.ctx, QStringLiteral("SELECT X FROM 参数 WHERE Name=? AND Ctl=-1"), {name})
            .toDouble(),
        220.0);
    QCOMPARE(
        test::Scalar(env.ctx, QStringLiteral("SELECT X FROM 参数 WHERE Name=? AND Ctl=12"), {name})
            .toDouble(),
        DesignFieldFormats()[12].X);
}

void TestFormats::defaultFormatIsOverwrittenWithoutQuestion() {
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s = Edited();
    QString name = DefaultFormatName();
    QVERIFY(SaveFormat(env.ctx, name, s));
    QVERIFY(env.prompt.shown.isEmpty());
    QCOMPARE(RowsOf(env.ctx, name), 33);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT fName FROM 参数 WHERE Name=? AND Ctl=-1"),
                          {name})
                 .toString(),
             QStringLiteral("$"));
}

void TestFormats::namesAreTrimmedAndBlankNamesCancel_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QString>("stored");
    QTest::newRow("surrounding blanks")
        << std::optional<QString>(QStringLiteral("  建行 ")) << "建行";
    QTest::newRow("blanks only") << std::optional<QString>(QStringLiteral("   ")) << "";
    QTest::newRow("empty") << std::optional<QString>(QString()) << "";
    QTest::newRow("cancelled") << std::optional<QString>() << "";
}

void TestFormats::namesAreTrimmedAndBlankNamesCancel() {
    QFETCH(std::optional<QString>, answer);
    QFETCH(QString, stored);
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s;
    env.prompt.inputs.enqueue(answer);
    QString name;
    QCOMPARE(SaveFormat(env.ctx, name, s), !stored.isEmpty());
    QCOMPARE(env.prompt.shown.size(), 1);
    QCOMPARE(env.prompt.shown.first().text, QStringLiteral("请输入格式名称："));
    QCOMPARE(env.prompt.shown.first().title, QStringLiteral("保存格式"));
    QCOMPARE(env.prompt.shown.first().defaultText, QString());
    QCOMPARE(name, stored);
    QCOMPARE(s.CurFormat, stored.isEmpty() ? DefaultFormatName() : stored);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(DISTINCT Name) FROM 参数")).toInt(),
             stored.isEmpty() ? 1 : 2);
    if (!stored.isEmpty()) QCOMPARE(RowsOf(env.ctx, stored), 33);
}

void TestFormats::awkwardNamesRoundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("apostrophe") << "O'Brien's";
    QTest::newRow("double quotes") << "\"引号\"";
    QTest::newRow("sql") << "x' OR '1'='1";
    QTest::newRow("statement") << "a'; DROP TABLE 参数; --";
    QTest::newRow("hash and percent") << "#1973-08-18# 100%";
}

void TestFormats::awkwardNamesRoundTrip() {
    QFETCH(QString, name);
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s = Edited();
    QString saveName = name;
    QVERIFY(SaveFormat(env.ctx, saveName, s));
    QCOMPARE(RowsOf(env.ctx, name), 33);
    QCOMPARE(RowsOf(env.ctx, DefaultFormatName()), 33);

    VoucherSettings back;
    QString loadName = name;
    LoadFormat(env.ctx, loadName, back, NoChooser());
    QCOMPARE(back.layout, s.layout);
    QVERIFY(back.fieldFormats[20] == s.fieldFormats[20]);
    QCOMPARE(FormatNames(env.ctx).count(name), 1);

    VoucherSettings other;  // another format in use
    QString deleteName = name;
    env.prompt.yesNo.enqueue(true);
    QVERIFY(DeleteFormat(env.ctx, deleteName, other, NoChooser()));
    QCOMPARE(RowsOf(env.ctx, name), 0);
    QCOMPARE(RowsOf(env.ctx, DefaultFormatName()), 33);
    QVERIFY(env.prompt.unexpected.isEmpty());
}

void TestFormats::deletingFormatInUseOrDefaultIsRefused_data() {
    QTest::addColumn<QString>("inUse");
    QTest::addColumn<QString>("target");
    QTest::newRow("format in use") << "甲"
                                   << "甲";
    QTest::newRow("default while another is in use") << "甲"
                                                     << "默认格式";
    QTest::newRow("default in use") << "默认格式"
                                    << "默认格式";
}

void TestFormats::deletingFormatInUseOrDefaultIsRefused() {
    QFETCH(QString, inUse);
    QFETCH(QString, target);
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s;
    QString first = QStringLiteral("甲");
    QVERIFY(SaveFormat(env.ctx, first, s));
    s.CurFormat = inUse;
    QString name;
    QVERIFY(!DeleteFormat(env.ctx, name, s, {[&] { return target; }, [] {}}));
    QCOMPARE(env.prompt.Messages(),
             QStringList{QStringLiteral("不能删除当前正在使用的格式及默认格式！")});
    QVERIFY(env.prompt.Questions().isEmpty());
    QCOMPARE(RowsOf(env.ctx, target), 33);
}

void TestFormats::deleteAsksAndReports() {
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s;
    QString name = QStringLiteral("乙");
    QVERIFY(SaveFormat(env.ctx, name, s));
    s.CurFormat = DefaultFormatName();
    QVERIFY(test::Exec(env.ctx, QStringLiteral("INSERT INTO 字距 VALUES ('乙', 5, 1.5)")));

    env.prompt.yesNo.enqueue(false);
    QString target = name;
    QVERIFY(!DeleteFormat(env.ctx, target, s, NoChooser()));
    QCOMPARE(RowsOf(env.ctx, name), 33);

    env.prompt.yesNo.enqueue(true);
    QVERIFY(DeleteFormat(env.ctx, target, s, NoChooser()));
    QCOMPARE(env.prompt.Questions(), (QStringList{QStringLiteral("您确定要删除格式：乙？"),
                                                  QStringLiteral("您确定要删除格式：乙？")}));
    QCOMPARE(env.prompt.Messages(), QStringList{QStringLiteral("格式：“乙”删除完成！")});
    QCOMPARE(RowsOf(env.ctx, name), 0);
    // Spacing rows outlive the format.
    QCOMPARE(
        test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 字距 WHERE Name='乙'")).toInt(),
        1);

    // A cancelled choice does nothing at all.
    env.prompt.Clear();
    QString none;
    QVERIFY(!DeleteFormat(env.ctx, none, s, NoChooser()));
    QVERIFY(env.prompt.shown.isEmpty());
}

void TestFormats::failedSaveLeavesOldFormatWhole() {
    TestEnv env;
    env.CreateDatabase();
    QString name = QStringLiteral("丙");
    VoucherSettings first = Edited();
    QVERIFY(SaveFormat(env.ctx, name, first));
    const auto before =
        test::Rows(env.ctx, QStringLiteral("SELECT * FROM 参数 WHERE Name=? ORDER BY Ctl"), {name});
    // The disk "fills up" while the twentieth field row is written.
    QVERIFY(
        test::Exec(env.ctx, QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 参数 WHEN NEW.Ctl "
                                           "= 20 BEGIN SELECT RAISE(ABORT, 'disk full'); END")));

    VoucherSettings second = DesignSettings();
    second.CurFormat = QStringLiteral("丁");
    env.prompt.yesNo.enqueue(true);
    QVERIFY(!SaveFormat(env.ctx, name, second));
    QCOMPARE(second.CurFormat, QStringLiteral("丁"));
    QCOMPARE(
        test::Rows(env.ctx, QStringLiteral("SELECT * FROM 参数 WHERE Name=? ORDER BY Ctl"), {name}),
        before);
    QCOMPARE(env.prompt.Messages().size(), 1);
    QVERIFY(env.prompt.Messages().first().contains(name));
}

void TestFormats::saveUnderNewNameCopiesSpacing() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(test::Exec(
        env.ctx,
        QStringLiteral("INSERT INTO 字距 VALUES ('默认格式', 5, 1.5), ('默认格式', 9, -0.5)")));
    QVERIFY(test::Exec(
        env.ctx,
        QStringLiteral("INSERT INTO 字距 VALUES ('戊', 7, 3)")));  // stale rows of the target
    VoucherSettings s;
    QString name = QStringLiteral("戊");
    QVERIFY(SaveFormat(env.ctx, name, s));
    QCOMPARE(s.CurFormat, name);
    Spacing spacing;
    QString read;
    QVERIFY(ReadSpacing(env.ctx, spacing, read, s.CurFormat));
    QCOMPARE(read, name);
    for (int i = kFirstField; i <= kLastField; ++i)
        QCOMPARE(spacing[i], i == 5 ? 1.5 : i == 9 ? -0.5 : 0.0);
    QCOMPARE(
        test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 字距 WHERE Name='戊'")).toInt(),
        2);
}

void TestFormats::formatAndItsSpacingAreSavedTogether() {
    TestEnv env;
    env.CreateDatabase();
    QString name = QStringLiteral("丙");
    VoucherSettings first = Edited();
    QVERIFY(SaveFormat(env.ctx, name, first));
    const QString all = QStringLiteral("SELECT * FROM 参数 WHERE Name=? ORDER BY Ctl");
    const auto before = test::Rows(env.ctx, all, {name});
    QVERIFY(test::Exec(env.ctx, QStringLiteral("INSERT INTO 字距 VALUES ('默认格式', 9, 2)")));
    // The disk "fills up" while the copied spacing is written, after the 33 rows.
    QVERIFY(test::Exec(env.ctx, QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 字距 BEGIN "
                                               "SELECT RAISE(ABORT, 'disk full'); END")));

    VoucherSettings second = DesignSettings();
    env.prompt.yesNo.enqueue(true);
    QVERIFY(!SaveFormat(env.ctx, name, second));
    QCOMPARE(second.CurFormat, DefaultFormatName());
    QCOMPARE(test::Rows(env.ctx, all, {name}), before);
    QCOMPARE(env.prompt.Messages().size(), 1);
}

void TestFormats::chooserListsStoredNamesInOrder() {
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s;
    for (const QString& n : {QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("中行")}) {
        QString name = n;
        QVERIFY(SaveFormat(env.ctx, name, s));
    }
    QCOMPARE(FormatNames(env.ctx),
             (QStringList{QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("中行"),
                          QStringLiteral("默认格式")}));
}

void TestFormats::copySpacingIsAllOrNothing() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(test::Exec(
        env.ctx,
        QStringLiteral("INSERT INTO 字距 VALUES ('源', 5, 1), ('源', 9, 2), ('目标', 7, 3)")));
    QVERIFY(
        test::Exec(env.ctx, QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 字距 WHEN NEW.CID "
                                           "= 9 BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
    QVERIFY(!CopySpacing(env.ctx, QStringLiteral("源"), QStringLiteral("目标")));
    QCOMPARE(test::Rows(env.ctx, QStringLiteral("SELECT CID, Sp FROM 字距 WHERE Name='目标'")),
             (QList<QVariantList>{{7, 3.0}}));
    QVERIFY(test::Exec(env.ctx, QStringLiteral("DROP TRIGGER fail")));
    QVERIFY(CopySpacing(env.ctx, QStringLiteral("源"), QStringLiteral("目标")));
    QCOMPARE(test::Rows(env.ctx,
                        QStringLiteral("SELECT CID, Sp FROM 字距 WHERE Name='目标' ORDER BY CID")),
             (QList<QVariantList>{{5, 1.0}, {9, 2.0}}));
}

void TestFormats::withoutPromptNothingIsAskedOrChanged() {
    // A context nobody answers for: every question counts as No or cancelled.
    TestEnv env;
    env.CreateDatabase();
    VoucherSettings s = Edited();
    QString name = QStringLiteral("甲");
    QVERIFY(SaveFormat(env.ctx, name, s));
    env.ctx.SetPrompt(nullptr);

    QString asked;
    QVERIFY(!SaveFormat(env.ctx, asked, s));  // no name is given
    QVERIFY(asked.isEmpty());
    VoucherSettings other = DesignSettings();
    QString existing = name;
    QVERIFY(!SaveFormat(env.ctx, existing, other));  // not overwritten
    VoucherSettings loaded = DesignSettings();
    LoadFormat(env.ctx, existing, loaded, NoChooser());
    QCOMPARE(loaded.fieldFormats, s.fieldFormats);

    s.CurFormat = DefaultFormatName();
    QVERIFY(!DeleteFormat(env.ctx, existing, s, NoChooser()));  // not confirmed
    QCOMPARE(RowsOf(env.ctx, name), 33);
    QVERIFY(env.prompt.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
