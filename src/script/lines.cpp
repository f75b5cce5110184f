#include "script/lines.h"

#include "platform/richtextbox.h"

#include <algorithm>

#include <QTextCursor>
#include <QTextDocument>

namespace script {

namespace {

// The document range [start, end) of a line counted from 1.
struct LineRange
{
    int start = -1;
    int end = -1;
    bool valid() const { return start >= 0; }
};

LineRange range(const platform::RichTextBox &box, int line)
{
    if (line < 1)
        return LineRange();
    return LineRange{box.textLineStart(line - 1), box.textLineEnd(line - 1)};
}

void showSelection(platform::RichTextBox &box, int docStart, int docEnd)
{
    // Made from its end to its start, so that the caret stands at the
    // start, where the view shows it.
    QTextCursor c = box.textCursor();
    c.setPosition(docEnd);
    c.setPosition(docStart, QTextCursor::KeepAnchor);
    box.setTextCursor(c);
    box.centerCursor();
}

} // namespace

int fileLineCount(const platform::RichTextBox &box)
{
    return box.textLineCount();
}

int lineStart(const platform::RichTextBox &box, int line)
{
    const LineRange r = range(box, line);
    return r.valid() ? box.toTextPosition(r.start) : -1;
}

bool goToLine(platform::RichTextBox &box, int line)
{
    const LineRange r = range(box, line);
    if (!r.valid())
        return false;
    box.setSelStart(box.toTextPosition(r.start));
    box.centerCursor();
    return true;
}

bool selectLine(platform::RichTextBox &box, int line)
{
    const LineRange r = range(box, line);
    if (!r.valid())
        return false;
    showSelection(box, r.start, r.end);
    return true;
}

bool selectSpot(platform::RichTextBox &box, int line, int column)
{
    const LineRange r = range(box, line);
    if (!r.valid())
        return false;
    // Columns count the line's characters, as its Text has them.
    const int from = box.toTextPosition(r.start);
    const QString text = box.Text().mid(from, box.toTextPosition(r.end) - from);
    const int at = std::clamp(column - 1, 0, int(text.size()));
    int end = std::min(at + 1, int(text.size()));
    if (at < text.size() && text.at(at) == QLatin1Char('<')) {
        const int close = text.indexOf(QLatin1Char('>'), at);
        if (close >= 0)
            end = close + 1;
    }
    showSelection(box, box.toDocumentPosition(from + at), box.toDocumentPosition(from + end));
    return true;
}

} // namespace script
