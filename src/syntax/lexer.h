#pragma once

#include "syntax/kind.h"
#include "syntax/tokens.h"

#include <QStringView>

namespace syntax {

// A line-by-line lexer. lexLine lexes one line (without its line break)
// that starts in state `in`, appends its runs to `out` (when given) and
// returns the state the line ends in. A lexer keeps nothing between calls:
// the state ids it hands out are shared by every document of its language,
// so ids from two documents compare alike. Lexers are used from one thread
// at a time.
class Lexer
{
public:
    virtual ~Lexer() = default;
    // The state a document starts in.
    virtual State initialState() const { return 0; }
    virtual State lexLine(QStringView line, State in, Tokens *out) const = 0;
};

// The lexer for a kind; Kind::None gives one that colours nothing.
const Lexer &lexerFor(Kind kind);

} // namespace syntax
