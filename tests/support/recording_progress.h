#pragma once

#include <QStringList>

#include "common/progress.h"

namespace tf::test {

// A progress display that notes every call as one line of text.
class RecordingProgress : public Progress {
public:
    QStringList calls;
    bool open = false;

    void ShowProgress(const QString& title, qint32 total, qint32& start) override {
        calls.append(QStringLiteral("show %1 %2 %3").arg(title).arg(total).arg(start));
        if (start < 0) start = 0;
        open = true;
    }
    void StepProgress(qint32 delta, const QString& text) override {
        calls.append(QStringLiteral("step %1 %2").arg(delta).arg(text));
    }
    void CloseProgress() override {
        calls.append(QStringLiteral("close"));
        open = false;
    }
};

}  // namespace tf::test
