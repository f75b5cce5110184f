#pragma once

#include "scripted.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QWidget;
class QTemporaryDir;

namespace frame {
class MainWindow;
}
namespace document {
class DocumentWindow;
}
namespace platform {
class RichTextBox;
}

// A running editor for a test: its own settings and data folders, its own
// program folder (a copy of the program's files), scripted dialogs and
// recorded program starts.
class EditorFixture
{
public:
    // Starts the editor with a command line (empty: none); script answers
    // the questions start-up asks.
    explicit EditorFixture(const QString &commandLine = QString(),
                           const std::function<void(ScriptedUi &)> &script = nullptr);
    ~EditorFixture();

    frame::MainWindow *window() const { return m_window; }
    ScriptedUi ui;
    RecordingProgramStart starts;

    // Picks a main-menu item; fails the test when it is missing or disabled.
    bool trigger(const QString &name);
    // Picks an item of the Quick Link menu.
    bool triggerQuick(const QString &name);
    QAction *item(const QString &name) const;
    QAction *quickItem(const QString &name) const;

    document::DocumentWindow *activeDocument() const;
    platform::RichTextBox *activeText() const;
    // A new document through File > New, with the given text typed in.
    document::DocumentWindow *newDocument(const QString &text = QString());

    QString programFolder() const;
    // A scratch folder for the test's own files.
    QString scratch(const QString &name = QString()) const;

    // Closes the main window the way Exit does; answers left scripted apply.
    void close();

private:
    frame::MainWindow *m_window = nullptr;
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<QTemporaryDir> m_scratch;
};

// Small file helpers for tests: whole files in and out (missing folders
// are made), and fake programs.
QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);
void makeExecutable(const QString &path);

// The widgets of a list in the order keyboard focus visits them, starting
// from the first.
QList<QWidget *> focusChain(const QList<QWidget *> &widgets);

// Runs with PATH set to the given folders, restoring it afterwards.
class PathOverride
{
public:
    explicit PathOverride(const QString &path);
    ~PathOverride();

private:
    QByteArray m_old;
};

// Fresh settings and data folders for the process, once.
void isolateSettings();
// Removes the settings file so the next start sees an empty store.
void clearSettings();
