#include "store/database.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "common/prompt.h"
#include "store/default_format.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

QAtomicInt connectionCounter;

QString QuotedName(const QString& name) {
    return u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"';
}

}  // namespace

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
}

void Recordset::SetValue(const QString& column, const QVariant& value) {
    const int c = ColumnIndex(column);
    if (c < 0) return;
    if (adding_) {
        pending_.values[c] = value;
    } else {
        if (Eof()) return;
        rows_[current_].values[c] = value;
    }
    if (!changed_.contains(columns_[c])) changed_.append(columns_[c]);
}

bool Recordset::Update() {
    QSqlQuery q(db_.Connection());
    if (adding_) {
        QStringList names, marks;
        for (const QString& col : changed_) {
            names.append(QuotedName(col));
            marks.append(QStringLiteral("?"));
        }
        const QString sql = QStringLiteral("INSERT INTO ") % QuotedName(table_) % u" ("_s %
                            names.join(u',') % u") VALUES ("_s % marks.join(u',') % u')';
        q.prepare(sql);
        for (const QString& col : changed_) q.addBindValue(pending_.values[ColumnIndex(col)]);
        if (!q.exec()) {
            lastError_ = q.lastError().text();
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
    q.prepare(QStringLiteral("UPDATE ") % QuotedName(table_) % u" SET "_s % sets.join(u',') %
              u" WHERE rowid=?"_s);
    for (const QString& col : changed_) q.addBindValue(rows_[current_].values[ColumnIndex(col)]);
    q.addBindValue(rows_[current_].rowid);
    changed_.clear();
    if (!q.exec()) {
        lastError_ = q.lastError().text();
        return false;
    }
    return true;
}

bool Recordset::Delete() {
    if (Eof()) {
        lastError_ = QStringLiteral("no current row");
        return false;
    }
    QSqlQuery q(db_.Connection());
    q.prepare(QStringLiteral("DELETE FROM ") % QuotedName(table_) % u" WHERE rowid=?"_s);
    q.addBindValue(rows_[current_].rowid);
    if (!q.exec()) {
        lastError_ = q.lastError().text();
        return false;
    }
    rows_.remove(current_);
    return true;
}

// ---- Database --------------------------------------------------------------------------

Database::Database(const AppContext& ctx)
    : ctx_(ctx),
      connectionName_(QStringLiteral("tf-%1").arg(connectionCounter.fetchAndAddRelaxed(1))) {}

Database::~Database() {
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
    }
    QSqlDatabase::removeDatabase(connectionName_);
}

void Database::ReportFailure(const QString& text) {
    if (reported_) return;
    reported_ = true;
    ctx_.UserPrompt().Message(text);
}

bool Database::OpenDatabase() {
    if (triedOpen_) return open_;
    triedOpen_ = true;
    const QString path = ctx_.DatabasePath();
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db_.setDatabaseName(path);
    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db_.open()) {
        ReportFailure(QStringLiteral("无法建立数据库连接！"));
        return false;
    }
    // SQLite opens any file lazily; a first read tells whether it really is a database.
    // Nothing is ever written to a file that fails here.
    QSqlQuery probe(db_);
    if (!probe.exec(QStringLiteral("PRAGMA schema_version"))) {
        db_.close();
        ReportFailure(
            QStringLiteral(
                "无法建立数据库连接！\n文件“%1”不是本程序能读取的数据库，程序没有改动它。")
                .arg(QFileInfo(path).absoluteFilePath()));
        return false;
    }
    probe.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    probe.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    open_ = true;
    return true;
}

std::unique_ptr<Recordset> Database::OpenRecordset(const Statement& st) {
    const QString failure = QStringLiteral("数据库打开错误(") % st.shown % QStringLiteral(")！");
    if (!OpenDatabase()) {
        ReportFailure(failure);
        return nullptr;
    }
    QString sql = QStringLiteral("SELECT rowid AS \"__rowid\", * FROM ") + QuotedName(st.table);
    if (!st.where.isEmpty()) sql += QStringLiteral(" WHERE ") + st.where;
    sql += QStringLiteral(" ORDER BY ") +
           (st.orderBy.isEmpty() ? QStringLiteral("rowid") : st.orderBy);
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& p : st.params) q.addBindValue(p);
    if (!q.exec()) {
        ReportFailure(failure);
        return nullptr;
    }
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
    rs->current_ = 0;
    return rs;
}

bool Database::ExecuteSql(const QString& sql, const QVariantList& params, QString* error) {
    if (!OpenDatabase()) {
        if (error) *error = QStringLiteral("database not open");
        return false;
    }
    QSqlQuery q(db_);
    q.prepare(sql);
    for (const QVariant& p : params) q.addBindValue(p);
    if (!q.exec()) {
        if (error) *error = q.lastError().text();
        return false;
    }
    return true;
}

bool Database::TableExists(const QString& name) {
    if (!OpenDatabase()) return false;
    // Exact, case-sensitive comparison: "字距" and a table that differs only in case are
    // different names here, though SQLite itself would treat them alike.
    const QStringList tables = db_.tables(QSql::Tables);
    for (const QString& t : tables)
        if (t == name) return true;
    return false;
}

bool Database::Begin() {
    return OpenDatabase() && db_.transaction();
}
bool Database::Commit() {
    return open_ && db_.commit();
}
void Database::Rollback() {
    if (open_) db_.rollback();
}

void Database::EnsureTables() {
    if (!OpenDatabase()) return;
    if (!TableExists(FormatsTable())) {
        Begin();
        bool ok = ExecuteSql(QStringLiteral(
            "CREATE TABLE 参数 (Name TEXT, Ctl INTEGER, X DOUBLE, Y DOUBLE, W DOUBLE, H DOUBLE, "
            "Color INTEGER, fName TEXT, fSize REAL, fBold BOOLEAN, fItalic BOOLEAN, "
            "fUnderline BOOLEAN, fStrikethru BOOLEAN)"));
        const VoucherSettings s = DesignSettings();
        const QString insert = QStringLiteral(
            "INSERT INTO 参数 (Name, Ctl, X, Y, W, H, Color, fName, fSize, fBold, fItalic, "
            "fUnderline, fStrikethru) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)");
        ok = ok &&
             ExecuteSql(insert, {DefaultFormatName(), -1, s.TT[1].toDouble(), s.TT[2].toDouble(),
                                 s.TT[3].toDouble(), s.CHK[0], s.CHK[1], s.TT[0], QVariant(),
                                 s.OP[0], s.OP[1], s.CHK[2] == 1, QVariant()});
        for (int i = kFirstField; ok && i <= kLastField; ++i) {
            const FieldFormat& f = s.fieldFormats[i];
            ok = ExecuteSql(insert, {DefaultFormatName(), i, f.X, f.Y, f.W, f.H, f.Color, f.fName,
                                     f.fSize, f.fBold, f.fItalic, f.fUnderline, f.fStrikethru});
        }
        if (ok)
            Commit();
        else
            Rollback();
    }
    if (!TableExists(RecordsTable()))
        ExecuteSql(QStringLiteral("CREATE TABLE 记录 (Dat TEXT, Ctl INTEGER, Con TEXT)"));
    if (!TableExists(SpacingTable())) ExecuteSql(CreateSpacingTableSql());
    ExecuteSql(QStringLiteral("CREATE INDEX IF NOT EXISTS 参数_名称 ON 参数 (Name, Ctl)"));
    ExecuteSql(QStringLiteral("CREATE INDEX IF NOT EXISTS 记录_日期 ON 记录 (Dat)"));
    ExecuteSql(QStringLiteral("CREATE INDEX IF NOT EXISTS 字距_名称 ON 字距 (Name, CID)"));
}

}  // namespace tf::store
