#include "store/spacing.h"

#include <QSqlQuery>
#include <cmath>

#include "amount/number.h"
#include "common/prompt.h"
#include "store/database.h"
#include "store/server_schema.h"

namespace tf::store {

namespace {

Statement SpacingQuery(const QString& name) {
    return {SpacingTable(),
            QStringLiteral("Name=?"),
            {name},
            QStringLiteral("CID"),
            QStringLiteral("SELECT * FROM 字距 WHERE Name='") + name +
                QStringLiteral("' ORDER BY CID")};
}

Statement FieldSpacingQuery(const QString& name, int field) {
    return {SpacingTable(),
            QStringLiteral("Name=? AND CID=?"),
            {name, field},
            {},
            QStringLiteral("SELECT * FROM 字距 WHERE Name='") + name +
                QStringLiteral("' AND CID=") + QString::number(field)};
}

bool ReadInto(Database& db, Spacing& spacing, const QString& name) {
    spacing = Spacing{};
    auto rs = db.OpenRecordset(SpacingQuery(name));
    if (!rs) return false;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
        const int cid = rs->Value(QStringLiteral("CID")).toInt();
        // Rows outside the field range are never written by the program; ignore strays.
        if (cid < kFirstField || cid > kLastField) continue;
        spacing[cid] = rs->Value(QStringLiteral("Sp")).toDouble();
    }
    return true;
}

// Sets (v != 0) or deletes (v == 0) the one row of the field, in one transaction that holds
// the format on the server.
bool StoreSpacing(Database& db, const QString& format, int field, double v) {
    if (!db.Begin()) return false;
    bool ok = TakeServerLock(db, ServerLock::Format, format);
    if (ok && v == 0) {
        ok = db.ExecuteSql(QStringLiteral("DELETE FROM 字距 WHERE Name=? AND CID=?"),
                           {format, field});
    } else if (ok) {
        QSqlQuery q(db.Connection());
        q.prepare(QStringLiteral("UPDATE 字距 SET Sp=? WHERE Name=? AND CID=?"));
        q.addBindValue(v);
        q.addBindValue(format);
        q.addBindValue(field);
        ok = q.exec();
        if (!ok) db.NoteFailure(q.lastError());
        if (ok && q.numRowsAffected() == 0)
            ok = db.ExecuteSql(QStringLiteral("INSERT INTO 字距 (Name, CID, Sp) VALUES (?,?,?)"),
                               {format, field, v});
    }
    if (ok && db.Commit()) return true;
    db.Rollback();
    return false;
}

}  // namespace

bool ReadSpacing(const AppContext& ctx, Spacing& spacing, QString& name,
                 const QString& currentFormat) {
    if (name.isEmpty()) name = currentFormat;
    Database db(ctx);
    return ReadInto(db, spacing, name);
}

bool CopySpacing(Database& db, const QString& source, const QString& target) {
    Spacing spacing;
    if (!ReadInto(db, spacing, source)) return false;
    bool ok = db.ExecuteSql(QStringLiteral("DELETE FROM 字距 WHERE Name=?"), {target});
    for (int i = kFirstField; ok && i <= kLastField; ++i) {
        if (spacing[i] == 0) continue;
        ok = db.ExecuteSql(QStringLiteral("INSERT INTO 字距 (Name, CID, Sp) VALUES (?,?,?)"),
                           {target, i, spacing[i]});
    }
    return ok;
}

bool CopySpacing(const AppContext& ctx, const QString& source, const QString& target) {
    Database db(ctx);
    if (!db.Begin()) return false;
    if (TakeServerLock(db, ServerLock::Format, target) && CopySpacing(db, source, target) &&
        db.Commit())
        return true;
    db.Rollback();
    return false;
}

std::optional<QString> SpacingText(const AppContext& ctx, const QString& format, int field) {
    Database db(ctx);
    auto rs = db.OpenRecordset(FieldSpacingQuery(format, field));
    if (!rs) return std::nullopt;
    if (rs->RecordCount() == 0) return QString();
    rs->MoveFirst();
    return NumberText(rs->Value(QStringLiteral("Sp")).toDouble());
}

bool SetSpacing(const AppContext& ctx, const QString& format, int field, const QString& answer) {
    const QString text = answer.trimmed();
    if (text.isEmpty()) return true;
    const double v = LenientNumber(text);
    // A number too large for a double has no place in a layout; leave the row as it is.
    if (!std::isfinite(v)) return true;

    Database db(ctx, Database::Reports::ToCaller);
    if (!StoreSpacing(db, format, field, v)) {
        db.ReportFailure(db.LastFailure() == DbFailure::NoRight
                             ? QStringLiteral("没有修改格式的权限，请联系管理员")
                             : QStringLiteral("字符间距保存失败！\n") + db.FailureText());
        return false;
    }
    return true;
}

void EditSpacing(const AppContext& ctx, const QString& format, int field) {
    const auto proposed = SpacingText(ctx, format, field);
    if (!proposed) return;
    const auto answer = ctx.UserPrompt().InputText(QStringLiteral("请输入字符间距(单位：毫米)："),
                                                   ProgramTitle(), *proposed);
    if (!answer) return;
    SetSpacing(ctx, format, field, *answer);
}

}  // namespace tf::store
