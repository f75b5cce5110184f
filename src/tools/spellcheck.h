#pragma once

#include <QString>
#include <QStringList>

namespace tools {

// Spell-checks a whole text: every misspelt word goes to the correction
// dialog, then the completion message is shown (always, also when no
// dictionary could be opened). Returns the corrected text; *ran is false,
// and the result empty, when the speller could not run.
QString SpellCheckText(const QString &text, bool *ran = nullptr);

// The next word worth checking at or after position from: markup, entities,
// Perl variables, web and mail addresses and words holding digits or
// underscores are stepped over. False when there is none.
bool nextCheckableWord(const QString &text, int from, int *start, int *length);

// Every word nextCheckableWord finds, in order.
QStringList checkableWords(const QString &text);

} // namespace tools
