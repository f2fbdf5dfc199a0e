#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>
#include <type_traits>

#include "store/database.h"
#include "store/server_address.h"

// Connections to the office server through Qt's QPSQL driver. Opening one costs the server a
// process and the login a round of authentication, so a run keeps the connections its actions
// used and hands them to the next action; one found broken is opened afresh, one given back in
// the middle of a transaction is rolled back first.

struct pg_result;

namespace tf::store {

// The SQLSTATE of a failed statement on the server, "" for a failure on the client's side.
QString SqlState(const QSqlError& error);
// The cause of a failed statement on the server: no right, connection lost, disk full …
DbFailure ServerFailureOf(const QSqlError& error);
// True when the statement failed on a unique key (another client stored the same key).
bool IsUniqueViolation(const QSqlError& error);

// The plain message for a cause on the server, naming it ("user@host:port/dbname"); detail is
// the server's own text, shown only for causes without a message of their own.
QString ServerFailureMessage(DbFailure cause, const QString& server, const QString& detail = {});

// Many values bound as one: the text of a PostgreSQL array, for a statement that takes the
// array as one parameter (`?::text[]`) and unnests it, so that thousands of rows go to the
// server in one round trip. A NUL character, which no text on the server can hold, is left out.
QString ServerTextArray(const QStringList& texts);
template <typename Number>
QString ServerNumberArray(const QList<Number>& numbers) {
    QString array(1, u'{');
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (i > 0) array += u',';
        if constexpr (std::is_floating_point_v<Number>)
            array += QString::number(numbers[i], 'g', 17);
        else
            array += QString::number(numbers[i]);
    }
    return array + u'}';
}
// A text as the server stores it: without NUL characters.
QString ServerText(const QString& text);

// Rows in the text form of COPY … FROM STDIN: AddText and AddNumber for each column, EndRow
// after the last. A NUL character, which no text on the server can hold, is left out.
class CopyRows {
public:
    void AddText(const QString& text);
    void AddNumber(qint64 number);
    void EndRow() { data_.back() = '\n'; }
    bool IsEmpty() const { return data_.isEmpty(); }
    const QByteArray& Data() const { return data_; }

private:
    QByteArray data_;
};

// A COPY … FROM STDIN on db's connection in its open transaction: the fastest way rows go into
// a table. It stays open while the caller sends rows, so that the server stores one group of
// rows while the caller makes the next. Nothing else may run on the connection until Finish.
// Destroyed unfinished, it cancels the COPY, which fails the transaction: the caller rolls
// back.
class CopyStream {
public:
    CopyStream(Database& db, QString copy) : db_(db), copy_(std::move(copy)) {}
    ~CopyStream();
    CopyStream(const CopyStream&) = delete;
    CopyStream& operator=(const CopyStream&) = delete;

    // Sends the rows, starting the COPY first when it is not open. False, with the failure
    // noted on db and given back in *error, when the server refused the COPY or the connection
    // broke.
    bool Send(const CopyRows& rows, QSqlError* error = nullptr);
    // Ends the COPY, if open, and waits for the server to store every row sent. False, with
    // the failure noted on db and given back in *error, when it failed.
    bool Finish(QSqlError* error = nullptr);
    // Ends an open COPY unfinished: the server stores none of its rows and fails the
    // transaction, which the caller then rolls back.
    void Cancel();

private:
    bool Fail(pg_result* result, QSqlError* error);

    Database& db_;
    QString copy_;
    bool open_ = false;
};

// Runs `copy` (a COPY … TO STDOUT) on db's connection and hands each row's line, without its
// line break, to `each` as it arrives: the fastest way many rows come from the server, without
// holding them all at once. False, with the failure noted on db, when it failed.
bool CopyFromServer(Database& db, const QString& copy,
                    const std::function<void(QByteArrayView line)>& each);

// Runs a statement on db's connection in its open transaction with its values ($1, $2 …) sent
// apart from its text, as libpq sends them: a value of many megabytes, such as an array of a
// bulk statement, is neither quoted into the statement nor read again as part of it. False,
// with the failure noted on db, when it failed.
bool RunWithTexts(Database& db, const QString& sql, const QList<QString>& values);

// Runs a statement on db's connection with its values bound; one without values runs as it is
// (SAVEPOINT and its kin cannot be prepared). False, with the failure noted on db, when it failed.
bool RunOnServer(Database& db, QSqlQuery& q, const QString& sql, const QVariantList& values = {});

// A connection of the run's pool for one action: given back when destroyed.
class ServerConnection {
public:
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // Takes an open connection to the server, or opens one. On failure: null, with the cause
    // told apart (server not answering, password needed, login refused, no such database)
    // in *cause and libpq's own words in *detail.
    static std::unique_ptr<ServerConnection> Take(const ServerAddress& address,
                                                  const QString& password, DbFailure* cause,
                                                  QString* detail);

    QSqlDatabase& Db() { return db_; }
    // True while the connection to the server stands.
    bool Alive() const;

private:
    ServerConnection(QString key, QString name);

    QString key_;
    QString name_;
    QSqlDatabase db_;
};

// Opens a connection of its own (not from the pool) under the name given, for a caller that
// keeps it, such as the listener for notifications; closed and removed by the caller.
bool OpenServerDatabase(QSqlDatabase& db, const ServerAddress& address, const QString& password,
                        DbFailure* cause, QString* detail);

// Closes every pooled connection (at the end of the run, or when the server changes).
void CloseServerConnections();

}  // namespace tf::store
