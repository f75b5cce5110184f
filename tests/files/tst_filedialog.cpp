// The file dialogs: every entry's patterns as the filters mean them
// ("ALL Files (*.*)" lists every file, letter case never matters), and
// the folder each dialog opens in.

#include "support/fixture.h"

#include "frame/mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// The names a file dialog lists in a folder once it has read it.
QStringList listed(QFileDialog *dialog, const QString &folder)
{
    auto *model = dialog->findChild<QFileSystemModel *>();
    QStringList names;
    if (!model)
        return names;
    const QModelIndex root = model->index(folder);
    for (int i = 0; i < model->rowCount(root); ++i)
        names << model->index(i, 0, root).data().toString();
    names.sort();
    return names;
}

// Picks an entry of the dialog's type list from the keyboard.
void chooseEntry(QFileDialog *dialog, int index)
{
    auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    QTest::keyClick(types, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(types, Qt::Key_Down);
}

} // namespace

class TestFileDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void allFilesListsEveryFileAndCaseNeverMatters()
    {
        QTemporaryDir site;
        for (const char *name : {"a.cgi", "B.CGI", "script", "PAGE.HTML", "index.html"})
            writeFile(site.filePath(QString::fromLatin1(name)), "x\n");
        EditorFixture f(site.filePath("a.cgi"));
        QString folder;
        QStringList cgi, html, all;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            folder = dialog->directory().absolutePath();
            const QString path = QDir(site.path()).absolutePath();
            (void)QTest::qWaitFor([&] { return !listed(dialog, path).isEmpty(); }, 5000);
            cgi = listed(dialog, path);
            chooseEntry(dialog, 5); // "HTML Files(*.html)"
            (void)QTest::qWaitFor([&] { return listed(dialog, path) != cgi; }, 5000);
            html = listed(dialog, path);
            chooseEntry(dialog, 12); // "ALL Files (*.*)"
            (void)QTest::qWaitFor([&] { return listed(dialog, path).size() == 5; }, 5000);
            all = listed(dialog, path);
            dialog->reject();
        });
        poll.start(20);
        platform::setUi(nullptr); // the real dialog, closed by the timer
        f.window()->runMenuCommand(QStringLiteral("mnuFileOpen"));
        platform::setUi(&f.ui);
        QCOMPARE(folder, QDir(site.path()).absolutePath());
        QCOMPARE(cgi, QStringList({"B.CGI", "a.cgi"}));
        QCOMPARE(html, QStringList({"PAGE.HTML", "index.html"}));
        QCOMPARE(all, QStringList({"B.CGI", "PAGE.HTML", "a.cgi", "index.html", "script"}));
    }

    void openInDocumentFolderElseLastUsedNeverWorkingFolder()
    {
        QTemporaryDir a, b, elsewhere;
        writeFile(a.filePath("one.pl"), "1\n");
        writeFile(b.filePath("two.pl"), "2\n");
        const QString before = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        EditorFixture f;
        f.ui.chooseFile(a.filePath("one.pl"));
        QVERIFY(f.trigger("mnuFileOpen"));
        f.ui.chooseFile(b.filePath("two.pl"));
        QVERIFY(f.trigger("mnuFileOpen"));
        f.newDocument();
        f.ui.cancelFile();
        QVERIFY(f.trigger("mnuFileSaveAs"));
        QDir::setCurrent(before);
        QCOMPARE(f.ui.fileRequests.size(), 3);
        QCOMPARE(f.ui.fileRequests.at(0).directory, QDir::homePath());
        QCOMPARE(f.ui.fileRequests.at(1).directory, QDir(a.path()).absolutePath());
        QCOMPARE(f.ui.fileRequests.at(2).directory, QDir(b.path()).absolutePath());
    }
};

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
