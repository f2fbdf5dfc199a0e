#include "progress/progress_state.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>

namespace tf::progress {

namespace {

qint64 MonotonicMs() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

// a ÷ b rounded towards minus infinity, b > 0.
qint64 FloorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// a ÷ b rounded to the nearest whole number, halves to the even one; a ≥ 0, b > 0.
qint64 RoundHalfEven(qint64 a, qint64 b) {
    const qint64 q = a / b;
    const qint64 twice = 2 * (a % b);
    if (twice > b || (twice == b && q % 2 != 0)) return q + 1;
    return q;
}

qint32 Clamp32(qint64 v) {
    return static_cast<qint32>(std::clamp<qint64>(v, std::numeric_limits<qint32>::min(),
                                                  std::numeric_limits<qint32>::max()));
}

}  // namespace

QString FormatDuration(qint64 seconds) {
    if (seconds <= 0) return QStringLiteral("0:0");
    const qint64 s = seconds % 60;
    const qint64 m = (seconds / 60) % 60;
    const qint64 h = seconds / 3600;
    if (h == 0) return QString::number(m) + u':' + QString::number(s);
    return QString::number(h) + u':' + QString::number(m) + u':' + QString::number(s);
}

ProgressState::ProgressState(Clock clock) : clock_(clock ? std::move(clock) : Clock(MonotonicMs)) {}

void ProgressState::Show(const QString& title, qint32 total, qint32& start) {
    if (title_ != title) changes_ |= kTitle;
    title_ = title;
    total_ = total;
    if (start < 0) start = current_;
    bar_ = 0;
    changes_ |= kBar;
    DrawBar(start);
    startTime_ = clock_();
}

void ProgressState::Step(qint32 delta, const QString& text) {
    if (total_ < 1) total_ = 1;
    const qint64 n = qint64(current_) + delta;
    const qint64 perMille = FloorDiv(n * 1000, total_);
    if (perMille != perMille_) {
        perMille_ = perMille;
        changes_ |= kPercent;
    }
    if (!text.isEmpty()) {
        if (text.compare(u"pages", Qt::CaseInsensitive) != 0) {
            if (title_ != text) changes_ |= kTitle;
            title_ = text;
        } else if (perMille >= 1) {
            const qint64 elapsed = std::max<qint64>(0, (clock_() - startTime_) / 1000);
            const qint64 estimate = RoundHalfEven(elapsed * 1000, perMille);
            if (!hasTimes_ || elapsed != elapsed_ || estimate != estimate_) changes_ |= kTimes;
            hasTimes_ = true;
            elapsed_ = elapsed;
            estimate_ = estimate;
            if (!hasCount_ || n != countN_ || total_ != countTotal_) changes_ |= kCount;
            hasCount_ = true;
            countN_ = n;
            countTotal_ = total_;
        }
    }
    DrawBar(Clamp32(n));
}

void ProgressState::DrawBar(qint32 position) {
    current_ = position;
    if (total_ == 0) return;
    const double reach = double(position) / double(total_);
    if (reach > bar_) {
        bar_ = reach;
        changes_ |= kBar;
    }
}

void ProgressState::Close() {
    if (hasCount_ || hasTimes_ || perMille_ != 0) changes_ |= kCount | kTimes | kPercent;
    hasCount_ = false;
    hasTimes_ = false;
    perMille_ = 0;
}

QString ProgressState::CountText() const {
    if (!hasCount_) return {};
    return u'(' + QString::number(countN_) + u'/' + QString::number(countTotal_) + u')';
}

QString ProgressState::PercentText() const {
    const qint64 magnitude = perMille_ < 0 ? -perMille_ : perMille_;
    QString text = perMille_ < 0 ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / 10);
    if (magnitude % 10 != 0) text += u'.' + QString::number(magnitude % 10);
    return text + u'%';
}

QString ProgressState::TimesText() const {
    if (!hasTimes_) return {};
    return FormatDuration(elapsed_) + u'/' + FormatDuration(estimate_ - elapsed_) + u'/' +
           FormatDuration(estimate_);
}

}  // namespace tf::progress
