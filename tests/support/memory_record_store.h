#pragma once

#include <QList>
#include <array>
#include <functional>
#include <vector>

#include "store/record_store.h"

// A record store in memory for tests of the code above the store: the print records held by
// field (so a million records with a few fields stay small), every call counted, and reads or
// writes made to fail on demand.

namespace tf::test {

class MemoryRecordStore : public store::RecordStore {
public:
    // Stores a record under a key, replacing one held there; a null text is a field without a
    // row, as an import leaves them.
    void Put(store::RecordKey key, const FieldTexts& texts);
    qsizetype Size() const { return static_cast<qsizetype>(keys_.size()); }
    bool Holds(store::RecordKey key) const;

    // What was asked of the store.
    struct Calls {
        int listKeys = 0;
        int readRecords = 0;
        int readField = 0;
        int search = 0;
        int deletes = 0;
        int clears = 0;
        // The keys of each ReadRecords call, in order.
        QList<QList<store::RecordKey>> keysRead;
    };
    Calls calls;
    // Failures on demand: every reading operation, every writing operation.
    bool failReads = false;
    bool failWrites = false;
    // How often a failed read told the clerk (a real store shows a message each time).
    int failuresTold = 0;
    // When set, the store keeps who stored each record, as an office server does: the login a
    // record read carries.
    std::function<QString(store::RecordKey)> printedBy;

    bool KeepsPrintedBy() const override { return static_cast<bool>(printedBy); }
    bool LoadCurrentText(FieldTexts& texts) override;
    bool StoreCurrentText(const FieldTexts& texts) override;
    QList<store::RecordKey> StoreVouchers(const QDateTime& now,
                                          const QList<FieldTexts>& vouchers) override;
    std::unique_ptr<store::ImportSink> BeginImport(const store::ImportPlan& plan) override;
    std::optional<QList<store::RecordKey>> ListKeys() override;
    std::optional<QList<store::Record>> ReadRecords(std::span<const store::RecordKey> keys,
                                                    store::Fields which) override;
    bool ReadField(int field,
                   const std::function<void(store::RecordKey, QStringView)>& each) override;
    std::optional<QList<store::RecordKey>> Search(const QString& text) override;
    bool Delete(std::span<const store::RecordKey> keys) override;
    bool Clear() override;
    store::DbFailure LastFailure() const override { return failure_; }
    QString FailureText(bool withDetail = false) const override;

private:
    class Sink;

    // Index of a held key, or -1.
    qsizetype IndexOf(store::RecordKey key) const;
    bool ReadFails();
    bool WriteFails();

    std::vector<store::RecordKey> keys_;  // ascending
    // Per field, the texts of keys_ in the same order; empty while no record has the field.
    std::array<std::vector<QString>, kFieldCount> columns_;
    FieldTexts current_;
    store::DbFailure failure_ = store::DbFailure::None;
};

}  // namespace tf::test
