#include "platform/webengine/guard.h"

namespace webengine {

bool RequestGuard::allows(const QUrl &url, bool webSocket) const
{
    if (webSocket || m_origin.isEmpty())
        return false;
    // data: and blob: addresses never reach the network.
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("data") || scheme == QLatin1String("blob") || scheme == QLatin1String("about"))
        return true;
    return scheme == m_origin.scheme() && url.host() == m_origin.host() && url.port() == m_origin.port();
}

void RequestGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const bool webSocket = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeWebSocket
        || info.requestUrl().scheme().startsWith(QLatin1String("ws"));
    if (!allows(info.requestUrl(), webSocket))
        info.block(true);
}

} // namespace webengine
