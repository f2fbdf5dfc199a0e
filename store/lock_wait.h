#pragma once

#include <QElapsedTimer>
#include <functional>

#include "store/database.h"

struct sqlite3;

namespace tf::store {

// While it lives, a step of the database's connection that waits for a file another program
// holds asks, after waiting askAfterMs, whether to wait on (true) or stop (false). After a
// stop every wait of the connection ends at once, so the step fails as locked, or goes on
// where SQLite need not wait (writing part of a transaction out early); Stopped() tells the
// caller to give up. On its end the connection waits as before, askAfterMs at most.
class LockWait {
public:
    using Ask = std::function<bool()>;

    LockWait(Database& db, Ask ask, int askAfterMs = 1000);
    ~LockWait();
    LockWait(const LockWait&) = delete;
    LockWait& operator=(const LockWait&) = delete;

    bool Stopped() const { return stopped_; }

private:
    static int OnBusy(void* self, int count);

    sqlite3* handle_;
    Ask ask_;
    int askAfterMs_;
    QElapsedTimer waiting_;
    bool stopped_ = false;
};

}  // namespace tf::store
