#pragma once

#include <QString>

#include <stdexcept>
#include <utility>

namespace platform {

// An error raised by a control or dialog, carrying the number a handler
// may test (32755 is the cancel of a file or print dialog). Handlers decide
// what an error does: end the command, or be skipped so the next step runs.
class ControlError : public std::runtime_error
{
public:
    enum Number {
        InvalidPropertyValue = 380,
        FileNotFound = 53,
        PathFileAccess = 75,
        Cancel = 32755,
        ObjectRequired = 424,
    };

    ControlError(int number, const QString &message)
        : std::runtime_error(message.toStdString()), m_number(number), m_message(message)
    {
    }
    int number() const { return m_number; }
    QString message() const { return m_message; }

private:
    int m_number;
    QString m_message;
};

// The command that is running on this thread, named for the report of an
// unexpected error. Commands started from within a command nest.
class CommandScope
{
public:
    explicit CommandScope(const QString &name);
    ~CommandScope();
    CommandScope(const CommandScope &) = delete;
    CommandScope &operator=(const CommandScope &) = delete;

private:
    QString m_name;
    const QString *m_outer;
};

// The name of the running command, empty outside any.
QString currentCommand();

// A control error is part of a command's ordinary flow and stays silent;
// anything else (a programming error, memory running out) is written to
// standard error with the running command's name, then the command goes on
// as its error style says.
void reportUnexpectedError(const char *what) noexcept;

// Runs one step of a command whose steps each ignore their own errors.
template <typename F>
void ignoreErrors(F &&step) noexcept
{
    try {
        std::forward<F>(step)();
    } catch (const ControlError &) {
    } catch (const std::exception &e) {
        reportUnexpectedError(e.what());
    } catch (...) {
        reportUnexpectedError(nullptr);
    }
}

// Runs a command that ends silently at its first error; true when it ran
// to its end.
template <typename F>
bool endOnError(F &&body) noexcept
{
    try {
        std::forward<F>(body)();
        return true;
    } catch (const ControlError &) {
        return false;
    } catch (const std::exception &e) {
        reportUnexpectedError(e.what());
        return false;
    } catch (...) {
        reportUnexpectedError(nullptr);
        return false;
    }
}

} // namespace platform
