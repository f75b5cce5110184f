#include "script/lines.h"

#include "platform/richtextbox.h"

#include <algorithm>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace script {

namespace {

QTextBlock block(const platform::RichTextBox &box, int line)
{
    if (line < 1)
        return QTextBlock();
    return box.document()->findBlockByNumber(line - 1);
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
    return box.document()->blockCount();
}

int lineStart(const platform::RichTextBox &box, int line)
{
    const QTextBlock b = block(box, line);
    return b.isValid() ? box.toTextPosition(b.position()) : -1;
}

bool goToLine(platform::RichTextBox &box, int line)
{
    const QTextBlock b = block(box, line);
    if (!b.isValid())
        return false;
    box.setSelStart(box.toTextPosition(b.position()));
    box.centerCursor();
    return true;
}

bool selectLine(platform::RichTextBox &box, int line)
{
    const QTextBlock b = block(box, line);
    if (!b.isValid())
        return false;
    showSelection(box, b.position(), b.position() + b.length() - 1);
    return true;
}

bool selectSpot(platform::RichTextBox &box, int line, int column)
{
    const QTextBlock b = block(box, line);
    if (!b.isValid())
        return false;
    const QString text = b.text();
    const int at = std::clamp(column - 1, 0, int(text.size()));
    int end = std::min(at + 1, int(text.size()));
    if (at < text.size() && text.at(at) == QLatin1Char('<')) {
        const int close = text.indexOf(QLatin1Char('>'), at);
        if (close >= 0)
            end = close + 1;
    }
    showSelection(box, b.position() + at, b.position() + end);
    return true;
}

} // namespace script
