#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QProcess;
class QSocketNotifier;
class QTimer;

namespace cgi {

// The descriptor a script's text is handed to its interpreter on. The text
// never lies in a file.
constexpr int kScriptFd = 3;

// What a script process is started with.
struct ProcessSpec
{
    QString program;
    QStringList arguments;
    // The script's text, handed over on descriptor kScriptFd (null: none).
    QByteArray scriptText;
    QByteArray input;          // standard input, closed after it
    QString workingDirectory;
    QProcessEnvironment environment;
    int timeoutMs = 10000;
    qint64 outputLimit = 50ll * 1024 * 1024;
    qint64 errorLimit = 1024 * 1024;
};

struct ProcessResult
{
    bool started = false;
    QString startError;
    QByteArray output;     // standard output, at most outputLimit bytes
    QByteArray errors;     // standard error, at most errorLimit bytes
    bool outputCut = false;
    bool errorsCut = false;
    bool timedOut = false;
    bool stopped = false;  // by stop()
    bool crashed = false;  // ended by a signal
    int exitCode = -1;
};

// A process of a run that is still alive.
struct LeftProcess
{
    qint64 pid = 0;
    QString command;
};

// One script run in the background. The script is started by the keeper
// program (quilex-runner, beside the browser module), a subreaper that
// owns every process the run starts: stop(), the timeout and the end of
// this object end all of them, whatever they did to their session or
// group. The script's output is read as it comes and cut at a limit.
//
// finished() is emitted once per start, never from inside start() or
// stop(), when the script itself has ended; processes it left running are
// then leftovers(), until endLeftovers() or their own end (leftoversEnded()).
// A start while one runs drops the running one, which then reports nothing.
class ScriptProcess : public QObject
{
    Q_OBJECT
public:
    explicit ScriptProcess(QObject *parent = nullptr);
    ~ScriptProcess() override;

    void start(const ProcessSpec &spec);
    // Ends the script and everything it started; finished() follows with
    // stopped set.
    void stop();
    bool isRunning() const { return m_running; }
    // The script's process id (its process group); 0 until it has started.
    qint64 processId() const { return m_pid; }

    // The run's processes still alive after the script ended.
    QList<LeftProcess> leftovers() const;
    bool hasLeftovers() const;
    void endLeftovers();

    // The keeper program.
    static QString runnerPath();

Q_SIGNALS:
    void finished(const cgi::ProcessResult &result);
    void leftoversEnded();

private:
    void readReport();
    void readStream(int which);
    void writeInput();
    void scriptEnded(int status);
    void keeperEnded();
    void finish();
    void closeFds();
    void endKeeper();

    QProcess *m_keeper = nullptr;
    QTimer *m_timer = nullptr;
    ProcessSpec m_spec;
    ProcessResult m_result;
    qint64 m_pid = 0;
    qint64 m_keeperPid = 0;
    bool m_running = false;
    int m_in = -1, m_out = -1, m_err = -1, m_report = -1;
    qsizetype m_written = 0;
    QSocketNotifier *m_inNote = nullptr, *m_outNote = nullptr, *m_errNote = nullptr, *m_reportNote = nullptr;
    QByteArray m_reportLine;
};

// The live descendants of a process, read from /proc (zombies left out).
QList<LeftProcess> descendantsOf(qint64 pid);

} // namespace cgi
