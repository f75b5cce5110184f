#include "syntax/statetable.h"

namespace syntax {

State StateTable::intern(const QString &key)
{
    QMutexLocker lock(&m_mutex);
    const auto found = m_ids.constFind(key);
    if (found != m_ids.constEnd())
        return *found;
    const State id = kTableBit | State(m_keys.size());
    m_keys.push_back(key);
    m_ids.insert(key, id);
    return id;
}

QString StateTable::key(State id) const
{
    QMutexLocker lock(&m_mutex);
    const size_t index = id & ~kTableBit;
    return index < m_keys.size() ? m_keys[index] : QString();
}

qsizetype StateTable::size() const
{
    QMutexLocker lock(&m_mutex);
    return qsizetype(m_keys.size());
}

} // namespace syntax
