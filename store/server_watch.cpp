// The server tells every listening program of changes to the print records (NOTIFY on the
// channel tallyform_records, sent by the triggers on 记录 when the writing transaction
// commits). A watch listens on a connection of its own through QSqlDriver's notifications;
// when that connection breaks it is opened again and the owner told, since changes may have
// been missed meanwhile.

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTimer>

#include "store/server_connection.h"
#include "store/server_record_store.h"
#include "store/server_schema.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

QAtomicInt watchCounter;

// How often a broken listening connection is tried again.
constexpr int kReconnectMs = 3000;

class ServerWatch final : public RecordsWatch {
public:
    ServerWatch(ServerAddress address, QString password, std::function<void()> changed)
        : address_(std::move(address)),
          password_(std::move(password)),
          changed_(std::move(changed)),
          name_(u"tf-watch-%1"_s.arg(watchCounter.fetchAndAddRelaxed(1))) {
        timer_.setInterval(kReconnectMs);
        QObject::connect(&timer_, &QTimer::timeout, &context_, [this] {
            if (Listening()) return;
            if (Listen()) changed_();
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
                                        const QVariant&) {
                                     if (channel == RecordsChannel()) changed_();
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
    std::function<void()> changed_;
    QString name_;
    QObject context_;
    QTimer timer_;
};

}  // namespace

std::unique_ptr<RecordsWatch> ServerRecordStore::Watch(std::function<void()> changed) {
    const auto address = ParseServerUri(ctx_.database->serverUri);
    if (!address || !changed) return nullptr;
    return std::make_unique<ServerWatch>(*address, ctx_.database->password, std::move(changed));
}

}  // namespace tf::store
