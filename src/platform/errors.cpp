#include "platform/errors.h"

#include <QByteArray>

#include <cstdio>

namespace platform {

namespace {
thread_local const QString *t_command = nullptr;
} // namespace

CommandScope::CommandScope(const QString &name) : m_name(name), m_outer(t_command)
{
    t_command = &m_name;
}

CommandScope::~CommandScope()
{
    t_command = m_outer;
}

QString currentCommand()
{
    return t_command ? *t_command : QString();
}

void reportUnexpectedError(const char *what) noexcept
{
    try {
        const QByteArray reason = what && *what ? QByteArray(what) : QByteArrayLiteral("unknown exception");
        QByteArray line = QByteArrayLiteral("quilex: ");
        if (t_command)
            line += QByteArrayLiteral("command ") + t_command->toUtf8() + QByteArrayLiteral(": ");
        line += QByteArrayLiteral("unexpected error: ") + reason + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
    } catch (...) {
        std::fputs("quilex: unexpected error\n", stderr);
    }
}

} // namespace platform
