#include "help/about.h"

#include "editing/findform.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "help/helpcommands.h"
#include "platform/errors.h"
#include "platform/programstart.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"
#include "platform/ui.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>

namespace help {


namespace {

DialogRunner &runner()
{
    static DialogRunner r;
    return r;
}


QLabel *label(QWidget *parent, const char *name, const QString &text, int left, int top, int width, int height)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    platform::setTwipsGeometry(l, left, top, width, height);
    return l;
}

QFrame *rule(QWidget *parent, int top, const QColor &colour)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    QPalette p = line->palette();
    p.setColor(QPalette::WindowText, colour);
    line->setPalette(p);
    platform::setTwipsGeometry(line, 105, top, 5520, 15);
    return line;
}

// Desktop tools that show what the machine is made of, best first.
const char *const kSysInfoTools[] = {"hardinfo2", "hardinfo", "kinfocenter", "gnome-system-monitor",
                                     "plasma-systemmonitor", "ksysguard", "mate-system-monitor",
                                     "xfce4-taskmanager"};

} // namespace

QString versionText()
{
    return QStringLiteral("Version ") + QString::number(QUILLET_VERSION_MAJOR) + QLatin1Char('.')
        + QString::number(QUILLET_VERSION_MINOR) + QLatin1Char('.')
        + QString::number(QUILLET_VERSION_REVISION);
}

AboutBox::AboutBox(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quillet (LT)"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(QIcon(QStringLiteral(":/icons/quilex-48.png")).pixmap(32, 32));
    platform::setTwipsGeometry(picIcon, 240, 240, 540, 540);
    picIcon->setAccessibleName(QStringLiteral("Quillet Lite icon"));

    lblTitle = label(this, "lblTitle", QStringLiteral("Application Title"), 1050, 240, 4425, 480);
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = label(this, "lblVersion", QStringLiteral("Version"), 1050, 780, 4425, 225);
    lblDescription = label(this, "lblDescription",
                           QStringLiteral("Quillet (Lite):\n"
                                          "Is to make it easier to edit and view perl and cgi scripts"),
                           1050, 1125, 4425, 810);
    Label1 = label(this, "Label1",
                   QStringLiteral("Thanks to everyone who tried the early versions and sent in "
                                  "their ideas and fixes."),
                   1050, 1995, 4425, 480);
    Line1[0] = rule(this, 2535, QColor(0x80, 0x80, 0x80));
    Line1[1] = rule(this, 2550, QColor(0xFF, 0xFF, 0xFF));
    lblDisclaimer = label(this, "lblDisclaimer",
                          QStringLiteral("Warning: this program is protected by copyright law. "
                                         "Copying or passing it on, in whole or in part, without "
                                         "permission may be prosecuted."),
                          255, 2700, 3870, 945);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    platform::setTwipsGeometry(cmdOK, 4245, 2700, 1260, 375);
    cmdOK->setDefault(true); // Enter; Escape closes the dialog as well
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    platform::setTwipsGeometry(cmdSysInfo, 4245, 3180, 1260, 375);
    cmdSysInfo->setAutoDefault(false);

    // Load.
    lblVersion->setText(versionText());
    lblTitle->setText(platform::appTitle());
    platform::layoutForm(this, 5730, 3780);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(this); });

    // Centred over the owner's window, kept on its screen. An owner that
    // isn't shown (the Find form holding the Quick Link menu) has no place
    // of its own: then the main window's.
    QWidget *over = owner ? owner->window() : nullptr;
    if (over && !over->isVisible() && frame::frmMain())
        over = frame::frmMain();
    if (over) {
        const QRect area = over->frameGeometry();
        QPoint topLeft = area.center() - QPoint(width() / 2, height() / 2);
        if (QScreen *screen = over->screen() ? over->screen() : QGuiApplication::primaryScreen()) {
            const QRect avail = screen->availableGeometry();
            topLeft.setX(qBound(avail.left(), topLeft.x(), qMax(avail.left(), avail.right() - width())));
            topLeft.setY(qBound(avail.top(), topLeft.y(), qMax(avail.top(), avail.bottom() - height())));
        }
        move(topLeft);
    }
}

QString sysInfoToolPath(const QString &searchPath)
{
    const QStringList folders = searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (folders.isEmpty())
        return QString();
    for (const char *tool : kSysInfoTools) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(tool), folders);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

void StartSysInfo(QWidget *parent)
{
    const QString path = sysInfoToolPath(QString::fromLocal8Bit(qgetenv("PATH")));
    bool started = false;
    if (!path.isEmpty())
        platform::ignoreErrors([&] { started = platform::programStart().Shell(path, platform::NormalFocus); });
    if (!started)
        platform::ui().messageBox(parent, QStringLiteral("System Information Is Unavailable At This Time"),
                                  platform::appTitle(), platform::Buttons::OK, platform::Icon::None);
}

void setAboutRunner(DialogRunner r)
{
    runner() = std::move(r);
}

void registerAboutCommands()
{
    frame::addCommand(QStringLiteral("mnuHelpAbout"), [](frame::Tree tree) {
        platform::endOnError([tree] {
            frame::MainWindow *w = frame::frmMain();
            // The Quick Link copy belongs to the Find dialog's window.
            QWidget *owner = tree == frame::Tree::Main ? static_cast<QWidget *>(w)
                                                       : static_cast<QWidget *>(w->frmlink());
            AboutBox box(owner);
            if (runner())
                runner()(box);
            else
                box.exec();
        });
    });
}

} // namespace help
