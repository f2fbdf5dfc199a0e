#include "store/records.h"

#include <QSqlQuery>

#include "store/database.h"

namespace tf::store {

QDateTime CurrentTextDate() {
    return QDateTime(QDate(1973, 8, 18), QTime(0, 0, 0));
}

namespace {

QString DayFormat() {
    return QStringLiteral("yyyy-MM-dd");
}

QString TimestampFormat() {
    return DayFormat() + QStringLiteral(" HH:mm:ss");
}

}  // namespace

QString DateText(const QDateTime& when) {
    return when.toString(TimestampFormat());
}

QDateTime RecordTime(const QDateTime& when) {
    return QDateTime::fromString(DateText(when), TimestampFormat());
}

QString DayText(QDate day) {
    return day.toString(DayFormat());
}

QDate DayFromText(const QString& text) {
    return QDate::fromString(text, DayFormat());
}

namespace {

Statement GroupQuery(const QString& dat) {
    return {RecordsTable(),
            QStringLiteral("Dat=?"),
            {dat},
            QStringLiteral("Ctl"),
            QStringLiteral("SELECT * FROM 记录 WHERE Dat=#") + dat + u'#'};
}

}  // namespace

bool StoreTexts(const AppContext& ctx, const QDateTime& when, const FieldTexts& texts) {
    const QString dat = DateText(when);
    Database db(ctx, Database::Reports::ToCaller);
    // The old group is replaced as a whole or stays as it was.
    bool ok = db.Begin() && db.ExecuteSql(QStringLiteral("DELETE FROM 记录 WHERE Dat=?"), {dat});
    for (int i = kFirstField; ok && i <= kLastField; ++i)
        ok = db.ExecuteSql(QStringLiteral("INSERT INTO 记录 (Dat, Ctl, Con) VALUES (?,?,?)"),
                           {dat, i, texts[i].isNull() ? QStringLiteral("") : texts[i]});
    if (ok && db.Commit()) return true;
    db.Rollback();
    // What was typed is not lost without a word: the clerk learns what was not kept and why.
    const QString what = when == CurrentTextDate()
                             ? QStringLiteral("当前凭证的内容没有保存，下次启动时不能恢复！")
                             : QStringLiteral("打印记录没有保存！");
    db.ReportFailure(what + u'\n' + db.FailureText());
    return false;
}

QList<QDateTime> StoreTextsBatch(const AppContext& ctx, const QDateTime& from,
                                 const QList<FieldTexts>& vouchers) {
    if (vouchers.isEmpty()) return {};
    Database db(ctx, Database::Reports::ToCaller);
    bool ok = db.Begin();
    QSqlQuery used(db.Connection());
    used.prepare(QStringLiteral("SELECT 1 FROM 记录 WHERE Dat=? LIMIT 1"));
    QList<QDateTime> stamps;
    QDateTime when = from;
    for (const FieldTexts& texts : vouchers) {
        if (!ok) break;
        // An earlier voucher, or one stored under this second already, keeps its record.
        for (;; when = when.addSecs(1)) {
            used.addBindValue(DateText(when));
            ok = used.exec();
            if (!ok || !used.next()) break;
        }
        const QString dat = DateText(when);
        for (int i = kFirstField; ok && i <= kLastField; ++i)
            ok = db.ExecuteSql(QStringLiteral("INSERT INTO 记录 (Dat, Ctl, Con) VALUES (?,?,?)"),
                               {dat, i, texts[i].isNull() ? QStringLiteral("") : texts[i]});
        if (!ok) break;
        stamps.append(when);
        when = when.addSecs(1);
    }
    used.finish();
    if (ok && db.Commit()) return stamps;
    db.Rollback();
    db.ReportFailure(QStringLiteral("打印记录没有保存！") + u'\n' + db.FailureText());
    return {};
}

void LoadCurrentText(const AppContext& ctx, const QDateTime& when, FieldTexts& texts) {
    Database db(ctx);
    auto rs = db.OpenRecordset(GroupQuery(DateText(when)));
    if (!rs) return;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
        const int ctl = rs->Value(QStringLiteral("Ctl")).toInt();
        if (ctl < kFirstField || ctl > kLastField) continue;
        texts[ctl] = rs->Value(QStringLiteral("Con")).toString();
    }
}

}  // namespace tf::store
