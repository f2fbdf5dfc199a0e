#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

namespace tf {

class Prompt;
class Progress;

// What the program needs from its surroundings: where its data lives, who answers
// questions, and what time it is. Tests point all of these at their own doubles.
struct AppContext {
    QString dataDir;
    QString settingsFile;  // empty: the per-user settings store
    Prompt* prompt = nullptr;
    Progress* progress = nullptr;  // null: progress is not shown
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    QString DatabasePath() const;

    // The data directory: $TALLYFORM_DATA_DIR when set, else the program's directory when
    // it is writable, else the per-user data directory.
    static QString DefaultDataDir();
};

}  // namespace tf
