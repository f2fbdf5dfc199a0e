// One clerk's program for the tests of several clerks on one server: stores, imports, saves or
// loads a format as told, and prints on standard output the key of every voucher it stored
// (one a line), or for loads the number of torn formats it read.
//
//   store_worker store URI COUNT NOW TAG     COUNT single vouchers and COUNT in batches of 10
//   store_worker import URI ROWS FIRSTDAY TAG  one import of ROWS rows
//   store_worker save URI TIMES TAG          saves the format "争用" TIMES times
//   store_worker load URI TIMES              loads "争用" TIMES times
#include <QCoreApplication>
#include <QTextStream>

#include "store/formats.h"
#include "store/record_store.h"
#include "store/server_record_store.h"
#include "support/scripted_prompt.h"

using namespace tf;
using namespace tf::store;
using namespace Qt::StringLiterals;

namespace {

// Every field holds the tag, so a group's rows show whose they are.
FieldTexts Voucher(const QString& tag, int n) {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = u"%1/%2/%3"_s.arg(tag).arg(n).arg(i);
    return t;
}

int Failed(const RecordStore& store) {
    QTextStream(stderr) << store.FailureText(true) << '\n';
    return 1;
}

int Store(const AppContext& ctx, int count, const QDateTime& now, const QString& tag,
          QTextStream& out) {
    ServerRecordStore store(ctx);
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const QList<RecordKey> keys = store.StoreVouchers(now, {Voucher(tag, n++)});
        if (keys.size() != 1) return Failed(store);
        out << keys.first() << '\n';
        if (i % 10 != 0) continue;
        QList<FieldTexts> batch;
        for (int b = 0; b < 10; ++b) batch.append(Voucher(tag, n++));
        const QList<RecordKey> batchKeys = store.StoreVouchers(now, batch);
        if (batchKeys.size() != 10) return Failed(store);
        for (const RecordKey key : batchKeys) out << key << '\n';
    }
    return 0;
}

int Import(const AppContext& ctx, int rows, QDate firstDay, const QString& tag, QTextStream& out) {
    ServerRecordStore store(ctx);
    ImportPlan plan;
    plan.fields = {2, 5, 8, 11, 12, 27};
    plan.firstDay = firstDay;
    plan.expectedRows = rows;
    const std::unique_ptr<ImportSink> sink = store.BeginImport(plan);
    QList<RecordKey> keys;
    for (int r = 0; r < rows; ++r) {
        const auto key = sink->Add(Voucher(tag, r));
        if (!key) return Failed(store);
        keys.append(*key);
    }
    if (!sink->Commit()) return Failed(store);
    for (const RecordKey key : keys) out << key << '\n';
    return 0;
}

// A layout whose every value tells the save it came from.
VoucherSettings Layout(int version) {
    VoucherSettings s;
    s.layout.formWidthMm = 200 + version;
    for (int i = kFirstField; i <= kLastField; ++i) {
        s.fieldFormats[i].X = version;
        s.fieldFormats[i].Y = i;
    }
    return s;
}

int Save(const AppContext& ctx, test::ScriptedPrompt& prompt, int times, int tag) {
    for (int t = 0; t < times; ++t) {
        prompt.yesNo.enqueue(true);
        VoucherSettings s = Layout(tag * 1000 + t);
        QString name = u"争用"_s;
        if (!SaveFormat(ctx, name, s)) return 1;
    }
    return 0;
}

int Load(const AppContext& ctx, int times, QTextStream& out) {
    int torn = 0;
    for (int t = 0; t < times; ++t) {
        VoucherSettings s;
        QString name = u"争用"_s;
        LoadFormat(ctx, name, s, {});
        const double version = s.fieldFormats[kFirstField].X;
        bool whole = s.layout.formWidthMm == 200 + version;
        for (int i = kFirstField; i <= kLastField; ++i)
            whole = whole && s.fieldFormats[i].X == version;
        torn += whole ? 0 : 1;
    }
    out << torn << '\n';
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) return 2;
    test::ScriptedPrompt prompt;
    AppContext ctx;
    ctx.SetPrompt(&prompt);
    ctx.database->serverUri = args[2];
    QTextStream out(stdout);
    const QString what = args[1];
    const int count = args[3].toInt();
    if (what == u"store")
        return Store(ctx, count, QDateTime::fromString(args[4], Qt::ISODate), args[5], out);
    if (what == u"import")
        return Import(ctx, count, QDate::fromString(args[4], Qt::ISODate), args[5], out);
    if (what == u"save") return Save(ctx, prompt, count, args[4].toInt());
    if (what == u"load") return Load(ctx, count, out);
    return 2;
}
