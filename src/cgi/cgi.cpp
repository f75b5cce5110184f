#include "cgi/cgi.h"

#include <QDateTime>
#include <QFileInfo>

#include <cstring>

namespace cgi {

QString CgiScript::scriptName() const
{
    if (!urlPath.isEmpty())
        return urlPath;
    return QLatin1Char('/') + QFileInfo(filePath.isEmpty() ? name : filePath).fileName();
}

QProcessEnvironment cgiEnvironment(const CgiRequest &request, const CgiScript &script,
                                   const QProcessEnvironment &base)
{
    static const char *const serverOnly[] = {
        "GATEWAY_INTERFACE", "SERVER_PROTOCOL", "SERVER_SOFTWARE", "SERVER_NAME", "SERVER_PORT",
        "SERVER_ADDR", "REQUEST_METHOD", "REQUEST_URI", "QUERY_STRING", "CONTENT_TYPE",
        "CONTENT_LENGTH", "SCRIPT_NAME", "SCRIPT_FILENAME", "DOCUMENT_ROOT", "PATH_INFO",
        "PATH_TRANSLATED", "REMOTE_ADDR", "REMOTE_HOST", "REMOTE_PORT", "REMOTE_USER",
        "REMOTE_IDENT", "AUTH_TYPE", "HTTPS", "REDIRECT_STATUS", "REQUEST_SCHEME"};
    QProcessEnvironment env = base;
    for (const QString &key : base.keys()) {
        if (key.startsWith(QLatin1String("HTTP_")))
            env.remove(key);
    }
    for (const char *key : serverOnly)
        env.remove(QString::fromLatin1(key));

    const QString scriptName = script.scriptName();
    env.insert(QStringLiteral("GATEWAY_INTERFACE"), QStringLiteral("CGI/1.1"));
    env.insert(QStringLiteral("SERVER_PROTOCOL"), QStringLiteral("HTTP/1.1"));
    env.insert(QStringLiteral("SERVER_SOFTWARE"), QStringLiteral("Quillet-Lite/" QUILLET_VERSION));
    env.insert(QStringLiteral("SERVER_NAME"), request.serverName);
    env.insert(QStringLiteral("SERVER_ADDR"), request.serverName);
    env.insert(QStringLiteral("SERVER_PORT"), QString::number(request.serverPort));
    env.insert(QStringLiteral("REQUEST_SCHEME"), QStringLiteral("http"));
    env.insert(QStringLiteral("REQUEST_METHOD"), QString::fromLatin1(request.method));
    env.insert(QStringLiteral("QUERY_STRING"), QString::fromLatin1(request.query));
    env.insert(QStringLiteral("REQUEST_URI"),
               request.requestUri.isEmpty()
                   ? scriptName + (request.query.isEmpty() ? QString() : QLatin1Char('?') + QString::fromLatin1(request.query))
                   : QString::fromLatin1(request.requestUri));
    if (!request.body.isEmpty() || request.method == "POST" || request.method == "PUT") {
        env.insert(QStringLiteral("CONTENT_TYPE"),
                   request.contentType.isEmpty() ? QStringLiteral("application/x-www-form-urlencoded")
                                                 : QString::fromLatin1(request.contentType));
        env.insert(QStringLiteral("CONTENT_LENGTH"), QString::number(request.body.size()));
    }
    env.insert(QStringLiteral("SCRIPT_NAME"), scriptName);
    env.insert(QStringLiteral("SCRIPT_FILENAME"), script.filePath.isEmpty() ? script.name : script.filePath);
    env.insert(QStringLiteral("DOCUMENT_ROOT"), script.folder);
    if (!request.pathInfo.isEmpty()) {
        env.insert(QStringLiteral("PATH_INFO"), request.pathInfo);
        env.insert(QStringLiteral("PATH_TRANSLATED"), script.folder + request.pathInfo);
    }
    env.insert(QStringLiteral("REMOTE_ADDR"), request.remoteAddress);
    bool host = false, agent = false;
    for (const auto &h : request.headers) {
        const QByteArray key = h.first.toLower();
        // The body's fields have their own variables; credentials are not
        // handed on; a "Proxy" header must never become HTTP_PROXY.
        if (key == "content-type" || key == "content-length" || key == "cookie" || key == "authorization"
            || key == "proxy-authorization" || key == "proxy")
            continue;
        QByteArray name = "HTTP_" + h.first.toUpper();
        name.replace('-', '_');
        const QString var = QString::fromLatin1(name);
        const QString value = QString::fromLatin1(h.second);
        // Repeated headers are joined, as a server does.
        env.insert(var, env.contains(var) ? env.value(var) + QStringLiteral(", ") + value : value);
        host = host || key == "host";
        agent = agent || key == "user-agent";
    }
    if (!host)
        env.insert(QStringLiteral("HTTP_HOST"), request.serverName + QLatin1Char(':') + QString::number(request.serverPort));
    if (!agent)
        env.insert(QStringLiteral("HTTP_USER_AGENT"), QStringLiteral("Quillet Lite"));
    if (!request.cookies.isEmpty())
        env.insert(QStringLiteral("HTTP_COOKIE"), QString::fromLatin1(request.cookies));
    return env;
}

namespace {

bool isToken(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c));
        if (!ok)
            return false;
    }
    return true;
}

QString shown(const QByteArray &line)
{
    QString s = QString::fromUtf8(line.left(200));
    if (line.size() > 200)
        s += QStringLiteral("...");
    return s;
}

} // namespace

CgiResponse parseCgiOutput(const QByteArray &output)
{
    CgiResponse r;
    qsizetype pos = 0;
    bool ended = false;
    while (pos < output.size()) {
        qsizetype nl = output.indexOf('\n', pos);
        if (nl < 0) {
            // Output ends inside the headers.
            break;
        }
        QByteArray line = output.mid(pos, nl - pos);
        pos = nl + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty()) {
            ended = true;
            break;
        }
        if ((line.at(0) == ' ' || line.at(0) == '\t') && !r.headers.isEmpty()) {
            // A folded header goes on.
            r.headers.last().second += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = colon > 0 ? line.left(colon) : QByteArray();
        if (!isToken(name)) {
            r.headerError = QStringLiteral("Bad header: ") + shown(line);
            return r;
        }
        r.headers.append({name, line.mid(colon + 1).trimmed()});
    }
    if (!ended) {
        r.headerError = r.headers.isEmpty() && output.trimmed().isEmpty()
            ? QStringLiteral("end of script output before headers")
            : QStringLiteral("no blank line after the headers");
        return r;
    }
    r.body = output.mid(pos);
    bool hasStatus = false;
    for (auto &h : r.headers) {
        const QByteArray key = h.first.toLower();
        if (key == "content-type") {
            r.contentType = h.second;
        } else if (key == "location") {
            r.location = h.second;
        } else if (key == "set-cookie") {
            r.setCookies << h.second;
        } else if (key == "status") {
            const QByteArray v = h.second;
            const qsizetype sp = v.indexOf(' ');
            bool ok = false;
            const int code = v.left(sp < 0 ? v.size() : sp).toInt(&ok);
            if (!ok || code < 100 || code > 999) {
                r.headerError = QStringLiteral("Bad Status header: ") + shown(v);
                return r;
            }
            r.status = code;
            r.reason = sp < 0 ? QByteArray() : v.mid(sp + 1).trimmed();
            hasStatus = true;
        }
    }
    if (!r.location.isEmpty() && !hasStatus) {
        r.status = 302;
        r.reason = "Found";
    }
    if (r.contentType.isEmpty() && r.location.isEmpty() && r.status != 204 && r.status != 304)
        r.headerError = QStringLiteral("no Content-Type header");
    return r;
}

void CookieJar::store(const QByteArray &setCookie)
{
    const QList<QByteArray> parts = setCookie.split(';');
    const QByteArray pair = parts.value(0).trimmed();
    const qsizetype eq = pair.indexOf('=');
    if (eq <= 0)
        return;
    const QByteArray name = pair.left(eq).trimmed();
    const QByteArray value = pair.mid(eq + 1).trimmed();
    bool expired = false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray attr = parts.at(i).trimmed();
        const qsizetype aeq = attr.indexOf('=');
        const QByteArray key = attr.left(aeq < 0 ? attr.size() : aeq).trimmed().toLower();
        const QByteArray v = aeq < 0 ? QByteArray() : attr.mid(aeq + 1).trimmed();
        if (key == "max-age") {
            bool ok = false;
            const qlonglong age = v.toLongLong(&ok);
            if (ok && age <= 0)
                expired = true;
        } else if (key == "expires") {
            QDateTime when = QDateTime::fromString(QString::fromLatin1(v), Qt::RFC2822Date);
            if (!when.isValid())
                when = QDateTime::fromString(QString::fromLatin1(v).replace(QLatin1Char('-'), QLatin1Char(' ')),
                                             Qt::RFC2822Date);
            if (when.isValid() && when < QDateTime::currentDateTimeUtc())
                expired = true;
        }
    }
    if (expired)
        m_cookies.remove(name);
    else
        m_cookies.insert(name, value);
}

QByteArray CookieJar::header(const QByteArray &given) const
{
    QList<QByteArray> out;
    for (const QByteArray &part : given.split(';')) {
        const QByteArray p = part.trimmed();
        if (p.isEmpty())
            continue;
        const qsizetype eq = p.indexOf('=');
        if (m_cookies.contains(p.left(eq < 0 ? p.size() : eq).trimmed()))
            continue;
        out << p;
    }
    for (auto it = m_cookies.constBegin(); it != m_cookies.constEnd(); ++it)
        out << it.key() + '=' + it.value();
    return out.join("; ");
}

} // namespace cgi
