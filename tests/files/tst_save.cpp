// Save, Save As, Close and Exit: which dialog each asks, what the caption
// and the changed marker become, failures that can't write, and byte-exact
// round trips of files in every encoding and line-break style.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "files/commondialog.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString kChanged = QStringLiteral("File - Changed");

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

// Gives a file a new time, leaving its bytes.
void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-30), QFileDevice::FileModificationTime));
}

// Opens a file through File > Open.
document::DocumentWindow *openFile(EditorFixture &f, const QString &path)
{
    f.ui.chooseFile(path);
    f.trigger(QStringLiteral("mnuFileOpen"));
    return f.activeDocument();
}

} // namespace

class TestSave : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void f12RewritesOpenedFileWithoutDialog()
    {
        EditorFixture f;
        const QString path = f.scratch("page.pl");
        writeBytes(path, "print 1;\r\n");
        document::DocumentWindow *doc = openFile(f, path);
        QVERIFY(doc);
        f.ui.clear();
        doc->rtfText->setSelStart(doc->rtfText->TextLength());
        doc->rtfText->setSelText(QStringLiteral("print 2;"));
        QCOMPARE(f.window()->panelText(2), kChanged);
        QVERIFY(f.trigger("mnuFileSave"));
        QVERIFY(f.ui.fileRequests.isEmpty());
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(readBytes(path), QByteArray("print 1;\r\nprint 2;"));
        QCOMPARE(f.window()->panelText(2), QString());
        QCOMPARE(doc->caption(), path);
        files::CommonDialog &dlg = f.window()->dlgCommonDialog();
        QCOMPARE(dlg.FileName(), path);
        QCOMPARE(dlg.DialogTitle(), QStringLiteral("Save Changes"));
        QCOMPARE(dlg.Filter(), files::shortScriptFilter());
        QVERIFY(dlg.CancelError());
    }

    void quickLinkSaveKeepsMarker()
    {
        EditorFixture f;
        const QString path = f.scratch("q.pl");
        writeBytes(path, "a\n");
        document::DocumentWindow *doc = openFile(f, path);
        QVERIFY(doc);
        doc->rtfText->setSelText(QStringLiteral("b"));
        QVERIFY(f.triggerQuick("mnuFileSave"));
        QCOMPARE(readBytes(path), QByteArray("ba\n"));
        QCOMPARE(f.window()->panelText(2), kChanged);
    }

    void untitledSaveAsksWithLastNameAndKeepsMarker()
    {
        EditorFixture f;
        const QString first = f.scratch("first.cgi");
        document::DocumentWindow *one = f.newDocument(QStringLiteral("one"));
        f.ui.chooseFile(first);
        QVERIFY(f.trigger("mnuFileSaveAs"));
        QCOMPARE(one->caption(), first);

        document::DocumentWindow *two = f.newDocument(QStringLiteral("two"));
        QCOMPARE(f.window()->panelText(2), kChanged);
        const QString second = f.scratch("second.cgi");
        f.ui.clear();
        f.ui.chooseFile(second);
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(f.ui.fileRequests.size(), 1);
        const platform::FileRequest &r = f.ui.fileRequests.first();
        QVERIFY(r.save);
        QCOMPARE(r.title, QStringLiteral("Save As"));
        QCOMPARE(r.fileName, first); // what the last dialog left
        QCOMPARE(r.filters.size(), 13); // the full script filter
        QCOMPARE(readBytes(second), QByteArray("two"));
        QCOMPARE(two->caption(), second);
        QCOMPARE(f.window()->panelText(2), kChanged);
        QCOMPARE(f.window()->dlgCommonDialog().FileName(), second);

        // From then on it has a file: no dialog.
        f.ui.clear();
        two->rtfText->setSelStart(0);
        two->rtfText->setSelText(QStringLiteral("2"));
        QVERIFY(f.trigger("mnuFileSave"));
        QVERIFY(f.ui.fileRequests.isEmpty());
        QCOMPARE(readBytes(second), QByteArray("2two"));
    }

    void quickLinkUntitledSaveUsesShortFilter()
    {
        EditorFixture f;
        f.newDocument(QStringLiteral("x"));
        f.ui.chooseFile(f.scratch("s.pl"));
        QVERIFY(f.triggerQuick("mnuFileSave"));
        QCOMPARE(f.ui.fileRequests.size(), 1);
        QCOMPARE(f.ui.fileRequests.first().filters.size(), 12);
        f.ui.chooseFile(f.scratch("t.pl"));
        QVERIFY(f.triggerQuick("mnuFileSaveAs"));
        QCOMPARE(f.ui.fileRequests.last().filters.size(), 12);
        QCOMPARE(f.ui.fileRequests.last().fileName, QString());
    }

    void saveAsOpensEmptyAndCancelChangesNothing()
    {
        EditorFixture f;
        const QString path = f.scratch("keep.pl");
        writeBytes(path, "keep");
        document::DocumentWindow *doc = openFile(f, path);
        QVERIFY(doc);
        doc->rtfText->setSelText(QStringLiteral("x"));
        f.ui.clear();
        f.ui.cancelFile();
        QVERIFY(f.trigger("mnuFileSaveAs"));
        QCOMPARE(f.ui.fileRequests.size(), 1);
        QCOMPARE(f.ui.fileRequests.first().fileName, QString());
        QCOMPARE(f.ui.fileRequests.first().title, QStringLiteral("Save As"));
        QCOMPARE(doc->caption(), path);
        QCOMPARE(readBytes(path), QByteArray("keep"));
        QCOMPARE(f.window()->panelText(2), kChanged);
        QVERIFY(f.ui.messages.isEmpty());

        // Save As to a new name writes there and leaves the marker.
        const QString other = f.scratch("other.pl");
        f.ui.chooseFile(other);
        QVERIFY(f.trigger("mnuFileSaveAs"));
        QCOMPARE(f.ui.fileRequests.last().fileName, QString());
        QCOMPARE(readBytes(other), QByteArray("xkeep"));
        QCOMPARE(doc->caption(), other);
        QCOMPARE(f.window()->dlgCommonDialog().FileName(), other);
        QCOMPARE(f.window()->panelText(2), kChanged);
    }

    void nameStartingUntitledAsksAgain()
    {
        EditorFixture f;
        const QString before = QDir::currentPath();
        QDir::setCurrent(f.scratch());
        f.newDocument(QStringLiteral("u"));
        f.ui.chooseFile(QStringLiteral("Untitled 7.pl"));
        QVERIFY(f.trigger("mnuFileSaveAs"));
        QCOMPARE(f.activeDocument()->caption(), QStringLiteral("Untitled 7.pl"));
        QCOMPARE(readBytes(f.scratch("Untitled 7.pl")), QByteArray("u"));
        f.ui.clear();
        f.ui.cancelFile();
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(f.ui.fileRequests.size(), 1);
        QDir::setCurrent(before);
    }

    void unwritablePathIsReportedAndChangesNothing_data()
    {
        QTest::addColumn<bool>("underFile");
        QTest::newRow("path under a regular file") << true;
        QTest::newRow("a folder as target") << false;
    }

    void unwritablePathIsReportedAndChangesNothing()
    {
        QFETCH(bool, underFile);
        EditorFixture f;
        const QString blocker = f.scratch("blocker");
        QString target;
        if (underFile) {
            writeBytes(blocker, "regular file");
            target = blocker + QStringLiteral("/x.pl");
        } else {
            QVERIFY(QDir().mkdir(blocker));
            target = blocker;
        }
        document::DocumentWindow *doc = f.newDocument(QStringLiteral("text"));
        const QString caption = doc->caption();
        f.ui.clear();
        f.ui.chooseFile(target);
        QVERIFY(f.trigger("mnuFileSaveAs"));
        QCOMPARE(f.ui.messages.size(), 1);
        QVERIFY(f.ui.messages.first().text.contains(target));
        QCOMPARE(doc->caption(), caption);
        QCOMPARE(f.window()->panelText(2), kChanged);
        QVERIFY(doc->hasUnsavedEdits());

        // The untitled Save fails the same way.
        f.ui.clear();
        f.ui.chooseFile(target);
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(doc->caption(), caption);
    }

    void f12ToVanishedFileKeepsMarker()
    {
        EditorFixture f;
        const QString path = f.scratch("gone.pl");
        writeBytes(path, "abc");
        document::DocumentWindow *doc = openFile(f, path);
        QVERIFY(doc);
        doc->rtfText->setSelText(QStringLiteral("x"));
        // The file's place is taken by a folder: it can't be written.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        f.ui.clear();
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(f.ui.messages.size(), 1);
        QVERIFY(f.ui.messages.first().text.contains(path));
        QCOMPARE(doc->caption(), path);
        QCOMPARE(f.window()->panelText(2), kChanged);
    }

    void saveKeepsPermissions()
    {
        EditorFixture f;
        const QString path = f.scratch("run.cgi");
        writeBytes(path, "#!/usr/bin/perl\n");
        const QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
            | QFile::ReadGroup | QFile::ExeGroup;
        QVERIFY(QFile::setPermissions(path, perms));
        const QFile::Permissions before = QFile::permissions(path);
        document::DocumentWindow *doc = openFile(f, path);
        QVERIFY(doc);
        doc->rtfText->setSelText(QStringLiteral("#"));
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(readBytes(path), QByteArray("##!/usr/bin/perl\n"));
        QCOMPARE(QFile::permissions(path), before);
        // Nothing left beside it.
        QCOMPARE(QDir(f.scratch()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void saveThroughLinkWritesTarget()
    {
        EditorFixture f;
        const QString target = f.scratch("target.pl");
        const QString link = f.scratch("link.pl");
        writeBytes(target, "old\n");
        QVERIFY(QFile::link(target, link));
        document::DocumentWindow *doc = openFile(f, link);
        QVERIFY(doc);
        doc->rtfText->setSelText(QStringLiteral("new "));
        QVERIFY(f.trigger("mnuFileSave"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(target), QByteArray("new old\n"));
    }

    void noDocumentMeansNothing()
    {
        EditorFixture f;
        f.window()->setPanelText(2, kChanged);
        for (const char *name : {"mnuFileSave", "mnuFileSaveAs", "mnuFileClose"}) {
            QVERIFY(f.trigger(QString::fromLatin1(name)));
            QVERIFY(f.triggerQuick(QString::fromLatin1(name)));
        }
        QVERIFY(f.ui.fileRequests.isEmpty());
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(f.ui.unexpected, 0);
        QCOMPARE(f.window()->panelText(2), kChanged);
    }

    void closeAsksOnlyWhileChanged()
    {
        EditorFixture f;
        f.newDocument();
        QVERIFY(f.trigger("mnuFileClose"));
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(f.window()->documents().isEmpty());

        f.newDocument(QStringLiteral("edited"));
        f.ui.answer(platform::Answer::No);
        QVERIFY(f.triggerQuick("mnuFileClose"));
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages.first().text, QStringLiteral(" Do You Want To Save Changes?"));
        QCOMPARE(f.ui.messages.first().title, QStringLiteral("File Has Changed"));
        QVERIFY(f.window()->documents().isEmpty());
        QCOMPARE(f.window()->panelText(2), QString());
    }

    void exitAsksForEveryEditedDocument()
    {
        EditorFixture f;
        const QString path = f.scratch("saved-on-exit.pl");
        f.newDocument(QStringLiteral("first"));
        f.newDocument(QStringLiteral("second"));
        // Every edited window is asked, in the order they were made, though
        // the marker empties after the first close.
        f.ui.answer(platform::Answer::Yes);
        f.ui.chooseFile(path);
        f.ui.answer(platform::Answer::No);
        QVERIFY(f.trigger("mnuFileExit"));
        QCOMPARE(f.ui.messages.size(), 2);
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(f.window()->documents().isEmpty());
        QVERIFY(!f.window()->isVisible());
        QCOMPARE(readBytes(path), QByteArray("first"));
    }

    // Exit with two edited untitled documents: the second Save As comes up
    // with the first one's name; replacing it must be asked.
    void saveAsAsksBeforeReplacingAnotherFile()
    {
        EditorFixture f;
        const QString first = f.scratch("first.cgi");
        f.newDocument(QStringLiteral("first"));
        f.newDocument(QStringLiteral("second"));
        f.ui.answer(platform::Answer::Yes);
        f.ui.chooseFile(first);
        f.ui.answer(platform::Answer::Yes);
        f.ui.chooseFile(first);                 // the name the dialog kept
        f.ui.answer(platform::Answer::No);      // don't replace: back to the dialog
        f.ui.cancelFile();                      // which stops the exit
        QVERIFY(f.trigger("mnuFileExit"));
        QCOMPARE(f.ui.unexpected, 0);
        QCOMPARE(f.ui.messages.size(), 3);
        QCOMPARE(f.ui.messages.at(2).text, QStringLiteral("first.cgi already exists. Replace it?"));
        QCOMPARE(f.ui.fileRequests.size(), 3);
        QCOMPARE(f.ui.fileRequests.at(2).fileName, first);
        QCOMPARE(readBytes(first), QByteArray("first"));
        QCOMPARE(f.window()->documents().size(), 1);
        QVERIFY(f.window()->isVisible());

        // Yes replaces it; the document's own file is never asked about.
        document::DocumentWindow *doc = f.activeDocument();
        f.ui.clear();
        f.ui.chooseFile(first);
        f.ui.answer(platform::Answer::Yes);
        QVERIFY(f.trigger("mnuFileSaveAs"));
        QCOMPARE(readBytes(first), QByteArray("second"));
        QCOMPARE(doc->caption(), first);
        f.ui.chooseFile(first);
        QVERIFY(f.trigger("mnuFileSaveAs"));
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.unexpected, 0);
    }

    void changedOnDiskAsksBeforeOverwriting()
    {
        EditorFixture f;
        const QString path = f.scratch("shared.pl");
        writeBytes(path, "mine\n");
        document::DocumentWindow *doc = openFile(f, path);
        doc->rtfText->setSelText(QStringLiteral("edited "));

        // Only touched, same bytes: saved without a question.
        touch(path);
        f.ui.clear();
        QVERIFY(f.trigger("mnuFileSave"));
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(readBytes(path), QByteArray("edited mine\n"));

        // As many bytes, and the old time put back: the change time tells.
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        writeBytes(path, "EDITED MINE\n");
        const timespec times[2] = {st.st_atim, st.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        f.ui.answer(platform::Answer::Cancel);
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(readBytes(path), QByteArray("EDITED MINE\n"));
        f.ui.clear();

        // Changed by another program: Cancel keeps its bytes and the marker.
        writeBytes(path, "theirs\n");
        doc->rtfText->setSelText(QStringLiteral("more "));
        f.ui.answer(platform::Answer::Cancel);
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages.first().buttons, platform::Buttons::OverwriteCancel);
        QVERIFY(f.ui.messages.first().text.contains(path));
        QCOMPARE(readBytes(path), QByteArray("theirs\n"));
        QCOMPARE(f.window()->panelText(2), kChanged);
        f.ui.answer(platform::Answer::Overwrite);
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(readBytes(path), QByteArray("edited more mine\n"));
        QCOMPARE(f.ui.unexpected, 0);
    }

    void changedOnDiskIsAnnouncedOnceOnActivation()
    {
        EditorFixture f;
        const QString path = f.scratch("watched.pl");
        const QString other = f.scratch("other.pl");
        writeBytes(path, "one\n");
        writeBytes(other, "x\n");
        document::DocumentWindow *doc = openFile(f, path);
        document::DocumentWindow *second = openFile(f, other);
        auto activate = [&](document::DocumentWindow *d) {
            f.window()->mdiArea()->setActiveSubWindow(d->subWindow());
            QCoreApplication::processEvents();
        };
        // Touched only: nothing said.
        touch(path);
        activate(doc);
        QVERIFY(f.ui.messages.isEmpty());

        // Changed: said once; Keep leaves the text.
        writeBytes(path, "two\n");
        activate(second);
        f.ui.answer(platform::Answer::Keep);
        activate(doc);
        activate(second);
        activate(doc);
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages.first().buttons, platform::Buttons::ReloadKeep);
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("one\r\n"));

        // Changed again: Reload takes the new text, keeps the caption, and
        // leaves nothing unsaved.
        writeBytes(path, "three <b>\n");
        f.ui.answer(platform::Answer::Reload);
        activate(second);
        activate(doc);
        QCOMPARE(f.ui.messages.size(), 2);
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("three <b>\r\n"));
        QCOMPARE(doc->caption(), path);
        QVERIFY(!doc->hasUnsavedEdits());
        QCOMPARE(doc->rtfText->colourRuns().runsIn(0, 10).size(), size_t(1)); // coloured again

        // Vanished: said once; the text now counts as unsaved.
        QVERIFY(QFile::remove(path));
        f.ui.answer(platform::Answer::OK);
        activate(second);
        activate(doc);
        activate(second);
        activate(doc);
        QCOMPARE(f.ui.messages.size(), 3);
        QVERIFY(f.ui.messages.last().text.contains(path));
        QVERIFY(doc->hasUnsavedEdits());
        QCOMPARE(f.ui.unexpected, 0);
    }

    // A file swapped for a named pipe is never opened (nothing waits on
    // it): the editor says it is no longer a regular file and keeps the
    // text, which now counts as unsaved; saving refuses the pipe.
    void fileSwappedForAPipeKeepsTheText()
    {
        EditorFixture f;
        const QString path = f.scratch("x.pl");
        writeBytes(path, "keep\n");
        document::DocumentWindow *doc = openFile(f, path);
        f.newDocument();
        QVERIFY(QFile::remove(path));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        f.ui.answer(platform::Answer::OK);
        f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
        QCoreApplication::processEvents();
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages[0].text, path + QStringLiteral(" is no longer a regular file; it is now a named pipe "
                                                              "(FIFO).\nThe editor keeps its text."));
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("keep\r\n"));
        QVERIFY(doc->hasUnsavedEdits());
        f.ui.answer(platform::Answer::OK);
        QVERIFY(f.trigger("mnuFileSave"));
        QVERIFY(f.ui.messages.last().text.contains(QLatin1String("named pipe")));
        QCOMPARE(f.ui.unexpected, 0);
    }

    // Only a whole rich-text document is read as one, and saving it as
    // plain text is asked first.
    void richTextSavesOnlyAfterAQuestion()
    {
        EditorFixture f;
        const QString path = f.scratch("letter.rtf");
        const QByteArray rtf("{\\rtf1\\ansi{\\b bold} text\\par}\r\n");
        writeBytes(path, rtf);
        document::DocumentWindow *doc = openFile(f, path);
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("bold text\r\n"));
        f.ui.answer(platform::Answer::No);
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages.first().text,
                 QStringLiteral("letter.rtf holds formatted text. Saving it as plain text loses the "
                                "formatting. Save as plain text?"));
        QCOMPARE(readBytes(path), rtf);
        // A close stops there too.
        doc->rtfText->setSelText(QStringLiteral("x"));
        f.ui.answer(platform::Answer::Yes);
        f.ui.answer(platform::Answer::No);
        QVERIFY(!doc->subWindow()->close());
        QCOMPARE(readBytes(path), rtf);
        f.ui.answer(platform::Answer::Yes);
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(readBytes(path), QByteArray("xbold text\n"));
        QCOMPARE(f.ui.unexpected, 0);

        // Something after the closing brace: plain text, saved byte for byte.
        const QByteArray script("{\\rtf1 Hello}\nprint \"x\";\n");
        const QString perl = f.scratch("odd.pl");
        writeBytes(perl, script);
        doc = openFile(f, perl);
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("{\\rtf1 Hello}\r\nprint \"x\";\r\n"));
        QVERIFY(QFile::remove(perl));
        f.ui.clear();
        QVERIFY(f.trigger("mnuFileSave"));
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(readBytes(perl), script);
    }

    void charactersTheEncodingLacksAskBeforeUtf8()
    {
        // A Windows-1252 file: typing a character it has keeps its bytes;
        // one it lacks is saved, as UTF-8, only after a question.
        EditorFixture f;
        const QString path = f.scratch("latin.txt");
        writeBytes(path, "caf\xe9\r\n");
        document::DocumentWindow *doc = openFile(f, path);
        QCOMPARE(doc->filesize->toolTip(), QStringLiteral("Windows-1252, CR LF line breaks"));
        doc->rtfText->setSelStart(doc->rtfText->TextLength());
        doc->rtfText->setSelText(QStringLiteral("\u20AC"));
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(readBytes(path), QByteArray("caf\xe9\r\n\x80"));
        QVERIFY(f.ui.messages.isEmpty());
        doc->rtfText->setSelText(QStringLiteral("\u2192"));
        f.ui.answer(platform::Answer::No);
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(f.ui.messages.size(), 1);
        QVERIFY(f.ui.messages.first().text.endsWith(QStringLiteral("Save as UTF-8?")));
        QCOMPARE(readBytes(path), QByteArray("caf\xe9\r\n\x80"));
        QCOMPARE(f.window()->panelText(2), kChanged);
        f.ui.answer(platform::Answer::Yes);
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(readBytes(path), QByteArray("caf\xc3\xa9\r\n\xe2\x82\xac\xe2\x86\x92"));
        QCOMPARE(f.ui.unexpected, 0);
    }

    void roundTripIsByteExact_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray cp1252("caf\xe9 ");
        for (int b = 0x80; b <= 0x9F; ++b)
            cp1252.append(char(b));
        cp1252.append("\r\n\xA0\xFF end\r\n");
        QTest::newRow("utf-8") << QByteArray("h\xc3\xa9llo \xe2\x82\xac \xf0\x9f\x98\x80\r\nline\r\n");
        QTest::newRow("windows-1252") << cp1252;
        QTest::newRow("crlf") << QByteArray("one\r\ntwo\r\n\r\nthree\r\n");
        QTest::newRow("lf") << QByteArray("one\ntwo\n\nthree\n");
        QTest::newRow("cr") << QByteArray("one\rtwo\r\rthree\r");
        QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd\r\n\ne");
        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF<b>bom</b>\r\n");
        QTest::newRow("second bom") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx\n");
        QTest::newRow("utf-16le") << QByteArray("\xFF\xFE<\0b\0>\0\xE9\0\r\0\n\0=\xD8\0\xDE", 16);
        QTest::newRow("utf-16be") << QByteArray("\xFE\xFF\0h\0\n\0\n\xD8=", 10);
        QTest::newRow("no final break") << QByteArray("x\r\ny");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("tabs and nul-free controls") << QByteArray("\tindent\x0c\r\n\x01\x7f\r\n");
    }

    void roundTripIsByteExact()
    {
        QFETCH(QByteArray, bytes);
        EditorFixture f;
        const QString path = f.scratch("round.txt");
        writeBytes(path, bytes);
        document::DocumentWindow *doc = openFile(f, path);
        QVERIFY(doc);
        QCOMPARE(doc->caption(), path);
        // Save must write every byte itself: the old file is gone.
        QVERIFY(QFile::remove(path));
        QVERIFY(f.trigger("mnuFileSave"));
        QCOMPARE(readBytes(path), bytes);
        QVERIFY(f.ui.messages.isEmpty());
    }
};

QTEST_MAIN(TestSave)
#include "tst_save.moc"
