#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QProcess;
class QTimer;

namespace script {

// What a script process is started with.
struct ProcessSpec
{
    QString program;
    QStringList arguments;
    // The script's text, handed over on descriptor kScriptFd; it never lies
    // in a file.
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

// One script run in the background: its own process group, killed whole
// when stopped or when its time is up; its output read as it comes, cut at
// a limit. finished() is emitted once per start, never from inside
// start() or stop(); a start while one runs drops the running one, which
// then reports nothing.
class ScriptProcess : public QObject
{
    Q_OBJECT
public:
    explicit ScriptProcess(QObject *parent = nullptr);
    ~ScriptProcess() override;

    void start(const ProcessSpec &spec);
    // Kills the whole process group; finished() follows with stopped set.
    void stop();
    bool isRunning() const;
    qint64 processId() const;

Q_SIGNALS:
    void finished(const script::ProcessResult &result);

private:
    void readOutput();
    void readErrors();
    void onFinished(int exitCode, int status);
    void onError(int error);
    void killGroup();
    void finish();

    QProcess *m_process = nullptr;
    QTimer *m_timer = nullptr;
    ProcessSpec m_spec;
    ProcessResult m_result;
    qint64 m_pid = 0;
    bool m_running = false;
};

} // namespace script
