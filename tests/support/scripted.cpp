#include "scripted.h"

ScriptedUi::ScriptedUi()
{
    platform::setUi(this);
}

ScriptedUi::~ScriptedUi()
{
    platform::setUi(nullptr);
}

void ScriptedUi::clear()
{
    messages.clear();
    fileRequests.clear();
    inputPrompts.clear();
    printRequests.clear();
    spellRequests.clear();
    cgiRunRequests.clear();
    unexpected = 0;
    m_answers.clear();
    m_files.clear();
    m_inputs.clear();
    m_prints.clear();
    m_spells.clear();
    m_cgiRuns.clear();
}

platform::Answer ScriptedUi::messageBox(QWidget *, const QString &text, const QString &title,
                                        platform::Buttons buttons, platform::Icon icon)
{
    messages.append(Message{text, title, buttons, icon});
    // A report (OK only) is expected only when the test scripted its OK.
    if (buttons == platform::Buttons::OK) {
        if (!m_answers.empty() && m_answers.front() == platform::Answer::OK)
            m_answers.pop_front();
        else
            ++unexpected;
        return platform::Answer::OK;
    }
    if (m_answers.empty()) {
        ++unexpected;
        return buttons == platform::Buttons::YesNo ? platform::Answer::No : platform::Answer::Cancel;
    }
    const platform::Answer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

namespace {

// The first scripted answer, taken off the queue. The value is copied out
// plainly: GCC 12 misreads a copied optional of Qt strings as maybe
// uninitialised.
template <typename T>
std::optional<T> takeFirst(std::deque<std::optional<T>> &queue)
{
    const bool answered = queue.front().has_value();
    const T value = queue.front().value_or(T());
    queue.pop_front();
    if (!answered)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<QString> ScriptedUi::inputBox(QWidget *, const QString &prompt, const QString &,
                                            const QString &)
{
    inputPrompts.append(prompt);
    if (m_inputs.empty()) {
        ++unexpected;
        return std::nullopt;
    }
    return takeFirst(m_inputs);
}

std::optional<platform::CgiRunRequest> ScriptedUi::cgiRunDialog(const platform::CgiRunRequest &initial)
{
    cgiRunRequests.append(initial);
    if (m_cgiRuns.empty()) {
        ++unexpected;
        return std::nullopt;
    }
    return takeFirst(m_cgiRuns);
}

platform::FileAnswer ScriptedUi::fileDialog(const platform::FileRequest &request)
{
    fileRequests.append(request);
    platform::FileAnswer answer;
    answer.filterIndex = request.filterIndex;
    if (m_files.empty()) {
        ++unexpected;
        return answer;
    }
    const File f = m_files.front();
    m_files.pop_front();
    answer.accepted = f.accept;
    answer.fileName = f.path;
    if (f.filterIndex >= 0)
        answer.filterIndex = f.filterIndex;
    return answer;
}

bool ScriptedUi::printDialog(const platform::PrintRequest &request)
{
    printRequests.append(request);
    if (m_prints.empty()) {
        ++unexpected;
        return false;
    }
    const bool a = m_prints.front();
    m_prints.pop_front();
    return a;
}

platform::SpellAnswer ScriptedUi::spellDialog(const platform::SpellRequest &request)
{
    spellRequests.append(request);
    if (m_spells.empty()) {
        ++unexpected;
        return platform::SpellAnswer{};
    }
    const platform::SpellAnswer a = m_spells.front();
    m_spells.pop_front();
    return a;
}

RecordingProgramStart::RecordingProgramStart()
{
    platform::setProgramStart(this);
}

RecordingProgramStart::~RecordingProgramStart()
{
    platform::setProgramStart(nullptr);
}

bool RecordingProgramStart::Shell(const QString &commandLine, int windowStyle)
{
    starts.append(Start{commandLine, windowStyle});
    return succeed;
}

bool RecordingProgramStart::ShellOpen(const QString &target)
{
    opened.append(target);
    return succeed;
}
