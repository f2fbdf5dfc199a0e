#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include "store/database.h"
#include "store/default_format.h"
#include "store/formats.h"
#include "store/record_store.h"
#include "support/test_env.h"
#include "support/tmpfs.h"

// Par.mdb as an office finds it: locked by another program, damaged, read-only, on a full
// disk. Each case checks the cause the clerk is told and that nothing is written where it
// must not be.

using namespace tf;
using namespace tf::store;
using tf::test::TestEnv;

namespace {

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

FieldTexts Sample(const QString& prefix) {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = prefix + QString::number(i);
    return t;
}

QString LockedText(const QString& path) {
    return QStringLiteral(
               "数据库文件“%1”正被其他程序使用（已锁定），这次操作没有完成。\n"
               "请稍后再试，或先关闭正在使用它的程序。")
        .arg(path);
}

QString ReadOnlyNotice(const QString& path) {
    return QStringLiteral(
               "数据库文件“%1”只能读取，不能写入（文件或它所在的文件夹是只读的）。\n"
               "格式可以载入，凭证可以打印，但本次运行中的改动都不会保存。")
        .arg(path);
}

QString TextNotKept() {
    return QStringLiteral("当前凭证的内容没有保存，下次启动时不能恢复！\n");
}

// Loads the default format into fresh settings; returns field 5's left edge.
double LoadedX5(const AppContext& ctx) {
    VoucherSettings s;
    QString name = DefaultFormatName();
    LoadFormat(ctx, name, s, {});
    return s.fieldFormats[5].X;
}

}  // namespace

class TestFileFailures : public QObject {
    Q_OBJECT
private slots:
    void lockedFileIsToldAsLockedWithoutFreezing();
    void damagedFileIsNeverWritten();
    void unwritableFileOpensReadOnly();
    void readOnlyFolderStillLoadsFormats();
    void fullDiskIsTold();
    void rollbackJournalReplacesWal();
};

void TestFileFailures::lockedFileIsToldAsLockedWithoutFreezing() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(StoreTexts(env.ctx, CurrentTextDate(), Sample(QStringLiteral("old"))));
    const QString path = env.ctx.DatabasePath();
    {
        QSqlDatabase holder =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(path);
        QVERIFY(holder.open());
        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE")));

        // 33 queries, one wait: the load is over in about a second, not 33 of them.
        QElapsedTimer timer;
        timer.start();
        LoadedX5(env.ctx);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(env.prompt.Messages(), QStringList{LockedText(path)});

        env.prompt.Clear();
        timer.restart();
        QVERIFY(!StoreTexts(env.ctx, CurrentTextDate(), Sample(QStringLiteral("new"))));
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(env.prompt.Messages(), QStringList{TextNotKept() + LockedText(path)});
        QSqlQuery(holder).exec(QStringLiteral("ROLLBACK"));
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    FieldTexts texts;
    LoadCurrentText(env.ctx, texts);
    QCOMPARE(texts[33], QStringLiteral("old33"));
}

void TestFileFailures::damagedFileIsNeverWritten() {
    TestEnv env;
    env.CreateDatabase();
    const QString path = env.ctx.DatabasePath();
    const int pageSize = test::Scalar(env.ctx, QStringLiteral("PRAGMA page_size")).toInt();
    const int root =
        test::Scalar(env.ctx,
                     QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name='参数'"))
            .toInt();
    QVERIFY(root > 1);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(qint64(root - 1) * pageSize));
        f.write(QByteArray(pageSize, '\x5a'));
    }
    const QByteArray damaged = Bytes(path);

    LoadedX5(env.ctx);
    QCOMPARE(env.prompt.Messages(),
             QStringList{QStringLiteral("无法读取数据库文件“%1”：文件已损坏。\n"
                                        "本次运行中程序不再写入这个文件，以免损坏扩大；"
                                        "请用备份替换它后重新启动程序。")
                             .arg(path)});

    // Later actions of the run: the exit's voucher text and default format are refused
    // without touching the file, and the damage is not announced again by reads.
    env.prompt.Clear();
    LoadedX5(env.ctx);
    QCOMPARE(env.prompt.Messages(), QStringList{});
    QVERIFY(!StoreTexts(env.ctx, CurrentTextDate(), Sample(QStringLiteral("new"))));
    VoucherSettings half;
    QString name = DefaultFormatName();
    QVERIFY(!SaveFormat(env.ctx, name, half));
    QCOMPARE(env.prompt.Messages().size(), 2);
    QVERIFY(env.prompt.Messages().first().startsWith(TextNotKept()));
    QCOMPARE(Bytes(path), damaged);
}

void TestFileFailures::unwritableFileOpensReadOnly() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(test::Exec(env.ctx, QStringLiteral("UPDATE 参数 SET X=1.5 WHERE Ctl=5")));
    const QString path = env.ctx.DatabasePath();
    const QByteArray before = Bytes(path);
    // As root, permission bits stop nothing; the check is what the program goes by.
    env.ctx.canWrite = [](const QString&) { return false; };

    QCOMPARE(LoadedX5(env.ctx), 1.5);
    QCOMPARE(env.prompt.Messages(), QStringList{ReadOnlyNotice(path)});

    env.prompt.Clear();
    QCOMPARE(LoadedX5(env.ctx), 1.5);  // told once in a run
    QVERIFY(!StoreTexts(env.ctx, CurrentTextDate(), Sample(QStringLiteral("new"))));
    QCOMPARE(env.prompt.Messages(),
             QStringList{TextNotKept() + QStringLiteral("数据库文件“%1”不能写入：文件或它所在的"
                                                        "文件夹是只读的，改动没有保存。")
                                             .arg(path)});
    QCOMPARE(Bytes(path), before);
    QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
}

void TestFileFailures::readOnlyFolderStillLoadsFormats() {
    TestEnv env;
    test::Tmpfs disk(env.dir.filePath(QStringLiteral("share")), 4 << 20);
    if (!disk.Mounted()) QSKIP("cannot mount a tmpfs here");
    env.ctx.dataDir = disk.Path();
    env.CreateDatabase();
    QVERIFY(test::Exec(env.ctx, QStringLiteral("UPDATE 参数 SET X=2.5 WHERE Ctl=5")));
    QVERIFY(disk.RemountReadOnly());

    // The program's own check finds the folder read-only; no seam is replaced here.
    QCOMPARE(LoadedX5(env.ctx), 2.5);
    QCOMPARE(env.prompt.Messages(), QStringList{ReadOnlyNotice(env.ctx.DatabasePath())});
}

void TestFileFailures::fullDiskIsTold() {
    TestEnv env;
    test::Tmpfs disk(env.dir.filePath(QStringLiteral("small")), 1 << 20);
    if (!disk.Mounted()) QSKIP("cannot mount a tmpfs here");
    env.ctx.dataDir = disk.Path();
    env.CreateDatabase();
    QVERIFY(StoreTexts(env.ctx, CurrentTextDate(), Sample(QStringLiteral("old"))));
    disk.Fill();

    QVERIFY(!StoreTexts(env.ctx, CurrentTextDate(), Sample(QString(2000, u'满'))));
    QCOMPARE(env.prompt.Messages(),
             QStringList{TextNotKept() +
                         QStringLiteral("磁盘已满，数据库文件“%1”无法写入，改动没有保存。\n"
                                        "请腾出磁盘空间后再试。")
                             .arg(env.ctx.DatabasePath())});
    FieldTexts texts;
    LoadCurrentText(env.ctx, texts);
    QCOMPARE(texts[2], QStringLiteral("old2"));
}

void TestFileFailures::rollbackJournalReplacesWal() {
    // A file left in WAL mode (as earlier versions kept it) is turned back to the rollback
    // journal, which a read-only or network folder can use.
    TestEnv env;
    env.CreateDatabase();
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("PRAGMA journal_mode=WAL")).toString(),
             QStringLiteral("wal"));
    LoadedX5(env.ctx);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("PRAGMA journal_mode")).toString(),
             QStringLiteral("delete"));
    QVERIFY(env.prompt.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestFileFailures)
#include "tst_file_failures.moc"
