#include "support/test_env.h"

#include "store/database.h"

namespace tf::test {

TestEnv::TestEnv() {
    ctx.dataDir = dir.path();
    ctx.settingsFile = dir.filePath(QStringLiteral("settings.ini"));
    ctx.SetPrompt(&prompt);
    ctx.SetProgress(&progress);
    ctx.now = [this] { return clock; };
}

void TestEnv::CreateDatabase() {
    store::Database db(ctx);
    db.EnsureTables();
}

}  // namespace tf::test

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

namespace tf::test {

namespace {

template <typename F>
auto WithConnection(const AppContext& ctx, F f) {
    const QString name = QStringLiteral("test-inspect");
    decltype(f(std::declval<QSqlDatabase&>())) result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(ctx.DatabasePath());
        if (db.open()) result = f(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

}  // namespace

QList<QVariantList> Rows(const AppContext& ctx, const QString& sql, const QVariantList& params) {
    return WithConnection(ctx, [&](QSqlDatabase& db) {
        QList<QVariantList> out;
        QSqlQuery q(db);
        q.prepare(sql);
        for (const QVariant& p : params) q.addBindValue(p);
        if (!q.exec()) return out;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i) row.append(q.value(i));
            out.append(row);
        }
        return out;
    });
}

QVariant Scalar(const AppContext& ctx, const QString& sql, const QVariantList& params) {
    const QList<QVariantList> rows = Rows(ctx, sql, params);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

bool Exec(const AppContext& ctx, const QString& sql) {
    return WithConnection(ctx, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        return q.exec(sql);
    });
}

}  // namespace tf::test
