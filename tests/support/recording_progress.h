#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "common/progress.h"

namespace tf::test {

// A progress display that keeps every call with its arguments, so tests can check titles,
// totals and steps. It follows the position as a display would: a negative start continues
// from where the last display stood.
class RecordingProgress : public Progress {
public:
    struct Call {
        QString kind;  // "show", "step", "close"
        QString text;  // the title shown, or the text a step carries
        qint32 total = 0;
        qint32 start = 0;  // the start a show settled on
        qint32 delta = 0;
        friend bool operator==(const Call&, const Call&) = default;
    };

    void ShowProgress(const QString& title, qint32 total, qint32& start) override;
    void StepProgress(qint32 delta, const QString& text) override;
    void CloseProgress() override;

    QList<Call> calls;
    qint32 position = 0;  // steps done on the present display
    bool open = false;    // shown and not yet closed

    // The calls of one kind, in order.
    QList<Call> Calls(const QString& kind) const;
    // The sum of every step's delta.
    qint32 Stepped() const;
    void Clear() {
        calls.clear();
        position = 0;
        open = false;
    }
};

}  // namespace tf::test
