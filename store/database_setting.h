#pragma once

#include <QString>

#include "common/app_context.h"

// Which database the program uses: the local file Par.mdb (the default) or an office database
// server, as the clerk chose it in "数据库设置" (kept in Tallyform.ini, section Database) or as
// the environment variable TALLYFORM_DATABASE names it (a libpq connection URI; deployment and
// tests). No password is ever kept: the server's password comes from libpq's password file
// ~/.pgpass, the environment, or the clerk for one run.

namespace tf::store {

struct DatabaseSetting {
    bool server = false;  // "办公室数据库服务器"; false: "本机数据文件"
    QString host;         // a host name, an address, or a socket folder beginning with "/"
    QString port;
    QString name;  // the database
    QString user;
    friend bool operator==(const DatabaseSetting&, const DatabaseSetting&) = default;
};

DatabaseSetting ReadDatabaseSetting(const AppContext& ctx);
// True when the setting reached Tallyform.ini.
bool WriteDatabaseSetting(const AppContext& ctx, const DatabaseSetting& setting);

// The server's connection URI chosen for a run: $TALLYFORM_DATABASE when set, else the setting's
// server when one is chosen; empty for the local file.
QString ChosenServerUri(const AppContext& ctx);

// Points the context at the chosen database, for the rest of the run (at start, and when the
// clerk changed the setting); a password typed for another server is forgotten.
void ApplyDatabaseChoice(const AppContext& ctx);

// Asks whether to go on with the local file for the rest of the run (after the server could
// not be used); on Yes the context uses the local file from now on. True when switched.
bool OfferLocalFile(const AppContext& ctx);

// The same surroundings with the local file Par.mdb as the database, whatever the choice.
AppContext LocalFileContext(const AppContext& ctx);

// At start, with a server chosen: opens it, asking for the password when the server wants one
// the environment and ~/.pgpass do not give; when it cannot be used the clerk is told why and
// offered the local file. True when connected to the server; false when it could not be used,
// whether the clerk went on with the local file or kept the server chosen.
bool ConnectAtStart(const AppContext& ctx);

// The database in use, as the status line shows it.
QString DatabaseDescription(const AppContext& ctx);

}  // namespace tf::store
