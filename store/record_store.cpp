#include "store/record_store.h"

#include "common/prompt.h"
#include "store/server_record_store.h"
#include "store/sqlite_record_store.h"

using namespace Qt::StringLiterals;

namespace tf::store {

std::unique_ptr<RecordStore> OpenRecordStore(const AppContext& ctx) {
    if (ctx.openRecordStore) return ctx.openRecordStore(ctx);
    if (ctx.database->UsesServer()) return std::make_unique<ServerRecordStore>(ctx);
    return std::make_unique<SqliteRecordStore>(ctx);
}

bool RecordStore::ReadShownUtf8(
    std::span<const RecordKey> keys,
    const std::function<void(size_t at, int field, QByteArrayView text)>& each) {
    const std::optional<QList<Record>> records = ReadRecords(keys, Fields::Shown);
    if (!records) return false;
    size_t at = 0;
    for (const Record& record : *records) {
        while (at < keys.size() && keys[at] != record.key) ++at;
        if (at == keys.size()) break;
        for (const int field : kShownFields)
            if (!record.texts[field].isNull()) each(at, field, record.texts[field].toUtf8());
        if (KeepsPrintedBy()) each(at, kPrintedByField, record.printedBy.toUtf8());
        ++at;
    }
    return true;
}

bool StoreTexts(const AppContext& ctx, const QDateTime& when, const FieldTexts& texts) {
    if (when != CurrentTextDate()) return !StoreTextsBatch(ctx, when, {texts}).isEmpty();
    const std::unique_ptr<RecordStore> records = OpenRecordStore(ctx);
    if (records->StoreCurrentText(texts)) return true;
    // What was typed is not lost without a word: the clerk learns what was not kept and why.
    ctx.UserPrompt().Message(u"当前凭证的内容没有保存，下次启动时不能恢复！\n"_s +
                             records->FailureText(true));
    return false;
}

QList<QDateTime> StoreTextsBatch(const AppContext& ctx, const QDateTime& now,
                                 const QList<FieldTexts>& vouchers) {
    if (vouchers.isEmpty()) return {};
    const std::unique_ptr<RecordStore> records = OpenRecordStore(ctx);
    const QList<RecordKey> keys = records->StoreVouchers(now, vouchers);
    if (keys.isEmpty()) {
        ctx.UserPrompt().Message(u"打印记录没有保存！\n"_s + records->FailureText(true));
        return {};
    }
    QList<QDateTime> stamps;
    for (const RecordKey key : keys) stamps.append(TimeOfKey(key));
    return stamps;
}

void LoadCurrentText(const AppContext& ctx, FieldTexts& texts) {
    OpenRecordStore(ctx)->LoadCurrentText(texts);
}

}  // namespace tf::store
