#include "store/lock_wait.h"

#include <sqlite3.h>

#include "store/raw_statement.h"

namespace tf::store {

namespace {

constexpr int kPollMs = 20;

}  // namespace

LockWait::LockWait(Database& db, Ask ask, int askAfterMs)
    : handle_(SqliteHandle(db)), ask_(std::move(ask)), askAfterMs_(askAfterMs) {
    if (handle_) sqlite3_busy_handler(handle_, &LockWait::OnBusy, this);
}

LockWait::~LockWait() {
    if (handle_) sqlite3_busy_timeout(handle_, askAfterMs_);
}

int LockWait::OnBusy(void* self, int count) {
    auto* wait = static_cast<LockWait*>(self);
    if (wait->stopped_) return 0;
    if (count == 0) wait->waiting_.start();
    if (wait->waiting_.elapsed() >= wait->askAfterMs_) {
        if (!wait->ask_()) {
            wait->stopped_ = true;
            return 0;
        }
        wait->waiting_.start();
    }
    sqlite3_sleep(kPollMs);
    return 1;
}

}  // namespace tf::store
