#include "script/scriptprocess.h"

#include "script/perl.h"

#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

namespace script {

namespace {

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

} // namespace

ScriptProcess::ScriptProcess(QObject *parent) : QObject(parent)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_result.timedOut = true;
        killGroup();
    });
}

ScriptProcess::~ScriptProcess()
{
    if (m_process) {
        m_process->disconnect(this);
        killGroup();
        m_process->waitForFinished(2000);
    }
}

bool ScriptProcess::isRunning() const
{
    return m_running;
}

qint64 ScriptProcess::processId() const
{
    return m_pid;
}

void ScriptProcess::start(const ProcessSpec &spec)
{
    if (m_running)
        stop();
    m_spec = spec;
    m_result = ProcessResult();
    m_pid = 0;
    m_running = true;

    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
    }
    m_process = new QProcess(this);
    m_process->setProgram(spec.program);
    m_process->setArguments(spec.arguments);
    m_process->setWorkingDirectory(spec.workingDirectory);
    m_process->setProcessEnvironment(spec.environment);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ScriptProcess::readOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, &ScriptProcess::readErrors);
    connect(m_process, &QProcess::finished, this,
            [this](int code, QProcess::ExitStatus status) { onFinished(code, int(status)); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) { onError(int(e)); });

    int fd = -1;
    if (!spec.scriptText.isNull()) {
        fd = memoryFile(spec.scriptText);
        if (fd < 0) {
            m_result.startError = QStringLiteral("no memory for the script's text");
            QTimer::singleShot(0, this, &ScriptProcess::finish);
            return;
        }
    }
    m_process->setChildProcessModifier([fd] {
        // A group of its own, so that stopping kills its children too.
        ::setpgid(0, 0);
        ::signal(SIGPIPE, SIG_DFL);
        if (fd >= 0) {
            if (fd == kScriptFd)
                ::fcntl(fd, F_SETFD, 0);
            else
                ::dup2(fd, kScriptFd);
        }
    });
    m_process->start(QIODevice::ReadWrite);
    if (fd >= 0)
        ::close(fd);
    m_pid = m_process->processId();
    if (m_pid > 0) {
        // Both sides set the group, whichever runs first.
        ::setpgid(pid_t(m_pid), pid_t(m_pid));
        m_result.started = true;
        if (!spec.input.isEmpty())
            m_process->write(spec.input);
        m_process->closeWriteChannel();
        m_timer->start(spec.timeoutMs);
    }
}

void ScriptProcess::stop()
{
    if (!m_running)
        return;
    m_result.stopped = true;
    killGroup();
}

void ScriptProcess::killGroup()
{
    if (m_pid > 0) {
        ::kill(-pid_t(m_pid), SIGKILL);
        ::kill(pid_t(m_pid), SIGKILL);
    }
}

namespace {
// Keeps what fits under the limit; the rest is read and dropped, so the
// script is never held up by a full pipe.
void keep(QByteArray &kept, const QByteArray &chunk, qint64 limit, bool &cut)
{
    const qint64 room = limit - kept.size();
    if (chunk.size() > room)
        cut = true;
    kept += chunk.left(std::max<qint64>(room, 0));
}
} // namespace

void ScriptProcess::readOutput()
{
    keep(m_result.output, m_process->readAllStandardOutput(), m_spec.outputLimit, m_result.outputCut);
}

void ScriptProcess::readErrors()
{
    keep(m_result.errors, m_process->readAllStandardError(), m_spec.errorLimit, m_result.errorsCut);
}

void ScriptProcess::onFinished(int exitCode, int status)
{
    readOutput();
    readErrors();
    m_result.exitCode = exitCode;
    m_result.crashed = status == QProcess::CrashExit;
    // Whatever the script left behind in its group goes with it when it
    // was stopped.
    if (m_result.timedOut || m_result.stopped)
        killGroup();
    finish();
}

void ScriptProcess::onError(int error)
{
    if (error != QProcess::FailedToStart)
        return;
    m_result.started = false;
    m_result.startError = m_process->errorString();
    QTimer::singleShot(0, this, &ScriptProcess::finish);
}

void ScriptProcess::finish()
{
    if (!m_running)
        return;
    m_running = false;
    m_timer->stop();
    Q_EMIT finished(m_result);
}

} // namespace script
