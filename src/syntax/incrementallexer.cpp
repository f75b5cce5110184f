#include "syntax/incrementallexer.h"

#include <QElapsedTimer>

#include <algorithm>
#include <climits>

namespace syntax {

IncrementalLexer::IncrementalLexer(Kind kind) : m_kind(kind), m_lexer(&lexerFor(kind)) {}

void IncrementalLexer::setKind(Kind kind)
{
    m_kind = kind;
    m_lexer = &lexerFor(kind);
    reset(lineCount());
}

void IncrementalLexer::reset(int lineCount)
{
    m_ends.assign(size_t(std::max(lineCount, 0)), kUnknown);
    m_stale.clear();
    if (lineCount > 0)
        m_stale.push_back(0);
}

void IncrementalLexer::linesChanged(int first, int last, int delta)
{
    const int oldCount = lineCount();
    const int newCount = oldCount + delta;
    first = std::clamp(first, 0, std::max(newCount - 1, 0));
    last = std::clamp(last, first, std::max(newCount - 1, 0));
    const int oldLast = std::clamp(last - delta, first, std::max(oldCount - 1, first));
    if (newCount <= 0) {
        reset(0);
        return;
    }

    // The state at the end of the edited lines is the one the old last of
    // them ended in: when the new last ends in it too, the lines after
    // them lex as before.
    const State boundary = oldLast < oldCount ? m_ends[size_t(oldLast)] : kUnknown;
    const auto from = m_ends.begin() + std::min(first, oldCount);
    m_ends.erase(from, m_ends.begin() + std::min(oldLast + 1, oldCount));
    m_ends.insert(m_ends.begin() + first, size_t(last - first + 1), kUnknown);
    m_ends.resize(size_t(newCount), kUnknown);
    m_ends[size_t(last)] = boundary;

    std::vector<int> stale;
    stale.reserve(m_stale.size() + 1);
    for (int s : m_stale) {
        if (s < first)
            stale.push_back(s);
        else if (s > oldLast && s + delta < newCount)
            stale.push_back(s + delta);
    }
    m_stale = std::move(stale);
    addStale(first);
}

void IncrementalLexer::addStale(int line)
{
    const auto at = std::lower_bound(m_stale.begin(), m_stale.end(), line);
    if (at == m_stale.end() || *at != line)
        m_stale.insert(at, line);
}

State IncrementalLexer::startState(int line) const
{
    if (line <= 0 || line > lineCount() || m_ends[size_t(line - 1)] == kUnknown)
        return m_lexer->initialState();
    return m_ends[size_t(line - 1)];
}

void IncrementalLexer::tokens(int line, QStringView text, Tokens &out) const
{
    out.clear();
    m_lexer->lexLine(text, startState(line), &out);
}

std::vector<LineRange> IncrementalLexer::lexUpTo(const LineSource &source, int last, qint64 budgetNanoseconds)
{
    return lex(source, last, budgetNanoseconds);
}

std::vector<LineRange> IncrementalLexer::lexSlice(const LineSource &source, qint64 budgetNanoseconds)
{
    return lex(source, INT_MAX, budgetNanoseconds);
}

std::vector<LineRange> IncrementalLexer::lex(const LineSource &source, int last, qint64 budgetNanoseconds)
{
    std::vector<LineRange> changed;
    QElapsedTimer timer;
    timer.start();
    const int count = std::min(lineCount(), source.lineCount());
    bool outOfTime = false;
    while (!m_stale.empty() && m_stale.front() <= last && !outOfTime) {
        const int start = m_stale.front();
        if (start >= count) {
            m_stale.clear();
            break;
        }
        State state = startState(start);
        int line = start;
        bool settled = false;
        for (;; ++line) {
            const State end = m_lexer->lexLine(source.lineText(line), state, nullptr);
            ++m_linesLexed;
            settled = m_ends[size_t(line)] == end;
            m_ends[size_t(line)] = end;
            state = end;
            if (settled || line + 1 >= count || line >= last)
                break;
            if (timer.nsecsElapsed() >= budgetNanoseconds) {
                outOfTime = true;
                break;
            }
        }
        // Every stale line passed is lexed now; unless lexing stopped at a
        // match, the line after the last one lexed is stale in its turn.
        m_stale.erase(m_stale.begin(), std::upper_bound(m_stale.begin(), m_stale.end(), line));
        if (!settled && line + 1 < count)
            addStale(line + 1);
        if (!changed.empty() && changed.back().last + 1 >= start)
            changed.back().last = std::max(changed.back().last, line);
        else
            changed.push_back({start, line});
        if (timer.nsecsElapsed() >= budgetNanoseconds)
            outOfTime = true;
    }
    return changed;
}

} // namespace syntax
