#pragma once

#include "tools/spellwords.h"

#include <QString>

#include <vector>

namespace platform {
class RichTextBox;
}

namespace tools {

// One chosen correction: [start, start + length) of the checked text
// becomes replacement.
struct SpellEdit
{
    int start;
    int length;
    QString replacement;
};

struct SpellOutcome
{
    // False when no dictionary could be opened: nothing was checked.
    bool ran = false;
    // In increasing order of start, not overlapping.
    std::vector<SpellEdit> edits;
};

// Puts every misspelt prose word of the text to the correction dialog, in
// order, then shows the completion message. Without a dictionary it says
// what is missing and how to install it instead, and checks nothing.
SpellOutcome checkSpelling(const QString &text, DocumentKind kind);

// The text with the edits made.
QString applyEdits(const QString &text, const std::vector<SpellEdit> &edits);

// Makes the edits in the control word by word, as one undoable step; the
// rest of the text, its line breaks and colours stay as they are.
void applyEdits(platform::RichTextBox &box, const std::vector<SpellEdit> &edits);

// Spell-checks a whole text (its kind told by its content) and returns
// the corrected text; *ran is false, and the result empty, when the
// speller could not run.
QString SpellCheckText(const QString &text, bool *ran = nullptr);

} // namespace tools
