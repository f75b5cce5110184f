#pragma once

#include "syntax/tokens.h"

#include <QHash>
#include <QMutex>
#include <QString>

#include <vector>

namespace syntax {

// Lexer states too large for the 31 bits of a direct id (here-document
// terminators, wide delimiters, deep nesting) are kept here, once each, and
// named by an id with the top bit set. The table only grows: a document
// seldom has more than a handful of such states, and keeping them makes
// every id stay valid for every document.
class StateTable
{
public:
    static constexpr State kTableBit = 0x80000000u;
    static bool isTableId(State s) { return (s & kTableBit) != 0; }

    State intern(const QString &key);
    QString key(State id) const;
    qsizetype size() const;

private:
    mutable QMutex m_mutex;
    QHash<QString, State> m_ids;
    std::vector<QString> m_keys;
};

} // namespace syntax
