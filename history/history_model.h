#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <span>
#include <vector>

#include "common/fields.h"
#include "store/record_store.h"

// The print history as the history window lists it, over the record store: the keys of every
// record in the current order (newest first until a column is sorted) and the rows a search
// leaves shown. Only keys are held for every record; the texts of the rows a view asks for are
// read from the store a page at a time and kept in a bounded cache, least recently used pages
// going first.
//
// A row's number (the vertical header) is its place in the whole list, so rows hidden by a
// search keep their numbers, and a range chosen between two shown rows covers the hidden rows
// between them too.

namespace tf::history {

// How the texts are read: rows per page and pages kept.
struct HistoryPaging {
    int pageRows = 64;
    int cachedPages = 64;
};

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // One column per shown field, in store::kShownFields order; where the store keeps who
    // stored each record, the column "打印人" after them (PrintedByColumn).
    static constexpr int kColumns = static_cast<int>(store::kShownFields.size());
    static QString PrintedByCaption() { return QStringLiteral("打印人"); }
    static int FieldOfColumn(int column) {
        return store::kShownFields[static_cast<size_t>(column)];
    }

    // captions: each column's header text, without a sort marker. The store must outlive the
    // model. The list is empty until Reload.
    HistoryModel(store::RecordStore& store, QStringList captions, HistoryPaging paging = {},
                 QObject* parent = nullptr);

    // Lists every record afresh, newest first, with no search and no sort marker. False, with
    // an empty list, when the keys cannot be read (the store has told the clerk).
    bool Reload();

    // A press on a column's header: sorts every record (shown or not) by that column's texts,
    // ascending, or descending when the column was last sorted ascending; rows of equal texts
    // keep their order. The header shows the direction. False, and nothing changes, when the
    // column cannot be read ("打印人" is not sorted).
    bool SortByColumn(int column);
    int SortColumn() const { return sortColumn_; }
    bool SortedDescending() const { return descending_; }

    // Shows the records of which a shown field contains the text, in the current order; the
    // empty text shows every record. False, and the rows shown stay, when the store cannot
    // search.
    bool Search(const QString& text);
    bool Searching() const { return searching_; }

    // Records stored after the list was read (an import, a print): added at the end of the
    // list, shown even while searching. Keys already listed are passed over.
    void AppendKeys(std::span<const store::RecordKey> keys);
    // Records deleted from the store: their rows go, hidden or shown.
    void RemoveKeys(std::span<const store::RecordKey> keys);
    // Takes in what others stored or deleted since the list was read: the keys the store lists
    // now are compared with the list's; records gone leave it, new ones are appended newest
    // first (AppendKeys). The order, the search and the sort marker stay. False when the keys
    // cannot be read (the store has told the clerk).
    bool SyncKeys();

    // Deletes from the store the records from row a's to row b's (either order) in the whole
    // list, rows hidden by a search between them included, and then from the list. False, and
    // nothing deleted, when the store refuses (its LastFailure and FailureText tell why).
    bool DeleteRange(int a, int b);
    // Deletes every print record from the store and the list. False when the store refuses.
    bool ClearAll();

    // The key of a shown row.
    store::RecordKey KeyAt(int row) const { return order_[PlaceOf(row)]; }
    // A shown row's number: its place in the whole list, from 1.
    qsizetype SequenceNumber(int row) const { return static_cast<qsizetype>(PlaceOf(row)) + 1; }
    // The keys of the whole list from row a's to row b's (either order), hidden ones included.
    QList<store::RecordKey> KeysBetween(int a, int b) const;
    // The texts of a shown row's fields (the shown fields; the others stay null), read through
    // the cache.
    FieldTexts RowTexts(int row) const;
    // The column "打印人", or -1 where the store keeps no login per record.
    int PrintedByColumn() const { return printedBy_ ? kColumns : -1; }
    // Every key in the current order, hidden ones included (an export reads them in chunks).
    std::span<const store::RecordKey> OrderedKeys() const { return order_; }
    // The store the list is read from (its FailureText tells why a delete was refused).
    store::RecordStore& Store() const { return store_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // A place in the whole list.
    using Place = quint32;
    // The shown fields' texts, then the login of who stored the record.
    using RowTextsArray = std::array<QString, kColumns + 1>;
    struct Page {
        qsizetype index = -1;
        quint64 lastUse = 0;
        std::vector<RowTextsArray> rows;
    };

    Place PlaceOf(int row) const { return shown_[static_cast<size_t>(row)]; }
    const RowTextsArray& CachedRow(int row) const;
    Page& LoadPage(qsizetype index) const;
    void DropCache() const;
    // Every place in the list beside its key, in key order.
    std::vector<std::pair<store::RecordKey, Place>> PlacesByKey() const;
    // Flags over the whole list, set at the places of the keys (ascending).
    std::vector<bool> PlacesOf(const std::vector<store::RecordKey>& keys) const;
    // Takes the flagged places out of the list, shown rows run by run.
    void RemovePlaces(const std::vector<bool>& removed);
    // Shows every record.
    void ShowAll();

    store::RecordStore& store_;
    QStringList captions_;
    HistoryPaging paging_;
    bool printedBy_ = false;
    // Every record's key in the current order, and the places in it of the rows shown.
    std::vector<store::RecordKey> order_;
    std::vector<Place> shown_;
    bool searching_ = false;
    int sortColumn_ = -1;
    bool descending_ = false;

    mutable std::vector<Page> pages_;
    mutable quint64 uses_ = 0;
};

}  // namespace tf::history
