#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

namespace tf {

class Prompt;
class Progress;

namespace store {
class RecordStore;
}

// What the run has learnt about Par.mdb. Every copy of a context shares one, so a damaged
// file found by one action is left alone by all later ones.
struct DataFileState {
    bool damaged = false;       // SQLite called it damaged or not a database: never written
    bool damagedTold = false;   // the clerk has been told so
    bool readOnlyTold = false;  // the clerk has been told that changes will not be kept
};

// Where the formats and the history live: the local file Par.mdb (the default) or an office
// database server. Every copy of a context shares one, so the clerk's choice to go on with the
// local file after the server failed holds for the whole run.
struct DatabaseChoice {
    QString serverUri;          // libpq's connection URI of the server; empty: the local file
    bool localThisRun = false;  // the clerk chose the local file for the rest of the run
    QString password;           // typed by the clerk for this run; never written anywhere
    // Told after the database in use may have changed (the main window's status line).
    std::function<void()> changed;
    bool UsesServer() const { return !serverUri.isEmpty() && !localThisRun; }
};

// What the program needs from its surroundings: where its data lives, who answers
// questions, who shows progress, and what time it is. Tests point all of these at their own
// doubles.
struct AppContext {
    QString dataDir;
    QString settingsFile;  // empty: the per-user settings store
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // Whether the database file can be written: the file itself when it exists, and its
    // folder, where SQLite keeps the journal of every write.
    std::function<bool(const QString& path)> canWrite = &DatabaseWritable;
    std::shared_ptr<DataFileState> dataFile = std::make_shared<DataFileState>();
    std::shared_ptr<DatabaseChoice> database = std::make_shared<DatabaseChoice>();
    // Opens the record store in use; unset: the local file (store::OpenRecordStore).
    std::function<std::unique_ptr<store::RecordStore>(const AppContext&)> openRecordStore;
    // How often the page setup (the format's spacing and the printer offsets) was read, by
    // every copy together: once a print job, however many pages it has.
    std::shared_ptr<int> pageSetupReads = std::make_shared<int>(0);

    // Who asks the user and who shows progress. Until one is set (or after it is set to
    // null) a do-nothing one stands in, so callers never check: questions are answered No
    // or cancelled, messages and progress go unseen.
    Prompt& UserPrompt() const;
    Progress& ProgressDisplay() const;
    void SetPrompt(Prompt* prompt) { prompt_ = prompt; }
    void SetProgress(Progress* progress) { progress_ = progress; }

    QString DatabasePath() const;

    static bool DatabaseWritable(const QString& path);

    // The data directory: $TALLYFORM_DATA_DIR when set; else the program's directory when a
    // Par.mdb already stands there (a portable copy, or one brought from an older
    // installation); else the per-user data directory.
    static QString DefaultDataDir();
    static QString DefaultDataDir(const QString& programDir, const QString& userDir);

private:
    Prompt* prompt_ = nullptr;
    Progress* progress_ = nullptr;
};

}  // namespace tf
