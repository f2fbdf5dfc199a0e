// scratch only, never committed
#include "store/record_store.h"
namespace tf::store {
std::optional<RecordKey> KeyOfDat(QStringView dat) {
    if (dat.size() != 19) return std::nullopt;
    const QDateTime t = QDateTime::fromString(dat.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!t.isValid()) return std::nullopt;
    return KeyOfTime(t);
}
QString DatOfKey(RecordKey key) { return DateText(TimeOfKey(key)); }
RecordKey KeyOfTime(const QDateTime& when) {
    return (when.date().toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * 86400 +
           when.time().msecsSinceStartOfDay() / 1000;
}
QDateTime TimeOfKey(RecordKey key) {
    qint64 days = key >= 0 ? key / 86400 : -((-key + 86399) / 86400);
    qint64 secs = key - days * 86400;
    return QDateTime(QDate::fromJulianDay(QDate(1970, 1, 1).toJulianDay() + days),
                     QTime(0, 0).addSecs(static_cast<int>(secs)));
}
bool IsShownField(int field) {
    for (int f : kShownFields) if (f == field) return true;
    return false;
}
}
