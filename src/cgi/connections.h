#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <functional>

class QTcpSocket;
class QTimer;

namespace cgi {

// What the web server allows one client, and all of them together.
struct ConnectionLimits
{
    qint64 requestBytes = 64ll * 1024 * 1024;  // one request: its line, headers and body
    qint64 pendingBytes = 256ll * 1024 * 1024; // every request being received at once
    int connections = 64;                      // open at once
    int requestMs = 60000; // to send a whole request once it has begun
    int idleMs = 60000;    // a kept-alive connection with nothing to do
};

// Keeps the server's connections within bounds, since any program on this
// machine may connect: Qt HttpServer reads each request whole into memory
// and keeps every connection open for as long as its client likes, so a
// client could fill the editor's memory or use up its file descriptors.
// A request larger than the limit is answered 413 and its connection
// closed; one sent too slowly, 408; a connection past the limit closes
// the one that has waited longest for nothing.
//
// It also keeps HTTP/1.1's order: a request that comes on a connection
// while the one before it waits for a script is handled once that one has
// been answered.
class Connections : public QObject
{
    Q_OBJECT
public:
    // server: the receiver of the sockets' signals that reads the requests.
    explicit Connections(QObject *server);

    void setLimits(const ConnectionLimits &limits);
    int count() const { return int(m_peers.size()); }

    // Takes a new connection, before the server reads from it; false when
    // it is refused (every connection is waiting for an answer).
    bool adopt(QTcpSocket *socket);
    // A whole request has come on the socket: handle runs now, or once the
    // requests before it on the same connection have been answered.
    void arrived(QTcpSocket *socket, std::function<void()> handle);
    // The request being handled on the socket has been answered.
    void answered(QTcpSocket *socket);

private:
    struct Peer
    {
        qint64 received = 0;  // bytes of the request being received
        QElapsedTimer since;  // since it began, or since the last answer
        bool busy = false;    // a request handed on and not yet answered
        QList<std::function<void()>> waiting;
    };

    void readyRead(QTcpSocket *socket);
    void refuse(QTcpSocket *socket, const QByteArray &status, const QByteArray &text);
    void forget(QTcpSocket *socket);
    void tick();

    QObject *m_server;
    ConnectionLimits m_limits;
    QHash<QTcpSocket *, Peer> m_peers;
    qint64 m_pending = 0; // the sum of the peers' received bytes
    QTimer *m_clock = nullptr;
};

// A listening socket whose connections are adopted by Connections before
// the server sees them.
class GuardedListener : public QTcpServer
{
    Q_OBJECT
public:
    GuardedListener(Connections *connections, QObject *parent) : QTcpServer(parent), m_connections(connections) {}

protected:
    void incomingConnection(qintptr handle) override;

private:
    Connections *m_connections;
};

} // namespace cgi
