#pragma once

namespace platform {
class RichTextBox;
}

namespace script {

// File lines of a text control (a wrapped line is one line), counted
// from 1.
int fileLineCount(const platform::RichTextBox &box);
// The Text position where a file line starts; -1 when there is no such line.
int lineStart(const platform::RichTextBox &box, int line);

// Puts the caret at the start of a line; false when there is no such line.
bool goToLine(platform::RichTextBox &box, int line);
// Selects a whole line (without its break), the caret at its start.
bool selectLine(platform::RichTextBox &box, int line);
// Selects the spot a line and column (from 1) name: the tag that starts
// there, or the one character.
bool selectSpot(platform::RichTextBox &box, int line, int column);

} // namespace script
