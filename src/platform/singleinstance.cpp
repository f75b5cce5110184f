#include "platform/singleinstance.h"

#include "storage/fileprobe.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTimer>

#include <fcntl.h>
#include <pwd.h>
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

// Any absolute name the system could hold, valid UTF-8 or not: the
// running editor refuses a name it can't write back with a message of
// its own.
bool isPath(const QByteArray &bytes)
{
    return bytes.startsWith('/') && bytes.size() < kMaxMessage && !bytes.contains('\0');
}

// Whether path is a folder of this user's alone: a real folder (never
// followed through a link), owned by this user. One of the user's own that
// others may enter is made private, as Qt does with the runtime folder.
bool isPrivateFolder(const QByteArray &path, bool make)
{
    if (make)
        ::mkdir(path.constData(), 0700);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & 077) != 0)
        ok = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ok;
}

// The editor's folder in the user's runtime folder: $XDG_RUNTIME_DIR when
// it is the user's own, else the private fallback Qt uses too,
// <temp>/runtime-<user>. Empty when neither can be had safely.
QString runtimeFolder()
{
    QStringList bases;
    const QByteArray fromEnvironment = qgetenv("XDG_RUNTIME_DIR");
    if (fromEnvironment.startsWith('/'))
        bases << QFile::decodeName(fromEnvironment);
    QString user = QString::number(::geteuid());
    if (const passwd *entry = ::getpwuid(::geteuid()))
        user = QFile::decodeName(entry->pw_name);
    bases << QDir::tempPath() + QStringLiteral("/runtime-") + user;
    for (int i = 0; i < bases.size(); ++i) {
        const QByteArray base = QFile::encodeName(bases[i]);
        const QByteArray folder = base + "/quillet-lite";
        // Only the fallback is made: a runtime folder is the session's.
        if (isPrivateFolder(base, i == bases.size() - 1) && isPrivateFolder(folder, true))
            return QFile::decodeName(folder);
    }
    return QString();
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
    const QString folder = runtimeFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

bool SingleInstance::handOver(const QString &absolutePath)
{
    const QByteArray bytes = storage::encodeFileName(absolutePath);
    if (!isPath(bytes))
        return false;
    const QString path = socketPath();
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
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
    if (path.isEmpty())
        return false;
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
    const QString path = storage::decodeFileName(bytes);
    // The start is answered before the file opens.
    QTimer::singleShot(0, this, [this, path] { Q_EMIT openRequested(path); });
}

} // namespace platform
