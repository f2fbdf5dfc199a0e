#include "support/memory_record_store.h"

#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace tf::test {

namespace {

using store::RecordKey;

// A moment's key: seconds on the calendar as shown, no time zone.
RecordKey KeyOf(QDate day, QTime time) {
    return QDateTime(day, time, Qt::UTC).toSecsSinceEpoch();
}

constexpr RecordKey kSecondsPerDay = 24 * 60 * 60;

}  // namespace

// An import's rows, held until the commit, under free midnight dates.
class MemoryRecordStore::Sink : public store::ImportSink {
public:
    Sink(MemoryRecordStore& store, const store::ImportPlan& plan)
        : store_(store), fields_(plan.fields), day_(KeyOf(plan.firstDay, QTime(0, 0))) {
        for (const RecordKey key : store.keys_) usedDays_.insert(key / kSecondsPerDay);
        usedDays_.insert(KeyOf(QDate(1973, 8, 18), QTime(0, 0)) / kSecondsPerDay);
    }
    std::optional<RecordKey> Add(const FieldTexts& texts) override {
        if (store_.WriteFails()) return std::nullopt;
        while (usedDays_.contains(day_ / kSecondsPerDay)) day_ -= kSecondsPerDay;
        usedDays_.insert(day_ / kSecondsPerDay);
        FieldTexts row;
        for (const int field : fields_) row[field] = texts[field].isNull() ? u""_s : texts[field];
        rows_.append({day_, row});
        return day_;
    }
    bool Commit() override {
        if (store_.WriteFails()) return false;
        for (const auto& [key, texts] : rows_) store_.Put(key, texts);
        rows_.clear();
        return true;
    }
    void Rollback() override { rows_.clear(); }
    bool Stopped() const override { return false; }

private:
    MemoryRecordStore& store_;
    QList<int> fields_;
    RecordKey day_;
    QSet<RecordKey> usedDays_;
    QList<std::pair<RecordKey, FieldTexts>> rows_;
};

void MemoryRecordStore::Put(RecordKey key, const FieldTexts& texts) {
    qsizetype at = IndexOf(key);
    if (at < 0) {
        const auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
        at = it - keys_.begin();
        keys_.insert(it, key);
        for (auto& column : columns_)
            if (!column.empty()) column.insert(column.begin() + at, QString());
    }
    for (int field = kFirstField; field <= kLastField; ++field) {
        auto& column = columns_[static_cast<size_t>(field - kFirstField)];
        if (column.empty() && texts[field].isNull()) continue;
        if (column.empty()) column.resize(keys_.size());
        column[static_cast<size_t>(at)] = texts[field];
    }
}

bool MemoryRecordStore::Holds(RecordKey key) const {
    return IndexOf(key) >= 0;
}

qsizetype MemoryRecordStore::IndexOf(RecordKey key) const {
    const auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
    return it != keys_.end() && *it == key ? it - keys_.begin() : -1;
}

bool MemoryRecordStore::ReadFails() {
    failure_ = failReads ? store::DbFailure::Damaged : store::DbFailure::None;
    if (failReads) ++failuresTold;
    return failReads;
}

bool MemoryRecordStore::WriteFails() {
    failure_ = failWrites ? store::DbFailure::ReadOnly : store::DbFailure::None;
    return failWrites;
}

QString MemoryRecordStore::FailureText(bool) const {
    return failure_ == store::DbFailure::None ? QString() : u"内存中的记录不能读写。"_s;
}

bool MemoryRecordStore::LoadCurrentText(FieldTexts& texts) {
    if (ReadFails()) return false;
    for (int field = kFirstField; field <= kLastField; ++field)
        if (!current_[field].isNull()) texts[field] = current_[field];
    return true;
}

bool MemoryRecordStore::StoreCurrentText(const FieldTexts& texts) {
    if (WriteFails()) return false;
    current_ = texts;
    return true;
}

QList<RecordKey> MemoryRecordStore::StoreVouchers(const QDateTime& now,
                                                  const QList<FieldTexts>& vouchers) {
    if (WriteFails() || vouchers.isEmpty()) return {};
    // In time order after every record, ending at `now` when the seconds before it are free.
    const RecordKey end = KeyOf(now.date(), now.time());
    const auto count = static_cast<RecordKey>(vouchers.size());
    RecordKey next = end - count + 1;
    const auto held = std::upper_bound(keys_.begin(), keys_.end(), end);
    if (held != keys_.begin()) next = std::max(next, *(held - 1) + 1);
    QList<RecordKey> used;
    for (const FieldTexts& texts : vouchers) {
        while (Holds(next)) ++next;
        Put(next, texts);
        used.append(next++);
    }
    return used;
}

std::unique_ptr<store::ImportSink> MemoryRecordStore::BeginImport(const store::ImportPlan& plan) {
    return std::make_unique<Sink>(*this, plan);
}

std::optional<QList<RecordKey>> MemoryRecordStore::ListKeys() {
    ++calls.listKeys;
    if (ReadFails()) return std::nullopt;
    return QList<RecordKey>(keys_.begin(), keys_.end());
}

std::optional<QList<store::Record>> MemoryRecordStore::ReadRecords(std::span<const RecordKey> keys,
                                                                   store::Fields which) {
    ++calls.readRecords;
    calls.keysRead.append(QList<RecordKey>(keys.begin(), keys.end()));
    if (ReadFails()) return std::nullopt;
    QList<store::Record> records;
    for (const RecordKey key : keys) {
        const qsizetype at = IndexOf(key);
        if (at < 0) continue;
        store::Record record{key, {}, printedBy ? printedBy(key) : QString()};
        for (int field = kFirstField; field <= kLastField; ++field) {
            const auto& column = columns_[static_cast<size_t>(field - kFirstField)];
            if (column.empty()) continue;
            if (which == store::Fields::Shown &&
                std::find(store::kShownFields.begin(), store::kShownFields.end(), field) ==
                    store::kShownFields.end())
                continue;
            record.texts[field] = column[static_cast<size_t>(at)];
        }
        records.append(record);
    }
    return records;
}

bool MemoryRecordStore::ReadField(int field,
                                  const std::function<void(RecordKey, QStringView)>& each) {
    ++calls.readField;
    if (ReadFails()) return false;
    if (field < kFirstField || field > kLastField) return true;
    const auto& column = columns_[static_cast<size_t>(field - kFirstField)];
    for (size_t i = 0; i < column.size(); ++i)
        if (!column[i].isNull()) each(keys_[i], column[i]);
    return true;
}

std::optional<QList<RecordKey>> MemoryRecordStore::Search(const QString& text) {
    ++calls.search;
    if (ReadFails()) return std::nullopt;
    QList<RecordKey> found;
    for (size_t i = 0; i < keys_.size(); ++i) {
        bool match = text.isEmpty();
        for (const int field : store::kShownFields) {
            const auto& column = columns_[static_cast<size_t>(field - kFirstField)];
            if (match) break;
            match = !column.empty() && column[i].contains(text, Qt::CaseSensitive);
        }
        if (match) found.append(keys_[i]);
    }
    return found;
}

bool MemoryRecordStore::Delete(std::span<const RecordKey> keys) {
    ++calls.deletes;
    if (WriteFails()) return false;
    std::vector<bool> gone(keys_.size(), false);
    for (const RecordKey key : keys)
        if (const qsizetype at = IndexOf(key); at >= 0) gone[static_cast<size_t>(at)] = true;
    const auto keep = [&gone](auto& list) {
        size_t next = 0;
        for (size_t i = 0; i < list.size(); ++i)
            if (!gone[i]) list[next++] = std::move(list[i]);
        list.resize(next);
    };
    for (auto& column : columns_)
        if (!column.empty()) keep(column);
    keep(keys_);
    return true;
}

bool MemoryRecordStore::Clear() {
    ++calls.clears;
    if (WriteFails()) return false;
    keys_.clear();
    for (auto& column : columns_) column.clear();
    return true;
}

}  // namespace tf::test
