#pragma once

#include "syntax/lexer.h"

#include <QString>

#include <vector>

namespace syntax {

// The document's lines as the incremental lexer reads them: line i's text
// without its line break.
class LineSource
{
public:
    virtual ~LineSource() = default;
    virtual int lineCount() const = 0;
    virtual QString lineText(int line) const = 0;
};

// Lines whose tokens may have changed, first to last inclusive.
struct LineRange
{
    int first = 0;
    int last = -1;
    bool isEmpty() const { return last < first; }
    bool operator==(const LineRange &o) const { return first == o.first && last == o.last; }
};

// Keeps a document lexed while it is edited. It holds one 4-byte state per
// line (what the line ends in) and nothing else per line: tokens are made
// on demand, a line at a time, from the state before it.
//
// Lexing always starts at the first stale line and goes down. An edited
// line is stale, and so is every line after it until one ends in the state
// it ended in before the edit: from there on nothing changed. Lines above
// frontier() are current; the others are shown with the states of their
// last lexing (lines never lexed: as if the document started there) until
// the lexing reaches them and reports them changed.
//
// Wiring it to a text control (QTextDocument blocks are lines):
//   - on open, and when the kind changes: setKind(kind), reset(blockCount);
//   - on contentsChange(position, removed, added): linesChanged(first,
//     last, delta) with first = the block at position, last = the block at
//     position + added, delta = the change of blockCount;
//   - before the visible lines paint: lexUpTo(source, lastVisibleLine,
//     budget), then between events, while !isDone(): lexSlice(source) with
//     the default 2 ms budget, from a zero-time timer;
//   - each call returns the lines whose tokens may have changed: re-format
//     those that are laid out (visible, or about to be) with
//     tokens(line, text) and paletteFor(the control's base colour) (as
//     display formats, which screen readers read as text attributes); the
//     rest take theirs when they are laid out.
// Costs: about 0.2 us a line of code to lex (bench_highlight), so a typed
// character costs one line, and the 2 ms slices cover some 10,000 lines.
class IncrementalLexer
{
public:
    static constexpr qint64 kSliceNanoseconds = 2'000'000;

    explicit IncrementalLexer(Kind kind = Kind::None);

    Kind kind() const { return m_kind; }
    // A new language: every line becomes stale.
    void setKind(Kind kind);
    // A whole new text of `lineCount` lines, all stale.
    void reset(int lineCount);
    // Lines first..last (numbered as they are now) hold new text, and the
    // document gained `delta` lines among them (lost them, when negative).
    void linesChanged(int first, int last, int delta);

    // Lexes from the frontier until line `last` is current or the budget
    // is spent; for the lines on screen.
    std::vector<LineRange> lexUpTo(const LineSource &source, int last, qint64 budgetNanoseconds);
    // Lexes from the frontier until nothing is stale or the budget is spent.
    std::vector<LineRange> lexSlice(const LineSource &source, qint64 budgetNanoseconds = kSliceNanoseconds);

    bool isDone() const { return m_stale.empty(); }
    // The first line that is not current (lineCount() when all are).
    int frontier() const { return m_stale.empty() ? lineCount() : m_stale.front(); }
    int lineCount() const { return int(m_ends.size()); }

    // A line's runs, lexed from the state the line before it ends in
    // (final for lines above frontier()).
    void tokens(int line, QStringView text, Tokens &out) const;
    // The state line `line` starts in; the state its last lexing left.
    State startState(int line) const;
    // How many lines have been lexed since this lexer was made (for tests
    // and benchmarks).
    quint64 linesLexed() const { return m_linesLexed; }

private:
    // A line never lexed since its last edit: it matches no real state, so
    // lexing never stops on it.
    static constexpr State kUnknown = 0xFFFFFFFFu;

    std::vector<LineRange> lex(const LineSource &source, int last, qint64 budgetNanoseconds);
    void addStale(int line);

    Kind m_kind;
    const Lexer *m_lexer;
    std::vector<State> m_ends;  // per line: the state it ends in
    std::vector<int> m_stale;   // sorted: lines that must be lexed again, each with all below it up to a match
    quint64 m_linesLexed = 0;
};

} // namespace syntax
