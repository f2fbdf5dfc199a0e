#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

#include "common/fonts.h"
#include "gui/database/database_dialog.h"
#include "gui/history/old_rec.h"
#include "store/database_setting.h"
#include "store/formats.h"
#include "store/server_connection.h"
#include "support/test_env.h"
#include "support/test_server.h"
#include "support/window_support.h"

using namespace tf;
using namespace Qt::StringLiterals;

namespace {

const QString kOfferLocal = u"是否改用本机数据文件继续本次运行？"_s;

// Opens "数据库设置" from the settings tab's button and lets `fill` set its controls and
// press a button once it shows; returns after the dialog has closed.
void EditInDialog(MF& w, std::function<void(const gui::DatabaseDialogUi&)> fill) {
    bool done = false;
    test::RetryUntil([&done, fill] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<gui::DatabaseDialog*>(top);
            if (!dialog || !dialog->isVisible()) continue;
            fill(dialog->Ui());
            done = true;
            return true;
        }
        return false;
    });
    w.SST()->setCurrentIndex(1);
    test::Child<QPushButton>(w, u"databaseSettingsButton"_s)->click();
    QVERIFY(done);
}

void ChooseServer(const gui::DatabaseDialogUi& ui, const QString& host, const QString& name,
                  const QString& user) {
    ui.server->click();
    QVERIFY(ui.host->isEnabled());
    ui.host->setText(host);
    ui.port->setText(u"5432"_s);
    ui.name->setText(name);
    ui.user->setText(user);
}

}  // namespace

class TestDatabaseDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutions(); }
    void cleanup() { store::CloseServerConnections(); }

    // A server whose socket folder has no server: the setting is kept, the clerk is told why
    // the server cannot be used and offered the local file, and the status line names the
    // database the answer leaves in use.
    void unreachableServer_data() {
        QTest::addColumn<bool>("takeLocal");
        QTest::addColumn<QString>("statusStart");
        QTest::newRow("clerk goes on with the local file") << true << u"本机数据文件 "_s;
        QTest::newRow("clerk stays with the server") << false << u"办公室数据库服务器 "_s;
    }
    void unreachableServer() {
        QFETCH(bool, takeLocal);
        QFETCH(QString, statusStart);
        test::TestEnv env;
        env.CreateDatabase();
        QTemporaryDir noServer;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        QVERIFY(w->DatabaseLine()->toolTip().startsWith(u"本机数据文件 "_s));
        env.prompt.yesNo.enqueue(takeLocal);
        EditInDialog(*w, [&noServer](const gui::DatabaseDialogUi& ui) {
            QVERIFY(ui.localFile->isChecked());
            QVERIFY(!ui.host->isEnabled());
            QVERIFY(!ui.copyToServer->isEnabled());
            ChooseServer(ui, noServer.path(), u"office"_s, u"clerk"_s);
            ui.ok->click();
        });

        const store::DatabaseSetting kept = store::ReadDatabaseSetting(env.ctx);
        QCOMPARE(kept, (store::DatabaseSetting{true, noServer.path(), u"5432"_s, u"office"_s,
                                               u"clerk"_s}));
        QCOMPARE(env.prompt.Messages().size(), 1);
        QVERIFY2(env.prompt.Messages()[0].contains(noServer.path()),
                 qPrintable(env.prompt.Messages()[0]));
        QCOMPARE(env.prompt.Questions().size(), 1);
        QVERIFY(env.prompt.Questions()[0].startsWith(kOfferLocal));
        QCOMPARE(env.ctx.database->UsesServer(), !takeLocal);
        QVERIFY2(w->DatabaseLine()->toolTip().startsWith(statusStart),
                 qPrintable(w->DatabaseLine()->toolTip()));
        QVERIFY(!w->DatabaseLine()->text().isEmpty());
    }

    // Cancel keeps the setting and the database in use, whatever was typed.
    void cancelChangesNothing() {
        test::TestEnv env;
        env.CreateDatabase();
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        EditInDialog(*w, [](const gui::DatabaseDialogUi& ui) {
            ChooseServer(ui, u"/nowhere"_s, u"office"_s, u"clerk"_s);
            ui.cancel->click();
        });
        QCOMPARE(store::ReadDatabaseSetting(env.ctx), store::DatabaseSetting{});
        QVERIFY(env.ctx.database->serverUri.isEmpty());
        QVERIFY(env.prompt.shown.isEmpty());
        QVERIFY(w->DatabaseLine()->toolTip().startsWith(u"本机数据文件 "_s));
    }

    // Moving onto a working server: the history window of the local file is closed and the
    // format in use is read from the server, so nothing is written into the local file.
    void switchToServer() {
        test::TestServer server;
        QVERIFY(server.Ok());
        test::TestEnv env;
        env.CreateDatabase();
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        // A format only the local file holds, narrower than the server's default.
        w->Settings().layout.formWidthMm = 200;
        QString name = u"本机格式"_s;
        QVERIFY(store::SaveFormat(env.ctx, name, w->Settings()));
        w->WidgetsFromSettings();
        w->Actions().history->trigger();
        QTRY_VERIFY(w->findChild<history::OldRec*>());

        EditInDialog(*w, [&server](const gui::DatabaseDialogUi& ui) {
            ChooseServer(ui, test::TestServer::SocketFolder(), server.Name(), test::ClerkLogin());
            ui.ok->click();
        });
        QVERIFY2(env.prompt.shown.isEmpty(), qPrintable(env.prompt.Messages().join(u'\n')));
        QVERIFY(env.ctx.database->UsesServer());
        QTRY_VERIFY(!w->findChild<history::OldRec*>());
        QCOMPARE(w->CurFormat()->text(), store::DefaultFormatName());
        QCOMPARE(test::Child<QLineEdit>(*w, u"formWidth"_s)->text(), u"220"_s);
        QVERIFY2(w->DatabaseLine()->toolTip().startsWith(u"办公室数据库服务器 "_s),
                 qPrintable(w->DatabaseLine()->toolTip()));
        // "复制本机数据到服务器" copies the local file's format onto the server in use.
        env.prompt.yesNo.enqueue(true);
        EditInDialog(*w, [](const gui::DatabaseDialogUi& ui) {
            QVERIFY(ui.server->isChecked());
            QVERIFY(ui.copyToServer->isEnabled());
            ui.copyButton->click();
            ui.cancel->click();
        });
        QCOMPARE(env.prompt.Questions().size(), 1);
        QCOMPARE(env.prompt.Messages().size(), 1);
        QVERIFY2(env.prompt.Messages()[0].startsWith(u"复制完成。\n格式：复制了 1 个"_s),
                 qPrintable(env.prompt.Messages()[0]));
        QCOMPARE(
            server
                .Scalar(u"SELECT count(DISTINCT Name) FROM 参数 WHERE Name = ?"_s, {u"本机格式"_s})
                .toInt(),
            1);
        QVERIFY(env.progress.calls.contains(u"close"_s));
        // Closing stores the voucher text on the server; the format question is answered No.
        w.reset();
    }

    // The server given up in the middle of a command: the open history window, which lists the
    // server's records, is taken out of use at once, and the status line names the local file.
    void fallbackRetiresHistory() {
        test::TestServer server;
        QVERIFY(server.Ok());
        test::TestEnv env;
        server.Use(env.ctx, test::ClerkLogin());
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        QVERIFY(w->DatabaseLine()->toolTip().startsWith(u"办公室数据库服务器 "_s));
        w->Actions().history->trigger();
        QPointer<history::OldRec> shown = w->findChild<history::OldRec*>();
        QVERIFY(shown && shown->isVisible());

        env.prompt.yesNo.enqueue(true);
        QVERIFY(store::OfferLocalFile(env.ctx));
        QVERIFY(!w->findChild<history::OldRec*>());
        QVERIFY(shown && !shown->isVisible() && !shown->isEnabled());
        QVERIFY(w->DatabaseLine()->toolTip().startsWith(u"本机数据文件 "_s));
        // Opened again, the history window is a new one, over the local file.
        w->Actions().history->trigger();
        QVERIFY(!shown);
        QVERIFY(w->findChild<history::OldRec*>());
    }
};

QTEST_MAIN(TestDatabaseDialog)
#include "tst_database_dialog.moc"
