#include "cgi/scriptprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cgi {

namespace {

// Descriptors handed to the keeper are first moved this high, so that
// putting them in place (0-4) never overwrites one not yet placed.
constexpr int kHigh = 100;

int high(int fd)
{
    if (fd < 0)
        return -1;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, kHigh);
    ::close(fd);
    return moved;
}

// An anonymous in-memory file holding the text, positioned at its start;
// -1 when the system has none.
int memoryFile(const QByteArray &text)
{
    const int fd = ::memfd_create("script", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0) {
            ::close(fd);
            return -1;
        }
        done += n;
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Keeps what fits under the limit; the rest is read and dropped, so the
// script is never held up by a full pipe.
void keep(QByteArray &kept, const char *data, qint64 size, qint64 limit, bool &cut)
{
    const qint64 room = limit - kept.size();
    if (size > room)
        cut = true;
    kept.append(data, qsizetype(std::clamp<qint64>(room, 0, size)));
}

struct ProcStat
{
    qint64 ppid = 0;
    char state = 0;
};

QHash<qint64, ProcStat> processTable()
{
    QHash<qint64, ProcStat> table;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : pids) {
        bool ok = false;
        const qint64 pid = name.toLongLong(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/") + name + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = stat.read(512);
        const qsizetype close = s.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> f = s.mid(close + 2).split(' ');
        if (f.size() < 2)
            continue;
        table.insert(pid, ProcStat{f.at(1).toLongLong(), f.at(0).isEmpty() ? char(0) : f.at(0).at(0)});
    }
    return table;
}

QString commandOf(qint64 pid)
{
    QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmd.open(QIODevice::ReadOnly))
        return QString();
    QByteArray line = cmd.read(300);
    line.replace('\0', ' ');
    return QString::fromLocal8Bit(line.trimmed());
}

} // namespace

QList<LeftProcess> descendantsOf(qint64 root)
{
    QList<LeftProcess> out;
    if (root <= 0)
        return out;
    const QHash<qint64, ProcStat> table = processTable();
    QList<qint64> parents{root};
    while (!parents.isEmpty()) {
        const qint64 parent = parents.takeFirst();
        for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
            if (it->ppid != parent)
                continue;
            parents << it.key();
            if (it->state != 'Z' && it->state != 'X')
                out << LeftProcess{it.key(), commandOf(it.key())};
        }
    }
    std::sort(out.begin(), out.end(), [](const LeftProcess &a, const LeftProcess &b) { return a.pid < b.pid; });
    return out;
}

QString ScriptProcess::runnerPath()
{
    // Beside the executable in the build tree; in the program's module
    // folder when installed.
    const QString bin = QCoreApplication::applicationDirPath();
    const QString here = bin + QStringLiteral("/quilex-runner");
    if (QFileInfo::exists(here))
        return here;
    return QDir::cleanPath(bin + QStringLiteral("/" QUILLET_MODULES_FROM_BIN "/quilex-runner"));
}

ScriptProcess::ScriptProcess(QObject *parent) : QObject(parent)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_result.timedOut = true;
        endKeeper();
    });
}

ScriptProcess::~ScriptProcess()
{
    closeFds();
    if (m_keeper) {
        m_keeper->disconnect(this);
        endKeeper();
        m_keeper->waitForFinished(2000);
    }
}

void ScriptProcess::endKeeper()
{
    // The keeper ends every process of the run; the script's group goes
    // at once, so its output stops now.
    // (Only while the script runs: once it has been reaped its number may
    // be another's.)
    if (m_pid > 0 && m_running)
        ::kill(-pid_t(m_pid), SIGKILL);
    if (m_keeperPid > 0)
        ::kill(pid_t(m_keeperPid), SIGTERM);
}

void ScriptProcess::closeFds()
{
    for (QSocketNotifier **n : {&m_inNote, &m_outNote, &m_errNote, &m_reportNote}) {
        delete *n;
        *n = nullptr;
    }
    closeFd(m_in);
    closeFd(m_out);
    closeFd(m_err);
    closeFd(m_report);
}

void ScriptProcess::start(const ProcessSpec &spec)
{
    if (m_running)
        stop();
    closeFds();
    if (m_keeper) {
        // The dropped run's processes go with it. Its keeper is let end
        // them: destroying a running QProcess would kill the keeper first.
        m_keeper->disconnect(this);
        endKeeper();
        if (m_keeper->state() == QProcess::NotRunning) {
            m_keeper->deleteLater();
        } else {
            m_keeper->setParent(nullptr);
            connect(m_keeper, &QProcess::finished, m_keeper, &QObject::deleteLater);
        }
        m_keeper = nullptr;
    }
    m_spec = spec;
    m_result = ProcessResult();
    m_pid = 0;
    m_keeperPid = 0;
    m_written = 0;
    m_reportLine.clear();
    m_running = true;

    int in[2], out[2], err[2], rep[2];
    int script = -1;
    bool ok = ::pipe2(in, O_CLOEXEC) == 0;
    if (ok && ::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]);
        ok = false;
    }
    if (ok && ::pipe2(err, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
        ok = false;
    }
    if (ok && ::pipe2(rep, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]), ::close(err[0]), ::close(err[1]);
        ok = false;
    }
    if (ok && !spec.scriptText.isNull() && (script = memoryFile(spec.scriptText)) < 0) {
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1], rep[0], rep[1]})
            ::close(fd);
        ok = false;
    }
    if (!ok) {
        m_result.startError = QString::fromLocal8Bit(std::strerror(errno));
        QTimer::singleShot(0, this, &ScriptProcess::finish);
        return;
    }
    const int childIn = high(in[0]), childOut = high(out[1]), childErr = high(err[1]), childRep = high(rep[1]);
    script = high(script);
    m_in = in[1];
    m_out = out[0];
    m_err = err[0];
    m_report = rep[0];
    for (int fd : {m_in, m_out, m_err, m_report})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

    m_keeper = new QProcess(this);
    m_keeper->setProgram(runnerPath());
    m_keeper->setArguments(QStringList{QString::number(QCoreApplication::applicationPid()), spec.program}
                           + spec.arguments);
    m_keeper->setWorkingDirectory(spec.workingDirectory);
    m_keeper->setProcessEnvironment(spec.environment);
    m_keeper->setProcessChannelMode(QProcess::ForwardedChannels);
    m_keeper->setInputChannelMode(QProcess::ForwardedInputChannel);
    m_keeper->setChildProcessModifier([childIn, childOut, childErr, childRep, script] {
        ::dup2(childIn, 0);
        ::dup2(childOut, 1);
        ::dup2(childErr, 2);
        if (script >= 0)
            ::dup2(script, kScriptFd);
        else
            ::close(kScriptFd);
        ::dup2(childRep, 4);
    });
    connect(m_keeper, &QProcess::finished, this, &ScriptProcess::keeperEnded);
    connect(m_keeper, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        m_result.startError = m_keeper->errorString();
        QTimer::singleShot(0, this, &ScriptProcess::finish);
    });
    m_keeper->start();
    for (int fd : {childIn, childOut, childErr, childRep, script}) {
        if (fd >= 0)
            ::close(fd);
    }
    m_keeperPid = m_keeper->processId();
    if (m_keeperPid <= 0) {
        closeFds();
        return; // errorOccurred tells
    }
    m_reportNote = new QSocketNotifier(m_report, QSocketNotifier::Read, this);
    connect(m_reportNote, &QSocketNotifier::activated, this, &ScriptProcess::readReport);
    m_outNote = new QSocketNotifier(m_out, QSocketNotifier::Read, this);
    connect(m_outNote, &QSocketNotifier::activated, this, [this] { readStream(1); });
    m_errNote = new QSocketNotifier(m_err, QSocketNotifier::Read, this);
    connect(m_errNote, &QSocketNotifier::activated, this, [this] { readStream(2); });
    if (spec.input.isEmpty()) {
        closeFd(m_in);
    } else {
        m_inNote = new QSocketNotifier(m_in, QSocketNotifier::Write, this);
        connect(m_inNote, &QSocketNotifier::activated, this, &ScriptProcess::writeInput);
        writeInput();
    }
    m_timer->start(spec.timeoutMs);
}

void ScriptProcess::writeInput()
{
    while (m_in >= 0 && m_written < m_spec.input.size()) {
        const ssize_t n = ::write(m_in, m_spec.input.constData() + m_written, size_t(m_spec.input.size() - m_written));
        if (n > 0) {
            m_written += n;
            continue;
        }
        if (n < 0 && errno == EAGAIN)
            return; // the notifier calls again
        break;      // the script closed its input
    }
    delete m_inNote;
    m_inNote = nullptr;
    closeFd(m_in);
}

void ScriptProcess::readStream(int which)
{
    int &fd = which == 1 ? m_out : m_err;
    QSocketNotifier *&note = which == 1 ? m_outNote : m_errNote;
    char buf[65536];
    for (;;) {
        if (fd < 0)
            return;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            if (!m_running)
                continue; // a leftover's output after the run: dropped
            if (which == 1)
                keep(m_result.output, buf, n, m_spec.outputLimit, m_result.outputCut);
            else
                keep(m_result.errors, buf, n, m_spec.errorLimit, m_result.errorsCut);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        delete note;
        note = nullptr;
        closeFd(fd);
        return;
    }
}

void ScriptProcess::readReport()
{
    char buf[256];
    for (;;) {
        const ssize_t n = m_report >= 0 ? ::read(m_report, buf, sizeof buf) : 0;
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            break;
        if (n <= 0) {
            delete m_reportNote;
            m_reportNote = nullptr;
            closeFd(m_report);
            break;
        }
        m_reportLine.append(buf, n);
    }
    qsizetype nl;
    while ((nl = m_reportLine.indexOf('\n')) >= 0) {
        const QByteArray line = m_reportLine.left(nl);
        m_reportLine.remove(0, nl + 1);
        const long value = line.mid(2).toLong();
        if (line.startsWith("P ")) {
            m_pid = value;
            m_result.started = true;
        } else if (line.startsWith("E ")) {
            m_result.started = false;
            m_result.startError = QString::fromLocal8Bit(std::strerror(int(value)));
        } else if (line.startsWith("X ")) {
            scriptEnded(int(value));
        }
    }
}

void ScriptProcess::scriptEnded(int status)
{
    // What the script wrote before it ended is in the pipes now.
    readStream(1);
    readStream(2);
    if (WIFSIGNALED(status)) {
        m_result.crashed = true;
        m_result.exitCode = -1;
    } else {
        m_result.exitCode = WEXITSTATUS(status);
    }
    if (m_result.exitCode == 127 && !m_result.startError.isEmpty())
        m_result.started = false;
    finish();
}

void ScriptProcess::keeperEnded()
{
    readReport();
    if (m_running) {
        readStream(1);
        readStream(2);
        if (!m_result.started && m_result.startError.isEmpty())
            m_result.startError = QStringLiteral("the run's keeper (%1) ended").arg(runnerPath());
        finish();
    }
    closeFds();
    m_keeperPid = 0;
    Q_EMIT leftoversEnded();
}

void ScriptProcess::stop()
{
    if (!m_running)
        return;
    m_result.stopped = true;
    endKeeper();
}

QList<LeftProcess> ScriptProcess::leftovers() const
{
    if (m_running || m_keeperPid <= 0)
        return {};
    return descendantsOf(m_keeperPid);
}

bool ScriptProcess::hasLeftovers() const
{
    return !m_running && m_keeperPid > 0;
}

void ScriptProcess::endLeftovers()
{
    if (!m_running && m_keeperPid > 0)
        ::kill(pid_t(m_keeperPid), SIGTERM);
}

void ScriptProcess::finish()
{
    if (!m_running)
        return;
    m_running = false;
    m_timer->stop();
    delete m_inNote;
    m_inNote = nullptr;
    closeFd(m_in);
    Q_EMIT finished(m_result);
}

} // namespace cgi
