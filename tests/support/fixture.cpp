#include "fixture.h"

#include "testenv.h"

#include "document/documentwindow.h"
#include "frame/filetypes.h"
#include "frame/mainwindow.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {
QtMessageHandler g_previous = nullptr;

// The offscreen platform's notes about what it can't do are noise here.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints"))
        || message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    if (g_previous)
        g_previous(type, context, message);
}
} // namespace

void isolateSettings()
{
    static bool done = false;
    if (!done) {
        testenv::isolate();
        // Every start registers the file types in the test's own folders;
        // the desktop's cache tools would outlive the test and its folders.
        frame::setCacheUpdater([](const QString &, const QString &) {});
        g_previous = qInstallMessageHandler(quietHandler);
        done = true;
    }
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

void makeExecutable(const QString &path)
{
    writeFile(path, "#!/bin/sh\nexit 0\n");
    QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser));
}

QList<QWidget *> focusChain(const QList<QWidget *> &widgets)
{
    QList<QWidget *> chain;
    if (widgets.isEmpty())
        return chain;
    QWidget *w = widgets.first();
    do {
        if (widgets.contains(w))
            chain << w;
        w = w->nextInFocusChain();
    } while (w && w != widgets.first() && chain.size() < widgets.size());
    return chain;
}

PathOverride::PathOverride(const QString &path) : m_old(qgetenv("PATH"))
{
    qputenv("PATH", QFile::encodeName(path));
}

PathOverride::~PathOverride()
{
    qputenv("PATH", m_old);
}

void clearSettings()
{
    isolateSettings();
    QFile::remove(platform::SettingsStore::filePath());
    // Damaged files the store kept beside it.
    QDir folder = QFileInfo(platform::SettingsStore::filePath()).dir();
    for (const QString &kept : folder.entryList({QStringLiteral("settings.ini.damaged-*")}, QDir::Files))
        folder.remove(kept);
}

EditorFixture::EditorFixture(const QString &commandLine, const std::function<void(ScriptedUi &)> &script)
    : m_programDir(new QTemporaryDir), m_scratch(new QTemporaryDir)
{
    isolateSettings();
    // The program's own files, copied from beside the test binaries.
    const QString source = QCoreApplication::applicationDirPath();
    for (const char *name : {"newhtml.qz", "help.html", "list.html", "tod.qz", "quilex.ico"}) {
        QFile::copy(source + QLatin1Char('/') + QLatin1String(name),
                    m_programDir->path() + QLatin1Char('/') + QLatin1String(name));
    }
    platform::setProgramFolder(m_programDir->path());
    m_window = new frame::MainWindow;
    if (script)
        script(ui);
    m_window->startUp(commandLine);
    m_window->show();
    QCoreApplication::processEvents();
}

EditorFixture::~EditorFixture()
{
    if (m_window) {
        // Whatever is still open closes without questions.
        for (document::DocumentWindow *doc : m_window->documents())
            doc->markSaved();
        m_window->framclean();
        ui.clear();
        m_window->close();
        delete m_window;
    }
    QCoreApplication::processEvents();
    platform::setProgramFolder(QString());
}

void EditorFixture::close()
{
    m_window->close();
    QCoreApplication::processEvents();
}

QAction *EditorFixture::item(const QString &name) const
{
    return m_window->menuItem(name);
}

QAction *EditorFixture::quickItem(const QString &name) const
{
    return m_window->quickItem(name);
}

bool EditorFixture::trigger(const QString &name)
{
    QAction *a = item(name);
    if (!a) {
        qWarning("no main-menu item %s", qPrintable(name));
        return false;
    }
    if (!a->isEnabled()) {
        qWarning("main-menu item %s is disabled", qPrintable(name));
        return false;
    }
    a->trigger();
    QCoreApplication::processEvents();
    return true;
}

bool EditorFixture::triggerQuick(const QString &name)
{
    QAction *a = quickItem(name);
    if (!a) {
        qWarning("no Quick Link item %s", qPrintable(name));
        return false;
    }
    if (!a->isEnabled()) {
        qWarning("Quick Link item %s is disabled", qPrintable(name));
        return false;
    }
    a->trigger();
    QCoreApplication::processEvents();
    return true;
}

document::DocumentWindow *EditorFixture::activeDocument() const
{
    return m_window->activeDocument();
}

platform::RichTextBox *EditorFixture::activeText() const
{
    return m_window->activeText();
}

document::DocumentWindow *EditorFixture::newDocument(const QString &text)
{
    m_window->runMenuCommand(QStringLiteral("mnuBlankFile"));
    QCoreApplication::processEvents();
    document::DocumentWindow *doc = activeDocument();
    if (doc && !text.isEmpty())
        doc->rtfText->setSelText(text);
    return doc;
}

QString EditorFixture::programFolder() const
{
    return m_programDir->path();
}

QString EditorFixture::scratch(const QString &name) const
{
    return name.isEmpty() ? m_scratch->path() : m_scratch->path() + QLatin1Char('/') + name;
}
