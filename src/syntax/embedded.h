#pragma once

#include "syntax/tokens.h"

#include <QStringView>

namespace syntax {

// The languages inside a page: JavaScript in <script> and on* attributes,
// CSS in <style> and style attributes. Each lexes the part [from, to) of a
// line and carries its state, 8 bits, in `state`; the page's lexer cuts the
// range at "</script" or "</style", as browsers do.

// JavaScript: bits 0-2 what is open (below), bit 3 set when a "/" would
// divide rather than start a pattern.
enum ScriptMode : quint8 { ScriptCode, ScriptBlockComment, ScriptTemplate, ScriptDouble, ScriptSingle };
void lexScript(QStringView line, int from, int to, quint8 &state, Emitter &emitter);

// CSS: bit 0 inside a comment, bits 1-3 the depth of braces (at most 7),
// bit 4 inside a property's value.
constexpr quint8 kStyleDeclarations = 1 << 1; // a style attribute: one level of braces in
void lexStyle(QStringView line, int from, int to, quint8 &state, Emitter &emitter);

} // namespace syntax
