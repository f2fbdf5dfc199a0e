#include <QtTest>

#include "store/database.h"
#include "store/database_setting.h"
#include "store/default_format.h"
#include "store/formats.h"
#include "store/record_store.h"
#include "store/server_address.h"
#include "store/spacing.h"
#include "support/test_env.h"
#include "support/test_server.h"

using namespace tf;
using namespace tf::store;
using namespace Qt::StringLiterals;
using tf::test::TestEnv;
using tf::test::TestServer;

Q_DECLARE_METATYPE(tf::store::DbFailure)

namespace {

FormatHooks NoChooser() {
    return {[] { return QString(); }, [] {}};
}

QString Folder() {
    return TestServer::SocketFolder();
}

// How messages name the server of a context.
QString Shown(const AppContext& ctx) {
    return ParseServerUri(ctx.database->serverUri)->Shown();
}

}  // namespace

// The office server as the clerk meets it: its address, its tables, why it cannot be used,
// and the rights of the two roles.
class TestServerAccess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(!Folder().isEmpty(), "run through ctest: no test cluster"); }
    void addressForms_data();
    void addressForms();
    void tablesAreCreatedByTheOwnerOnly();
    void failuresAreToldByCause_data();
    void failuresAreToldByCause();
    void passwordIsAskedForThisRunOnly();
    void refusedRightsChangeNothing_data();
    void refusedRightsChangeNothing();
    void deletedFormatIsToldOnLoadAndSave();
};

void TestServerAccess::addressForms_data() {
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("database");
    QTest::addRow("host and port") << u"postgresql://zhang@192.168.1.5:5433/office"_s
                                   << u"zhang@192.168.1.5:5433/office"_s << u"office"_s;
    QTest::addRow("socket folder as parameter")
        << u"postgresql://li@/office?host=/run/pg&port=5432"_s << u"li@/run/pg:5432/office"_s
        << u"office"_s;
    QTest::addRow("socket folder percent-encoded in place of the host")
        << u"postgres://%2Frun%2Fpg/office"_s << u"/run/pg/office"_s << u"office"_s;
    QTest::addRow("Chinese database name, encoded")
        << u"postgresql://h/%E5%8A%9E%E5%85%AC%E5%AE%A4"_s << u"h/办公室"_s << u"办公室"_s;
    QTest::addRow("password never shown")
        << u"postgresql://wang:secret@h/db"_s << u"wang@h/db"_s << u"db"_s;
    QTest::addRow("another scheme") << u"mysql://h/db"_s << QString() << QString();
    QTest::addRow("broken escape") << u"postgresql://h/%zz"_s << QString() << QString();
}

void TestServerAccess::addressForms() {
    QFETCH(QString, uri);
    QFETCH(QString, shown);
    QFETCH(QString, database);
    QString error;
    const auto address = ParseServerUri(uri, &error);
    QCOMPARE(address.has_value(), !shown.isEmpty());
    if (!address) {
        QVERIFY(error.contains(uri));
        return;
    }
    QCOMPARE(address->Shown(), shown);
    QCOMPARE(address->Param(u"dbname"_s), database);
}

void TestServerAccess::tablesAreCreatedByTheOwnerOnly() {
    // A clerk on an empty database is told what is missing and offered the local file.
    TestServer empty(TestServer::Tables::None);
    QVERIFY(empty.Ok());
    TestEnv env;
    empty.Use(env.ctx, test::ClerkLogin());
    env.prompt.yesNo.enqueue(false);
    Database(env.ctx).EnsureTables();
    QCOMPARE(
        env.prompt.Messages(),
        QStringList{u"办公室数据库服务器“%1”上还没有本程序的数据表，这个用户也无权建立。\n"
                    u"请管理员用 postgresql_schema.sql 建立数据表和角色。"_s.arg(Shown(env.ctx))});
    QCOMPARE(env.prompt.Questions().size(), 1);
    QVERIFY(env.ctx.database->UsesServer());  // answered No: the server stays chosen

    // The database's owner gets the tables and the default format, and loads it.
    TestServer owned(TestServer::Tables::None, test::ClerkLogin());
    QVERIFY(owned.Ok());
    owned.Use(env.ctx, test::ClerkLogin());
    env.prompt.Clear();
    Database(env.ctx).EnsureTables();
    QVERIFY2(env.prompt.shown.isEmpty(), qPrintable(env.prompt.Messages().join(u'\n')));
    QCOMPARE(owned.Scalar(u"SELECT COUNT(*) FROM 参数 WHERE Name='默认格式'"_s).toInt(), 33);
    VoucherSettings s;
    QString name = DefaultFormatName();
    LoadFormat(env.ctx, name, s, NoChooser());
    QCOMPARE(s.fieldFormats, DesignSettings().fieldFormats);
    // Again: nothing more is made.
    Database(env.ctx).EnsureTables();
    QCOMPARE(owned.Scalar(u"SELECT COUNT(*) FROM 参数"_s).toInt(), 33);

    // The voucher being typed stays on the desk, in a local file made at start when the desk
    // never had one.
    FieldTexts typed;
    typed[5] = u"甲公司"_s;
    QVERIFY(OpenRecordStore(env.ctx)->StoreCurrentText(typed));
    FieldTexts kept;
    LoadCurrentText(env.ctx, kept);
    QVERIFY2(env.prompt.shown.isEmpty(), qPrintable(env.prompt.Messages().join(u'\n')));
    QCOMPARE(kept[5], typed[5]);
}

void TestServerAccess::failuresAreToldByCause_data() {
    QTest::addColumn<QString>("uri");
    QTest::addColumn<DbFailure>("cause");
    QTest::addColumn<QString>("message");
    QTest::addRow("no server at the address")
        << u"postgresql://%1@/%2?host=%3/nowhere"_s << DbFailure::Unreachable
        << u"无法连接办公室数据库服务器“%1”：服务器没有回应。\n"
           u"请检查服务器地址和网络，或请管理员确认数据库服务器已经启动。"_s;
    QTest::addRow("no such database")
        << u"postgresql://%1@/no_such_db?host=%3"_s << DbFailure::NoSuchDatabase
        << u"办公室数据库服务器“%1”上没有这个数据库，或者这个用户无权连接它。\n"
           u"请检查数据库名称，或请管理员建立数据库。"_s;
    QTest::addRow("no such login")
        << u"postgresql://nobody_here@/%2?host=%3"_s << DbFailure::LoginRefused
        << u"办公室数据库服务器“%1”拒绝了登录：用户名或密码不对，或者服务器不允许这个用户连接。"_s;
    QTest::addRow("password wanted, none given")
        << u"postgresql://tallyform_pw@/%2?host=%3"_s << DbFailure::PasswordNeeded
        << u"办公室数据库服务器“%1”要求输入密码。"_s;
}

void TestServerAccess::failuresAreToldByCause() {
    QFETCH(QString, uri);
    QFETCH(DbFailure, cause);
    QFETCH(QString, message);
    TestServer server;
    QVERIFY(server.Ok());
    // No password from the environment or a password file of the machine's user.
    qputenv("PGPASSFILE", "/nonexistent");
    TestEnv env;
    env.ctx.database->serverUri = uri.replace(u"%1"_s, test::ClerkLogin())
                                      .replace(u"%2"_s, server.Name())
                                      .replace(u"%3"_s, Folder());
    Database db(env.ctx, Database::Reports::ToCaller);
    QVERIFY(!db.OpenDatabase());
    QCOMPARE(db.LastFailure(), cause);

    // At start the clerk is told the cause (a password is asked for first, and not given) and
    // chooses the local file for this run.
    env.prompt.inputs.enqueue(std::nullopt);
    env.prompt.yesNo.enqueue(true);
    QVERIFY(!ConnectAtStart(env.ctx));
    QCOMPARE(env.prompt.Messages(), QStringList{message.arg(Shown(env.ctx))});
    QCOMPARE(env.prompt.Questions().size(), 1);
    QVERIFY(env.prompt.Questions().first().startsWith(u"是否改用本机数据文件继续本次运行？"_s));
    QCOMPARE(env.prompt.Texts(u"input"_s).size(), cause == DbFailure::PasswordNeeded ? 1 : 0);
    QVERIFY(!env.ctx.database->UsesServer());
    QVERIFY(!Database(env.ctx).IsServer());
}

void TestServerAccess::passwordIsAskedForThisRunOnly() {
    TestServer server;
    QVERIFY(server.Ok());
    qputenv("PGPASSFILE", "/nonexistent");
    TestEnv env;
    DatabaseSetting setting{true, Folder(), {}, server.Name(), test::PasswordLogin()};
    QVERIFY(WriteDatabaseSetting(env.ctx, setting));
    ApplyDatabaseChoice(env.ctx);
    env.prompt.inputs.enqueue(u"wrong"_s);
    env.prompt.inputs.enqueue(test::TestPassword());
    QVERIFY(ConnectAtStart(env.ctx));
    const QStringList asked = env.prompt.Texts(u"input"_s);
    QCOMPARE(asked.size(), 2);
    QVERIFY(asked[1].startsWith(u"密码不对，请重新输入。"_s));
    QVERIFY(env.prompt.Messages().isEmpty());
    QVERIFY(Database(env.ctx).OpenDatabase());
    // Nowhere written: not in the settings file.
    QFile ini(env.ctx.settingsFile);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(!ini.readAll().contains(test::TestPassword().toUtf8()));
    QCOMPARE(ReadDatabaseSetting(env.ctx), setting);
}

void TestServerAccess::refusedRightsChangeNothing_data() {
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("refusal");
    QTest::addRow("clerk") << test::ClerkLogin() << u"没有删除格式的权限，请联系管理员"_s;
    QTest::addRow("administrator") << test::AdminLogin() << QString();
}

void TestServerAccess::refusedRightsChangeNothing() {
    QFETCH(QString, login);
    QFETCH(QString, refusal);
    TestServer server;
    QVERIFY(server.Ok());
    TestEnv env;
    server.Use(env.ctx, login);
    // Both may save formats and set spacing.
    VoucherSettings s = DesignSettings();
    s.fieldFormats[7].X = 42.5;
    QString name = u"工行"_s;
    QVERIFY(SaveFormat(env.ctx, name, s));
    QVERIFY(SetSpacing(env.ctx, name, 7, u"1.5"_s));
    QCOMPARE(server.Scalar(u"SELECT X FROM 参数 WHERE Name='工行' AND Ctl=7"_s).toDouble(), 42.5);
    QCOMPARE(server.Scalar(u"SELECT Sp FROM 字距 WHERE Name='工行' AND CID=7"_s).toDouble(), 1.5);

    // Only the administrator may delete one.
    s.CurFormat = DefaultFormatName();
    env.prompt.Clear();
    env.prompt.yesNo.enqueue(true);
    QCOMPARE(DeleteFormat(env.ctx, name, s, NoChooser()), refusal.isEmpty());
    const int rows = server.Scalar(u"SELECT COUNT(*) FROM 参数 WHERE Name='工行'"_s).toInt();
    if (refusal.isEmpty()) {
        QCOMPARE(rows, 0);
    } else {
        QCOMPARE(env.prompt.Messages(), QStringList{refusal});
        QCOMPARE(rows, 33);
    }
}

void TestServerAccess::deletedFormatIsToldOnLoadAndSave() {
    TestServer server;
    QVERIFY(server.Ok());
    TestEnv clerk;
    server.Use(clerk.ctx, test::ClerkLogin());
    VoucherSettings s = DesignSettings();
    QString name = u"农行"_s;
    QVERIFY(SaveFormat(clerk.ctx, name, s));
    QCOMPARE(s.CurFormat, name);
    // The administrator deletes it while the clerk uses it.
    QVERIFY(server.Exec(u"DELETE FROM 参数 WHERE Name='农行'"_s));

    clerk.prompt.Clear();
    LoadFormat(clerk.ctx, name, s, NoChooser());
    QCOMPARE(
        clerk.prompt.Messages(),
        QStringList{u"格式“农行”已不存在，可能已被其他人从服务器上删除。界面上的版式保持不变。"_s});
    clerk.prompt.Clear();
    clerk.prompt.yesNo.enqueue(false);
    QVERIFY(!SaveFormat(clerk.ctx, name, s));
    QCOMPARE(
        clerk.prompt.Questions(),
        QStringList{u"格式“农行”已被其他人从服务器上删除。是否按当前版式重新保存这个格式？"_s});
    QCOMPARE(server.Scalar(u"SELECT COUNT(*) FROM 参数 WHERE Name='农行'"_s).toInt(), 0);
    clerk.prompt.yesNo.enqueue(true);
    QVERIFY(SaveFormat(clerk.ctx, name, s));
    QCOMPARE(server.Scalar(u"SELECT COUNT(*) FROM 参数 WHERE Name='农行'"_s).toInt(), 33);
}

QTEST_GUILESS_MAIN(TestServerAccess)
#include "tst_server.moc"
