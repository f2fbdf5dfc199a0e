#include "store/server_copy.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <map>
#include <set>

#include "common/progress.h"
#include "common/prompt.h"
#include "store/database.h"
#include "store/database_setting.h"
#include "store/formats.h"
#include "store/parties.h"
#include "store/record_store.h"
#include "store/server_connection.h"
#include "store/server_record_store.h"
#include "store/server_schema.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

// Records read from the file and written to the server at a time.
constexpr qsizetype kPage = 1000;
// How often a page is written again after a clerk stored under one of its seconds meanwhile.
constexpr int kPageTries = 20;

const QString kFormatColumns =
    u"Name, Ctl, X, Y, W, H, Color, fName, fSize, fBold, fItalic, fUnderline, fStrikethru"_s;

// A value of the file's format table as the server's column takes it; a missing value stays
// missing.
QVariant ForServer(const QVariant& v, QMetaType::Type type) {
    if (!v.isValid() || v.isNull()) return QVariant(QMetaType(type));
    switch (type) {
        case QMetaType::Bool:
            if (v.typeId() == QMetaType::QString)
                return v.toString().trimmed().compare(u"true"_s, Qt::CaseInsensitive) == 0 ||
                       v.toString().toDouble() != 0;
            return v.toDouble() != 0;
        case QMetaType::Int:
            return static_cast<qint32>(v.toLongLong());
        case QMetaType::Double:
            return v.toDouble();
        default:
            return ServerText(v.toString());
    }
}

const QList<QMetaType::Type>& FormatColumnTypes() {
    static const QList<QMetaType::Type> types{
        QMetaType::QString, QMetaType::Int,    QMetaType::Double, QMetaType::Double,
        QMetaType::Double,  QMetaType::Double, QMetaType::Int,    QMetaType::QString,
        QMetaType::Double,  QMetaType::Bool,   QMetaType::Bool,   QMetaType::Bool,
        QMetaType::Bool};
    return types;
}

// The formats and spacing of the file the server lacks, by name; counts what was copied and
// what the server kept.
bool CopyFormats(Database& local, Database& server, CopyCounts& counts) {
    QSet<QString> onServer;
    QSqlQuery names(server.Connection());
    if (!RunOnServer(server, names, u"SELECT DISTINCT Name FROM 参数"_s)) return false;
    while (names.next()) onServer.insert(names.value(0).toString());

    // The file's rows, the first of each field counting (as loading a format reads them).
    QSqlQuery rows(local.Connection());
    if (!RunOnServer(local, rows,
                     u"SELECT "_s + kFormatColumns + u" FROM 参数 ORDER BY Name, Ctl, rowid"_s))
        return false;
    std::map<QString, std::map<int, QVariantList>> formats;
    while (rows.next()) {
        const QString name = ServerText(rows.value(0).toString());
        const int ctl = rows.value(1).toInt();
        if (name.isEmpty() || (ctl != -1 && (ctl < kFirstField || ctl > kLastField))) continue;
        auto& format = formats[name];
        if (format.count(ctl)) continue;
        QVariantList values;
        for (int c = 0; c < FormatColumnTypes().size(); ++c)
            values.append(ForServer(rows.value(c), FormatColumnTypes()[c]));
        format[ctl] = values;
    }
    QSqlQuery spacing(local.Connection());
    if (!RunOnServer(local, spacing, u"SELECT Name, CID, Sp FROM 字距 ORDER BY Name, CID, rowid"_s))
        return false;
    // The last row of a field counts, as reading the spacing does.
    std::map<QString, std::map<int, double>> spacings;
    while (spacing.next()) {
        const int cid = spacing.value(1).toInt();
        if (cid >= kFirstField && cid <= kLastField)
            spacings[ServerText(spacing.value(0).toString())][cid] = spacing.value(2).toDouble();
    }

    const QString insert = u"INSERT INTO 参数 ("_s + kFormatColumns +
                           u") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT DO NOTHING"_s;
    for (const auto& [name, format] : formats) {
        if (onServer.contains(name)) {
            ++counts.formatsKept;
            continue;
        }
        for (const auto& [ctl, values] : format)
            if (!server.ExecuteSql(insert, values)) return false;
        if (const auto found = spacings.find(name); found != spacings.end())
            for (const auto& [cid, sp] : found->second)
                if (sp != 0 &&
                    !server.ExecuteSql(u"INSERT INTO 字距 (Name, CID, Sp) VALUES (?,?,?) "
                                       u"ON CONFLICT DO NOTHING"_s,
                                       {name, cid, sp}))
                    return false;
        ++counts.formats;
    }
    return true;
}

// What a voucher holds, as one text: its fields and texts in field order, as the server
// computes it for its own vouchers.
QByteArray Fingerprint(const FieldTexts& texts) {
    QStringList parts;
    for (int i = kFirstField; i <= kLastField; ++i)
        if (!texts[i].isNull()) parts.append(QString::number(i) + u':' + ServerText(texts[i]));
    return QCryptographicHash::hash(parts.join(QChar(0x1f)).toUtf8(), QCryptographicHash::Md5)
        .toHex();
}

// The server's vouchers: the key of each and what it holds.
class ServerVouchers {
public:
    bool Read(Database& db) {
        QSqlQuery q(db.Connection());
        if (!RunOnServer(
                db, q,
                u"SELECT Dat, md5(string_agg(Ctl::text || ':' || Con, chr(31) ORDER BY Ctl)) "
                u"FROM 记录 GROUP BY Dat"_s))
            return false;
        while (q.next())
            if (const auto key = KeyOfDat(q.value(0).toString())) {
                const QByteArray print = q.value(1).toString().toLatin1();
                held_.insert(*key, print);
                byPrint_[print].insert(*key);
            }
        return true;
    }

    // True when the voucher was copied before: under its own key, or (moved then) under a
    // later key with the same texts that no other voucher of the file has claimed.
    bool CopiedBefore(RecordKey key, const QByteArray& print) {
        const auto found = held_.constFind(key);
        if (found != held_.cend() && *found == print && !claimed_.contains(key)) {
            claimed_.insert(key);
            return true;
        }
        const auto same = byPrint_.constFind(print);
        if (same == byPrint_.cend()) return false;
        for (auto it = same->upper_bound(key); it != same->end(); ++it)
            if (!claimed_.contains(*it)) {
                claimed_.insert(*it);
                return true;
            }
        return false;
    }

    bool Holds(RecordKey key) const { return held_.contains(key); }
    // Takes the key for a copied voucher: its own, or the next free second after it.
    RecordKey Take(RecordKey key, bool* moved) {
        *moved = false;
        while (held_.contains(key) || key == KeyOfTime(CurrentTextDate())) {
            ++key;
            *moved = true;
        }
        held_.insert(key, {});
        return key;
    }
    // Another clerk stored under this key meanwhile.
    void Hold(RecordKey key) { held_.insert(key, {}); }
    // A key taken for a write that was stepped back from.
    void Release(RecordKey key) { held_.remove(key); }

private:
    QHash<RecordKey, QByteArray> held_;
    QHash<QByteArray, std::set<RecordKey>> byPrint_;
    QSet<RecordKey> claimed_;
};

struct Pending {
    RecordKey key;  // in the file
    FieldTexts texts;
};

// Writes one page of vouchers under free keys; when another clerk took one of them meanwhile,
// the page is written again with those keys held.
bool WritePage(Database& server, ServerVouchers& vouchers, PartyUpdates& parties,
               const QList<Pending>& page, CopyCounts& counts) {
    for (int attempt = 0; attempt < kPageTries; ++attempt) {
        QSqlQuery savepoint(server.Connection());
        if (!RunOnServer(server, savepoint, u"SAVEPOINT tf_copy"_s)) return false;
        RecordRows rows;
        QList<QPair<QString, const FieldTexts*>> stored;
        QList<RecordKey> taken;
        qint64 moved = 0;
        for (const Pending& p : page) {
            bool wasMoved = false;
            taken.append(vouchers.Take(p.key, &wasMoved));
            const QString dat = DatOfKey(taken.last());
            moved += wasMoved ? 1 : 0;
            for (int i = kFirstField; i <= kLastField; ++i)
                if (!p.texts[i].isNull()) rows.Add(dat, i, p.texts[i]);
            stored.append({dat, &p.texts});
        }
        QSqlError error;
        if (rows.Insert(server, &error)) {
            for (const auto& [dat, texts] : stored) parties.Add(dat, *texts);
            counts.records += page.size();
            counts.moved += moved;
            return true;
        }
        if (!IsUniqueViolation(error) ||
            !RunOnServer(server, savepoint, u"ROLLBACK TO SAVEPOINT tf_copy"_s))
            return false;
        // Which of the keys tried are held now, by others.
        QStringList dats;
        for (const auto& s : stored) dats.append(s.first);
        QSqlQuery held(server.Connection());
        if (!RunOnServer(server, held, u"SELECT Dat FROM 凭证 WHERE Dat = ANY(?::text[])"_s,
                         {ServerTextArray(dats)}))
            return false;
        // Keys of this page not held by others are free again for the next try.
        for (const RecordKey key : taken) vouchers.Release(key);
        while (held.next())
            if (const auto key = KeyOfDat(held.value(0).toString())) vouchers.Hold(*key);
    }
    return false;
}

}  // namespace

std::optional<CopyCounts> CopyLocalToServer(const AppContext& ctx, RecordStore& localRecords,
                                            QString* failure) {
    const AppContext localCtx = LocalFileContext(ctx);
    Database local(localCtx, Database::Reports::ToCaller);
    Database server(ctx, Database::Reports::ToCaller);
    const auto fail = [&](bool serverSide) -> std::optional<CopyCounts> {
        server.Rollback();
        if (failure) *failure = serverSide ? server.FailureText() : local.FailureText();
        return std::nullopt;
    };
    if (!server.IsServer()) return fail(true);
    if (!local.OpenDatabase()) return fail(false);

    CopyCounts counts;
    Progress& progress = ctx.ProgressDisplay();
    // The whole copy is one transaction; copies (which write midnights, as imports do) follow
    // one another.
    if (!server.Begin() || !TakeServerLock(server, ServerLock::Midnights)) return fail(true);
    if (!CopyFormats(local, server, counts)) return fail(server.LastFailure() != DbFailure::None);

    const std::optional<QList<RecordKey>> keys = localRecords.ListKeys();
    if (!keys) {
        server.Rollback();
        if (failure) *failure = localRecords.FailureText();
        return std::nullopt;
    }
    ServerVouchers vouchers;
    if (!vouchers.Read(server)) return fail(true);
    PartyUpdates parties(server);
    qint32 position = 0;
    progress.ShowProgress(u"正在把本机数据复制到办公室数据库服务器 …"_s,
                          static_cast<qint32>(keys->size()), position);
    for (qsizetype from = 0; from < keys->size(); from += kPage) {
        const auto page = std::span(*keys).subspan(
            static_cast<size_t>(from), static_cast<size_t>(std::min(kPage, keys->size() - from)));
        const std::optional<QList<Record>> records = localRecords.ReadRecords(page, Fields::All);
        if (!records) {
            progress.CloseProgress();
            server.Rollback();
            if (failure) *failure = localRecords.FailureText();
            return std::nullopt;
        }
        QList<Pending> pending;
        for (const Record& r : *records) {
            if (vouchers.CopiedBefore(r.key, Fingerprint(r.texts)))
                ++counts.alreadyThere;
            else
                pending.append({r.key, r.texts});
        }
        if (!WritePage(server, vouchers, parties, pending, counts)) {
            progress.CloseProgress();
            return fail(true);
        }
        progress.StepProgress(static_cast<qint32>(page.size()), {});
    }
    progress.CloseProgress();
    if (!parties.Write() || !server.Commit()) return fail(true);
    return counts;
}

QString CopyReport(const CopyCounts& c) {
    QString text = u"复制完成。\n格式：复制了 %1 个"_s.arg(c.formats);
    if (c.formatsKept > 0)
        text += u"，服务器上已有同名格式的 %1 个保持服务器上的样子"_s.arg(c.formatsKept);
    text += u"。\n打印记录：复制了 %1 条"_s.arg(c.records);
    if (c.moved > 0)
        text += u"，其中 %1 条因服务器上已有同一时间的其他记录，改用了其后最近的空闲时间"_s.arg(
            c.moved);
    text += u"。"_s;
    if (c.alreadyThere > 0)
        text += u"\n已在服务器上的 %1 条（以前复制过的）没有重复复制。"_s.arg(c.alreadyThere);
    return text;
}

bool CopyLocalDataToServer(const AppContext& ctx, RecordStore& localRecords) {
    Database server(ctx, Database::Reports::ToCaller);
    if (!server.IsServer()) {
        ctx.UserPrompt().Message(
            u"现在使用的是本机数据文件。请先在“数据库设置”中选择办公室数据库"
            u"服务器，再复制本机数据。"_s);
        return false;
    }
    const QString file = QFileInfo(ctx.DatabasePath()).absoluteFilePath();
    if (!ctx.UserPrompt().AskYesNo(u"把本机数据文件“%1”中的格式、字符间距和打印记录复制到办公室"
                                   u"数据库服务器“%2”？"_s.arg(file, server.Shown())))
        return false;
    QString failure;
    const std::optional<CopyCounts> counts = CopyLocalToServer(ctx, localRecords, &failure);
    if (!counts) {
        ctx.UserPrompt().Message(u"本机数据没有复制到服务器，服务器上的数据保持原样。\n"_s +
                                 failure);
        return false;
    }
    ctx.UserPrompt().Message(CopyReport(*counts));
    return true;
}

}  // namespace tf::store
