#pragma once

#include "cgi/scriptprocess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace script {

// The "#!" line of a script: the interpreter it names and its switches.
struct Shebang
{
    bool present = false;
    QString interpreter;   // as written: "/usr/bin/perl", "/usr/bin/env"
    QStringList leading;   // words between the interpreter and the switches ("perl" after env)
    QStringList switches;  // "-w", "-T", "-Ilib" ...
    bool perl = false;     // the program it ends up in is a perl
};

Shebang parseShebang(const QByteArray &text);

// The name an interpreter is given for the descriptor that holds a
// script's text (cgi::kScriptFd). The text never lies in a file.
QString scriptDescriptorName();

// The program perl is given for a document's text: $0, __FILE__ and every
// message name the document (its path, or its caption when untitled), and
// line numbers are the document's own.
// A folder given in lastInc is searched for modules after every other
// (so that a module there never stands in for one of perl's own).
QByteArray perlProgram(const QString &name, const QByteArray &text, const QString &lastInc = QString());

// The name as it appears in perl's messages (a name holding a double quote
// or a line break can't stand in a #line directive as it is).
QString perlMessageName(const QString &name);

// The perl on PATH, or empty.
QString findPerl();

// Replaces the descriptor's name by the document's name in an
// interpreter's output.
QString nameMessages(const QString &output, const QString &name);

// Where a perl message points: the file and line it names, when it names
// one ("... at FILE line N." and its kin). Names in knownNames are matched
// first, so that names with blanks are found whole.
struct MessagePlace
{
    QString file;
    int line = 0;
};
MessagePlace placeOf(const QString &message, const QStringList &knownNames);

} // namespace script
