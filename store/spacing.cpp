#include "store/spacing.h"

#include "store/database.h"

namespace tf::store {

namespace {

Statement SpacingQuery(const QString& name) {
    return {SpacingTable(), QStringLiteral("Name=?"), {name}, QStringLiteral("CID"),
            QStringLiteral("SELECT * FROM 字距 WHERE Name='") + name + QStringLiteral("' ORDER BY CID")};
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

}  // namespace

bool ReadSpacing(const AppContext& ctx, Spacing& spacing, QString& name, const QString& currentFormat) {
    if (name.isEmpty()) name = currentFormat;
    Database db(ctx);
    return ReadInto(db, spacing, name);
}

bool CopySpacing(const AppContext& ctx, const QString& source, const QString& target) {
    Database db(ctx);
    Spacing spacing;
    ReadInto(db, spacing, source);
    if (!db.Begin()) return false;
    bool ok = db.ExecuteSql(QStringLiteral("DELETE FROM 字距 WHERE Name=?"), {target});
    for (int i = kFirstField; ok && i <= kLastField; ++i) {
        if (spacing[i] == 0) continue;
        ok = db.ExecuteSql(QStringLiteral("INSERT INTO 字距 (Name, CID, Sp) VALUES (?,?,?)"),
                           {target, i, spacing[i]});
    }
    if (ok && db.Commit()) return true;
    db.Rollback();
    return false;
}

}  // namespace tf::store
