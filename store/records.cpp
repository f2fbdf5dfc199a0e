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

namespace {

bool InsertGroup(Database& db, const QString& dat, const FieldTexts& texts) {
    bool ok = true;
    for (int i = kFirstField; ok && i <= kLastField; ++i)
        ok = db.ExecuteSql(QStringLiteral("INSERT INTO 记录 (Dat, Ctl, Con) VALUES (?,?,?)"),
                           {dat, i, texts[i].isNull() ? QStringLiteral("") : texts[i]});
    return ok;
}

}  // namespace

bool StoreTexts(const AppContext& ctx, const QDateTime& when, const FieldTexts& texts) {
    if (when != CurrentTextDate()) return !StoreTextsBatch(ctx, when, {texts}).isEmpty();
    const QString dat = DateText(when);
    Database db(ctx, Database::Reports::ToCaller);
    // The kept voucher text is replaced as a whole or stays as it was.
    const bool ok = db.Begin() &&
                    db.ExecuteSql(QStringLiteral("DELETE FROM 记录 WHERE Dat=?"), {dat}) &&
                    InsertGroup(db, dat, texts);
    if (ok && db.Commit()) return true;
    db.Rollback();
    // What was typed is not lost without a word: the clerk learns what was not kept and why.
    db.ReportFailure(QStringLiteral("当前凭证的内容没有保存，下次启动时不能恢复！") + u'\n' +
                     db.FailureText());
    return false;
}

QList<QDateTime> FreeTimestamps(Database& db, const QDateTime& now, qsizetype count) {
    if (count <= 0) return {};
    const QDateTime last = RecordTime(now);
    QDateTime start = last.addSecs(-(count - 1));
    QSqlQuery latest(db.Connection());
    latest.prepare(QStringLiteral("SELECT MAX(Dat) FROM 记录 WHERE Dat<=?"));
    latest.addBindValue(DateText(last));
    if (!latest.exec() || !latest.next()) {
        db.NoteFailure(latest.lastError());
        return {};
    }
    // After the latest record up to now, so a later print never sorts before an earlier one.
    const QDateTime held = QDateTime::fromString(latest.value(0).toString(), TimestampFormat());
    if (held.isValid() && held >= start) start = held.addSecs(1);

    // Beyond that record only timestamps after now can be held (a clock set back, a batch
    // that had to run ahead): those are stepped over.
    QSqlQuery used(db.Connection());
    used.prepare(QStringLiteral("SELECT 1 FROM 记录 WHERE Dat=? LIMIT 1"));
    QList<QDateTime> free;
    for (QDateTime t = start; free.size() < count; t = t.addSecs(1)) {
        if (t == CurrentTextDate()) continue;
        used.addBindValue(DateText(t));
        if (!used.exec()) {
            db.NoteFailure(used.lastError());
            return {};
        }
        if (!used.next()) free.append(t);
        used.finish();
    }
    return free;
}

QList<QDateTime> StoreTextsBatch(const AppContext& ctx, const QDateTime& now,
                                 const QList<FieldTexts>& vouchers) {
    if (vouchers.isEmpty()) return {};
    Database db(ctx, Database::Reports::ToCaller);
    QList<QDateTime> stamps;
    bool ok = db.Begin();
    if (ok) {
        // Chosen inside the transaction that inserts them: no other store can take them.
        stamps = FreeTimestamps(db, now, vouchers.size());
        ok = stamps.size() == vouchers.size();
    }
    for (qsizetype i = 0; ok && i < vouchers.size(); ++i)
        ok = InsertGroup(db, DateText(stamps[i]), vouchers[i]);
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
