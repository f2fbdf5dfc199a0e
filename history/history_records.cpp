#include "history/history_records.h"

#include <algorithm>
#include <cmath>

#include "amount/field_entry.h"
#include "common/prompt.h"
#include "store/record_store.h"

using namespace Qt::StringLiterals;

namespace tf::history {

QStringList HistoryCaptions(const VoucherFields& voucher) {
    QStringList captions;
    for (const int field : store::kShownFields) captions.append(voucher.Caption(field));
    return captions;
}

HistoryColumnWidths FitHistoryColumns(const HistoryModel& model, int first, int count,
                                      const TextWidth& width) {
    HistoryColumnWidths fitted;
    const int end = std::min(model.rowCount(), first + std::max(0, count));
    for (int c = 0; c < model.columnCount(); ++c) {
        double w = 0;
        for (int r = std::max(0, first); r < end; ++r) {
            const QString text = model.data(model.index(r, c)).toString();
            if (!text.isEmpty()) w = std::max(w, width(text));
        }
        // A column with texts is wide enough for its header too.
        if (w != 0) w = std::max(w, width(model.headerData(c, Qt::Horizontal).toString()));
        fitted.columns.append(std::round(w != 0 ? w + 100 : 50));
    }
    // Row numbers grow down the list: the last is the widest.
    const QString largest =
        model.rowCount() > 0 ? QString::number(model.SequenceNumber(model.rowCount() - 1)) : u"0"_s;
    fitted.numbering = std::round(width(largest) + 100);
    return fitted;
}

bool DeleteHistoryRows(const AppContext& ctx, HistoryModel& model, int a, int b) {
    OrderPair(b, a);
    if (a < 0 || b >= model.rowCount()) return false;
    if (!ctx.UserPrompt().AskYesNo(u"您确定要删除第"_s + QString::number(model.SequenceNumber(a)) +
                                   u"至第"_s + QString::number(model.SequenceNumber(b)) +
                                   u"行数据？"_s))
        return false;
    if (!model.DeleteRange(a, b)) {
        // Nothing was deleted, so the list stays as it is.
        ctx.UserPrompt().Message(model.Store().FailureText());
        return false;
    }
    return true;
}

bool ClearHistory(const AppContext& ctx, HistoryModel& model) {
    if (!ctx.UserPrompt().AskYesNo(u"您确认要删除所有打印记录？"_s)) return false;
    if (!model.ClearAll()) {
        ctx.UserPrompt().Message(model.Store().FailureText());
        return false;
    }
    return true;
}

void TakeBackRow(const HistoryModel& model, int r, VoucherFields& voucher) {
    if (r < 0 || r >= model.rowCount()) return;
    const FieldTexts texts = model.RowTexts(r);
    for (const int field : store::kShownFields) voucher.TakeText(field, texts[field]);
}

FieldTexts RecordTexts(const HistoryModel& model, int r, const FieldTexts& base,
                       const QString& sign) {
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
    TakeBackRow(model, r, copy);
    return copy.texts;
}

QList<int> BatchRows(const HistoryModel& model, int a, int b, bool chosen) {
    OrderPair(b, a);
    if (!chosen || a < 0 || b >= model.rowCount()) {
        a = 0;
        b = model.rowCount() - 1;
    }
    QList<int> rows;
    for (int r = a; r <= b; ++r) rows.append(r);
    return rows;
}

}  // namespace tf::history
