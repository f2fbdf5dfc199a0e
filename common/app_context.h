#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

namespace tf {

class Prompt;
class Progress;

// What the program needs from its surroundings: where its data lives, who answers
// questions, who shows progress, and what time it is. Tests point all of these at their own
// doubles.
struct AppContext {
    QString dataDir;
    QString settingsFile;  // empty: the per-user settings store
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // Who asks the user and who shows progress. Until one is set (or after it is set to
    // null) a do-nothing one stands in, so callers never check: questions are answered No
    // or cancelled, messages and progress go unseen.
    Prompt& UserPrompt() const;
    Progress& ProgressDisplay() const;
    void SetPrompt(Prompt* prompt) { prompt_ = prompt; }
    void SetProgress(Progress* progress) { progress_ = progress; }

    QString DatabasePath() const;

    // The data directory: $TALLYFORM_DATA_DIR when set, else the program's directory when
    // it is writable, else the per-user data directory.
    static QString DefaultDataDir();

private:
    Prompt* prompt_ = nullptr;
    Progress* progress_ = nullptr;
};

}  // namespace tf
