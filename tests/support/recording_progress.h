#pragma once

#include <QStringList>

#include "common/progress.h"

namespace tf::test {

// A progress display that notes every call with its arguments as one line of text: "show
// TITLE TOTAL START" (the start as passed), "step DELTA TEXT", "close". It follows the
// position as a display would: a negative start continues from where the last one stood.
class RecordingProgress : public Progress {
public:
    QStringList calls;
    bool open = false;
    qint32 position = 0;

    void ShowProgress(const QString& title, qint32 total, qint32& start) override {
        calls.append(QStringLiteral("show %1 %2 %3").arg(title).arg(total).arg(start));
        if (start < 0) start = position;
        position = start;
        open = true;
    }
    void StepProgress(qint32 delta, const QString& text) override {
        calls.append(QStringLiteral("step %1 %2").arg(delta).arg(text));
        position += delta;
    }
    void CloseProgress() override {
        calls.append(QStringLiteral("close"));
        open = false;
    }
};

}  // namespace tf::test
