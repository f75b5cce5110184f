#include "platform/webengine/localscheme.h"

#include "platform/localsite.h"

#include <QBuffer>
#include <QFile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace webengine {

void registerLocalScheme()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QWebEngineUrlScheme scheme(platform::kLocalScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme
                    | QWebEngineUrlScheme::LocalAccessAllowed | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

LocalSchemeHandler::LocalSchemeHandler(QObject *parent) : QWebEngineUrlSchemeHandler(parent) {}

void LocalSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const int id = ++m_next;
    m_jobs.insert(id, job);
    connect(job, &QObject::destroyed, this, [this, id] { m_jobs.remove(id); });
    const QUrl url = job->requestUrl();
    if (url.path() != QLatin1String(platform::kLocalPostPath)) {
        Q_EMIT request(id, url, job->requestMethod(), QByteArray(), QByteArray());
        return;
    }
    // A form's POST: its target, body and type ride in the address.
    QUrl target;
    QByteArray type, body;
    for (const QByteArray &item : url.query(QUrl::FullyEncoded).toLatin1().split('&')) {
        const qsizetype eq = item.indexOf('=');
        const QByteArray key = item.left(eq);
        const QByteArray value = QByteArray::fromPercentEncoding(item.mid(eq + 1));
        if (key == "to")
            target = QUrl::fromEncoded(value);
        else if (key == "type")
            type = value;
        else if (key == "body")
            body = value;
    }
    if (target.scheme() != url.scheme() || target.host() != url.host()) {
        m_jobs.remove(id);
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    Q_EMIT request(id, target, "POST", type, body);
}

void LocalSchemeHandler::answer(int id, const QVariantMap &response)
{
    QWebEngineUrlRequestJob *job = m_jobs.take(id).data();
    if (!job)
        return;
    if (response.contains(QStringLiteral("redirect"))) {
        job->redirect(response.value(QStringLiteral("redirect")).toUrl());
        return;
    }
    const QByteArray mime = response.value(QStringLiteral("mime")).toByteArray();
    if (response.contains(QStringLiteral("file"))) {
        auto *file = new QFile(response.value(QStringLiteral("file")).toString(), job);
        if (!file->open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        job->reply(mime, file);
        return;
    }
    if (mime.isEmpty()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto *buffer = new QBuffer(job);
    buffer->setData(response.value(QStringLiteral("body")).toByteArray());
    buffer->open(QIODevice::ReadOnly);
    job->reply(mime, buffer);
}

QWebEngineScript formScript()
{
    static const char source[] = R"JS(
(function () {
  var SCHEME = '%SCHEME%:', POST = '%POST%';
  function actionOf(form, submitter) {
    var a = submitter && submitter.hasAttribute('formaction') ? submitter.formAction : form.action;
    var u = new URL(a, document.baseURI);
    if (u.protocol === SCHEME && u.pathname === POST) {
      var to = u.searchParams.get('to');
      if (to) u = new URL(to);
    }
    return u;
  }
  function attr(submitter, form, name, fallback) {
    var v = submitter && submitter.getAttribute('form' + name);
    return (v || form.getAttribute(name) || fallback).toLowerCase();
  }
  document.addEventListener('submit', function (e) {
    var form = e.target;
    if (e.defaultPrevented || !(form instanceof HTMLFormElement)) return;
    var submitter = e.submitter || null;
    var u = actionOf(form, submitter);
    if (u.protocol !== SCHEME) return;
    e.preventDefault();
    var pairs = [];
    new FormData(form).forEach(function (v, k) { pairs.push([k, typeof v === 'string' ? v : v.name]); });
    if (submitter && submitter.name) pairs.push([submitter.name, submitter.value]);
    var target;
    if (attr(submitter, form, 'method', 'get') === 'post') {
      var type = attr(submitter, form, 'enctype', 'application/x-www-form-urlencoded'), body;
      if (type === 'multipart/form-data') {
        var b = '----QuilletFormBoundary' + Math.random().toString(16).slice(2);
        body = pairs.map(function (p) {
          return '--' + b + '\r\nContent-Disposition: form-data; name="' + p[0] + '"\r\n\r\n' + p[1] + '\r\n';
        }).join('') + '--' + b + '--\r\n';
        type = type + '; boundary=' + b;
      } else if (type === 'text/plain') {
        body = pairs.map(function (p) { return p[0] + '=' + p[1] + '\r\n'; }).join('');
      } else {
        type = 'application/x-www-form-urlencoded';
        body = new URLSearchParams(pairs).toString();
      }
      target = u.protocol + '//' + u.host + POST + '?to=' + encodeURIComponent(u.href) +
               '&type=' + encodeURIComponent(type) + '&body=' + encodeURIComponent(body);
    } else {
      u.search = '?' + new URLSearchParams(pairs).toString();
      u.hash = '';
      target = u.href;
    }
    window.location.href = target;
  }, false);
})();
)JS";
    QString code = QString::fromLatin1(source);
    code.replace(QLatin1String("%SCHEME%"), QLatin1String(platform::kLocalScheme));
    code.replace(QLatin1String("%POST%"), QLatin1String(platform::kLocalPostPath));
    QWebEngineScript script;
    script.setName(QStringLiteral("quillet-forms"));
    script.setSourceCode(code);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    return script;
}

} // namespace webengine
