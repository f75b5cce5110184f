#pragma once

#include <QString>

namespace script {

// Perl's own tools on the active document, each run off the window's
// thread: perltidy reformats the selection (or the whole text) as one undo
// step, honouring the user's .perltidyrc; perlcritic lists its findings in
// Script Output ("criticseverity", section "settings", 1-5, default 5);
// perldoc shows the documentation of the word at the caret (a function, a
// variable or a module) in the page viewer. A tool that is not installed
// gets a message naming its Debian package.
void tidyDocument();
void criticDocument();
void perldocAtCaret();

// What perldoc is asked for a word: "-f print", "-v $_", "CGI::Carp".
QStringList perldocArguments(const QString &word);

} // namespace script
