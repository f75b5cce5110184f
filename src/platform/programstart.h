#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Window styles a program is started with.
enum WindowStyle { Hidden = 0, NormalFocus = 1, MinimizedFocus = 2 };

// Starting other programs and handing addresses to the desktop. Every
// outside effect of the editor goes through here, so tests can record it.
class ProgramStart
{
public:
    virtual ~ProgramStart() = default;
    // Starts a command line with a window style and returns at once;
    // false when nothing could be started.
    virtual bool Shell(const QString &commandLine, int windowStyle) = 0;
    // Opens a web address, mail link or file with the desktop's default
    // program.
    virtual bool ShellOpen(const QString &target) = 0;
};

ProgramStart &programStart();
void setProgramStart(ProgramStart *replacement); // nullptr restores the real one

// How a command line is carried out on this desktop.
struct LaunchPlan
{
    enum Kind { Nothing, Run, Open } kind = Nothing;
    QString program;     // Run: the program
    QStringList arguments;
    QString target;      // Open: handed to the desktop's opener
};

// Maps a command line onto a Linux program start:
//  - "START " + text (any case): the text's program when its first word is
//    a program on PATH (or a path to an executable file), otherwise the text
//    is opened with the desktop's opener; "notepad" and "telnet" map as below;
//  - "Telnet.exe": telnet in the desktop's terminal (nothing without telnet);
//  - "NotePad.exe": the desktop's default plain-text editor;
//  - anything else: the first word is the program, the rest its arguments
//    (double quotes group words); an unquoted path with blanks names the
//    shortest leading part that is an executable file.
LaunchPlan planLaunch(const QString &commandLine);

// Splits a command line into words; double quotes group, and are removed.
QStringList splitCommandLine(const QString &commandLine);

// The real implementation: detached processes and the desktop's opener.
class DesktopProgramStart : public ProgramStart
{
public:
    bool Shell(const QString &commandLine, int windowStyle) override;
    bool ShellOpen(const QString &target) override;
};

} // namespace platform
