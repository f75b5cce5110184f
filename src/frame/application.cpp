#include "frame/application.h"

#include "frame/mainwindow.h"
#include "platform/documentloader.h"

#include <QApplication>
#include <QStringList>

namespace app {

void nameApplication()
{
    QApplication::setApplicationName(QStringLiteral("Quillet Lite"));
    // No display name: Qt would append it to every window's title, and the
    // title the desktop shows must be the caption alone.
    QApplication::setDesktopFileName(QStringLiteral("quillet-lite"));
}

int run(int argc, char **argv)
{
    // No OpenGL at start-up: the page viewer's browser module sets up what
    // its engine needs when it is first loaded.
    QApplication application(argc, argv);
    nameApplication();

    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString commandLine = args.join(QLatin1Char(' '));
    // Read and decode the named file on another core while the window is
    // being made.
    if (!commandLine.isEmpty())
        platform::DocumentPreloader::start(commandLine);

    QApplication::setQuitOnLastWindowClosed(false);
    frame::MainWindow window;
    QObject::connect(&window, &frame::MainWindow::closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.startUp(commandLine);
    window.show();
    const int result = application.exec();
    platform::DocumentPreloader::discard();
    return result;
}

} // namespace app
