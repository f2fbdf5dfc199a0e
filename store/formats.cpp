#include "store/formats.h"

#include <QSqlError>
#include <QSqlQuery>

#include "amount/number.h"
#include "common/prompt.h"
#include "store/database.h"
#include "store/default_format.h"
#include "store/server_schema.h"
#include "store/spacing.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

QString Quoted(const QString& name) {
    return u'\'' + name + u'\'';
}

// Every row of a format, in field order: one query reads one version of it, even while
// another clerk saves the same format on the server.
Statement AllRowsQuery(const QString& name) {
    return {FormatsTable(),
            QStringLiteral("Name=?"),
            {name},
            QStringLiteral("Ctl"),
            QStringLiteral("SELECT * FROM 参数 WHERE Name=") + Quoted(name)};
}

const QString kColumns =
    u"Name, Ctl, X, Y, W, H, Color, fName, fSize, fBold, fItalic, fUnderline, fStrikethru"_s;

QVariantList FieldRowValues(const QString& name, int field, const FieldFormat& f) {
    const FieldFont& font = f.font;
    return {name,        field,          f.X,           f.Y,       f.W,
            f.H,         font.color,     font.family,   font.size, font.bold,
            font.italic, font.underline, font.strikeout};
}

bool InsertFieldRows(Database& db, const QString& name, const FieldFormats& formats) {
    for (int i = kFirstField; i <= kLastField; ++i)
        if (!db.ExecuteSql(
                u"INSERT INTO 参数 ("_s + kColumns + u") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"_s,
                FieldRowValues(name, i, formats[i])))
            return false;
    return true;
}

// The 32 field rows of a format. The local file deletes the old rows and adds new ones; on the
// server a clerk may not delete format rows (that is deleting a format), so each row is
// written over its old self or added.
bool WriteFieldRows(Database& db, const QString& name, const FieldFormats& formats) {
    if (!db.IsServer()) {
        return db.ExecuteSql(u"DELETE FROM 参数 WHERE Name=? AND Ctl>=2"_s, {name}) &&
               InsertFieldRows(db, name, formats);
    }
    const QString upsert =
        u"INSERT INTO 参数 ("_s + kColumns +
        u") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT (Name, Ctl) DO UPDATE SET "
        u"X=EXCLUDED.X, Y=EXCLUDED.Y, W=EXCLUDED.W, H=EXCLUDED.H, Color=EXCLUDED.Color, "
        u"fName=EXCLUDED.fName, fSize=EXCLUDED.fSize, fBold=EXCLUDED.fBold, "
        u"fItalic=EXCLUDED.fItalic, fUnderline=EXCLUDED.fUnderline, "
        u"fStrikethru=EXCLUDED.fStrikethru"_s;
    for (int i = kFirstField; i <= kLastField; ++i)
        if (!db.ExecuteSql(upsert, FieldRowValues(name, i, formats[i]))) return false;
    return true;
}

bool FormatExists(Database& db, const QString& name, bool* exists) {
    auto rs = db.OpenRecordset(AllRowsQuery(name));
    if (!rs) return false;
    *exists = rs->RecordCount() > 0;
    return true;
}

// Copies a stored value into a setting unless the column is empty, which leaves the setting
// as it was (a stored format may lack a value).
template <typename T, typename Convert>
void Take(const QVariant& v, T& target, Convert convert) {
    if (!v.isValid() || v.isNull()) return;
    target = convert(v);
}

bool IsTrue(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().trimmed().toLower();
        return t == u"true" || LenientNumber(t) != 0;
    }
    return v.toDouble() != 0;
}

void ApplyFieldRow(const Recordset& rs, FieldFormat& f) {
    auto toDouble = [](const QVariant& v) { return v.toDouble(); };
    Take(rs.Value(QStringLiteral("X")), f.X, toDouble);
    Take(rs.Value(QStringLiteral("Y")), f.Y, toDouble);
    Take(rs.Value(QStringLiteral("W")), f.W, toDouble);
    Take(rs.Value(QStringLiteral("H")), f.H, toDouble);
    Take(rs.Value(QStringLiteral("Color")), f.font.color,
         [](const QVariant& v) { return static_cast<qint32>(v.toLongLong()); });
    Take(rs.Value(QStringLiteral("fName")), f.font.family,
         [](const QVariant& v) { return v.toString(); });
    Take(rs.Value(QStringLiteral("fSize")), f.font.size,
         [](const QVariant& v) { return v.toFloat(); });
    Take(rs.Value(QStringLiteral("fBold")), f.font.bold, IsTrue);
    Take(rs.Value(QStringLiteral("fItalic")), f.font.italic, IsTrue);
    Take(rs.Value(QStringLiteral("fUnderline")), f.font.underline, IsTrue);
    Take(rs.Value(QStringLiteral("fStrikethru")), f.font.strikeout, IsTrue);
}

// The voucher row (Ctl -1) keeps the voucher's layout in the columns of a field row: the
// currency sign in fName, the form's width, height and stub width in X, Y and W, the grid
// and stub options in H and Color (0 or 1), the orientation options in fBold and fItalic and
// the feeder option in fUnderline. Its options are set when the row is applied, at the end
// of a load; an absent row clears them.
struct VoucherOptions {
    bool showGrid = false;
    bool printStub = false;
    bool centreOnFeeder = false;
};

VoucherOptions ApplyVoucherRow(const Recordset& rs, VoucherLayout& layout) {
    auto toDouble = [](const QVariant& v) { return v.toDouble(); };
    Take(rs.Value(QStringLiteral("fName")), layout.currencySign,
         [](const QVariant& v) { return v.toString(); });
    Take(rs.Value(QStringLiteral("X")), layout.formWidthMm, toDouble);
    Take(rs.Value(QStringLiteral("Y")), layout.formHeightMm, toDouble);
    Take(rs.Value(QStringLiteral("W")), layout.stubWidthMm, toDouble);
    Take(rs.Value(QStringLiteral("fBold")), layout.portrait, IsTrue);
    Take(rs.Value(QStringLiteral("fItalic")), layout.landscape, IsTrue);
    return {rs.Value(QStringLiteral("H")).toDouble() > 0,
            rs.Value(QStringLiteral("Color")).toDouble() > 0,
            IsTrue(rs.Value(QStringLiteral("fUnderline")))};
}

// The voucher row's columns and their values, in the same order.
const QString kVoucherColumns = u"fName, X, Y, W, H, Color, fBold, fItalic, fUnderline"_s;

QVariantList VoucherRowValues(const VoucherLayout& layout) {
    return {layout.currencySign, layout.formWidthMm,      layout.formHeightMm,
            layout.stubWidthMm,  layout.showGrid ? 1 : 0, layout.printStub ? 1 : 0,
            layout.portrait,     layout.landscape,        layout.centreOnFeeder};
}

bool InsertVoucherRow(Database& db, const QString& name, const VoucherLayout& layout) {
    return db.ExecuteSql(u"INSERT INTO 参数 (Name, Ctl, "_s + kVoucherColumns +
                             u") VALUES (?,-1,?,?,?,?,?,?,?,?,?)"_s,
                         QVariantList{name} + VoucherRowValues(layout));
}

// The voucher row, changed in place when it stands.
bool WriteVoucherRow(Database& db, const QString& name, const VoucherLayout& layout) {
    QSqlQuery q(db.Connection());
    q.prepare(
        u"UPDATE 参数 SET fName=?, X=?, Y=?, W=?, H=?, Color=?, fBold=?, fItalic=?, "
        u"fUnderline=? WHERE Name=? AND Ctl=-1"_s);
    for (const QVariant& v : VoucherRowValues(layout)) q.addBindValue(v);
    q.addBindValue(name);
    if (!q.exec()) {
        db.NoteFailure(q.lastError());
        return false;
    }
    if (q.numRowsAffected() > 0) return true;
    return InsertVoucherRow(db, name, layout);
}

// The rows of a new format: the voucher row and the 32 field rows, in the caller's
// transaction.
bool InsertFormatRows(Database& db, const QString& name, const VoucherSettings& s) {
    return InsertVoucherRow(db, name, s.layout) && InsertFieldRows(db, name, s.fieldFormats);
}

}  // namespace

void LoadFormat(const AppContext& ctx, QString& name, VoucherSettings& s,
                const FormatHooks& hooks) {
    if (name.isEmpty()) {
        if (hooks.chooseFormat) name = hooks.chooseFormat();
        if (name.isEmpty()) return;
    }
    Database db(ctx);
    VoucherOptions options;
    // The first row of each field counts, as in the order of the file.
    auto rs = db.OpenRecordset(AllRowsQuery(name));
    const auto firstRow = [&rs](int ctl) {
        if (!rs) return false;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            if (rs->Value(QStringLiteral("Ctl")).toInt() == ctl) return true;
        return false;
    };
    // On the server another clerk may have deleted the format since it was chosen.
    if (rs && rs->RecordCount() == 0 && db.IsServer())
        ctx.UserPrompt().Message(
            u"格式“%1”已不存在，可能已被其他人从服务器上删除。"_s
            u"界面上的版式保持不变。"_s.arg(name));
    if (firstRow(-1)) options = ApplyVoucherRow(*rs, s.layout);
    for (int i = kFirstField; i <= kLastField; ++i) {
        s.fieldFormats[i].Selected = false;
        if (firstRow(i)) ApplyFieldRow(*rs, s.fieldFormats[i]);
    }
    s.layout.showGrid = options.showGrid;
    s.layout.printStub = options.printStub;
    s.layout.centreOnFeeder = options.centreOnFeeder;
    if (hooks.formatApplied) hooks.formatApplied();
    s.CurFormat = name;
}

bool SaveFormat(const AppContext& ctx, QString& name, VoucherSettings& s) {
    if (name.isEmpty()) {
        const auto answer = ctx.UserPrompt().InputText(QStringLiteral("请输入格式名称："),
                                                       QStringLiteral("保存格式"), QString());
        name = answer.value_or(QString()).trimmed();
        if (name.isEmpty()) return false;
    }
    // The voucher row, the 32 field rows and the copied spacing are written together or not
    // at all; any failure is told with its cause.
    Database db(ctx, Database::Reports::ToCaller);
    auto fail = [&] {
        db.Rollback();
        db.ReportFailure(QStringLiteral("格式“") + name +
                         QStringLiteral("”保存失败，原有格式保持不变。\n") + db.FailureText());
        return false;
    };
    if (name != DefaultFormatName()) {
        bool exists = false;
        if (!FormatExists(db, name, &exists)) return fail();
        if (exists && !ctx.UserPrompt().AskYesNo(QStringLiteral("该记录已存在，是否覆盖？")))
            return false;
        // The format in use, gone from the server: another clerk deleted it meanwhile.
        if (!exists && db.IsServer() && name == s.CurFormat &&
            !ctx.UserPrompt().AskYesNo(u"格式“%1”已被其他人从服务器上删除。"_s
                                       u"是否按当前版式重新保存这个格式？"_s.arg(name)))
            return false;
    }
    // On the server, saves of the same format by several clerks follow one another: each
    // leaves one whole version.
    const bool ok = db.Begin() && TakeServerLock(db, ServerLock::Format, name) &&
                    WriteVoucherRow(db, name, s.layout) &&
                    WriteFieldRows(db, name, s.fieldFormats) &&
                    CopySpacing(db, s.CurFormat, name) && db.Commit();
    if (!ok) {
        if (db.LastFailure() == DbFailure::NoRight) {
            db.Rollback();
            db.ReportFailure(u"没有修改格式的权限，请联系管理员"_s);
            return false;
        }
        return fail();
    }

    s.CurFormat = name;
    return true;
}

bool DeleteFormat(const AppContext& ctx, QString& name, const VoucherSettings& s,
                  const FormatHooks& hooks) {
    if (name.isEmpty()) {
        if (hooks.chooseFormat) name = hooks.chooseFormat();
        if (name.isEmpty()) return false;
    }
    if (name == s.CurFormat || name == DefaultFormatName()) {
        ctx.UserPrompt().Message(QStringLiteral("不能删除当前正在使用的格式及默认格式！"));
        return false;
    }
    if (!ctx.UserPrompt().AskYesNo(QStringLiteral("您确定要删除格式：") + name +
                                   QStringLiteral("？")))
        return false;
    Database db(ctx, Database::Reports::ToCaller);
    if (!db.ExecuteSql(QStringLiteral("DELETE FROM 参数 WHERE Name=?"), {name})) {
        db.ReportFailure(db.LastFailure() == DbFailure::NoRight
                             ? u"没有删除格式的权限，请联系管理员"_s
                             : QStringLiteral("格式：“") + name + QStringLiteral("”删除失败！\n") +
                                   db.FailureText());
        return false;
    }
    ctx.UserPrompt().Message(QStringLiteral("格式：“") + name + QStringLiteral("”删除完成！"));
    return true;
}

bool InsertDefaultFormat(Database& db) {
    return InsertFormatRows(db, DefaultFormatName(), DesignSettings());
}

QStringList FormatNames(const AppContext& ctx) {
    Database db(ctx);
    // A failure names the very statement that was run.
    const QString statement = QStringLiteral("SELECT Name FROM 参数 GROUP BY Name ORDER BY Name");
    QStringList names;
    if (db.OpenDatabase()) {
        QSqlQuery q(db.Connection());
        if (q.exec(statement)) {
            while (q.next()) names.append(q.value(0).toString());
            return names;
        }
    }
    db.ReportFailure(OpenErrorText(statement));
    return names;
}

bool CreateFormatsTable(Database& db, const VoucherSettings& defaults) {
    const QString name = DefaultFormatName();
    if (!db.Begin()) return false;
    bool ok = db.ExecuteSql(QStringLiteral(
        "CREATE TABLE 参数 (Name TEXT, Ctl INTEGER, X DOUBLE, Y DOUBLE, W DOUBLE, H DOUBLE, "
        "Color INTEGER, fName TEXT, fSize REAL, fBold BOOLEAN, fItalic BOOLEAN, "
        "fUnderline BOOLEAN, fStrikethru BOOLEAN)"));
    ok = ok && InsertFormatRows(db, name, defaults);
    if (ok && db.Commit()) return true;
    db.Rollback();
    return false;
}

}  // namespace tf::store
