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

// The desktop's default plain-text editor, as a program and its first
// arguments.
QStringList textEditorCommand()
{
    const QString gtkLaunch = QStandardPaths::findExecutable(QStringLiteral("gtk-launch"));
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!gtkLaunch.isEmpty() && !xdgMime.isEmpty()) {
        QProcess query;
        query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                              QStringLiteral("text/plain")});
        if (query.waitForFinished(2000)) {
            const QString desktopId =
                QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed().section(QLatin1Char(';'), 0, 0);
            if (!desktopId.isEmpty())
                return {gtkLaunch, desktopId};
        } else {
            query.kill();
            query.waitForFinished(100);
        }
    }
    static const char *const editors[] = {"gedit", "gnome-text-editor", "mousepad", "kate", "kwrite",
                                          "pluma", "xed", "featherpad", "geany", "leafpad", "xedit"};
    for (const char *e : editors) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(e));
        if (!path.isEmpty())
            return {path};
    }
    return {};
}

// Telnet in the desktop's terminal, with its arguments; empty when either
// is missing (a terminal that closes at once would only flash).
LaunchPlan telnetPlan(const QStringList &arguments)
{
    LaunchPlan plan;
    if (QStandardPaths::findExecutable(QStringLiteral("telnet")).isEmpty())
        return plan;
    const QStringList terminal = terminalCommand();
    if (terminal.isEmpty())
        return plan;
    plan.kind = LaunchPlan::Run;
    plan.program = terminal.first();
    plan.arguments = terminal.mid(1);
    plan.arguments << QStringLiteral("telnet") << arguments;
    return plan;
}

LaunchPlan notepadPlan(const QStringList &arguments)
{
    LaunchPlan plan;
    const QStringList editor = textEditorCommand();
    if (editor.isEmpty())
        return plan;
    plan.kind = LaunchPlan::Run;
    plan.program = editor.first();
    plan.arguments = editor.mid(1) + arguments;
    return plan;
}

bool isNamed(const QString &word, const char *name)
{
    const QString n = QString::fromLatin1(name);
    return word.compare(n, Qt::CaseInsensitive) == 0
        || word.compare(n + QLatin1String(".exe"), Qt::CaseInsensitive) == 0;
}

// A command line whose program is a path with blanks and no quotes (the
// program picker builds such lines): the shortest leading part that is an
// executable file is the program, as the Windows loader reads it.
bool splitUnquotedPath(const QString &line, QString *program, QString *rest)
{
    if (line.contains(QLatin1Char('"')) || !line.contains(QLatin1Char('/')))
        return false;
    int from = 0;
    while (true) {
        const int blank = line.indexOf(QLatin1Char(' '), from);
        const QString head = blank < 0 ? line : line.left(blank);
        const QFileInfo info(head);
        if (head.contains(QLatin1Char('/')) && info.isFile() && info.isExecutable()) {
            *program = head;
            *rest = blank < 0 ? QString() : line.mid(blank + 1);
            return true;
        }
        if (blank < 0)
            return false;
        from = blank + 1;
    }
}

// The program and arguments of a plain command line.
LaunchPlan runPlan(const QString &line)
{
    LaunchPlan plan;
    QString program, rest;
    if (splitUnquotedPath(line, &program, &rest)) {
        plan.kind = LaunchPlan::Run;
        plan.program = program;
        plan.arguments = splitCommandLine(rest);
        return plan;
    }
    const QStringList words = splitCommandLine(line);
    if (words.isEmpty() || words.first().isEmpty())
        return plan;
    plan.kind = LaunchPlan::Run;
    plan.program = words.first();
    plan.arguments = words.mid(1);
    return plan;
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
    if (trimmed.startsWith(QLatin1String("START "), Qt::CaseInsensitive)
        || trimmed.startsWith(QLatin1String("START\t"), Qt::CaseInsensitive)) {
        const QString rest = trimmed.mid(6).trimmed();
        const QStringList words = splitCommandLine(rest);
        if (words.isEmpty())
            return plan;
        // The two Windows programs people are used to typing.
        if (isNamed(words.first(), "notepad"))
            return notepadPlan(words.mid(1));
        if (isNamed(words.first(), "telnet"))
            return telnetPlan(words.mid(1));
        QString program, args;
        if (isProgram(words.first()) || splitUnquotedPath(rest, &program, &args))
            return runPlan(rest);
        plan.kind = LaunchPlan::Open;
        plan.target = rest;
        return plan;
    }
    if (trimmed.compare(QLatin1String("Telnet.exe"), Qt::CaseInsensitive) == 0)
        return telnetPlan({});
    if (trimmed.compare(QLatin1String("NotePad.exe"), Qt::CaseInsensitive) == 0)
        return notepadPlan({});
    return runPlan(trimmed);
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
    if (url.scheme().isEmpty() || (url.scheme().size() == 1 && QFileInfo::exists(target))) {
        // A bare "www." address is a web address, not a file name.
        if (!QFileInfo::exists(target) && target.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
            url = QUrl(QStringLiteral("http://") + target);
        else
            url = QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    }
    return QDesktopServices::openUrl(url);
}

} // namespace platform
