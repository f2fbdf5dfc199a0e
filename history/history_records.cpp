#include "history/history_records.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringMatcher>
#include <algorithm>
#include <numeric>
#include <vector>

#include "amount/field_entry.h"
#include "common/fields.h"
#include "common/prompt.h"
#include "store/database.h"
#include "store/records.h"

using namespace Qt::StringLiterals;

namespace tf::history {

namespace {

const QString kMidnight = u" 00:00:00"_s;

QString KeptDat() {
    return store::DateText(store::CurrentTextDate());
}

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

// Puts the data rows in the order of their stored timestamps, newest first, and numbers
// them. `dats` holds each data row's stored timestamp.
void OrderNewestFirst(TextGrid& grid, std::vector<QString>& dats) {
    const int first = grid.FixedRows();
    std::vector<int> order(dats.size());
    std::iota(order.begin(), order.end(), first);
    const auto newer = [&](int a, int b) {
        return dats[static_cast<size_t>(b - first)] < dats[static_cast<size_t>(a - first)];
    };
    // Records are mostly stored oldest first, so usually reversing is all it takes.
    if (std::is_sorted(order.rbegin(), order.rend(), newer))
        std::reverse(order.begin(), order.end());
    else if (!std::is_sorted(order.begin(), order.end(), newer))
        std::sort(order.begin(), order.end(), newer);
    grid.PermuteRows(first, order);
    for (int r = first; r < grid.Rows(); ++r) grid.SetText(r, 1, QString::number(r - 1));
}

}  // namespace

bool FillHistory(const AppContext& ctx, TextGrid& grid, const VoucherFields& voucher,
                 const TextWidth& width) {
    ResetGrid(grid, voucher);
    const QString shown = u"SELECT * FROM 记录 WHERE Dat<>#1973-08-18# ORDER BY Dat DESC"_s;
    bool ok = false;
    {
        store::Database db(ctx);
        if (db.OpenDatabase()) {
            // Only the rows the list shows (the voucher items and the remarks), read in
            // storage order: a plain scan of the table is much faster than walking the date
            // index, and the vouchers are put in order afterwards.
            QSqlQuery q(db.Connection());
            q.setForwardOnly(true);
            q.prepare(
                u"SELECT Dat, Ctl, Con FROM 记录 WHERE Dat<>? AND (Ctl BETWEEN ? AND ? OR Ctl=?)"_s);
            q.addBindValue(KeptDat());
            q.addBindValue(kFirstField);
            q.addBindValue(kLastVoucherField);
            q.addBindValue(kRemarksField);
            ok = q.exec();
            if (ok) {
                // One grid row per stored timestamp; a voucher's rows normally come together.
                std::vector<QString> dats;
                QHash<QString, int> rowOf;
                QString previous;
                int row = -1;
                while (q.next()) {
                    QString dat = q.value(0).toString();
                    if (row < 0 || dat != previous) {
                        auto it = rowOf.constFind(dat);
                        if (it == rowOf.constEnd()) {
                            row = grid.AddRow();
                            grid.SetText(row, 0, GridDateText(dat));
                            rowOf.insert(dat, row);
                            dats.push_back(dat);
                        } else {
                            row = it.value();
                        }
                        previous = std::move(dat);
                    }
                    const int ctl = q.value(1).toInt();
                    const int col = ctl == kRemarksField ? kHistoryCols - 1 : ctl;
                    grid.SetText(row, col, q.value(2).toString());
                }
                OrderNewestFirst(grid, dats);
            }
        }
        if (!ok) db.ReportFailure(store::OpenErrorText(shown));
    }
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

QString WriteFailureText(const store::Database& db) {
    switch (db.LastFailure()) {
        case store::DbFailure::None:
        case store::DbFailure::Other:
            return store::FailureMessage(store::DbFailure::Other,
                                         QFileInfo(db.Context().DatabasePath()).absoluteFilePath());
        default:
            return db.FailureText();
    }
}

bool ClearHistory(const AppContext& ctx, TextGrid& grid) {
    if (!ctx.UserPrompt().AskYesNo(u"您确认要删除所有打印记录？"_s)) return false;
    store::Database db(ctx, store::Database::Reports::ToCaller);
    // One statement in one transaction: the whole history goes, or none of it.
    if (db.Begin() && db.ExecuteSql(u"DELETE FROM 记录 WHERE Dat<>?"_s, {KeptDat()}) &&
        db.Commit()) {
        grid.SetRows(grid.FixedRows());
        grid.Row = grid.RowSel = grid.FixedRows() - 1;
        return true;
    }
    db.Rollback();
    db.ReportFailure(WriteFailureText(db));
    return false;
}

bool DeleteHistoryRows(const AppContext& ctx, TextGrid& grid) {
    int first = grid.Row;
    int last = grid.RowSel;
    OrderPair(last, first);
    if (first < grid.FixedRows() || last >= grid.Rows()) return false;
    if (!ctx.UserPrompt().AskYesNo(u"您确定要删除第"_s + QString::number(first - 1) + u"至第"_s +
                                   QString::number(last - 1) + u"行数据？"_s))
        return false;

    store::Database db(ctx, store::Database::Reports::ToCaller);
    bool ok = db.Begin();
    if (ok) {
        QSqlQuery q(db.Connection());
        ok = q.prepare(u"DELETE FROM 记录 WHERE Dat=?"_s);
        for (int g = first; g <= last && ok; ++g) {
            q.addBindValue(StoredDat(grid.Text(g, 0)));
            ok = q.exec();
        }
        if (!ok) db.NoteFailure(q.lastError());
    }
    ok = ok && db.Commit();
    if (!ok) {
        // Nothing was deleted, so the list stays as it is.
        db.Rollback();
        db.ReportFailure(WriteFailureText(db));
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
