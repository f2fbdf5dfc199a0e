// Imported rows into the local file: one transaction holding the right to write, each row one
// statement under the next free midnight date.
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "store/database.h"
#include "store/lock_wait.h"
#include "store/parties.h"
#include "store/raw_statement.h"
#include "store/sqlite_record_store.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

// The free midnight dates, from a start day backwards. The used midnight dates are read a
// window of days at a time with one statement, not day by day. A failed read is noted in
// the database's last failure.
class FreeDates {
public:
    FreeDates(Database& db, QDate start, qint64 expected)
        : db_(db),
          next_(start),
          window_(static_cast<int>(std::clamp<qint64>(expected + 16, 16, 4096))) {}

    // The next free date, or nothing when the used dates cannot be read.
    std::optional<QDate> Next() {
        const QDate reserved = CurrentTextDate().date();
        for (;;) {
            if (!loadedFrom_.isValid() || next_ < loadedTo_) {
                if (!Load()) return std::nullopt;
            }
            const QDate d = next_;
            next_ = next_.addDays(-1);
            if (d != reserved && !used_.contains(d)) return d;
        }
    }

private:
    bool Load() {
        QSqlQuery q(db_.Connection());
        q.setForwardOnly(true);
        q.prepare(
            u"WITH RECURSIVE day(n, d) AS (SELECT 0, ? UNION ALL "
            "SELECT n + 1, date(d, '-1 day') FROM day WHERE n + 1 < ?) "
            "SELECT d FROM day WHERE EXISTS "
            "(SELECT 1 FROM 记录 WHERE Dat = d || ' 00:00:00')"_s);
        q.addBindValue(DayText(next_));
        q.addBindValue(window_);
        if (!q.exec()) {
            db_.NoteFailure(q.lastError());
            return false;
        }
        used_.clear();
        while (q.next()) used_.insert(DayFromText(q.value(0).toString()));
        loadedFrom_ = next_;
        loadedTo_ = next_.addDays(-(window_ - 1));
        return true;
    }

    Database& db_;
    QDate next_;
    int window_;
    QDate loadedFrom_;
    QDate loadedTo_;
    QSet<QDate> used_;
};

class SqliteImport : public ImportSink {
public:
    SqliteImport(SqliteRecordStore& store, const AppContext& ctx, const ImportPlan& plan)
        : store_(store), plan_(plan), db_(ctx, Database::Reports::ToCaller) {}
    ~SqliteImport() override {
        if (inTransaction_) db_.Rollback();
    }

    // Opens the file and starts listening for another program holding it.
    bool Open() {
        if (!db_.OpenDatabase()) return Fail();
        if (plan_.waitOnLock) lockWait_.emplace(db_, plan_.waitOnLock);
        return true;
    }

    std::optional<RecordKey> Add(const FieldTexts& texts) override {
        if (!inTransaction_ && !Begin()) return Failed();
        const std::optional<QDate> day = freeDates_->Next();
        if (!day) return Failed();
        const QString dat = DayText(*day) + u" 00:00:00"_s;
        int at = 0;
        for (const int field : plan_.fields) {
            insert_->Bind(at++, dat);
            insert_->Bind(at++, qint64{field});
            insert_->Bind(at++, texts[field]);
        }
        // A statement that fails changes nothing: the rows stored before stay.
        if (!insert_->Run() || Stopped()) return Failed();
        FieldTexts stored;
        for (const int field : plan_.fields) stored[field] = texts[field];
        parties_->Add(dat, stored);
        return KeyOfTime(QDateTime(*day, QTime(0, 0)));
    }

    bool Commit() override {
        if (!inTransaction_) return true;
        inTransaction_ = false;
        if (parties_->Write() && db_.Commit()) return true;
        db_.Rollback();
        return Fail();
    }

    void Rollback() override {
        if (!inTransaction_) return;
        inTransaction_ = false;
        db_.Rollback();
    }

    bool Stopped() const override { return lockWait_ && lockWait_->Stopped(); }

private:
    bool Fail() {
        store_.Remember(db_);
        return false;
    }
    std::optional<RecordKey> Failed() {
        Fail();
        return std::nullopt;
    }

    // Starts the transaction holding the right to write: waiting for it later, while holding
    // a read lock, could deadlock with another writer, so SQLite would not wait at all.
    bool Begin() {
        if (db_.WritesRefused()) return false;
        QSqlQuery begin(db_.Connection());
        if (!begin.exec(u"BEGIN IMMEDIATE"_s)) {
            db_.NoteFailure(begin.lastError());
            return false;
        }
        inTransaction_ = true;
        freeDates_.emplace(db_, plan_.firstDay, plan_.expectedRows);
        QStringList tuples;
        for (qsizetype k = 0; k < plan_.fields.size(); ++k) tuples.append(u"(?,?,?)"_s);
        insert_.emplace(db_, u"INSERT INTO 记录 (Dat, Ctl, Con) VALUES "_s + tuples.join(u','));
        parties_.emplace(db_);
        return insert_->IsReady();
    }

    SqliteRecordStore& store_;
    ImportPlan plan_;
    Database db_;
    std::optional<LockWait> lockWait_;
    bool inTransaction_ = false;
    std::optional<FreeDates> freeDates_;
    std::optional<RawStatement> insert_;
    std::optional<PartyUpdates> parties_;
};

}  // namespace

std::unique_ptr<ImportSink> BeginSqliteImport(SqliteRecordStore& store, const AppContext& ctx,
                                              const ImportPlan& plan) {
    auto import = std::make_unique<SqliteImport>(store, ctx, plan);
    if (!import->Open()) return nullptr;
    return import;
}

}  // namespace tf::store
