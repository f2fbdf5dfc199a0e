#pragma once

#include <QString>
#include <QVariantList>

#include "common/app_context.h"

// A database of its own on the test run's throw-away PostgreSQL cluster
// (scripts/pg_test_cluster.sh, started by ctest, its socket folder in $TALLYFORM_TEST_PGHOST).
// Made from the cluster's template, which holds the program's tables and the roles of
// store/postgresql_schema.sql, or empty; dropped at the end of the test.

namespace tf::test {

// Logins of the cluster: the superuser, a clerk, an administrator, and a clerk who needs the
// password kTestPassword.
inline QString Superuser() {
    return QStringLiteral("postgres");
}
inline QString ClerkLogin() {
    return QStringLiteral("tallyform_clerk1");
}
inline QString AdminLogin() {
    return QStringLiteral("tallyform_admin1");
}
inline QString PasswordLogin() {
    return QStringLiteral("tallyform_pw");
}
inline QString TestPassword() {
    return QStringLiteral("tallyform-test-password");
}

class TestServer {
public:
    enum class Tables { Ready, None };
    // Fails the test (QVERIFY) through Ok() when the cluster cannot be reached.
    explicit TestServer(Tables tables = Tables::Ready, const QString& owner = Superuser());
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    bool Ok() const { return ok_; }
    QString Name() const { return name_; }
    // The connection URI of this database for a login.
    QString Uri(const QString& login) const;
    // Points the context at this database as the login.
    void Use(const AppContext& ctx, const QString& login) const;

    // Statements run by the superuser on this database.
    bool Exec(const QString& sql, const QVariantList& params = {}) const;
    QList<QVariantList> Rows(const QString& sql, const QVariantList& params = {}) const;
    QVariant Scalar(const QString& sql, const QVariantList& params = {}) const;

    // The socket folder of the cluster; empty when the test runs without one.
    static QString SocketFolder();

private:
    QString name_;
    bool ok_ = false;
};

}  // namespace tf::test
