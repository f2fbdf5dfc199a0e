#include "history/history_records.h"

#include <QStringMatcher>
#include <algorithm>
#include <span>

#include "amount/field_entry.h"
#include "common/fields.h"
#include "common/prompt.h"
#include "store/record_store.h"

using namespace Qt::StringLiterals;

namespace tf::history {

namespace {

const QString kMidnight = u" 00:00:00"_s;

void ResetGrid(TextGrid& grid, const VoucherFields& voucher) {
    grid.SetCols(kHistoryCols);
    grid.SetRows(kHistoryFixedRows);
    grid.SetFixedRows(kHistoryFixedRows);
    grid.SetFixedCols(kHistoryFixedCols);
    grid.ClearTexts();
    grid.SetColWidth(0, 0);
    grid.SetRowHeight(0, 0);
    for (int c = kFirstField; c <= kLastVoucherField; ++c) {
        grid.SetText(0, c, QString::number(c));
        grid.SetText(1, c, voucher.Caption(c));
    }
    grid.SetText(0, kHistoryCols - 1, QString::number(kRemarksField));
    grid.SetText(1, kHistoryCols - 1, voucher.Caption(kRemarksField));
    grid.Row = grid.RowSel = 1;
}

}  // namespace

QString GridDateText(const QString& storedDat) {
    if (storedDat.size() == 19 && storedDat.endsWith(kMidnight)) return storedDat.left(10);
    return storedDat;
}

QString StoredDat(const QString& gridDateText) {
    if (gridDateText.size() == 10) return gridDateText + kMidnight;
    return gridDateText;
}

namespace {

// Records read at once while the list fills.
constexpr qsizetype kFillPage = 2000;

// The grid column of a shown field.
int ColumnOf(int field) {
    return field == kRemarksField ? kHistoryCols - 1 : field;
}

// Lists the records of the keys, newest first. False when they cannot all be read.
bool FillRows(store::RecordStore& records, TextGrid& grid, QList<store::RecordKey> keys) {
    std::reverse(keys.begin(), keys.end());
    for (qsizetype at = 0; at < keys.size(); at += kFillPage) {
        const std::span<const store::RecordKey> page(
            keys.constData() + at, static_cast<size_t>(std::min(kFillPage, keys.size() - at)));
        const std::optional<QList<store::Record>> read =
            records.ReadRecords(page, store::Fields::Shown);
        if (!read) return false;
        for (const store::Record& record : *read) {
            const int row = grid.AddRow();
            grid.SetText(row, 0, GridDateText(store::DatOfKey(record.key)));
            grid.SetText(row, 1, QString::number(row - 1));
            for (const int field : store::kShownFields)
                grid.SetText(row, ColumnOf(field), record.texts[field]);
        }
    }
    return true;
}

}  // namespace

bool FillHistory(const AppContext& ctx, TextGrid& grid, const VoucherFields& voucher,
                 const TextWidth& width) {
    ResetGrid(grid, voucher);
    const std::unique_ptr<store::RecordStore> records = store::OpenRecordStore(ctx);
    const std::optional<QList<store::RecordKey>> keys = records->ListKeys();
    // The store has told the clerk why the records cannot be read.
    const bool ok = keys && FillRows(*records, grid, *keys);
    if (!ok) grid.SetRows(grid.FixedRows());
    FitColumns(grid, 1, width);
    return ok;
}

void FilterHistory(TextGrid& grid, const QString& text) {
    const int header = grid.FixedRows() - 1;
    const double shownHeight = header >= 0 ? grid.RowHeight(header) : TextGrid::kDefaultRowHeight;
    const QStringMatcher matcher(text, Qt::CaseSensitive);
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
        bool match = text.isEmpty();
        for (int c = grid.FixedCols(); !match && c < grid.Cols(); ++c) {
            const QString& cell = grid.Text(r, c);
            match = cell.size() >= text.size() && matcher.indexIn(cell) >= 0;
        }
        grid.SetRowHeight(r, match ? shownHeight : 0);
    }
}

bool ClearHistory(const AppContext& ctx, TextGrid& grid) {
    if (!ctx.UserPrompt().AskYesNo(u"您确认要删除所有打印记录？"_s)) return false;
    const std::unique_ptr<store::RecordStore> records = store::OpenRecordStore(ctx);
    if (!records->Clear()) {
        ctx.UserPrompt().Message(records->FailureText());
        return false;
    }
    grid.SetRows(grid.FixedRows());
    grid.Row = grid.RowSel = grid.FixedRows() - 1;
    return true;
}

bool DeleteHistoryRows(const AppContext& ctx, TextGrid& grid) {
    int first = grid.Row;
    int last = grid.RowSel;
    OrderPair(last, first);
    if (first < grid.FixedRows() || last >= grid.Rows()) return false;
    if (!ctx.UserPrompt().AskYesNo(u"您确定要删除第"_s + QString::number(first - 1) + u"至第"_s +
                                   QString::number(last - 1) + u"行数据？"_s))
        return false;

    QList<store::RecordKey> keys;
    for (int g = first; g <= last; ++g)
        if (const auto key = store::KeyOfDat(StoredDat(grid.Text(g, 0)))) keys.append(*key);
    const std::unique_ptr<store::RecordStore> records = store::OpenRecordStore(ctx);
    if (!records->Delete(keys)) {
        // Nothing was deleted, so the list stays as it is.
        ctx.UserPrompt().Message(records->FailureText());
        return false;
    }
    RemoveGridRows(grid, grid.Row, grid.RowSel);
    grid.Row = grid.RowSel = std::min(first, grid.Rows() - 1);
    return true;
}

void TakeBackRecord(const TextGrid& grid, VoucherFields& voucher) {
    TakeBackRow(grid, grid.Row, voucher);
}

FieldTexts RecordTexts(const TextGrid& grid, int r, const FieldTexts& base, const QString& sign) {
    // The voucher as the main window would hold it after "再次打印".
    class Copy : public VoucherFields {
    public:
        Copy(const FieldTexts& start, const QString& currency) : texts(start), sign(currency) {}
        QString Caption(int) const override { return {}; }
        void TakeText(int field, const QString& text) override {
            texts[field] = text;
            amount::LeaveField(texts, field, sign);
        }
        FieldTexts texts;
        QString sign;
    };
    Copy copy(base, sign);
    TakeBackRow(grid, r, copy);
    return copy.texts;
}

QList<int> BatchRows(const TextGrid& grid, bool chosen) {
    int first = std::min(grid.Row, grid.RowSel);
    int last = std::max(grid.Row, grid.RowSel);
    if (!chosen || first < kHistoryFixedRows || last >= grid.Rows()) {
        first = kHistoryFixedRows;
        last = grid.Rows() - 1;
    }
    QList<int> rows;
    for (int r = first; r <= last; ++r)
        if (grid.RowHeight(r) > 0) rows.append(r);
    return rows;
}

void TakeBackRow(const TextGrid& grid, int r, VoucherFields& voucher) {
    if (grid.Rows() < 3) return;
    if (r >= grid.Rows() || r <= 1) return;
    for (int c = 2; c < grid.Cols(); ++c) {
        bool isNumber = false;
        const int field = grid.Text(0, c).toInt(&isNumber);
        if (!isNumber || field < kFirstField || field > kLastField) continue;
        voucher.TakeText(field, grid.Text(r, c));
    }
}

}  // namespace tf::history
