// The server tells every listening program of changes to the print records (NOTIFY on the
// channel tallyform_records, sent when the writing transaction commits): the program's own
// stores and deletes name their vouchers ("insert 2026-03-01 09:00:00,2026-03-01 09:00:01"),
// every other change is told by the triggers on 记录 with a plain notice ("insert"). A watch
// listens on a connection of its own through QSqlDriver's notifications; when that connection
// breaks it is opened again and the owner told that anything may have changed, since changes
// may have been missed meanwhile.

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTimer>

#include "store/server_connection.h"
#include "store/server_record_store.h"
#include "store/server_schema.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

const QString& KindWord(RecordsChange::Kind kind) {
    static const QString insert = u"insert"_s, remove = u"delete"_s, none;
    return kind == RecordsChange::Kind::Added     ? insert
           : kind == RecordsChange::Kind::Removed ? remove
                                                  : none;
}

}  // namespace

bool NameChangedRecords(Database& db) {
    QSqlQuery q(db.Connection());
    // For this transaction only; read by the triggers.
    return RunOnServer(db, q, u"SELECT set_config('tallyform.named', 'yes', true)"_s);
}

bool TellOnCommit(Database& db, RecordsChange::Kind kind, std::span<const RecordKey> keys) {
    QStringList dats;
    for (const RecordKey key : keys) dats.append(DatOfKey(key));
    QSqlQuery q(db.Connection());
    return RunOnServer(db, q, u"SELECT pg_notify(?, ?)"_s,
                       {RecordsChannel(), QString(KindWord(kind) + u' ' + dats.join(u','))});
}

RecordsChange ChangeOfNotice(QStringView notice) {
    const qsizetype space = notice.indexOf(u' ');
    if (space < 0) return {};
    RecordsChange change;
    for (const auto kind : {RecordsChange::Kind::Added, RecordsChange::Kind::Removed})
        if (notice.left(space) == KindWord(kind)) change.kind = kind;
    for (const QStringView dat : notice.mid(space + 1).tokenize(u',')) {
        const std::optional<RecordKey> key = KeyOfDat(dat);
        if (!key) return {};
        change.keys.append(*key);
    }
    return change.kind == RecordsChange::Kind::Unknown ? RecordsChange{} : change;
}

namespace {

QAtomicInt watchCounter;

// How often a broken listening connection is tried again.
constexpr int kReconnectMs = 3000;

class ServerWatch final : public RecordsWatch {
public:
    ServerWatch(ServerAddress address, QString password,
                std::function<void(const RecordsChange&)> changed)
        : address_(std::move(address)),
          password_(std::move(password)),
          changed_(std::move(changed)),
          name_(u"tf-watch-%1"_s.arg(watchCounter.fetchAndAddRelaxed(1))) {
        timer_.setInterval(kReconnectMs);
        QObject::connect(&timer_, &QTimer::timeout, &context_, [this] {
            if (Listening()) return;
            if (Listen()) changed_({});
        });
        Listen();
        timer_.start();
    }

    ~ServerWatch() override { Close(); }

    bool Listening() const {
        const QSqlDatabase db = QSqlDatabase::database(name_, false);
        return db.isValid() && db.isOpen();
    }

    bool Listen() {
        Close();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name_);
            if (OpenServerDatabase(db, address_, password_, nullptr, nullptr) &&
                db.driver()->subscribeToNotification(RecordsChannel())) {
                QObject::connect(db.driver(), &QSqlDriver::notification, &context_,
                                 [this](const QString& channel, QSqlDriver::NotificationSource,
                                        const QVariant& notice) {
                                     if (channel == RecordsChannel())
                                         changed_(ChangeOfNotice(notice.toString()));
                                 });
                return true;
            }
        }
        Close();
        return false;
    }

private:
    void Close() {
        if (!QSqlDatabase::contains(name_)) return;
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            if (db.isValid() && db.driver())
                QObject::disconnect(db.driver(), nullptr, &context_, nullptr);
            db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }

    ServerAddress address_;
    QString password_;
    std::function<void(const RecordsChange&)> changed_;
    QString name_;
    QObject context_;
    QTimer timer_;
};

}  // namespace

std::unique_ptr<RecordsWatch> ServerRecordStore::Watch(
    std::function<void(const RecordsChange&)> changed) {
    const auto address = ParseServerUri(ctx_.database->serverUri);
    if (!address || !changed) return nullptr;
    return std::make_unique<ServerWatch>(*address, ctx_.database->password, std::move(changed));
}

}  // namespace tf::store
