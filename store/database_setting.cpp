#include "store/database_setting.h"

#include <QFileInfo>

#include "common/prompt.h"
#include "store/database.h"
#include "store/server_address.h"
#include "store/server_connection.h"
#include "store/settings.h"

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

QString DatabaseSection() {
    return u"Database"_s;
}

QString Read(const AppContext& ctx, const QString& key) {
    return print::ReadSetting(ctx, print::SettingsApp(), DatabaseSection(), key).trimmed();
}

bool Write(const AppContext& ctx, const QString& key, const QString& value) {
    return print::WriteSetting(ctx, print::SettingsApp(), DatabaseSection(), key, value);
}

// Tries so many passwords at start before telling the clerk the login is refused.
constexpr int kPasswordTries = 3;

}  // namespace

DatabaseSetting ReadDatabaseSetting(const AppContext& ctx) {
    DatabaseSetting s;
    s.server = Read(ctx, u"Kind"_s) == u"server";
    s.host = Read(ctx, u"Server"_s);
    s.port = Read(ctx, u"Port"_s);
    s.name = Read(ctx, u"Name"_s);
    s.user = Read(ctx, u"User"_s);
    return s;
}

bool WriteDatabaseSetting(const AppContext& ctx, const DatabaseSetting& s) {
    return Write(ctx, u"Kind"_s, s.server ? u"server"_s : u"local"_s) &&
           Write(ctx, u"Server"_s, s.host.trimmed()) && Write(ctx, u"Port"_s, s.port.trimmed()) &&
           Write(ctx, u"Name"_s, s.name.trimmed()) && Write(ctx, u"User"_s, s.user.trimmed());
}

QString ChosenServerUri(const AppContext& ctx) {
    const QString fromEnv = qEnvironmentVariable("TALLYFORM_DATABASE").trimmed();
    if (!fromEnv.isEmpty()) return fromEnv;
    const DatabaseSetting s = ReadDatabaseSetting(ctx);
    if (!s.server) return {};
    return ServerUri(s.host, s.port, s.name, s.user);
}

void ApplyDatabaseChoice(const AppContext& ctx) {
    const QString uri = ChosenServerUri(ctx);
    if (uri != ctx.database->serverUri) {
        CloseServerConnections();
        ctx.database->password.clear();
    }
    ctx.database->serverUri = uri;
    ctx.database->localThisRun = false;
    if (ctx.database->changed) ctx.database->changed();
}

bool OfferLocalFile(const AppContext& ctx) {
    if (!ctx.database->UsesServer()) return false;
    const QString path = QFileInfo(ctx.DatabasePath()).absoluteFilePath();
    if (!ctx.UserPrompt().AskYesNo(
            u"是否改用本机数据文件继续本次运行？\n"
            u"本次运行中的格式改动和打印记录将只保存在本机的“%1”中。"_s.arg(path)))
        return false;
    ctx.database->localThisRun = true;
    if (ctx.database->changed) ctx.database->changed();
    return true;
}

AppContext LocalFileContext(const AppContext& ctx) {
    AppContext local = ctx;
    local.database = std::make_shared<DatabaseChoice>();
    local.openRecordStore = nullptr;
    return local;
}

bool ConnectAtStart(const AppContext& ctx) {
    if (!ctx.database->UsesServer()) return false;
    QString error;
    const auto address = ParseServerUri(ctx.database->serverUri, &error);
    if (!address) {
        ctx.UserPrompt().Message(error);
        OfferLocalFile(ctx);
        return false;
    }
    const QString shown = address->Shown();
    for (int asked = 0;; ++asked) {
        Database db(ctx, Database::Reports::ToCaller);
        if (db.OpenDatabase()) return true;
        const DbFailure cause = db.LastFailure();
        const bool wrongPassword = cause == DbFailure::LoginRefused && asked > 0;
        if ((cause == DbFailure::PasswordNeeded || wrongPassword) && asked < kPasswordTries) {
            const QString text =
                (wrongPassword ? u"密码不对，请重新输入。\n"_s : QString()) +
                u"请输入登录办公室数据库服务器“%1”的密码（只用于本次运行，不会保存）："_s.arg(
                    shown);
            const auto password = ctx.UserPrompt().InputPassword(text, u"数据库密码"_s);
            if (password && !password->isEmpty()) {
                ctx.database->password = *password;
                continue;
            }
        }
        // Told once, then the choice: the local file for this run, or nothing to work with.
        db.ReportFailure(db.FailureText());
        return false;
    }
}

QString DatabaseDescription(const AppContext& ctx) {
    if (!ctx.database->UsesServer())
        return u"本机数据文件 %1"_s.arg(QFileInfo(ctx.DatabasePath()).absoluteFilePath());
    const auto address = ParseServerUri(ctx.database->serverUri);
    return u"办公室数据库服务器 %1"_s.arg(address ? address->Shown() : ctx.database->serverUri);
}

}  // namespace tf::store
