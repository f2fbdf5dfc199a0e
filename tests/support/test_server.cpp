#include "support/test_server.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include "store/server_connection.h"

namespace tf::test {

namespace {

QAtomicInt databaseCounter;

template <typename F>
auto AsSuperuser(const QString& database, F f) {
    const QString name = QStringLiteral("test-server-admin");
    decltype(f(std::declval<QSqlDatabase&>())) result{};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(TestServer::SocketFolder());
        db.setDatabaseName(database);
        db.setUserName(Superuser());
        if (db.open())
            result = f(db);
        else
            qWarning("test server: %s", qPrintable(db.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QList<QVariantList> Run(QSqlDatabase& db, const QString& sql, const QVariantList& params,
                        bool* ok) {
    QList<QVariantList> out;
    QSqlQuery q(db);
    const bool ready = params.isEmpty() || q.prepare(sql);
    for (const QVariant& p : params) q.addBindValue(p);
    *ok = ready && (params.isEmpty() ? q.exec(sql) : q.exec());
    if (!*ok) qWarning("test server: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    while (*ok && q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i) row.append(q.value(i));
        out.append(row);
    }
    return out;
}

}  // namespace

QString TestServer::SocketFolder() {
    return qEnvironmentVariable("TALLYFORM_TEST_PGHOST");
}

TestServer::TestServer(Tables tables, const QString& owner)
    : name_(QStringLiteral("tst_%1_%2")
                .arg(QCoreApplication::applicationPid())
                .arg(databaseCounter.fetchAndAddRelaxed(1))) {
    if (SocketFolder().isEmpty()) {
        qWarning("test server: no cluster ($TALLYFORM_TEST_PGHOST is not set; run through ctest)");
        return;
    }
    // Names are made here of digits and letters only: no quoting needed.
    const QString create =
        QStringLiteral("CREATE DATABASE %1 OWNER %2%3")
            .arg(name_, owner,
                 tables == Tables::Ready ? QStringLiteral(" TEMPLATE tallyform_template")
                                         : QString());
    ok_ = AsSuperuser(QStringLiteral("postgres"), [&](QSqlDatabase& db) {
        bool done = false;
        Run(db, create, {}, &done);
        return done;
    });
}

TestServer::~TestServer() {
    // The run's pooled connections to this database go first.
    store::CloseServerConnections();
    if (!ok_) return;
    AsSuperuser(QStringLiteral("postgres"), [&](QSqlDatabase& db) {
        bool done = false;
        Run(db, QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(name_), {}, &done);
        return done;
    });
}

QString TestServer::Uri(const QString& login) const {
    return QStringLiteral("postgresql://%1@/%2?host=%3")
        .arg(login, name_, QString::fromLatin1(QUrl::toPercentEncoding(SocketFolder())));
}

void TestServer::Use(const AppContext& ctx, const QString& login) const {
    store::CloseServerConnections();
    ctx.database->serverUri = Uri(login);
    ctx.database->localThisRun = false;
    ctx.database->password.clear();
}

QList<QVariantList> TestServer::Rows(const QString& sql, const QVariantList& params) const {
    return AsSuperuser(name_, [&](QSqlDatabase& db) {
        bool ok = false;
        return Run(db, sql, params, &ok);
    });
}

bool TestServer::Exec(const QString& sql, const QVariantList& params) const {
    return AsSuperuser(name_, [&](QSqlDatabase& db) {
        bool ok = false;
        Run(db, sql, params, &ok);
        return ok;
    });
}

QVariant TestServer::Scalar(const QString& sql, const QVariantList& params) const {
    const QList<QVariantList> rows = Rows(sql, params);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

}  // namespace tf::test
