#pragma once

#include "platform/programstart.h"
#include "platform/ui.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

// Answers every modal question by script and records what was asked. A
// question without a scripted answer is answered No / Cancel and counted
// in unexpected, so a test can check that nothing else was asked; so is a
// report (an OK-only message box) whose OK the test did not script.
class ScriptedUi : public platform::Ui
{
public:
    struct Message
    {
        QString text;
        QString title;
        platform::Buttons buttons;
        platform::Icon icon;
    };

    ScriptedUi();
    ~ScriptedUi() override;

    // Scripts the next answers, in order (Answer::OK for an expected report).
    void answer(platform::Answer a) { m_answers.push_back(a); }
    void chooseFile(const QString &path, int filterIndex = -1) { m_files.push_back({true, path, filterIndex}); }
    void cancelFile() { m_files.push_back({false, QString(), -1}); }
    void input(const std::optional<QString> &text) { m_inputs.push_back(text); }
    void print(bool accept) { m_prints.push_back(accept); }
    void spell(const platform::SpellAnswer &a) { m_spells.push_back(a); }
    void cgiRun(const std::optional<platform::CgiRunRequest> &r) { m_cgiRuns.push_back(r); }

    // What was asked.
    QList<Message> messages;
    QList<platform::FileRequest> fileRequests;
    QList<QString> inputPrompts;
    QList<platform::PrintRequest> printRequests;
    QList<platform::SpellRequest> spellRequests;
    QList<platform::CgiRunRequest> cgiRunRequests;
    int unexpected = 0;

    void clear();

    platform::Answer messageBox(QWidget *parent, const QString &text, const QString &title,
                                platform::Buttons buttons, platform::Icon icon) override;
    std::optional<QString> inputBox(QWidget *parent, const QString &prompt, const QString &title,
                                    const QString &defaultText) override;
    platform::FileAnswer fileDialog(const platform::FileRequest &request) override;
    bool printDialog(const platform::PrintRequest &request) override;
    platform::SpellAnswer spellDialog(const platform::SpellRequest &request) override;
    std::optional<platform::CgiRunRequest> cgiRunDialog(const platform::CgiRunRequest &initial) override;

private:
    struct File
    {
        bool accept;
        QString path;
        int filterIndex;
    };
    std::deque<platform::Answer> m_answers;
    std::deque<File> m_files;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<bool> m_prints;
    std::deque<platform::SpellAnswer> m_spells;
    std::deque<std::optional<platform::CgiRunRequest>> m_cgiRuns;
};

// Records program starts and opened addresses instead of carrying them out.
class RecordingProgramStart : public platform::ProgramStart
{
public:
    RecordingProgramStart();
    ~RecordingProgramStart() override;

    struct Start
    {
        QString commandLine;
        int windowStyle;
    };
    QList<Start> starts;
    QStringList opened;
    bool succeed = true;

    bool Shell(const QString &commandLine, int windowStyle) override;
    bool ShellOpen(const QString &target) override;
};
