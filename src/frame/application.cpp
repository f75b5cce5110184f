#include "frame/application.h"

#include "frame/mainwindow.h"
#include "platform/documentloader.h"
#include "platform/singleinstance.h"
#include "platform/startupfeedback.h"
#include "storage/fileprobe.h"

#include <QApplication>
#include <QDir>
#include <QStringList>

namespace app {

void nameApplication()
{
    QApplication::setApplicationName(QStringLiteral("Quillet Lite"));
    // No display name: Qt would append it to every window's title, and the
    // title the desktop shows must be the caption alone.
    QApplication::setDesktopFileName(QStringLiteral("quillet-lite"));
}

void serveLaterStarts(platform::SingleInstance &instance, frame::MainWindow &window)
{
    QObject::connect(&instance, &platform::SingleInstance::openRequested, &window,
                     [&window](const QString &path) {
                         window.openload(path);
                         window.setWindowState((window.windowState() & ~Qt::WindowMinimized)
                                               | Qt::WindowActive);
                         window.show();
                         window.raise();
                         window.activateWindow();
                     });
    // A closing editor sends later starts on their own way.
    QObject::connect(&window, &frame::MainWindow::closed, &instance, &platform::SingleInstance::close);
    instance.listen();
}

int run(int argc, char **argv)
{
    // The desktop's launch feedback, which the X11 platform takes for the
    // first window shown.
    const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
    // No OpenGL at start-up: the page viewer's browser module sets up what
    // its engine needs when it is first loaded.
    QApplication application(argc, argv);
    nameApplication();

    // The arguments as the system gave them (Qt has taken its own out): a
    // file name that is not valid UTF-8 keeps its bytes, so that it is
    // refused rather than taken for another name.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << storage::decodeFileName(QByteArray(argv[i]));
    const bool newInstance = !args.isEmpty() && args.first() == QLatin1String("--new-instance");
    if (newInstance)
        args.removeFirst();
    const QString commandLine = args.join(QLatin1Char(' '));
    // The running editor gets the file by its full path, since its working
    // folder isn't this one.
    if (!newInstance && !commandLine.isEmpty()
        && platform::SingleInstance::handOver(QDir::current().absoluteFilePath(commandLine))) {
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            platform::endStartupFeedback(startupId);
        return 0;
    }

    // Read and decode the named file on another core while the window is
    // being made.
    if (!commandLine.isEmpty())
        platform::DocumentPreloader::start(commandLine);

    QApplication::setQuitOnLastWindowClosed(false);
    frame::MainWindow window;
    QObject::connect(&window, &frame::MainWindow::closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // Starts during this one's start-up wait for it.
    platform::SingleInstance instance;
    serveLaterStarts(instance, window);
    window.startUp(commandLine);
    window.show();
    const int result = application.exec();
    platform::DocumentPreloader::discard();
    return result;
}

} // namespace app
