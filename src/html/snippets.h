#pragma once

#include <QString>

namespace html {

// The insertion rule every HTML insertion follows: the text goes into the
// active document's selection (SelText), the caret ends after it with
// nothing selected, and the document's change handling runs. Raises the
// error a missing document gives.
void insertFixed(const QString &text);
void insertWrapped(const QString &open, const QString &close);

// The form text of "New Form ".
QString formText();

void registerSnippetCommands();

} // namespace html
