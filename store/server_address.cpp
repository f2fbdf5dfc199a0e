#include "store/server_address.h"

#include <libpq-fe.h>

#include <QUrl>

using namespace Qt::StringLiterals;

namespace tf::store {

namespace {

// A value of a libpq connection string: quoted, with quote and backslash escaped.
QString ConnValue(QString value) {
    value.replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s);
    return u'\'' + value + u'\'';
}

QString Encoded(const QString& part) {
    return QString::fromLatin1(QUrl::toPercentEncoding(part));
}

}  // namespace

QString ServerAddress::Param(const QString& keyword) const {
    for (const auto& [key, value] : params)
        if (key == keyword) return value;
    return {};
}

QString ServerAddress::ConnInfo(const QString& password,
                                const QList<QPair<QString, QString>>& replace) const {
    QStringList parts;
    const auto add = [&parts](const QString& key, const QString& value) {
        parts.append(key + u'=' + ConnValue(value));
    };
    for (const auto& [key, value] : params) {
        if (key == u"password" && !password.isEmpty()) continue;
        bool replaced = false;
        for (const auto& r : replace) replaced = replaced || r.first == key;
        if (!replaced) add(key, value);
    }
    if (!password.isEmpty()) add(u"password"_s, password);
    for (const auto& [key, value] : replace) add(key, value);
    return parts.join(u' ');
}

QString ServerAddress::Shown() const {
    QString shown;
    if (const QString user = Param(u"user"_s); !user.isEmpty()) shown += user + u'@';
    shown += Param(u"host"_s).isEmpty() ? Param(u"hostaddr"_s) : Param(u"host"_s);
    if (const QString port = Param(u"port"_s); !port.isEmpty()) shown += u':' + port;
    shown += u'/' + Param(u"dbname"_s);
    return shown;
}

std::optional<ServerAddress> ParseServerUri(const QString& uri, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<ServerAddress> {
        if (error)
            *error = u"数据库服务器地址“%1”不对，程序无法使用它。"_s.arg(uri) +
                     (why.isEmpty() ? QString() : u"\n"_s + why);
        return std::nullopt;
    };
    const QString trimmed = uri.trimmed();
    if (!trimmed.startsWith(u"postgresql://") && !trimmed.startsWith(u"postgres://"))
        return fail(
            u"地址应以 postgresql:// 开头，例如 postgresql://用户名@服务器:5432/数据库名"_s);
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(trimmed.toUtf8().constData(), &message);
    if (!options) {
        const QString why = message ? QString::fromUtf8(message).trimmed() : QString();
        PQfreemem(message);
        return fail(why);
    }
    ServerAddress address;
    address.uri = trimmed;
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val)
            address.params.append({QString::fromUtf8(o->keyword), QString::fromUtf8(o->val)});
    PQconninfoFree(options);
    return address;
}

QString ServerUri(const QString& server, const QString& port, const QString& database,
                  const QString& user) {
    QString uri = u"postgresql://"_s;
    if (!user.trimmed().isEmpty()) uri += Encoded(user.trimmed()) + u'@';
    const QString host = server.trimmed();
    // A socket folder goes into the parameters, where its slashes need no escaping.
    const bool socket = host.startsWith(u'/');
    if (!socket) {
        // An IPv6 address is written in brackets.
        uri += host.contains(u':') ? u'[' + host + u']' : Encoded(host);
        if (!port.trimmed().isEmpty()) uri += u':' + Encoded(port.trimmed());
    }
    uri += u'/' + Encoded(database.trimmed());
    if (socket) {
        uri += u"?host="_s + Encoded(host);
        if (!port.trimmed().isEmpty()) uri += u"&port="_s + Encoded(port.trimmed());
    }
    return uri;
}

}  // namespace tf::store
