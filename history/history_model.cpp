#include "history/history_model.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <limits>
#include <numeric>
#include <utility>

#include "history/grid_ops.h"

namespace tf::history {

namespace {

using store::RecordKey;

// One field's text of every record, as the store hands them over, packed into one buffer so
// that a million short texts cost little more than their characters.
class FieldColumn {
public:
    // False when the store cannot read the field.
    bool Read(store::RecordStore& store, int field) {
        bool fits = true;
        const bool read = store.ReadField(field, [&](RecordKey key, QStringView text) {
            if (chars_.size() + static_cast<size_t>(text.size()) >
                std::numeric_limits<quint32>::max()) {
                fits = false;
                return;
            }
            entries_.push_back(
                {key, static_cast<quint32>(chars_.size()), static_cast<quint32>(text.size())});
            chars_.insert(chars_.end(), text.utf16(), text.utf16() + text.size());
        });
        const auto byKey = [](const Entry& a, const Entry& b) { return a.key < b.key; };
        if (!std::is_sorted(entries_.begin(), entries_.end(), byKey))
            std::sort(entries_.begin(), entries_.end(), byKey);
        return read && fits;
    }

    // The text of a key; empty for a record without the field. Keys must be asked in
    // ascending order, so the texts are read in one pass.
    QStringView Next(RecordKey key) {
        while (next_ < entries_.size() && entries_[next_].key < key) ++next_;
        if (next_ == entries_.size() || entries_[next_].key != key) return {};
        const Entry& e = entries_[next_];
        return QStringView(chars_.data() + e.offset, static_cast<qsizetype>(e.size));
    }

private:
    struct Entry {
        RecordKey key;
        quint32 offset;
        quint32 size;
    };
    std::vector<Entry> entries_;
    std::vector<char16_t> chars_;
    size_t next_ = 0;
};

}  // namespace

HistoryModel::HistoryModel(store::RecordStore& store, QStringList captions, HistoryPaging paging,
                           QObject* parent)
    : QAbstractTableModel(parent),
      store_(store),
      captions_(std::move(captions)),
      paging_(paging),
      printedBy_(store.KeepsPrintedBy()) {
    paging_.pageRows = std::max(1, paging_.pageRows);
    paging_.cachedPages = std::max(1, paging_.cachedPages);
    pages_.reserve(static_cast<size_t>(paging_.cachedPages));
}

bool HistoryModel::Reload() {
    const std::optional<QList<RecordKey>> keys = store_.ListKeys();
    beginResetModel();
    DropCache();
    order_.clear();
    if (keys) {
        order_.assign(keys->crbegin(), keys->crend());
        if (!std::is_sorted(order_.begin(), order_.end(), std::greater<>()))
            std::sort(order_.begin(), order_.end(), std::greater<>());
    }
    ShowAll();
    sortColumn_ = -1;
    descending_ = false;
    endResetModel();
    return keys.has_value();
}

void HistoryModel::ShowAll() {
    shown_.resize(order_.size());
    std::iota(shown_.begin(), shown_.end(), Place{0});
    searching_ = false;
}

bool HistoryModel::SortByColumn(int column) {
    if (column < 0 || column >= kColumns) return false;
    FieldColumn texts;
    if (!texts.Read(store_, FieldOfColumn(column))) return false;
    const bool descending = column == sortColumn_ && !descending_;

    // The texts come about in key order: merged with the places by key, each place gets its
    // record's text.
    const size_t n = order_.size();
    std::vector<QStringView> textAt(n);
    for (const auto& [key, place] : PlacesByKey()) textAt[place] = texts.Next(key);
    const std::vector<quint32> sorted = SortedIndexes(textAt, descending);
    textAt = {};

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<bool> wasShown;
    if (searching_) {
        wasShown.assign(order_.size(), false);
        for (const Place p : shown_) wasShown[p] = true;
        shown_.clear();
    }
    const std::vector<RecordKey> before = std::exchange(order_, std::vector<RecordKey>(n));
    for (size_t i = 0; i < n; ++i) {
        order_[i] = before[sorted[i]];
        if (searching_ && wasShown[sorted[i]]) shown_.push_back(static_cast<Place>(i));
    }
    DropCache();
    sortColumn_ = column;
    descending_ = descending;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    return true;
}

bool HistoryModel::Search(const QString& text) {
    std::vector<RecordKey> hits;
    if (!text.isEmpty()) {
        const std::optional<QList<RecordKey>> found = store_.Search(text);
        if (!found) return false;
        hits.assign(found->cbegin(), found->cend());
        if (!std::is_sorted(hits.begin(), hits.end())) std::sort(hits.begin(), hits.end());
    }
    const std::vector<bool> found = PlacesOf(hits);
    beginResetModel();
    DropCache();
    if (text.isEmpty()) {
        ShowAll();
    } else {
        shown_.clear();
        for (size_t p = 0; p < order_.size(); ++p)
            if (found[p]) shown_.push_back(static_cast<Place>(p));
        searching_ = true;
    }
    endResetModel();
    return true;
}

void HistoryModel::AppendKeys(std::span<const RecordKey> keys) {
    std::vector<RecordKey> fresh(keys.begin(), keys.end());
    std::sort(fresh.begin(), fresh.end());
    fresh.erase(std::unique(fresh.begin(), fresh.end()), fresh.end());
    std::vector<bool> taken(fresh.size(), false);  // listed already, or appended now
    const auto indexOf = [&fresh](RecordKey key) -> std::optional<size_t> {
        const auto it = std::lower_bound(fresh.begin(), fresh.end(), key);
        if (it == fresh.end() || *it != key) return std::nullopt;
        return static_cast<size_t>(it - fresh.begin());
    };
    if (!fresh.empty())
        for (const RecordKey key : order_)
            if (const auto i = indexOf(key)) taken[*i] = true;
    std::vector<RecordKey> added;
    for (const RecordKey key : keys)
        if (const auto i = indexOf(key); i && !taken[*i]) {
            taken[*i] = true;
            added.push_back(key);
        }
    if (added.empty()) return;

    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    DropCache();
    for (const RecordKey key : added) {
        shown_.push_back(static_cast<Place>(order_.size()));
        order_.push_back(key);
    }
    endInsertRows();
}

void HistoryModel::RemoveKeys(std::span<const RecordKey> keys) {
    std::vector<RecordKey> gone(keys.begin(), keys.end());
    std::sort(gone.begin(), gone.end());
    RemovePlaces(PlacesOf(gone));
}

bool HistoryModel::SyncKeys() {
    const std::optional<QList<RecordKey>> keys = store_.ListKeys();
    if (!keys) return false;
    std::vector<RecordKey> now(keys->cbegin(), keys->cend());
    if (!std::is_sorted(now.begin(), now.end())) std::sort(now.begin(), now.end());
    std::vector<RecordKey> listed(order_.begin(), order_.end());
    std::sort(listed.begin(), listed.end());
    std::vector<RecordKey> gone;
    std::set_difference(listed.begin(), listed.end(), now.begin(), now.end(),
                        std::back_inserter(gone));
    std::vector<RecordKey> added;
    std::set_difference(now.begin(), now.end(), listed.begin(), listed.end(),
                        std::back_inserter(added));
    if (!gone.empty()) RemovePlaces(PlacesOf(gone));
    std::reverse(added.begin(), added.end());
    AppendKeys(added);
    return true;
}

std::vector<std::pair<RecordKey, HistoryModel::Place>> HistoryModel::PlacesByKey() const {
    const size_t n = order_.size();
    std::vector<std::pair<RecordKey, Place>> byKey(n);
    for (size_t p = 0; p < n; ++p) byKey[p] = {order_[p], static_cast<Place>(p)};
    if (std::is_sorted(order_.begin(), order_.end(), std::greater<>()))
        std::reverse(byKey.begin(), byKey.end());
    else if (!std::is_sorted(order_.begin(), order_.end()))
        std::sort(byKey.begin(), byKey.end());
    return byKey;
}

std::vector<bool> HistoryModel::PlacesOf(const std::vector<RecordKey>& keys) const {
    std::vector<bool> flags(order_.size(), false);
    // A few keys stay in the processor's cache while the list is walked; many are merged with
    // the list in key order instead of looked up one by one.
    constexpr size_t kFew = 4096;
    if (keys.size() <= kFew && keys.size() * 16 <= order_.size()) {
        for (size_t p = 0; p < order_.size(); ++p)
            flags[p] = std::binary_search(keys.begin(), keys.end(), order_[p]);
        return flags;
    }
    auto key = keys.begin();
    for (const auto& [listed, place] : PlacesByKey()) {
        while (key != keys.end() && *key < listed) ++key;
        if (key == keys.end()) break;
        if (*key == listed) flags[place] = true;
    }
    return flags;
}

void HistoryModel::RemovePlaces(const std::vector<bool>& removed) {
    if (std::find(removed.begin(), removed.end(), true) == removed.end()) return;
    // The shown rows go run by run, from the bottom, so every step tells the views which.
    for (int r = rowCount() - 1; r >= 0; --r) {
        if (!removed[PlaceOf(r)]) continue;
        const int last = r;
        while (r > 0 && removed[PlaceOf(r - 1)]) --r;
        beginRemoveRows({}, r, last);
        shown_.erase(shown_.begin() + r, shown_.begin() + last + 1);
        DropCache();
        endRemoveRows();
    }
    // Then the hidden ones; the places after each gap move up.
    size_t s = 0;
    Place next = 0;
    for (size_t p = 0; p < order_.size(); ++p) {
        if (removed[p]) continue;
        if (s < shown_.size() && shown_[s] == p) shown_[s++] = next;
        order_[next++] = order_[p];
    }
    order_.resize(next);
    if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
}

bool HistoryModel::DeleteRange(int a, int b) {
    OrderPair(b, a);
    if (a < 0 || b >= rowCount()) return false;
    const QList<RecordKey> keys = KeysBetween(a, b);
    if (!store_.Delete(keys)) return false;
    std::vector<bool> removed(order_.size(), false);
    std::fill(removed.begin() + PlaceOf(a), removed.begin() + PlaceOf(b) + 1, true);
    RemovePlaces(removed);
    return true;
}

bool HistoryModel::ClearAll() {
    if (!store_.Clear()) return false;
    beginResetModel();
    DropCache();
    order_.clear();
    ShowAll();
    endResetModel();
    return true;
}

QList<RecordKey> HistoryModel::KeysBetween(int a, int b) const {
    OrderPair(b, a);
    if (a < 0 || b >= rowCount()) return {};
    const auto first = order_.begin() + PlaceOf(a);
    return QList<RecordKey>(first, order_.begin() + PlaceOf(b) + 1);
}

FieldTexts HistoryModel::RowTexts(int row) const {
    FieldTexts texts;
    if (row < 0 || row >= rowCount()) return texts;
    const RowTextsArray& cells = CachedRow(row);
    for (int c = 0; c < kColumns; ++c) texts[FieldOfColumn(c)] = cells[static_cast<size_t>(c)];
    return texts;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns + (printedBy_ ? 1 : 0);
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return CachedRow(index.row())[static_cast<size_t>(index.column())];
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    switch (role) {
        case Qt::DisplayRole:
            if (orientation == Qt::Vertical) {
                if (section < 0 || section >= rowCount()) return {};
                return QString::number(SequenceNumber(section));
            }
            if (section < 0 || section >= columnCount()) return {};
            if (section == PrintedByColumn()) return PrintedByCaption();
            if (section != sortColumn_) return captions_.value(section);
            return QString(captions_.value(section) +
                           (descending_ ? DescendingMarker() : AscendingMarker()));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

const HistoryModel::RowTextsArray& HistoryModel::CachedRow(int row) const {
    const qsizetype index = row / paging_.pageRows;
    Page* page = nullptr;
    for (Page& p : pages_)
        if (p.index == index) {
            page = &p;
            break;
        }
    if (!page) page = &LoadPage(index);
    page->lastUse = ++uses_;
    return page->rows[static_cast<size_t>(row - index * paging_.pageRows)];
}

HistoryModel::Page& HistoryModel::LoadPage(qsizetype index) const {
    const qsizetype first = index * paging_.pageRows;
    const qsizetype end = std::min<qsizetype>(first + paging_.pageRows, rowCount());
    std::vector<RecordKey> keys;
    keys.reserve(static_cast<size_t>(end - first));
    for (qsizetype r = first; r < end; ++r) keys.push_back(order_[PlaceOf(static_cast<int>(r))]);

    Page page;
    page.index = index;
    page.rows.resize(keys.size());
    // A page that cannot be read stays empty until the list changes: the store told the clerk
    // once, not once for every cell painted.
    if (const auto records = store_.ReadRecords(keys, store::Fields::Shown)) {
        // The records come in the order of the keys; a key without a record is passed over.
        size_t i = 0;
        for (const store::Record& record : *records) {
            while (i < keys.size() && keys[i] != record.key) ++i;
            if (i == keys.size()) break;
            for (int c = 0; c < kColumns; ++c)
                page.rows[i][static_cast<size_t>(c)] = record.texts[FieldOfColumn(c)];
            page.rows[i][kColumns] = record.printedBy;
            ++i;
        }
    }

    if (static_cast<int>(pages_.size()) < paging_.cachedPages) {
        pages_.push_back(std::move(page));
        return pages_.back();
    }
    const auto oldest =
        std::min_element(pages_.begin(), pages_.end(),
                         [](const Page& a, const Page& b) { return a.lastUse < b.lastUse; });
    *oldest = std::move(page);
    return *oldest;
}

void HistoryModel::DropCache() const {
    pages_.clear();
}

}  // namespace tf::history
