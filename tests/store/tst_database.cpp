#include <QFile>
#include <QtTest>

#include "store/database.h"
#include "store/default_format.h"
#include "store/formats.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::store;
using tf::test::TestEnv;

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void firstStartCreatesTablesAndDefaultFormat();
    void defaultFormatFollowsDesignGeometry();
    void secondStartCreatesNothing();
    void missingSpacingTableIsCreated();
    void tableExistsIsCaseSensitive();
    void emptyResultIsNoFailure();
    void recordsetAddUpdateDelete();
    void writeToUnknownColumnFails();
    void faultyQueryShowsStatement();
    void notADatabaseIsNeverTouched();
    void oneMessagePerAction();
    void dataFolder_data();
    void dataFolder();
};

void TestDatabase::firstStartCreatesTablesAndDefaultFormat() {
    TestEnv env;
    QVERIFY(!QFile::exists(env.ctx.DatabasePath()));
    env.CreateDatabase();
    QVERIFY(env.prompt.shown.isEmpty());
    QCOMPARE(
        test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 参数 WHERE Name='默认格式'"))
            .toInt(),
        33);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(DISTINCT Ctl) FROM 参数")).toInt(),
             33);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 记录")).toInt(), 0);
    QCOMPARE(
        test::Scalar(env.ctx, QStringLiteral("SELECT sql FROM sqlite_master WHERE name='字距'"))
            .toString(),
        QStringLiteral("CREATE TABLE 字距 (Name STRING(255),CID INTEGER,Sp DOUBLE)"));
    const auto voucher =
        test::Rows(env.ctx, QStringLiteral("SELECT fName, X, Y, W, H, Color, fBold, fItalic, "
                                           "fUnderline FROM 参数 WHERE Ctl=-1"))
            .value(0);
    QCOMPARE(voucher.value(0).toString(), QStringLiteral("￥"));
    QCOMPARE(voucher.value(1).toDouble(), 220.0);
    QCOMPARE(voucher.value(2).toDouble(), 85.0);
    QCOMPARE(voucher.value(3).toDouble(), 65.0);
    QCOMPARE(voucher.value(4).toInt(), 1);  // grid shown
    QCOMPARE(voucher.value(5).toInt(), 1);  // stub printed
    QCOMPARE(voucher.value(6).toBool(), true);
    QCOMPARE(voucher.value(7).toBool(), false);
    QCOMPARE(voucher.value(8).toBool(), false);
}

void TestDatabase::defaultFormatFollowsDesignGeometry() {
    TestEnv env;
    env.CreateDatabase();
    // 85 mm over a 4455-twip picture: the amount field at 9420, 2160 twips.
    const auto row =
        test::Rows(env.ctx,
                   QStringLiteral("SELECT X, Y, W, H, fName, fSize FROM 参数 WHERE Ctl=12"))
            .value(0);
    QVERIFY(qAbs(row.value(0).toDouble() - 9420 * 85.0 / 4455) < 1e-9);
    QVERIFY(qAbs(row.value(1).toDouble() - 2160 * 85.0 / 4455) < 1e-9);
    QVERIFY(qAbs(row.value(2).toDouble() - 2055 * 85.0 / 4455) < 1e-9);
    QVERIFY(qAbs(row.value(3).toDouble() - 270 * 85.0 / 4455) < 1e-9);
    QVERIFY(!row.value(4).toString().isEmpty());
    QVERIFY(row.value(5).toDouble() > 0);
    // Stub fields lie left of the stub line (65 of 220 mm), voucher fields right of it, and
    // every field lies inside the 220 x 85 mm form.
    const auto xs =
        test::Rows(env.ctx, QStringLiteral("SELECT Ctl, X, Y, W, H FROM 参数 WHERE Ctl>=2"));
    QCOMPARE(xs.size(), 32);
    for (const auto& r : xs) {
        const int ctl = r.value(0).toInt();
        const double x = r.value(1).toDouble(), y = r.value(2).toDouble();
        const double w = r.value(3).toDouble(), h = r.value(4).toDouble();
        const QByteArray at = QByteArray::number(ctl);
        if (ctl <= 17)
            QVERIFY2(x > 65, at);
        else
            QVERIFY2(x + w < 65, at);
        QVERIFY2(x >= 0 && y >= 0, at);
        QVERIFY2(x + w <= 220 + 1e-9, at);
        QVERIFY2(y + h <= 85 + 1e-9, at);
        // Each of the eleven boxes of an amount in figures holds a 9 pt full-width digit.
        if (ctl == 12 || ctl == 28) QVERIFY2(w / 11 >= 9 * 25.4 / 72, at);
    }
}

void TestDatabase::secondStartCreatesNothing() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(test::Exec(env.ctx, QStringLiteral("UPDATE 参数 SET X=1 WHERE Ctl=5")));
    const QVariant schema =
        test::Scalar(env.ctx, QStringLiteral("SELECT group_concat(sql, ';') FROM sqlite_master"));
    env.CreateDatabase();
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 参数")).toInt(), 33);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT X FROM 参数 WHERE Ctl=5")).toDouble(),
             1.0);
    QCOMPARE(
        test::Scalar(env.ctx, QStringLiteral("SELECT group_concat(sql, ';') FROM sqlite_master")),
        schema);
    QVERIFY(env.prompt.shown.isEmpty());
}

void TestDatabase::missingSpacingTableIsCreated() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(test::Exec(env.ctx, QStringLiteral("DROP TABLE 字距")));
    {
        Database db(env.ctx);
        QVERIFY(!db.TableExists(QStringLiteral("字距")));
    }
    env.CreateDatabase();
    Database db(env.ctx);
    QVERIFY(db.TableExists(QStringLiteral("字距")));
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 参数")).toInt(), 33);
}

void TestDatabase::tableExistsIsCaseSensitive() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(test::Exec(env.ctx, QStringLiteral("CREATE TABLE Extra (a)")));
    Database db(env.ctx);
    QVERIFY(db.TableExists(QStringLiteral("Extra")));
    QVERIFY(!db.TableExists(QStringLiteral("extra")));
    QVERIFY(!db.TableExists(QStringLiteral("EXTRA")));
    QVERIFY(!db.TableExists(QStringLiteral("Extr")));
}

void TestDatabase::emptyResultIsNoFailure() {
    TestEnv env;
    env.CreateDatabase();
    Database db(env.ctx);
    auto rs = db.OpenRecordset(
        {FormatsTable(), QStringLiteral("Name=?"), {QStringLiteral("无此格式")}, {}, {}});
    QVERIFY(rs);
    QCOMPARE(rs->RecordCount(), 0);
    QVERIFY(rs->Eof());
    QVERIFY(!rs->Value(QStringLiteral("X")).isValid());
    QVERIFY(env.prompt.shown.isEmpty());
}

void TestDatabase::recordsetAddUpdateDelete() {
    TestEnv env;
    env.CreateDatabase();
    Database db(env.ctx);
    const Statement all{SpacingTable(), {}, {}, QStringLiteral("CID"), {}};
    auto rs = db.OpenRecordset(all);
    QVERIFY(rs);
    for (int cid : {7, 3, 5}) {
        rs->AddNew();
        rs->SetValue(QStringLiteral("Name"), QStringLiteral("甲"));
        rs->SetValue(QStringLiteral("CID"), cid);
        rs->SetValue(QStringLiteral("Sp"), cid / 2.0);
        QVERIFY(rs->Update());
    }
    rs = db.OpenRecordset(all);
    QCOMPARE(rs->RecordCount(), 3);
    QCOMPARE(rs->Value(QStringLiteral("cid")).toInt(), 3);  // column names are case-insensitive
    rs->MoveLast();
    QCOMPARE(rs->Value(QStringLiteral("CID")).toInt(), 7);
    rs->SetValue(QStringLiteral("Sp"), 9.25);
    QVERIFY(rs->Update());
    rs->MoveFirst();
    rs->MoveNext();
    QCOMPARE(rs->Value(QStringLiteral("CID")).toInt(), 5);
    QVERIFY(rs->Delete());
    rs->MoveNext();
    rs->MoveNext();
    QVERIFY(rs->Eof());
    QVERIFY(!rs->Delete());

    QCOMPARE(test::Rows(env.ctx, QStringLiteral("SELECT CID, Sp FROM 字距 ORDER BY CID")),
             (QList<QVariantList>{{3, 1.5}, {7, 9.25}}));
}

void TestDatabase::writeToUnknownColumnFails() {
    TestEnv env;
    env.CreateDatabase();
    Database db(env.ctx);
    auto rs = db.OpenRecordset({RecordsTable(), {}, {}, {}, {}});
    QVERIFY(rs);
    rs->AddNew();
    rs->SetValue(QStringLiteral("Dat"), QStringLiteral("2026-03-07 09:30:15"));
    rs->SetValue(QStringLiteral("Ctl"), 5);
    rs->SetValue(QStringLiteral("Inhalt"), QStringLiteral("丢失的文字"));
    QVERIFY(!rs->Update());
    QVERIFY2(rs->LastError().contains(QStringLiteral("Inhalt")), qPrintable(rs->LastError()));
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 记录")).toInt(), 0);
}

void TestDatabase::faultyQueryShowsStatement() {
    TestEnv env;
    env.CreateDatabase();
    Database db(env.ctx);
    auto rs = db.OpenRecordset(
        {QStringLiteral("无此表"), {}, {}, {}, QStringLiteral("SELECT * FROM 无此表")});
    QVERIFY(!rs);
    QCOMPARE(env.prompt.Messages(),
             QStringList{QStringLiteral("数据库打开错误(SELECT * FROM 无此表)！")});
}

void TestDatabase::notADatabaseIsNeverTouched() {
    TestEnv env;
    const QByteArray jet =
        QByteArray("\x00\x01\x00\x00Standard Jet DB", 19) + QByteArray(4096, 'x');
    {
        QFile f(env.ctx.DatabasePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(jet);
    }
    env.CreateDatabase();
    QFile f(env.ctx.DatabasePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), jet);
    QVERIFY(!QFile::exists(env.ctx.DatabasePath() + QStringLiteral("-wal")));
    const QStringList messages = env.prompt.Messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages.first().startsWith(QStringLiteral("无法建立数据库连接！")));
    QVERIFY(messages.first().contains(env.ctx.DatabasePath()));
}

void TestDatabase::oneMessagePerAction() {
    TestEnv env;
    {
        QFile f(env.ctx.DatabasePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, 'z'));
    }
    VoucherSettings s;
    s.layout.formWidthMm = 210;
    s.layout.showGrid = s.layout.printStub = s.layout.centreOnFeeder = true;
    int applied = 0;
    QString name = DefaultFormatName();
    LoadFormat(env.ctx, name, s, {{}, [&] { ++applied; }});
    QCOMPARE(env.prompt.Messages().size(), 1);
    // The load still ends as usual: checks cleared, window re-arranged, name in use.
    QCOMPARE(applied, 1);
    QCOMPARE(s.layout.showGrid, false);
    QCOMPARE(s.layout.printStub, false);
    QCOMPARE(s.layout.centreOnFeeder, false);
    QCOMPARE(s.layout.formWidthMm, 210.0);
    QCOMPARE(s.CurFormat, DefaultFormatName());
}

void TestDatabase::dataFolder_data() {
    QTest::addColumn<bool>("fileBesideProgram");
    QTest::addColumn<bool>("fromEnvironment");
    QTest::addColumn<QString>("expected");
    QTest::newRow("writable program folder without Par.mdb: the user's folder")
        << false << false << QStringLiteral("user");
    QTest::newRow("Par.mdb beside the program: a portable copy stays there")
        << true << false << QStringLiteral("program");
    QTest::newRow("TALLYFORM_DATA_DIR names the folder") << true << true << QStringLiteral("env");
}

void TestDatabase::dataFolder() {
    QFETCH(bool, fileBesideProgram);
    QFETCH(bool, fromEnvironment);
    QFETCH(QString, expected);
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("program"));
    const QString user = root.filePath(QStringLiteral("user"));
    const QString env = root.filePath(QStringLiteral("env"));
    QVERIFY(QDir().mkpath(program));
    if (fileBesideProgram) {
        QFile f(QDir(program).filePath(QStringLiteral("Par.mdb")));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QByteArray saved = qgetenv("TALLYFORM_DATA_DIR");
    if (fromEnvironment)
        qputenv("TALLYFORM_DATA_DIR", QFile::encodeName(env));
    else
        qunsetenv("TALLYFORM_DATA_DIR");
    const QString chosen = AppContext::DefaultDataDir(program, user);
    if (saved.isNull())
        qunsetenv("TALLYFORM_DATA_DIR");
    else
        qputenv("TALLYFORM_DATA_DIR", saved);
    QCOMPARE(chosen, root.filePath(expected));
    QVERIFY(QFileInfo(chosen).isDir());
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
