#pragma once

// Lexes a text line by line and draws each character's class as a letter,
// so that a test reads as the text over its expected classes.

#include "syntax/lexer.h"

#include <QString>
#include <QStringList>

namespace masks {

inline char letter(syntax::TokenClass cls)
{
    // plain keyword variable string regex number comment pod data tag
    // attribute-name attribute-value entity html-comment
    return ".kvsrncpdtaqeh"[int(cls)];
}

inline QString classes(syntax::Kind kind, const QString &text)
{
    const syntax::Lexer &lexer = syntax::lexerFor(kind);
    syntax::State state = lexer.initialState();
    QStringList result;
    for (const QString &line : text.split(u'\n')) {
        syntax::Tokens tokens;
        state = lexer.lexLine(line, state, &tokens);
        QString mask(line.size(), u'.');
        for (const syntax::Token &t : tokens)
            for (int i = t.start; i < t.start + t.length; ++i)
                mask[i] = QChar(letter(t.cls));
        result << mask;
    }
    return result.join(u'\n');
}

} // namespace masks
