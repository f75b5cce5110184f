#include "platform/programstart.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace platform {

namespace {
ProgramStart *g_replacement = nullptr;

bool isProgram(const QString &word)
{
    if (word.isEmpty())
        return false;
    if (word.contains(QLatin1Char('/'))) {
        const QFileInfo info(word);
        return info.isFile() && info.isExecutable();
    }
    return !QStandardPaths::findExecutable(word).isEmpty();
}

// The terminal to run a console program in.
QStringList terminalCommand()
{
    static const char *const terminals[] = {"x-terminal-emulator", "gnome-terminal", "konsole",
                                            "xfce4-terminal", "xterm"};
    for (const char *t : terminals) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(t));
        if (path.isEmpty())
            continue;
        if (QLatin1String(t) == QLatin1String("gnome-terminal"))
            return {path, QStringLiteral("--")};
        return {path, QStringLiteral("-e")};
    }
    return {};
}

// The desktop's default plain-text editor, as a program to run.
QString textEditorProgram()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("text/plain")});
    if (query.waitForFinished(2000)) {
        const QString desktopId = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
        if (!desktopId.isEmpty() && !QStandardPaths::findExecutable(QStringLiteral("gtk-launch")).isEmpty())
            return QStringLiteral("gtk-launch ") + desktopId;
    }
    static const char *const editors[] = {"gedit", "mousepad", "kate", "kwrite", "pluma",
                                          "xed", "featherpad", "leafpad"};
    for (const char *e : editors) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(e)).isEmpty())
            return QString::fromLatin1(e);
    }
    return QString();
}

} // namespace

ProgramStart &programStart()
{
    static DesktopProgramStart real;
    return g_replacement ? *g_replacement : real;
}

void setProgramStart(ProgramStart *replacement)
{
    g_replacement = replacement;
}

QStringList splitCommandLine(const QString &commandLine)
{
    QStringList words;
    QString current;
    bool quoted = false;
    bool any = false;
    for (QChar c : commandLine) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            any = true;
        } else if (c.isSpace() && !quoted) {
            if (any || !current.isEmpty())
                words << current;
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any || !current.isEmpty())
        words << current;
    return words;
}

LaunchPlan planLaunch(const QString &commandLine)
{
    LaunchPlan plan;
    const QString trimmed = commandLine.trimmed();
    if (trimmed.compare(QLatin1String("START"), Qt::CaseInsensitive) == 0)
        return plan; // a bare START opens nothing here
    if (trimmed.startsWith(QLatin1String("START "), Qt::CaseInsensitive)) {
        const QString rest = trimmed.mid(6).trimmed();
        const QStringList words = splitCommandLine(rest);
        if (words.isEmpty())
            return plan;
        if (isProgram(words.first())) {
            plan.kind = LaunchPlan::Run;
            plan.program = words.first();
            plan.arguments = words.mid(1);
        } else {
            plan.kind = LaunchPlan::Open;
            plan.target = rest;
        }
        return plan;
    }
    if (trimmed.compare(QLatin1String("Telnet.exe"), Qt::CaseInsensitive) == 0) {
        const QStringList terminal = terminalCommand();
        if (terminal.isEmpty())
            return plan;
        plan.kind = LaunchPlan::Run;
        plan.program = terminal.first();
        plan.arguments = terminal.mid(1);
        plan.arguments << QStringLiteral("telnet");
        return plan;
    }
    if (trimmed.compare(QLatin1String("NotePad.exe"), Qt::CaseInsensitive) == 0) {
        const QStringList words = splitCommandLine(textEditorProgram());
        if (words.isEmpty())
            return plan;
        plan.kind = LaunchPlan::Run;
        plan.program = words.first();
        plan.arguments = words.mid(1);
        return plan;
    }
    const QStringList words = splitCommandLine(trimmed);
    if (words.isEmpty())
        return plan;
    plan.kind = LaunchPlan::Run;
    plan.program = words.first();
    plan.arguments = words.mid(1);
    return plan;
}

bool DesktopProgramStart::Shell(const QString &commandLine, int windowStyle)
{
    Q_UNUSED(windowStyle); // the desktop decides how new windows appear
    const LaunchPlan plan = planLaunch(commandLine);
    switch (plan.kind) {
    case LaunchPlan::Nothing:
        return false;
    case LaunchPlan::Open:
        return ShellOpen(plan.target);
    case LaunchPlan::Run:
        return QProcess::startDetached(plan.program, plan.arguments);
    }
    return false;
}

bool DesktopProgramStart::ShellOpen(const QString &target)
{
    if (target.isEmpty())
        return false;
    QUrl url(target);
    if (url.scheme().isEmpty() || (url.scheme().size() == 1 && QFileInfo::exists(target)))
        url = QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    return QDesktopServices::openUrl(url);
}

} // namespace platform
