#include "syntax/perlstate.h"

#include "syntax/statetable.h"

namespace syntax {

namespace {

StateTable &table()
{
    static StateTable t;
    return t;
}

// A direct id packs mode (3 bits), expectTerm, endSection, quote kind (2),
// part (2), an opening delimiter below 256 (8) and a depth below 8192 (13).
constexpr int kOpenShift = 9;
constexpr int kDepthShift = 17;
constexpr int kMaxDepth = 1 << 13;

} // namespace

char16_t closingDelimiter(char16_t open)
{
    switch (open) {
    case u'(': return u')';
    case u'[': return u']';
    case u'{': return u'}';
    case u'<': return u'>';
    default: return open;
    }
}

State PerlState::encode() const
{
    const State packed = State(mode) | State(expectTerm) << 3 | State(endSection) << 4 | State(quote) << 5
                         | State(part) << 7;
    if (hereDocs.empty() && open < 256 && depth < kMaxDepth)
        return packed | State(open) << kOpenShift | State(depth) << kDepthShift;
    QString key;
    key.reserve(8);
    key += QChar(char16_t(packed));
    key += QChar(open);
    key += QChar(char16_t(depth & 0xFFFF));
    key += QChar(char16_t(depth >> 16));
    for (const HereDoc &h : hereDocs) {
        key += QChar(char16_t(h.indented));
        key += QChar(char16_t(qMin(h.terminator.size(), qsizetype(0xFFFF))));
        key += h.terminator.left(0xFFFF);
    }
    return table().intern(key);
}

PerlState PerlState::decode(State id)
{
    PerlState s;
    State packed = id;
    if (StateTable::isTableId(id)) {
        const QString key = table().key(id);
        if (key.size() < 4)
            return s;
        packed = key[0].unicode() | State(key[1].unicode()) << kOpenShift;
        s.depth = key[2].unicode() | int(key[3].unicode()) << 16;
        for (qsizetype i = 4; i + 1 < key.size();) {
            HereDoc h;
            h.indented = key[i].unicode() != 0;
            const qsizetype length = key[i + 1].unicode();
            h.terminator = key.mid(i + 2, length);
            s.hereDocs.push_back(h);
            i += 2 + length;
        }
    } else {
        s.depth = int(packed >> kDepthShift);
    }
    s.mode = PerlMode(packed & 7);
    s.expectTerm = packed >> 3 & 1;
    s.endSection = packed >> 4 & 1;
    s.quote = QuoteKind(packed >> 5 & 3);
    s.part = quint8(packed >> 7 & 3);
    s.open = char16_t(StateTable::isTableId(id) ? packed >> kOpenShift : packed >> kOpenShift & 0xFF);
    s.close = closingDelimiter(s.open);
    return s;
}

} // namespace syntax
