#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace help {

// "About Quillet (LT)": title, version, description and a button that
// starts the desktop's system-information tool.
class AboutBox : public QDialog
{
    Q_OBJECT
public:
    // Centred over the owner's window.
    explicit AboutBox(QWidget *owner);

    QLabel *picIcon;
    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *lblDescription;
    QLabel *Label1;
    QLabel *lblDisclaimer;
    QFrame *Line1[2]; // the etched rule: grey over white
    QPushButton *cmdOK;
    QPushButton *cmdSysInfo;
};

// "Version 1.0.5", from the program's version components.
QString versionText();

// The system-information tool found on a search path (PATH's form:
// folders separated by ':'); empty when there is none.
QString sysInfoToolPath(const QString &searchPath);

// Starts the system-information tool found on PATH, or says that there
// is none.
void StartSysInfo(QWidget *parent);

// How the about box is shown: modal by default. Tests install their own
// (nullptr restores the default).
using DialogRunner = std::function<int(QDialog &)>;
void setAboutRunner(DialogRunner runner);

} // namespace help
