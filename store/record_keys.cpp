// Timestamps of stored vouchers: their key in seconds, and the fields the history shows.
#include <algorithm>

#include "store/record_store.h"

namespace tf::store {

namespace {

constexpr qint64 kSecondsPerDay = 86400;
// QDate's Julian day of 1970-01-01.
constexpr qint64 kEpochJulianDay = 2440588;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and back.
constexpr qint64 DaysFromCivil(qint64 y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    qint64 year;
    int month;
    int day;
};

constexpr Civil CivilFromDays(qint64 z) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

constexpr bool IsLeap(qint64 y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

constexpr int DaysInMonth(qint64 y, int m) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

static_assert(DaysFromCivil(1970, 1, 1) == 0);
static_assert(DaysFromCivil(1973, 8, 18) == 1325);
static_assert(CivilFromDays(DaysFromCivil(2000, 2, 29)).day == 29);

}  // namespace

namespace {

// The key of a stored timestamp text of 19 characters of any width.
template <typename Char>
std::optional<RecordKey> ParseDat(const Char* dat, qsizetype size) {
    if (size != 19) return std::nullopt;
    // Digits where the form has them, its separators between.
    constexpr char kForm[] = "0000-00-00 00:00:00";
    for (qsizetype i = 0; i < 19; ++i) {
        const auto c = static_cast<char32_t>(dat[i]);
        if (kForm[i] == '0' ? (c < U'0' || c > U'9') : c != static_cast<char32_t>(kForm[i]))
            return std::nullopt;
    }
    const auto number = [dat](qsizetype at, qsizetype digits) {
        int n = 0;
        for (qsizetype i = at; i < at + digits; ++i) n = n * 10 + static_cast<int>(dat[i] - '0');
        return n;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        return std::nullopt;
    return DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

}  // namespace

std::optional<RecordKey> KeyOfDat(QStringView dat) {
    return ParseDat(dat.utf16(), dat.size());
}

QString DatOfKey(RecordKey key) {
    qint64 days = key / kSecondsPerDay;
    qint64 seconds = key % kSecondsPerDay;
    if (seconds < 0) {
        seconds += kSecondsPerDay;
        --days;
    }
    const Civil c = CivilFromDays(days);
    char16_t text[19];
    const auto put = [&text](int at, qint64 value, int digits) {
        for (int i = at + digits - 1; i >= at; --i, value /= 10)
            text[i] = static_cast<char16_t>(u'0' + value % 10);
    };
    put(0, std::clamp<qint64>(c.year, 0, 9999), 4);
    text[4] = u'-';
    put(5, c.month, 2);
    text[7] = u'-';
    put(8, c.day, 2);
    text[10] = u' ';
    put(11, seconds / 3600, 2);
    text[13] = u':';
    put(14, seconds / 60 % 60, 2);
    text[16] = u':';
    put(17, seconds % 60, 2);
    return QString(reinterpret_cast<const QChar*>(text), 19);
}

RecordKey KeyOfTime(const QDateTime& when) {
    return (when.date().toJulianDay() - kEpochJulianDay) * kSecondsPerDay +
           when.time().msecsSinceStartOfDay() / 1000;
}

QDateTime TimeOfKey(RecordKey key) {
    qint64 days = key / kSecondsPerDay;
    qint64 seconds = key % kSecondsPerDay;
    if (seconds < 0) {
        seconds += kSecondsPerDay;
        --days;
    }
    return QDateTime(QDate::fromJulianDay(days + kEpochJulianDay),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(seconds * 1000)));
}

bool IsShownField(int field) {
    return std::find(kShownFields.begin(), kShownFields.end(), field) != kShownFields.end();
}

}  // namespace tf::store
