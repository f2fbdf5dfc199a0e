#include "store/database.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "common/prompt.h"
#include "store/database_setting.h"
#include "store/default_format.h"
#include "store/parties.h"
#include "store/record_index.h"
#include "store/server_connection.h"
#include "store/server_schema.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

QAtomicInt connectionCounter;

QString QuotedName(const QString& name) {
    return u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"';
}

// SQLite's primary result codes; an extended code carries its primary code in the low byte.
enum SqliteCode {
    kBusy = 5,
    kLocked = 6,
    kReadOnly = 8,
    kCorrupt = 11,
    kFull = 13,
    kCantOpen = 14,
    kNotADatabase = 26,
};

// How long one action waits for a file another program holds, once.
constexpr int kBusyTimeoutMs = 1000;

QString ReadOnlyNotice(const QString& path) {
    return QStringLiteral(
               "数据库文件“%1”只能读取，不能写入（文件或它所在的文件夹是只读的）。\n"
               "格式可以载入，凭证可以打印，但本次运行中的改动都不会保存。")
        .arg(path);
}

}  // namespace

DbFailure FailureOf(const QSqlError& error) {
    if (error.type() == QSqlError::NoError) return DbFailure::None;
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    if (!ok) return DbFailure::Other;
    switch (code) {
        case kNotADatabase:
            return DbFailure::NotADatabase;
        case kCorrupt:
            return DbFailure::Damaged;
        case kBusy:
        case kLocked:
            return DbFailure::Locked;
        case kReadOnly:
        case kCantOpen:
            return DbFailure::ReadOnly;
        case kFull:
            return DbFailure::Full;
        default:
            return DbFailure::Other;
    }
}

bool ServerOutOfReach(DbFailure cause) {
    switch (cause) {
        case DbFailure::Unreachable:
        case DbFailure::PasswordNeeded:
        case DbFailure::LoginRefused:
        case DbFailure::NoSuchDatabase:
        case DbFailure::ConnectionLost:
        case DbFailure::NoTables:
            return true;
        default:
            return false;
    }
}

QString FailureMessage(DbFailure cause, const QString& path, const QString& detail) {
    switch (cause) {
        case DbFailure::NotADatabase:
            return QStringLiteral(
                       "无法建立数据库连接！\n文件“%1”不是本程序能读取的数据库，程序没有改动它。")
                .arg(path);
        case DbFailure::Damaged:
            return QStringLiteral(
                       "无法读取数据库文件“%1”：文件已损坏。\n"
                       "本次运行中程序不再写入这个文件，以免损坏扩大；"
                       "请用备份替换它后重新启动程序。")
                .arg(path);
        case DbFailure::Locked:
            return QStringLiteral(
                       "数据库文件“%1”正被其他程序使用（已锁定），这次操作没有完成。\n"
                       "请稍后再试，或先关闭正在使用它的程序。")
                .arg(path);
        case DbFailure::ReadOnly:
            return QStringLiteral(
                       "数据库文件“%1”不能写入：文件或它所在的文件夹是只读的，改动没有保存。")
                .arg(path);
        case DbFailure::Full:
            return QStringLiteral(
                       "磁盘已满，数据库文件“%1”无法写入，改动没有保存。\n请腾出磁盘空间后再试。")
                .arg(path);
        default:
            break;
    }
    if (detail.isEmpty()) return QStringLiteral("数据库文件“%1”读写出错。").arg(path);
    return QStringLiteral("数据库文件“%1”读写出错：%2").arg(path, detail);
}

QString OpenErrorText(const QString& statement) {
    return QStringLiteral("数据库打开错误(") + statement + QStringLiteral(")！");
}

QString CreateSpacingTableSql() {
    return QStringLiteral("CREATE TABLE 字距 (Name STRING(255),CID INTEGER,Sp DOUBLE) ");
}

// ---- Recordset -------------------------------------------------------------------------

int Recordset::ColumnIndex(const QString& column) const {
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].compare(column, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant Recordset::Value(const QString& column) const {
    const int c = ColumnIndex(column);
    if (c < 0 || Eof()) return {};
    return rows_[current_].values[c];
}

void Recordset::AddNew() {
    adding_ = true;
    pending_ = Row{};
    pending_.values.resize(columns_.size());
    changed_.clear();
    unknownColumns_.clear();
}

void Recordset::SetValue(const QString& column, const QVariant& value) {
    const int c = ColumnIndex(column);
    if (c < 0) {
        if (!unknownColumns_.contains(column)) unknownColumns_.append(column);
        return;
    }
    if (adding_) {
        pending_.values[c] = value;
    } else {
        if (Eof()) return;
        rows_[current_].values[c] = value;
    }
    if (!changed_.contains(columns_[c])) changed_.append(columns_[c]);
}

bool Recordset::Update() {
    if (!unknownColumns_.isEmpty()) {
        lastError_ = QStringLiteral("数据表“%1”没有“%2”列")
                         .arg(table_, unknownColumns_.join(QStringLiteral("”、“")));
        db_.NoteFailure(DbFailure::Other, lastError_);
        unknownColumns_.clear();
        changed_.clear();
        adding_ = false;
        return false;
    }
    if (db_.WritesRefused()) {
        lastError_ = db_.FailureText();
        return false;
    }
    if (db_.IsServer()) return RefuseOnServer();
    QSqlQuery q(db_.Connection());
    if (adding_) {
        QStringList names, marks;
        for (const QString& col : changed_) {
            names.append(QuotedName(col));
            marks.append(QStringLiteral("?"));
        }
        const QString sql = QStringLiteral("INSERT INTO ") % QuotedName(table_) % u" ("_s %
                            names.join(u',') % u") VALUES ("_s % marks.join(u',') % u')';
        const bool ready = q.prepare(sql);
        for (const QString& col : changed_) q.addBindValue(pending_.values[ColumnIndex(col)]);
        if (!ready || !q.exec()) {
            lastError_ = q.lastError().text();
            db_.NoteFailure(q.lastError());
            return false;
        }
        pending_.rowid = q.lastInsertId().toLongLong();
        rows_.append(pending_);
        current_ = RecordCount() - 1;
        adding_ = false;
        changed_.clear();
        return true;
    }
    if (Eof()) {
        lastError_ = QStringLiteral("no current row");
        return false;
    }
    if (changed_.isEmpty()) return true;
    QStringList sets;
    for (const QString& col : changed_) sets.append(QuotedName(col) + u"=?"_s);
    const bool ready = q.prepare(QStringLiteral("UPDATE ") % QuotedName(table_) % u" SET "_s %
                                 sets.join(u',') % u" WHERE rowid=?"_s);
    for (const QString& col : changed_) q.addBindValue(rows_[current_].values[ColumnIndex(col)]);
    q.addBindValue(rows_[current_].rowid);
    changed_.clear();
    if (!ready || !q.exec()) {
        lastError_ = q.lastError().text();
        db_.NoteFailure(q.lastError());
        return false;
    }
    return true;
}

bool Recordset::Delete() {
    if (Eof()) {
        lastError_ = QStringLiteral("no current row");
        return false;
    }
    if (db_.WritesRefused()) {
        lastError_ = db_.FailureText();
        return false;
    }
    if (db_.IsServer()) return RefuseOnServer();
    QSqlQuery q(db_.Connection());
    const bool ready =
        q.prepare(QStringLiteral("DELETE FROM ") % QuotedName(table_) % u" WHERE rowid=?"_s);
    q.addBindValue(rows_[current_].rowid);
    if (!ready || !q.exec()) {
        lastError_ = q.lastError().text();
        db_.NoteFailure(q.lastError());
        return false;
    }
    rows_.remove(current_);
    return true;
}

bool Recordset::RefuseOnServer() {
    // Rows on the server are changed by statements of their own, in a transaction that holds
    // what they belong to; a row read here has no lasting address to write back to.
    lastError_ = QStringLiteral("record sets on the server are read-only");
    db_.NoteFailure(DbFailure::Other, lastError_);
    adding_ = false;
    changed_.clear();
    return false;
}

// ---- Database --------------------------------------------------------------------------

Database::Database(const AppContext& ctx, Reports reports)
    : ctx_(ctx),
      reports_(reports),
      connectionName_(QStringLiteral("tf-%1").arg(connectionCounter.fetchAndAddRelaxed(1))),
      server_(ctx.database && ctx.database->UsesServer()) {}

Database::~Database() {
    if (server_) {
        // The connection goes back to the run's pool (rolled back when a transaction is open).
        db_ = QSqlDatabase();
        serverConnection_.reset();
        return;
    }
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
    }
    QSqlDatabase::removeDatabase(connectionName_);
}

QString Database::Shown() const {
    if (!server_) return QFileInfo(ctx_.DatabasePath()).absoluteFilePath();
    const auto address = ParseServerUri(ctx_.database->serverUri);
    return address ? address->Shown() : ctx_.database->serverUri;
}

void Database::ReportFailure(const QString& text) {
    if (reported_) return;
    reported_ = true;
    ctx_.UserPrompt().Message(text);
    // Never silently: after a server that cannot be used, the clerk chooses whether to go on
    // with the local file for the rest of the run.
    if (server_ && ServerOutOfReach(failure_)) OfferLocalFile(ctx_);
}

void Database::ReportQueryFailure(const QString& statement) {
    ReportCause(failure_, OpenErrorText(statement));
}

void Database::ReportCause(DbFailure cause, const QString& otherwise) {
    if (reports_ == Reports::ToCaller) return;
    if (server_) {
        ReportFailure(cause == DbFailure::Other && failureDetail_.isEmpty() ? otherwise
                                                                            : FailureText());
        return;
    }
    const QString path = QFileInfo(ctx_.DatabasePath()).absoluteFilePath();
    switch (cause) {
        case DbFailure::NotADatabase:
        case DbFailure::Damaged:
            // Said once in a run: every later action would only repeat it.
            if (!reported_ && !ctx_.dataFile->damagedTold) {
                ctx_.dataFile->damagedTold = true;
                ReportFailure(FailureMessage(cause, path));
            }
            reported_ = true;
            return;
        case DbFailure::Locked:
        case DbFailure::ReadOnly:
        case DbFailure::Full:
            ReportFailure(FailureMessage(cause, path));
            return;
        default:
            ReportFailure(otherwise);
            return;
    }
}

void Database::NoteFailure(const QSqlError& error) {
    const DbFailure cause = server_ ? ServerFailureOf(error) : FailureOf(error);
    if (cause != DbFailure::None) NoteFailure(cause, error.databaseText());
}

void Database::NoteFailure(DbFailure cause, const QString& detail) {
    failure_ = cause;
    failureDetail_ = detail;
    if (cause == DbFailure::NotADatabase || cause == DbFailure::Damaged)
        ctx_.dataFile->damaged = true;
    // One wait per action: the later steps of this action fail at once instead of each
    // waiting for the same lock again.
    if (cause == DbFailure::Locked && db_.isOpen() && !server_)
        QSqlQuery(db_).exec(QStringLiteral("PRAGMA busy_timeout=0"));
}

QString Database::FailureText() const {
    if (server_) return ServerFailureMessage(failure_, Shown(), failureDetail_);
    return FailureMessage(failure_, QFileInfo(ctx_.DatabasePath()).absoluteFilePath(),
                          failureDetail_);
}

QString Database::StatementFailureText(const QString& statement) const {
    if (failure_ == DbFailure::None || failure_ == DbFailure::Other)
        return OpenErrorText(statement);
    return FailureText();
}

bool Database::WritesRefused() {
    if (server_ || !ctx_.dataFile->damaged) return false;
    if (failure_ != DbFailure::NotADatabase) failure_ = DbFailure::Damaged;
    return true;
}

bool Database::OpenServer() {
    QString error;
    const auto address = ParseServerUri(ctx_.database->serverUri, &error);
    if (!address) {
        NoteFailure(DbFailure::Other, {});
        ReportCause(DbFailure::Other, error);
        return false;
    }
    DbFailure cause = DbFailure::Other;
    QString detail;
    serverConnection_ = ServerConnection::Take(*address, ctx_.database->password, &cause, &detail);
    if (!serverConnection_) {
        NoteFailure(cause, detail);
        ReportCause(cause, FailureText());
        return false;
    }
    db_ = serverConnection_->Db();
    open_ = true;
    return true;
}

bool Database::OpenDatabase() {
    if (triedOpen_) return open_;
    triedOpen_ = true;
    if (server_) return OpenServer();
    const QString path = ctx_.DatabasePath();
    const QString shownPath = QFileInfo(path).absoluteFilePath();
    // A damaged file is only ever read; so is one that cannot be written, which SQLite then
    // opens without looking for a journal folder it could not use anyway.
    readOnly_ = ctx_.dataFile->damaged || (ctx_.canWrite && !ctx_.canWrite(path));
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db_.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
    if (readOnly_) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db_.setConnectOptions(options);
    const auto fail = [&](const QSqlError& error) {
        NoteFailure(error);
        if (db_.isOpen()) db_.close();
        ReportCause(failure_, QStringLiteral("无法建立数据库连接！\n") + shownPath);
        return false;
    };
    if (!db_.open()) return fail(db_.lastError());
    // SQLite reads the file lazily; the first read tells what it is. Nothing is ever
    // written to a file that fails here.
    QSqlQuery probe(db_);
    if (!probe.exec(QStringLiteral("PRAGMA schema_version"))) return fail(probe.lastError());
    if (!readOnly_) {
        // The rollback journal, not WAL: it works in a folder that cannot be written and on
        // the network file systems where an office may keep a shared Par.mdb.
        probe.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        probe.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    open_ = true;
    if (readOnly_ && reports_ == Reports::Own && !ctx_.dataFile->damaged &&
        !ctx_.dataFile->readOnlyTold) {
        ctx_.dataFile->readOnlyTold = true;
        ReportFailure(ReadOnlyNotice(shownPath));
    }
    return true;
}

std::unique_ptr<Recordset> Database::OpenRecordset(const Statement& st) {
    const QString failure = OpenErrorText(st.shown);
    if (!OpenDatabase()) {
        if (reports_ == Reports::Own) ReportFailure(failure);
        return nullptr;
    }
    // Rows of equal order come in storage order (the server's physical order stands in for
    // SQLite's row ids there).
    const QString storageOrder = server_ ? u"ctid"_s : u"rowid"_s;
    QString sql = u"SELECT "_s + (server_ ? u"0"_s : u"rowid"_s) + u" AS \"__rowid\", * FROM "_s +
                  QuotedName(st.table);
    if (!st.where.isEmpty()) sql += QStringLiteral(" WHERE ") + st.where;
    sql += QStringLiteral(" ORDER BY ") +
           (st.orderBy.isEmpty() ? storageOrder : st.orderBy + u", "_s + storageOrder);
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    // A statement SQLite refuses to prepare keeps that error, not the later "no query".
    const bool ready = q.prepare(sql);
    for (const QVariant& p : st.params) q.addBindValue(p);
    const auto fail = [&](const QSqlError& error) {
        NoteFailure(error);
        ReportCause(failure_, failure);
        return nullptr;
    };
    if (!ready || !q.exec()) return fail(q.lastError());
    std::unique_ptr<Recordset> rs(new Recordset(*this, st.table));
    const QSqlRecord rec = q.record();
    for (int i = 1; i < rec.count(); ++i) rs->columns_.append(rec.fieldName(i));
    while (q.next()) {
        Recordset::Row row;
        row.rowid = q.value(0).toLongLong();
        row.values.reserve(rec.count() - 1);
        for (int i = 1; i < rec.count(); ++i) row.values.append(q.value(i));
        rs->rows_.append(std::move(row));
    }
    // A damaged page can show only while the rows are read.
    if (q.lastError().isValid()) return fail(q.lastError());
    rs->current_ = 0;
    return rs;
}

bool Database::ExecuteSql(const QString& sql, const QVariantList& params, QString* error) {
    if (!OpenDatabase()) {
        if (error) *error = QStringLiteral("database not open");
        return false;
    }
    if (WritesRefused()) {
        if (error) *error = FailureText();
        return false;
    }
    QSqlQuery q(db_);
    const bool ready = q.prepare(sql);
    for (const QVariant& p : params) q.addBindValue(p);
    if (!ready || !q.exec()) {
        NoteFailure(q.lastError());
        if (error) *error = q.lastError().text();
        return false;
    }
    return true;
}

bool Database::TableExists(const QString& name) {
    if (!OpenDatabase()) return false;
    if (server_) return ServerTableExists(*this, name);
    // Exact, case-sensitive comparison: "字距" and a table that differs only in case are
    // different names here, though SQLite itself would treat them alike.
    const QStringList tables = db_.tables(QSql::Tables);
    for (const QString& t : tables)
        if (t == name) return true;
    return false;
}

bool Database::Begin() {
    if (!OpenDatabase() || WritesRefused()) return false;
    if (db_.transaction()) return true;
    NoteFailure(db_.lastError());
    return false;
}
bool Database::Commit() {
    if (!open_) return false;
    if (db_.commit()) return true;
    NoteFailure(db_.lastError());
    return false;
}
void Database::Rollback() {
    if (open_) db_.rollback();
}

void Database::EnsureTables() {
    // A file that cannot be written is used as it stands.
    if (!OpenDatabase() || readOnly_) return;
    if (server_) {
        EnsureServerTables(*this);
        // The voucher being typed stays on the desk, in the local file, which a desk that has
        // only ever used the server does not have yet.
        Database(LocalFileContext(ctx_)).EnsureTables();
        return;
    }
    if (!TableExists(FormatsTable())) CreateFormatsTable(*this, DesignSettings());
    if (!TableExists(RecordsTable()))
        ExecuteSql(QStringLiteral("CREATE TABLE 记录 (Dat TEXT, Ctl INTEGER, Con TEXT)"));
    if (!TableExists(SpacingTable())) ExecuteSql(CreateSpacingTableSql());
    ExecuteSql(QStringLiteral("CREATE INDEX IF NOT EXISTS 参数_名称 ON 参数 (Name, Ctl)"));
    ExecuteSql(QStringLiteral("CREATE INDEX IF NOT EXISTS 记录_日期 ON 记录 (Dat)"));
    ExecuteSql(QStringLiteral("CREATE INDEX IF NOT EXISTS 字距_名称 ON 字距 (Name, CID)"));
    // Built from the history when missing: the records' index for listing and searching them
    // (without it they are read the slow way, so a failed build is no loss to tell), and
    // quick fill's table (its own failure is told).
    if (!RecordIndexReady(*this) && Begin()) {
        if (EnsureRecordIndex(*this))
            Commit();
        else
            Rollback();
    }
    EnsurePartyTable(ctx_);
}

}  // namespace tf::store
