#pragma once

#include <QString>

namespace tf {

// Long operations report how far they are through this interface, so core code can show
// progress without knowing about windows. The window "Indicator" is the Qt implementation;
// tests record the calls.
class Progress {
public:
    virtual ~Progress() = default;
    // Starts a display of `total` steps titled `title`, at position `start`. A negative start
    // continues from the last position, and `start` receives it.
    virtual void ShowProgress(const QString& title, qint32 total, qint32& start) = 0;
    // Advances by `delta` steps. A text "pages" (any case) updates the times; any other
    // non-empty text replaces the title.
    virtual void StepProgress(qint32 delta, const QString& text) = 0;
    virtual void CloseProgress() = 0;
};

// Shows nothing: for callers and tests that do not watch progress.
class NullProgress final : public Progress {
public:
    void ShowProgress(const QString&, qint32, qint32& start) override {
        if (start < 0) start = 0;
    }
    void StepProgress(qint32, const QString&) override {}
    void CloseProgress() override {}
};

}  // namespace tf
