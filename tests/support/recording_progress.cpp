#include "support/recording_progress.h"

namespace tf::test {

void RecordingProgress::ShowProgress(const QString& title, qint32 total, qint32& start) {
    if (start < 0) start = position;
    position = start;
    open = true;
    calls.append({QStringLiteral("show"), title, total, start, 0});
}

void RecordingProgress::StepProgress(qint32 delta, const QString& text) {
    position += delta;
    calls.append({QStringLiteral("step"), text, 0, 0, delta});
}

void RecordingProgress::CloseProgress() {
    open = false;
    calls.append({QStringLiteral("close"), QString(), 0, 0, 0});
}

QList<RecordingProgress::Call> RecordingProgress::Calls(const QString& kind) const {
    QList<Call> out;
    for (const Call& c : calls)
        if (c.kind == kind) out.append(c);
    return out;
}

qint32 RecordingProgress::Stepped() const {
    qint32 sum = 0;
    for (const Call& c : calls) sum += c.delta;
    return sum;
}

}  // namespace tf::test
