#pragma once

namespace platform {

// A state that code enters and leaves in nested scopes ("loading", "making
// a format change"): it holds while at least one Scope is alive, and a
// Scope leaves it however its block ends.
class Nesting
{
public:
    class Scope
    {
    public:
        explicit Scope(Nesting &n) : m_n(n) { ++m_n.m_depth; }
        ~Scope() { --m_n.m_depth; }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        Nesting &m_n;
    };

    bool active() const { return m_depth > 0; }
    int depth() const { return m_depth; }

private:
    int m_depth = 0;
};

} // namespace platform
