// The import on the office server: every worksheet row becomes a voucher under a free midnight,
// and the rows go to the server through one COPY kept open while they are made, inside one
// transaction: the server stores each group of rows while the next is made.
//
// Imports are the only writers of midnights (a printed voucher takes the second it was
// printed; one that falls on a midnight waits for a running import, see StoreVouchers), so
// imports follow one another on the server's lock: the midnights an import hands out stay its
// own until it commits, and the keys Add returns are the keys stored.

#include <QElapsedTimer>
#include <QSet>
#include <QSqlQuery>
#include <QThread>

#include "store/database.h"
#include "store/parties.h"
#include "store/record_store.h"
#include "store/server_record_store.h"
#include "store/server_schema.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

// Rows of 记录 sent at once: about two hundred vouchers.
constexpr qsizetype kRowsPerSend = 4000;
// Days of used midnights read at once beyond those the import expects to need.
constexpr qint64 kDaysMargin = 400;
// How long the import waits for another import before the clerk is asked.
constexpr int kAskAfterMs = 1000;
constexpr int kPollMs = 50;

QString MidnightDat(QDate day) {
    return DayText(day) + u" 00:00:00"_s;
}

class ServerImport final : public ImportSink {
public:
    ServerImport(ServerRecordStore& store, const AppContext& ctx, ImportPlan plan)
        : store_(store),
          db_(ctx, Database::Reports::ToCaller),
          copy_(RecordCopy(db_)),
          plan_(std::move(plan)),
          next_(plan_.firstDay) {}
    ~ServerImport() override { Rollback(); }

    std::optional<RecordKey> Add(const FieldTexts& texts) override {
        if (stopped_ || (!inTransaction_ && !Begin())) return std::nullopt;
        const std::optional<QDate> day = NextFreeDay();
        if (!day) return Fail();
        const QString dat = MidnightDat(*day);
        rows_.AddVoucher(dat, texts, plan_.fields);
        FieldTexts stored;
        for (const int field : plan_.fields) stored[field] = texts[field];
        parties_->Add(dat, stored);
        if (rows_.Size() >= kRowsPerSend && !Flush()) return Fail();
        return KeyOfTime(QDateTime(*day, QTime(0, 0)));
    }

    bool Commit() override {
        if (!inTransaction_) return true;
        const bool committed = Flush() && copy_.Finish() && parties_->Write() && db_.Commit();
        if (!committed) {
            db_.Rollback();
            store_.Remember(db_, ServerRecordStore::Action::Import);
        }
        End();
        return committed;
    }

    void Rollback() override {
        if (!inTransaction_) return;
        copy_.Cancel();
        db_.Rollback();
        End();
    }

    bool Stopped() const override { return stopped_; }

private:
    std::optional<RecordKey> Fail() {
        store_.Remember(db_, ServerRecordStore::Action::Import);
        // A statement that failed on the server ends its transaction: nothing added stays.
        Rollback();
        return std::nullopt;
    }

    bool Begin() {
        if (!db_.Begin()) return Fail(), false;
        inTransaction_ = true;
        if (!WaitForOtherImports()) {
            if (!stopped_) Fail();
            Rollback();
            return false;
        }
        parties_ = std::make_unique<PartyUpdates>(db_);
        return true;
    }

    // After a commit or a rollback the next row added begins afresh from the first day.
    void End() {
        inTransaction_ = false;
        parties_.reset();
        rows_.Clear();
        used_.clear();
        next_ = plan_.firstDay;
        loadedFrom_ = QDate();
        added_ = 0;
    }

    // The midnights are this import's once it holds the lock; another import holding it is
    // waited for, asking the clerk after a second whether to wait on.
    bool WaitForOtherImports() {
        if (!plan_.waitOnLock) return TakeServerLock(db_, ServerLock::Midnights);
        QElapsedTimer waiting;
        waiting.start();
        for (;;) {
            const std::optional<bool> taken = TryServerLock(db_, ServerLock::Midnights);
            if (!taken) return false;
            if (*taken) return true;
            if (waiting.elapsed() >= kAskAfterMs) {
                if (!plan_.waitOnLock()) {
                    stopped_ = true;
                    return false;
                }
                return TakeServerLock(db_, ServerLock::Midnights);
            }
            QThread::msleep(kPollMs);
        }
    }

    // The next day, from the first day backwards, whose midnight no record holds.
    std::optional<QDate> NextFreeDay() {
        for (;; next_ = next_.addDays(-1)) {
            if (!next_.isValid() || next_.year() < 1) return std::nullopt;
            if ((!loadedFrom_.isValid() || next_ < loadedFrom_) && !LoadUsedDays())
                return std::nullopt;
            if (next_ == CurrentTextDate().date() || used_.contains(next_)) continue;
            const QDate day = next_;
            next_ = next_.addDays(-1);
            return day;
        }
    }

    // Reads the used midnights from the next day back as far as the rows still to come need.
    bool LoadUsedDays() {
        if (!copy_.Finish()) return false;
        const qint64 span = std::max<qint64>(plan_.expectedRows - added_, 0) + kDaysMargin;
        const QDate to = loadedFrom_.isValid() ? loadedFrom_.addDays(-1) : next_;
        const QDate from = next_.addDays(-span);
        QSqlQuery q(db_.Connection());
        const bool ok = q.prepare(
            u"SELECT Dat FROM 凭证 WHERE Dat >= ? AND Dat <= ? "
            u"AND substr(Dat, 12) = '00:00:00'"_s);
        q.addBindValue(MidnightDat(from));
        q.addBindValue(MidnightDat(to));
        if (!ok || !q.exec()) {
            db_.NoteFailure(q.lastError());
            return false;
        }
        while (q.next()) used_.insert(DayFromText(q.value(0).toString().left(10)));
        loadedFrom_ = from;
        return true;
    }

    // Sends the rows made so far into the open COPY: the server stores them while the next
    // rows are made.
    bool Flush() {
        added_ += rows_.Size() / std::max<qsizetype>(plan_.fields.size(), 1);
        const bool ok = rows_.SendTo(copy_);
        rows_.Clear();
        return ok;
    }

    ServerRecordStore& store_;
    Database db_;
    CopyStream copy_;
    ImportPlan plan_;
    std::unique_ptr<PartyUpdates> parties_;
    RecordRows rows_;
    QSet<QDate> used_;
    QDate next_;
    QDate loadedFrom_;
    qint64 added_ = 0;
    bool inTransaction_ = false;
    bool stopped_ = false;
};

}  // namespace

std::unique_ptr<ImportSink> BeginServerImport(ServerRecordStore& store, const AppContext& ctx,
                                              const ImportPlan& plan) {
    return std::make_unique<ServerImport>(store, ctx, plan);
}

}  // namespace tf::store
