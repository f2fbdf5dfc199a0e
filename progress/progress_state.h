#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

// The state of the one progress display and the rules that turn steps into what the window
// shows. No widgets: the window Indicator draws what this state holds.

namespace tf::progress {

// A duration as minutes:seconds below one hour and hours:minutes:seconds from one hour on,
// numbers without leading zeros: 5 → "0:5", 65 → "1:5", 3725 → "1:2:5". Zero and negative
// durations give "0:0".
QString FormatDuration(qint64 seconds);

class ProgressState {
public:
    // Milliseconds on a clock that never goes back; only differences matter.
    using Clock = std::function<qint64()>;

    // Parts of the display, for telling the window what to redraw.
    enum Change : unsigned {
        kTitle = 1,
        kCount = 2,
        kPercent = 4,
        kTimes = 8,
        kBar = 16,
    };

    // Without a clock the state uses the system's monotonic clock.
    explicit ProgressState(Clock clock = {});

    // Starts a display: new title and total, the bar cleared and drawn to `start`, the clock
    // restarted. A negative start continues from the last position and `start` receives it.
    void Show(const QString& title, qint32 total, qint32& start);
    // Advances by delta. "pages" in any letter case updates the count and the times (from
    // 0.1 % on); any other non-empty text becomes the title.
    void Step(qint32 delta, const QString& text);
    // Sets the position and paints the bar up to it; the bar never shrinks until Show.
    void DrawBar(qint32 position);
    // The window closes: its labels return to their design content. Title, total, position
    // and start time stay for a later Show with a negative start.
    void Close();

    const QString& Title() const { return title_; }
    qint32 Total() const { return total_; }
    qint32 Current() const { return current_; }
    qint64 StartTime() const { return startTime_; }

    // The labels' texts: the count "(n/total)", the percentage in steps of 0.1 % and the
    // times "elapsed/remaining/estimated total".
    QString CountText() const;
    QString PercentText() const;
    QString TimesText() const;
    // How far the painted bar reaches as a share of the bar area (above 1 past the total).
    double BarFraction() const { return bar_; }

    // The parts changed since the last call, as Change bits.
    unsigned TakeChanges() {
        const unsigned c = changes_;
        changes_ = 0;
        return c;
    }

private:
    Clock clock_;
    QString title_;
    qint32 total_ = 0;
    qint32 current_ = 0;
    qint64 startTime_ = 0;

    // What the labels show, kept as numbers; the texts are made on demand.
    bool hasCount_ = false;
    qint64 countN_ = 0;
    qint32 countTotal_ = 0;
    qint64 perMille_ = 0;
    bool hasTimes_ = false;
    qint64 elapsed_ = 0;
    qint64 estimate_ = 0;
    double bar_ = 0;
    unsigned changes_ = 0;
};

}  // namespace tf::progress
