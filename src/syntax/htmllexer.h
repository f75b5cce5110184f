#pragma once

#include "syntax/lexer.h"

namespace syntax {

// HTML with JavaScript in <script> and on* attributes and CSS in <style>
// and style attributes. Its whole state fits the id: what is open in the
// page (bits 0-3), the kind of tag being read (4-5), whether it is a
// closing tag (6), the script's state (8-15) and the style's (16-23).
class HtmlLexer : public Lexer
{
public:
    State lexLine(QStringView line, State in, Tokens *out) const override;
};

} // namespace syntax
