#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The longest path the system takes, with its NUL.
constexpr int kMaxMessage = 4096;
// How long a start waits to reach the running editor, and then for its
// answer; a running editor that takes longer is busy and still holds the
// message.
constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 10000;
// How long the running editor waits for a connected start to speak.
constexpr int kSilenceMs = 5000;

// The display this process shows on, as the platform names it.
QString displayName()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) {
        const QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
        return display.isEmpty() ? QStringLiteral("wayland-0") : QFileInfo(display).fileName();
    }
    if (platform == QLatin1String("xcb")) {
        // ":0" and ":0.1" are screens of one display.
        QString display = qEnvironmentVariable("DISPLAY");
        display.remove(QRegularExpression(QStringLiteral("\\.\\d+$")));
        return display;
    }
    return QString();
}

bool isPath(const QByteArray &bytes)
{
    return bytes.startsWith('/') && bytes.size() < kMaxMessage && !bytes.contains('\0')
        && QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

void drop(QLocalSocket *socket)
{
    socket->abort();
    socket->deleteLater();
}

bool fromThisUser(QLocalSocket *socket)
{
    struct ucred peer = {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
        && peer.uid == ::getuid();
}

} // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent), m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance()
{
    close();
}

QString SingleInstance::socketPath()
{
    QString name = QGuiApplication::platformName() + QLatin1Char('-') + displayName();
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._:-]")), QStringLiteral("_"));
    // A socket's path has little room.
    if (name.size() > 40)
        name = QString::fromLatin1(QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1String("/quillet-lite/")
        + name;
}

bool SingleInstance::handOver(const QString &absolutePath)
{
    const QByteArray bytes = QFile::encodeName(absolutePath);
    if (!isPath(bytes))
        return false;
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    // Nobody listening (or a socket left by an editor that has gone).
    if (!socket.waitForConnected(kConnectMs))
        return false;
    socket.write(bytes + '\0');
    if (!socket.waitForBytesWritten(kConnectMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(kAnswerMs))
            return socket.state() == QLocalSocket::ConnectedState;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kAccepted;
}

bool SingleInstance::listen()
{
    const QString path = socketPath();
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(kConnectMs)) {
            probe.abort();
            return false;
        }
    }
    QLocalServer::removeServer(path);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path))
        return false;
    ::chmod(QFile::encodeName(path).constData(), 0600);
    return true;
}

void SingleInstance::close()
{
    if (m_server->isListening())
        m_server->close();
}

bool SingleInstance::isListening() const
{
    return m_server->isListening();
}

void SingleInstance::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!fromThisUser(socket)) {
            drop(socket);
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { receive(socket); });
        QTimer::singleShot(kSilenceMs, socket, [socket] { drop(socket); });
        if (socket->bytesAvailable() > 0)
            receive(socket);
    }
}

void SingleInstance::receive(QLocalSocket *socket)
{
    const QByteArray data = socket->peek(socket->bytesAvailable());
    const qsizetype end = data.indexOf('\0');
    if (end < 0) {
        if (data.size() >= kMaxMessage)
            drop(socket);
        return;
    }
    const QByteArray bytes = data.left(end);
    // One path per start, and nothing after it.
    if (end + 1 != data.size() || !isPath(bytes)) {
        drop(socket);
        return;
    }
    socket->readAll();
    socket->putChar(kAccepted);
    socket->disconnectFromServer();
    const QString path = QFile::decodeName(bytes);
    // The start is answered before the file opens.
    QTimer::singleShot(0, this, [this, path] { Q_EMIT openRequested(path); });
}

} // namespace platform
