#include "cgi/connections.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace cgi {

Connections::Connections(QObject *server) : QObject(server), m_server(server)
{
    m_clock = new QTimer(this);
    connect(m_clock, &QTimer::timeout, this, &Connections::tick);
    setLimits(m_limits);
}

void Connections::setLimits(const ConnectionLimits &limits)
{
    m_limits = limits;
    m_clock->setInterval(std::clamp(std::min(limits.requestMs, limits.idleMs) / 4, 20, 1000));
}

bool Connections::adopt(QTcpSocket *socket)
{
    if (m_peers.size() >= m_limits.connections) {
        // The connection that has waited longest for nothing makes room.
        QTcpSocket *oldest = nullptr;
        qint64 longest = -1;
        for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it) {
            if (!it->busy && it->since.elapsed() > longest) {
                longest = it->since.elapsed();
                oldest = it.key();
            }
        }
        if (!oldest)
            return false;
        forget(oldest);
        oldest->abort();
    }
    Peer &peer = m_peers[socket];
    peer.since.start();
    // Connected before the server's own handler, so that the bytes are
    // counted before the server reads them.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readyRead(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
    if (!m_clock->isActive())
        m_clock->start();
    return true;
}

void Connections::readyRead(QTcpSocket *socket)
{
    const auto it = m_peers.find(socket);
    if (it == m_peers.end())
        return;
    // The server reads all that has come each time; what is there now is
    // new (or, after a whole request, the start of the next one).
    const qint64 more = socket->bytesAvailable();
    if (more <= 0)
        return;
    if (it->received == 0 && !it->busy)
        it->since.restart();
    it->received += more;
    m_pending += more;
    if (it->received > m_limits.requestBytes)
        refuse(socket, "413 Content Too Large", "The request is larger than this server takes.");
    else if (m_pending > m_limits.pendingBytes)
        refuse(socket, "503 Service Unavailable", "The server is receiving too much at once.");
}

void Connections::refuse(QTcpSocket *socket, const QByteArray &status, const QByteArray &text)
{
    forget(socket);
    // The server reads no more of it; what still comes is dropped.
    QObject::disconnect(socket, &QTcpSocket::readyRead, m_server, nullptr);
    QObject::disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->skip(socket->bytesAvailable());
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->skip(socket->bytesAvailable()); });
    // A request cut short has no responder: the answer is written here.
    const QByteArray page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + status.mid(4)
        + "</title></head><body><h1>" + status.mid(4) + "</h1>\n" + text + "\n</body></html>\n";
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
                  + QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
    socket->disconnectFromHost();
    // A client that reads nothing back is not waited for.
    QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
}

void Connections::forget(QTcpSocket *socket)
{
    const auto it = m_peers.find(socket);
    if (it == m_peers.end())
        return;
    m_pending -= it->received;
    m_peers.erase(it);
    if (m_peers.isEmpty())
        m_clock->stop();
}

void Connections::arrived(QTcpSocket *socket, std::function<void()> handle)
{
    const auto it = m_peers.find(socket);
    if (it == m_peers.end()) {
        handle();
        return;
    }
    // Its bytes are the request's now, no longer the connection's.
    m_pending -= it->received;
    it->received = 0;
    if (it->busy) {
        it->waiting << std::move(handle);
        return;
    }
    it->busy = true;
    handle();
}

void Connections::answered(QTcpSocket *socket)
{
    const auto it = m_peers.find(socket);
    if (it == m_peers.end())
        return;
    it->since.restart();
    if (it->waiting.isEmpty()) {
        it->busy = false;
        return;
    }
    // The next request on the connection; it may be answered at once,
    // which calls here again.
    const std::function<void()> next = it->waiting.takeFirst();
    next();
}

void Connections::tick()
{
    QList<QTcpSocket *> slow, idle;
    for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it) {
        if (it->busy)
            continue;
        if (it->received > 0 && it->since.elapsed() > m_limits.requestMs)
            slow << it.key();
        else if (it->received == 0 && it->since.elapsed() > m_limits.idleMs)
            idle << it.key();
    }
    for (QTcpSocket *socket : std::as_const(slow))
        refuse(socket, "408 Request Timeout", "The request was not sent in time.");
    for (QTcpSocket *socket : std::as_const(idle)) {
        forget(socket);
        socket->disconnectFromHost();
    }
}

void GuardedListener::incomingConnection(qintptr handle)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle) || !m_connections->adopt(socket)) {
        socket->abort();
        delete socket;
        return;
    }
    addPendingConnection(socket);
}

} // namespace cgi
