#include "store/server_connection.h"

#include <libpq-fe.h>

#include <QAtomicInt>
#include <QCoreApplication>
#include <QHash>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>
#include <vector>

Q_DECLARE_OPAQUE_POINTER(PGconn*)
Q_DECLARE_METATYPE(PGconn*)

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

QAtomicInt serverConnectionCounter;

// Open connections no action uses, by server and password; connections belong to the thread
// that opened them.
using Pool = QHash<QString, QStringList>;
Pool& IdleConnections() {
    thread_local Pool pool;
    return pool;
}
// Kept open between actions: enough for an action and the one it may start inside it.
constexpr int kIdleKept = 2;

PGconn* Handle(const QSqlDatabase& db) {
    if (!db.isValid() || !db.driver()) return nullptr;
    const QVariant v = db.driver()->handle();
    if (v.metaType() != QMetaType::fromType<PGconn*>()) return nullptr;
    return v.value<PGconn*>();
}

// Parameters the program adds unless the URI sets them: a dead server is given up after a few
// seconds instead of the system's minutes, and the server's own list of sessions names us.
const QList<QPair<QString, QString>>& DefaultParams() {
    static const QList<QPair<QString, QString>> defaults{
        {u"connect_timeout"_s, u"5"_s},
        {u"application_name"_s, u"Tallyform"_s},
    };
    return defaults;
}

QString FullConnInfo(const ServerAddress& address, const QString& password,
                     const QList<QPair<QString, QString>>& replace = {}) {
    QList<QPair<QString, QString>> extra = replace;
    for (const auto& d : DefaultParams())
        if (address.Param(d.first).isEmpty()) extra.append(d);
    return address.ConnInfo(password, extra);
}

bool ConnectsTo(const QString& conninfo, bool* needsPassword = nullptr, QString* detail = nullptr) {
    PGconn* c = PQconnectdb(conninfo.toUtf8().constData());
    const bool ok = PQstatus(c) == CONNECTION_OK;
    if (needsPassword) *needsPassword = !ok && PQconnectionNeedsPassword(c);
    if (detail) *detail = QString::fromUtf8(PQerrorMessage(c)).trimmed();
    PQfinish(c);
    return ok;
}

// Tells why a connection failed, without reading libpq's words (which follow the language of
// the client and the server): whether the server answers at all, whether it wants a password
// it was not given, and whether the same login gets into the server's maintenance database.
DbFailure ClassifyOpenFailure(const ServerAddress& address, const QString& password,
                              QString* detail) {
    const QString conninfo = FullConnInfo(address, password);
    switch (PQping(conninfo.toUtf8().constData())) {
        case PQPING_NO_RESPONSE:
        case PQPING_REJECT:
            ConnectsTo(conninfo, nullptr, detail);
            return DbFailure::Unreachable;
        case PQPING_NO_ATTEMPT:
            ConnectsTo(conninfo, nullptr, detail);
            return DbFailure::Other;
        case PQPING_OK:
            break;
    }
    bool needsPassword = false;
    if (ConnectsTo(conninfo, &needsPassword, detail)) return DbFailure::None;
    if (needsPassword) return DbFailure::PasswordNeeded;
    for (const QString& maintenance : {u"postgres"_s, u"template1"_s})
        if (ConnectsTo(FullConnInfo(address, password, {{u"dbname"_s, maintenance}})))
            return DbFailure::NoSuchDatabase;
    return DbFailure::LoginRefused;
}

QString PoolKey(const ServerAddress& address, const QString& password) {
    return address.uri + u'\x1f' + password;
}

void ForgetConnection(const QString& name) {
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isValid()) db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace

QString ServerText(const QString& text) {
    if (!text.contains(QChar(0))) return text.isNull() ? u""_s : text;
    return QString(text).remove(QChar(0));
}

QString ServerTextArray(const QStringList& texts) {
    qsizetype size = 2;
    for (const QString& t : texts) size += t.size() + 3;
    QString array;
    array.reserve(size);
    array += u'{';
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i > 0) array += u',';
        array += u'"';
        for (const QChar c : texts[i]) {
            if (c == u'"' || c == u'\\') array += u'\\';
            if (!c.isNull()) array += c;
        }
        array += u'"';
    }
    return array + u'}';
}

QString SqlState(const QSqlError& error) {
    return error.nativeErrorCode();
}

bool IsUniqueViolation(const QSqlError& error) {
    return SqlState(error) == u"23505";
}

DbFailure ServerFailureOf(const QSqlError& error) {
    if (error.type() == QSqlError::NoError) return DbFailure::None;
    const QString state = SqlState(error);
    // Every failure the server reports carries its SQLSTATE; one without was the client's own:
    // the connection broke.
    if (state.isEmpty()) return DbFailure::ConnectionLost;
    if (state == u"42501") return DbFailure::NoRight;
    if (state.startsWith(u"08") || state == u"57P01" || state == u"57P02" || state == u"57P03")
        return DbFailure::ConnectionLost;
    if (state == u"53100") return DbFailure::Full;
    if (state == u"25006") return DbFailure::ReadOnly;
    if (state == u"55P03" || state == u"40P01") return DbFailure::Locked;
    if (state == u"3D000") return DbFailure::NoSuchDatabase;
    if (state.startsWith(u"28")) return DbFailure::LoginRefused;
    return DbFailure::Other;
}

bool RunOnServer(Database& db, QSqlQuery& q, const QString& sql, const QVariantList& values) {
    const bool ready = values.isEmpty() || q.prepare(sql);
    for (const QVariant& v : values) q.addBindValue(v);
    if (ready && (values.isEmpty() ? q.exec(sql) : q.exec())) return true;
    db.NoteFailure(q.lastError());
    return false;
}

void CopyRows::AddText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
            case '\0':
                break;
            case '\\':
                data_ += "\\\\";
                break;
            case '\t':
                data_ += "\\t";
                break;
            case '\n':
                data_ += "\\n";
                break;
            case '\r':
                data_ += "\\r";
                break;
            default:
                data_ += c;
        }
    }
    data_ += '\t';
}

void CopyRows::AddNumber(qint64 number) {
    data_ += QByteArray::number(number);
    data_ += '\t';
}

namespace {

// Reads and drops what is left of a command's results, so the connection can take the next.
void ClearResults(PGconn* c) {
    while (PGresult* rest = PQgetResult(c)) PQclear(rest);
}

// Notes a failed statement on db with the server's own message and SQLSTATE, as a failed
// statement of the driver has them; a failure without a result lost the connection. Reads
// what is left of the statement's results, so the connection can take the next one.
bool FailOnServer(Database& db, PGconn* c, PGresult* result, const QString& what,
                  QSqlError* error) {
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QSqlError e(what,
                      QString::fromUtf8(result ? PQresultErrorMessage(result)
                                        : c    ? PQerrorMessage(c)
                                               : ""),
                      QSqlError::StatementError, QString::fromLatin1(state ? state : ""));
    if (result) PQclear(result);
    if (c) ClearResults(c);
    db.NoteFailure(e);
    if (error) *error = e;
    return false;
}

// Reads the result of a COPY that has ended: false, noted on db, when it failed.
bool CopyEnded(Database& db, PGconn* c, const QString& what, QSqlError* error) {
    PGresult* done = PQgetResult(c);
    if (!done || PQresultStatus(done) != PGRES_COMMAND_OK)
        return FailOnServer(db, c, done, what, error);
    PQclear(done);
    ClearResults(c);
    return true;
}

}  // namespace

CopyStream::~CopyStream() {
    Cancel();
}

void CopyStream::Cancel() {
    if (!open_) return;
    open_ = false;
    if (PGconn* c = Handle(db_.Connection())) {
        PQputCopyEnd(c, "cancelled");
        ClearResults(c);
    }
}

bool CopyStream::Fail(PGresult* result, QSqlError* error) {
    open_ = false;
    return FailOnServer(db_, Handle(db_.Connection()), result, u"COPY"_s, error);
}

bool CopyStream::Send(const CopyRows& rows, QSqlError* error) {
    if (rows.IsEmpty()) return true;
    PGconn* c = Handle(db_.Connection());
    if (!c) return Fail(nullptr, error);
    if (!open_) {
        PGresult* started = PQexec(c, copy_.toUtf8().constData());
        if (!started || PQresultStatus(started) != PGRES_COPY_IN) return Fail(started, error);
        PQclear(started);
        open_ = true;
    }
    const QByteArray& data = rows.Data();
    constexpr qsizetype kPiece = 1 << 20;
    for (qsizetype at = 0; at < data.size(); at += kPiece) {
        const int n = static_cast<int>(std::min(kPiece, data.size() - at));
        if (PQputCopyData(c, data.constData() + at, n) != 1) return Fail(nullptr, error);
    }
    return true;
}

bool CopyStream::Finish(QSqlError* error) {
    if (!open_) return true;
    PGconn* c = Handle(db_.Connection());
    if (!c || PQputCopyEnd(c, nullptr) != 1) return Fail(nullptr, error);
    open_ = false;
    return CopyEnded(db_, c, u"COPY"_s, error);
}

bool CopyFromServer(Database& db, const QString& copy,
                    const std::function<void(QByteArrayView line)>& each) {
    PGconn* c = Handle(db.Connection());
    if (!c) return FailOnServer(db, c, nullptr, copy, nullptr);
    PGresult* started = PQexec(c, copy.toUtf8().constData());
    if (!started || PQresultStatus(started) != PGRES_COPY_OUT)
        return FailOnServer(db, c, started, copy, nullptr);
    PQclear(started);
    // Rows until the end (-1) or a failure (-2), which the COPY's result then tells.
    char* line = nullptr;
    for (int size; (size = PQgetCopyData(c, &line, 0)) > 0; PQfreemem(line))
        each(QByteArrayView(line, line[size - 1] == '\n' ? size - 1 : size));
    return CopyEnded(db, c, copy, nullptr);
}

bool RunWithTexts(Database& db, const QString& sql, const QList<QString>& values) {
    PGconn* c = Handle(db.Connection());
    if (!c) return FailOnServer(db, c, nullptr, sql, nullptr);
    QList<QByteArray> utf8;
    std::vector<const char*> params;
    utf8.reserve(values.size());
    for (const QString& v : values) params.push_back(utf8.emplaceBack(v.toUtf8()).constData());
    PGresult* result = PQexecParams(c, sql.toUtf8().constData(), static_cast<int>(params.size()),
                                    nullptr, params.data(), nullptr, nullptr, 0);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        return FailOnServer(db, c, result, sql, nullptr);
    PQclear(result);
    return true;
}

QString ServerFailureMessage(DbFailure cause, const QString& server, const QString& detail) {
    switch (cause) {
        case DbFailure::Unreachable:
            return u"无法连接办公室数据库服务器“%1”：服务器没有回应。\n"
                   u"请检查服务器地址和网络，或请管理员确认数据库服务器已经启动。"_s.arg(server);
        case DbFailure::PasswordNeeded:
            return u"办公室数据库服务器“%1”要求输入密码。"_s.arg(server);
        case DbFailure::LoginRefused:
            return u"办公室数据库服务器“%1”拒绝了登录：用户名或密码不对，"
                   u"或者服务器不允许这个用户连接。"_s.arg(server);
        case DbFailure::NoSuchDatabase:
            return u"办公室数据库服务器“%1”上没有这个数据库，或者这个用户无权连接它。\n"
                   u"请检查数据库名称，或请管理员建立数据库。"_s.arg(server);
        case DbFailure::ConnectionLost:
            return u"与办公室数据库服务器“%1”的连接中断了，这次操作没有完成，"
                   u"服务器上没有留下它的任何改动。"_s.arg(server);
        case DbFailure::NoRight:
            return u"没有这项操作的权限，请联系管理员"_s;
        case DbFailure::NoTables:
            return u"办公室数据库服务器“%1”上还没有本程序的数据表，这个用户也无权建立。\n"
                   u"请管理员用 postgresql_schema.sql 建立数据表和角色。"_s.arg(server);
        case DbFailure::Full:
            return u"办公室数据库服务器“%1”的磁盘已满，改动没有保存。请联系管理员。"_s.arg(server);
        case DbFailure::Locked:
            return u"办公室数据库服务器“%1”上的数据正被其他人使用，这次操作没有完成，"
                   u"请稍后再试。"_s.arg(server);
        case DbFailure::ReadOnly:
            return u"办公室数据库服务器“%1”现在只能读取，不能写入，改动没有保存。"_s.arg(server);
        case DbFailure::NotADatabase:
        case DbFailure::Damaged:
        case DbFailure::Other:
        case DbFailure::None:
            break;
    }
    if (detail.isEmpty()) return u"办公室数据库服务器“%1”读写出错。"_s.arg(server);
    return u"办公室数据库服务器“%1”读写出错：%2"_s.arg(server, detail);
}

bool OpenServerDatabase(QSqlDatabase& db, const ServerAddress& address, const QString& password,
                        DbFailure* cause, QString* detail) {
    const QString pass = password.isEmpty() ? address.Param(u"password"_s) : password;
    QStringList options;
    const auto option = [&options](const QString& key, QString value) {
        value.replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s);
        options.append(key + u"='"_s + value + u'\'');
    };
    bool portIsNumber = false;
    const int port = address.Param(u"port"_s).toInt(&portIsNumber);
    for (const auto& [key, value] : address.params) {
        if (key == u"host")
            db.setHostName(value);
        else if (key == u"dbname")
            db.setDatabaseName(value);
        else if (key == u"user")
            db.setUserName(value);
        else if (key == u"port" && portIsNumber)
            db.setPort(port);
        else if (key != u"password")
            option(key, value);
    }
    for (const auto& [key, value] : DefaultParams())
        if (address.Param(key).isEmpty()) option(key, value);
    db.setPassword(pass);
    db.setConnectOptions(options.join(u';'));
    if (db.open()) return true;
    QString why;
    DbFailure found = ClassifyOpenFailure(address, pass, &why);
    // Refused first and let in now: the server was starting or had a moment's trouble.
    if (found == DbFailure::None) {
        if (db.open()) return true;
        found = DbFailure::Other;
        why = db.lastError().databaseText();
    }
    if (cause) *cause = found;
    if (detail) *detail = why.isEmpty() ? db.lastError().databaseText().trimmed() : why;
    return false;
}

ServerConnection::ServerConnection(QString key, QString name)
    : key_(std::move(key)), name_(std::move(name)), db_(QSqlDatabase::database(name_, false)) {}

std::unique_ptr<ServerConnection> ServerConnection::Take(const ServerAddress& address,
                                                         const QString& password, DbFailure* cause,
                                                         QString* detail) {
    const QString key = PoolKey(address, password);
    QStringList& idle = IdleConnections()[key];
    while (!idle.isEmpty()) {
        std::unique_ptr<ServerConnection> c(new ServerConnection(key, idle.takeLast()));
        if (c->Alive()) return c;
        ForgetConnection(c->name_);
        c->name_.clear();
    }
    const QString name = u"tf-server-%1"_s.arg(serverConnectionCounter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
        if (!OpenServerDatabase(db, address, password, cause, detail)) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            return nullptr;
        }
    }
    // The pool is emptied before Qt's drivers go away at the end of the run.
    static thread_local bool cleanupAdded = false;
    if (!cleanupAdded && QThread::currentThread() == QCoreApplication::instance()->thread()) {
        qAddPostRoutine(&CloseServerConnections);
        cleanupAdded = true;
    }
    return std::unique_ptr<ServerConnection>(new ServerConnection(key, name));
}

bool ServerConnection::Alive() const {
    PGconn* c = Handle(db_);
    if (!c) return false;
    // Reads what the server sent meanwhile without waiting: a closed connection shows here.
    PQconsumeInput(c);
    return PQstatus(c) == CONNECTION_OK;
}

ServerConnection::~ServerConnection() {
    if (name_.isEmpty()) return;
    PGconn* c = Handle(db_);
    if (c && Alive() && PQtransactionStatus(c) != PQTRANS_IDLE) db_.rollback();
    const bool keep = c && Alive() && PQtransactionStatus(c) == PQTRANS_IDLE;
    db_ = QSqlDatabase();
    QStringList& idle = IdleConnections()[key_];
    if (keep && idle.size() < kIdleKept)
        idle.append(name_);
    else
        ForgetConnection(name_);
}

void CloseServerConnections() {
    for (const QStringList& names : std::as_const(IdleConnections()))
        for (const QString& name : names) ForgetConnection(name);
    IdleConnections().clear();
}

}  // namespace tf::store
