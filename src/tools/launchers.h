#pragma once

#include <QDialog>
#include <QListWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace tools {

// The folder list: the folders from the root down to the current one,
// then the current folder's subfolders. Double-click or Enter on a folder
// makes it the current one.
class FolderList : public QListWidget
{
    Q_OBJECT
public:
    explicit FolderList(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    // Throws ControlError when the folder can't be read; the list is then
    // left as it was.
    void setPath(const QString &path);

Q_SIGNALS:
    void Change();

private:
    void fill();
    QString m_path;
};

// The file list: the executable files of one folder.
class ProgramList : public QListWidget
{
    Q_OBJECT
public:
    explicit ProgramList(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    void setPath(const QString &path);
    void Refresh();

Q_SIGNALS:
    // A file name picked by mouse click, Enter or Space.
    void Click(const QString &fileName);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_path;
};

// "Find And Start Program": browses the mounted volumes and their folders
// for programs and starts the one clicked, minimized. A modeless dialog.
class DeskLink : public QDialog
{
    Q_OBJECT
public:
    explicit DeskLink(QWidget *owner);

    QComboBox *Drive1;
    FolderList *Dir1;
    ProgramList *File1;
    QLabel *Label1;
    QPushButton *Label2; // "Close Me": a label that works as a button

    // The root paths of the mounted, ready volumes, "/" first.
    static QStringList drives();

private:
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click(const QString &fileName);
    void Label2_Click();
};

// The picker window while it is open (null when closed).
DeskLink *openDeskLink();

} // namespace tools
