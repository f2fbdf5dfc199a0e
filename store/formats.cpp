#include "store/formats.h"

#include <QSqlError>
#include <QSqlQuery>

#include "amount/number.h"
#include "common/prompt.h"
#include "store/database.h"
#include "store/spacing.h"

namespace tf::store {

namespace {

QString Quoted(const QString& name) {
    return u'\'' + name + u'\'';
}

Statement VoucherRowQuery(const QString& name) {
    return {FormatsTable(),
            QStringLiteral("Name=? AND Ctl=-1"),
            {name},
            {},
            QStringLiteral("SELECT * FROM 参数 WHERE Name=") + Quoted(name) +
                QStringLiteral(" AND Ctl=-1")};
}

Statement FieldRowQuery(const QString& name, int field) {
    return {FormatsTable(),
            QStringLiteral("Name=? AND Ctl=?"),
            {name, field},
            {},
            QStringLiteral("SELECT * FROM 参数 WHERE Name=") + Quoted(name) +
                QStringLiteral(" AND Ctl=") + QString::number(field)};
}

Statement AllRowsQuery(const QString& name) {
    return {FormatsTable(),
            QStringLiteral("Name=?"),
            {name},
            {},
            QStringLiteral("SELECT * FROM 参数 WHERE Name=") + Quoted(name)};
}

Statement FieldRowsQuery(const QString& name) {
    return {FormatsTable(),
            QStringLiteral("Name=? AND Ctl>=2"),
            {name},
            {},
            QStringLiteral("SELECT * FROM 参数 WHERE Name=") + Quoted(name) +
                QStringLiteral(" AND  Ctl>=2")};
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

void SetVoucherRow(Recordset& rs, const QString& name, const VoucherLayout& layout) {
    rs.SetValue(QStringLiteral("Name"), name);
    rs.SetValue(QStringLiteral("Ctl"), -1);
    rs.SetValue(QStringLiteral("fName"), layout.currencySign);
    rs.SetValue(QStringLiteral("X"), layout.formWidthMm);
    rs.SetValue(QStringLiteral("Y"), layout.formHeightMm);
    rs.SetValue(QStringLiteral("W"), layout.stubWidthMm);
    rs.SetValue(QStringLiteral("H"), layout.showGrid ? 1 : 0);
    rs.SetValue(QStringLiteral("Color"), layout.printStub ? 1 : 0);
    rs.SetValue(QStringLiteral("fBold"), layout.portrait);
    rs.SetValue(QStringLiteral("fItalic"), layout.landscape);
    rs.SetValue(QStringLiteral("fUnderline"), layout.centreOnFeeder);
}

void SetFieldRow(Recordset& rs, const QString& name, int field, const FieldFormat& f) {
    rs.SetValue(QStringLiteral("Name"), name);
    rs.SetValue(QStringLiteral("Ctl"), field);
    rs.SetValue(QStringLiteral("X"), f.X);
    rs.SetValue(QStringLiteral("Y"), f.Y);
    rs.SetValue(QStringLiteral("W"), f.W);
    rs.SetValue(QStringLiteral("H"), f.H);
    rs.SetValue(QStringLiteral("Color"), f.font.color);
    rs.SetValue(QStringLiteral("fName"), f.font.family);
    rs.SetValue(QStringLiteral("fSize"), f.font.size);
    rs.SetValue(QStringLiteral("fBold"), f.font.bold);
    rs.SetValue(QStringLiteral("fItalic"), f.font.italic);
    rs.SetValue(QStringLiteral("fUnderline"), f.font.underline);
    rs.SetValue(QStringLiteral("fStrikethru"), f.font.strikeout);
}

// Adds the 32 field rows of a format to an open set of its field rows.
bool AddFieldRows(Recordset& rs, const QString& name, const FieldFormats& formats) {
    for (int i = kFirstField; i <= kLastField; ++i) {
        rs.AddNew();
        SetFieldRow(rs, name, i, formats[i]);
        if (!rs.Update()) return false;
    }
    return true;
}

}  // namespace

void LoadFormat(const AppContext& ctx, QString& name, VoucherSettings& s,
                const FormatHooks& hooks) {
    if (name.isEmpty()) {
        if (hooks.chooseFormat) name = hooks.chooseFormat();
        if (name.isEmpty()) return;
    }
    // One connection for the whole load: a failure is reported once, not once per query.
    Database db(ctx);
    VoucherOptions options;
    if (auto rs = db.OpenRecordset(VoucherRowQuery(name)); rs && rs->RecordCount() > 0)
        options = ApplyVoucherRow(*rs, s.layout);
    for (int i = kFirstField; i <= kLastField; ++i) {
        s.fieldFormats[i].Selected = false;
        if (auto rs = db.OpenRecordset(FieldRowQuery(name, i)); rs && rs->RecordCount() > 0)
            ApplyFieldRow(*rs, s.fieldFormats[i]);
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
        auto rs = db.OpenRecordset(AllRowsQuery(name));
        if (!rs) return fail();
        if (rs->RecordCount() > 0 &&
            !ctx.UserPrompt().AskYesNo(QStringLiteral("该记录已存在，是否覆盖？")))
            return false;
    }
    if (!db.Begin()) return fail();

    auto voucher = db.OpenRecordset(VoucherRowQuery(name));
    if (!voucher) return fail();
    if (voucher->RecordCount() == 0) voucher->AddNew();
    SetVoucherRow(*voucher, name, s.layout);
    if (!voucher->Update()) return fail();

    auto fields = db.OpenRecordset(FieldRowsQuery(name));
    if (!fields) return fail();
    while (fields->RecordCount() > 0) {
        fields->MoveFirst();
        if (!fields->Delete()) return fail();
    }
    if (!AddFieldRows(*fields, name, s.fieldFormats)) return fail();
    if (!CopySpacing(db, s.CurFormat, name) || !db.Commit()) return fail();

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
        db.ReportFailure(QStringLiteral("格式：“") + name + QStringLiteral("”删除失败！\n") +
                         db.FailureText());
        return false;
    }
    ctx.UserPrompt().Message(QStringLiteral("格式：“") + name + QStringLiteral("”删除完成！"));
    return true;
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
    if (ok) {
        auto rows = db.OpenRecordset(AllRowsQuery(name));
        ok = rows != nullptr;
        if (ok) {
            rows->AddNew();
            SetVoucherRow(*rows, name, defaults.layout);
            ok = rows->Update() && AddFieldRows(*rows, name, defaults.fieldFormats);
        }
    }
    if (ok && db.Commit()) return true;
    db.Rollback();
    return false;
}

}  // namespace tf::store
