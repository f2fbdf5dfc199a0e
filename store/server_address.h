#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// The office database server as libpq's connection URI names it:
//   postgresql://user@host:port/dbname
//   postgresql://user@/dbname?host=/path/to/socket/folder&port=5432
// libpq itself reads the URI, so every form it takes is taken. Parts left out take libpq's
// defaults (the login's own name, the local socket, the environment variables PGHOST, PGPORT,
// PGUSER, PGPASSWORD …); a password comes from the URI, the environment, the password file
// ~/.pgpass or the clerk for one run, and is never written anywhere.

namespace tf::store {

struct ServerAddress {
    QString uri;
    // The parameters the URI sets, by libpq's keywords (host, port, dbname, user, password,
    // sslmode …), decoded.
    QList<QPair<QString, QString>> params;

    // The value of a keyword, empty when the URI does not set it.
    QString Param(const QString& keyword) const;

    // The libpq connection string of the parameters; `password`, when given, stands in for
    // the URI's, and the keywords of `replace` take the values given there.
    QString ConnInfo(const QString& password = {},
                     const QList<QPair<QString, QString>>& replace = {}) const;

    // How messages name the server: "user@host:port/dbname", the parts the URI leaves out
    // left out, never the password.
    QString Shown() const;
};

// Reads a connection URI. Nothing, with the reason in *error (in Chinese, with libpq's own
// words), for a text libpq does not take.
std::optional<ServerAddress> ParseServerUri(const QString& uri, QString* error = nullptr);

// The URI for the parts a clerk fills in: the server (a host name, an address, or a socket
// folder beginning with "/"), the port, the database and the user. Parts left empty are left
// out.
QString ServerUri(const QString& server, const QString& port, const QString& database,
                  const QString& user);

}  // namespace tf::store
