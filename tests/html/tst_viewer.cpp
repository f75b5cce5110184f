// The page viewer and the preview: the preview file, the viewer's caption
// after a load, when a preview does nothing, the help and script list
// pages, fitting the browser, and the engine staying out of start-up.

#include "support/browsermain.h"
#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "frame/toolbar.h"
#include "html/pageviewer.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
#include "platform/twips.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

namespace {

// Loading the engine and its first page can take a while on a busy machine.
constexpr int kLoadTimeout = 20000;

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

bool engineMapped()
{
    return readBytes(QStringLiteral("/proc/self/maps")).contains("libQt6WebEngineCore");
}

QString captionOf(html::PageViewer *viewer)
{
    return viewer ? viewer->windowTitle() : QStringLiteral("<no viewer>");
}

// Every shown, non-minimized child spans the area's width, one above the
// other without overlapping.
bool tiledHorizontally(QMdiArea *mdi)
{
    QList<QRect> rects;
    for (QMdiSubWindow *sub : mdi->subWindowList()) {
        if (sub->isVisible() && !sub->isMinimized())
            rects << sub->geometry();
    }
    if (rects.isEmpty())
        return false;
    for (int i = 0; i < rects.size(); ++i) {
        if (rects[i].width() != mdi->viewport()->width())
            return false;
        for (int j = i + 1; j < rects.size(); ++j) {
            if (rects[i].intersects(rects[j]))
                return false;
        }
    }
    return true;
}

const QByteArray kTitledPage = "<html><head><title>Preview Title</title></head>\r\n<body>Hello</body></html>";

} // namespace

class TestViewer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    // Runs first: nothing before it has made a browser in this process.
    void startUpLeavesEngineUnloaded()
    {
        EditorFixture f;
        f.newDocument(QString::fromLatin1(kTitledPage));
        QVERIFY(!platform::BrowserControl::engineLoaded());
        QVERIFY(!engineMapped());
        QVERIFY(!html::pageViewer());
        if (!QFileInfo::exists(platform::BrowserControl::modulePath()))
            QSKIP("the browser module was not built; the viewer uses its stand-in");
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QVERIFY(html::pageViewer());
        QVERIFY(html::pageViewer()->brwWebBrowser->usesEngine());
        QVERIFY(platform::BrowserControl::engineLoaded());
        QVERIFY(engineMapped());
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(html::pageViewer()), QStringLiteral("Preview Title"),
                                  kLoadTimeout);
    }

    void menuPreviewWritesFileAndShowsTitle()
    {
        EditorFixture f;
        document::DocumentWindow *doc = f.newDocument(QString::fromLatin1(kTitledPage));
        f.newDocument(QStringLiteral("second"));
        f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
        QVERIFY(f.trigger("mnuhtmlpreview"));
        const QString path = platform::programFile(QStringLiteral("\\preview.html"));
        // The untitled, unsaved document's current text, as the control holds it.
        QCOMPARE(readBytes(path), doc->rtfText->encodedText());
        QVERIFY(readBytes(path).contains("Preview Title"));
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        QCOMPARE(viewer->objectName(), QStringLiteral("frmBrowser"));
        QCOMPARE(viewer->brwWebBrowser->objectName(), QStringLiteral("brwWebBrowser"));
        QCOMPARE(viewer->brwWebBrowser->pos(), QPoint(0, 0));
        QCOMPARE(f.window()->activeChild(), viewer);
        QCOMPARE(viewer->brwWebBrowser->LocationURL(), QUrl::fromLocalFile(path));
        QVERIFY(tiledHorizontally(f.window()->mdiArea()));
        QCOMPARE(f.window()->mdiArea()->subWindowList().size(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("Preview Title"), kLoadTimeout);
        QCOMPARE(viewer->subWindow()->windowTitle(), QStringLiteral("Preview Title"));
        // The document itself is neither saved nor changed.
        QVERIFY(!doc->hasFile());
        QCOMPARE(doc->rtfText->Text(), QString::fromLatin1(kTitledPage));
        QCOMPARE(f.ui.unexpected, 0);
    }

    void toolbarAndQuickLinkPreviews()
    {
        EditorFixture f;
        document::DocumentWindow *doc = f.newDocument(QString::fromLatin1(kTitledPage));
        frame::buttonClick(QStringLiteral("Preview Html"));
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        QCOMPARE(f.window()->activeChild(), viewer);
        QVERIFY(tiledHorizontally(f.window()->mdiArea()));
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("Preview Title"), kLoadTimeout);

        // The Quick Link copy reuses the one viewer.
        f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
        doc->rtfText->setText(QStringLiteral("<title>Again</title>"));
        QVERIFY(f.triggerQuick("mnuhtmlpreview"));
        QCOMPARE(html::pageViewer(), viewer);
        QCOMPARE(f.window()->mdiArea()->subWindowList().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("Again"), kLoadTimeout);
    }

    void previewWithoutDocumentDoesNothing()
    {
        EditorFixture f;
        const QString path = platform::programFile(QStringLiteral("\\preview.html"));
        QVERIFY(!f.item("mnuhtmlpreview")->isEnabled());
        frame::buttonClick(QStringLiteral("Preview Html"));
        f.window()->runMenuCommand(QStringLiteral("mnuhtmlpreview"));
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(!html::pageViewer());
        QVERIFY(f.window()->mdiArea()->subWindowList().isEmpty());
    }

    void previewWhileViewerActiveDoesNothing()
    {
        EditorFixture f;
        document::DocumentWindow *doc = f.newDocument(QString::fromLatin1(kTitledPage));
        const QString path = platform::programFile(QStringLiteral("\\preview.html"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("Preview Title"), kLoadTimeout);
        const QByteArray first = readBytes(path);

        // The viewer has the focus: a second preview at once does nothing.
        doc->rtfText->setText(QStringLiteral("<title>Second</title>"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        frame::buttonClick(QStringLiteral("Preview Html"));
        QCOMPARE(readBytes(path), first);
        QCOMPARE(f.window()->activeChild(), viewer);

        // Back in the document, the next preview reuses the viewer and
        // overwrites the file.
        f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QCOMPARE(html::pageViewer(), viewer);
        QCOMPARE(readBytes(path), QByteArray("<title>Second</title>"));
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("Second"), kLoadTimeout);
    }

    void previewKeepsDocumentEncoding()
    {
        EditorFixture f;
        const QString source = f.scratch("latin.html");
        const QByteArray bytes = "<html><head><title>Caf\xe9</title></head>\r\n<body>\xe9t\xe9</body></html>\r\n";
        writeBytes(source, bytes);
        f.ui.chooseFile(source);
        QVERIFY(f.trigger("mnuFileOpen"));
        QVERIFY(f.activeDocument());
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QCOMPARE(readBytes(platform::programFile(QStringLiteral("\\preview.html"))), bytes);
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        if (viewer->brwWebBrowser->usesEngine())
            QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QString::fromUtf8("Caf\u00e9"), kLoadTimeout);
    }

    void pageWithoutTitleShowsPath()
    {
        EditorFixture f;
        f.newDocument(QStringLiteral("<p>no title here</p>"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), platform::programFile(QStringLiteral("\\preview.html")),
                                  kLoadTimeout);

        // A title that is also a piece of the page's path is still the title.
        f.window()->mdiArea()->setActiveSubWindow(f.window()->documents().constFirst()->subWindow());
        f.activeText()->setText(QStringLiteral("<title>preview</title>"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("preview"), kLoadTimeout);
    }

    void relativeReferencesResolveAgainstDocumentFolder()
    {
        EditorFixture f;
        writeBytes(platform::programFile(QStringLiteral("\\rel.js")), "document.title = 'program folder';");
        writeBytes(f.scratch("rel.js"), "document.title = 'document folder';");
        writeFile(f.scratch("sub/up.js"), "document.title += ' and up';");
        // A root-relative address is the server's root, outside every
        // site: it is not found.
        writeBytes(platform::programFile(QStringLiteral("\\root.js")), "document.title += ' and root';");
        const QByteArray page = "<html><head><title>none</title><script src=\"rel.js\"></script>"
                                "<script src=\"sub/up.js\"></script><script src=\"/root.js\"></script>"
                                "</head><body></body></html>";
        writeBytes(f.scratch("page.html"), page);
        f.ui.chooseFile(f.scratch("page.html"));
        QVERIFY(f.trigger("mnuFileOpen"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        // The preview file is still the one beside the program.
        const QString preview = platform::programFile(QStringLiteral("\\preview.html"));
        QCOMPARE(readBytes(preview), page);
        QCOMPARE(viewer->brwWebBrowser->LocationURL(), QUrl::fromLocalFile(preview));
        if (!viewer->brwWebBrowser->usesEngine())
            QSKIP("the stand-in viewer runs no scripts");
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("document folder and up"), kLoadTimeout);

        // An untitled document has no folder: the program's is used.
        document::DocumentWindow *untitled = f.newDocument(QString::fromLatin1(page));
        QVERIFY(untitled);
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("program folder"), kLoadTimeout);
    }

    void previewFileThatCannotBeWrittenShowsNoViewer()
    {
        EditorFixture f;
        document::DocumentWindow *doc = f.newDocument(QString::fromLatin1(kTitledPage));
        platform::setProgramFolder(f.scratch("no/such/folder"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QVERIFY(!html::pageViewer());
        QCOMPARE(f.window()->activeChild(), doc);
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void contentsCreatesMissingHelpPageEmpty()
    {
        EditorFixture f;
        const QString help = platform::programFile(QStringLiteral("\\help.html"));
        QVERIFY(QFile::remove(help));
        QVERIFY(f.trigger("mnuHelpContents"));
        QVERIFY(QFileInfo::exists(help));
        QCOMPARE(QFileInfo(help).size(), 0);
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        QVERIFY(viewer->subWindow()->isMaximized());
        QCOMPARE(f.window()->activeChild(), viewer);
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), help, kLoadTimeout);
        QCOMPARE(QFileInfo(help).size(), 0);

        // With the viewer active, a preview does nothing.
        document::DocumentWindow *doc = f.newDocument(QStringLiteral("<title>x</title>"));
        QVERIFY(doc);
        f.window()->mdiArea()->setActiveSubWindow(viewer->subWindow());
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QVERIFY(!QFileInfo::exists(platform::programFile(QStringLiteral("\\preview.html"))));
    }

    void contentsAndScriptListShowExistingPages()
    {
        EditorFixture f;
        const QString help = platform::programFile(QStringLiteral("\\help.html"));
        const QString list = platform::programFile(QStringLiteral("\\list.html"));
        const QByteArray helpBytes = readBytes(help);
        const QByteArray listBytes = readBytes(list);
        QVERIFY(helpBytes.size() > 1000);
        QVERIFY(f.trigger("mnuHelpContents"));
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("Quillet Lite Help"), kLoadTimeout);
        QCOMPARE(readBytes(help), helpBytes);

        QVERIFY(f.trigger("mnuscriptlist"));
        QCOMPARE(html::pageViewer(), viewer);
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("Quillet Lite Script List"), kLoadTimeout);
        QCOMPARE(readBytes(list), listBytes);

        // The Quick Link copies, from a document, do the same.
        document::DocumentWindow *doc = f.newDocument(QStringLiteral("text"));
        f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
        QVERIFY(f.triggerQuick("mnuHelpContents"));
        QCOMPARE(f.window()->activeChild(), viewer);
        QVERIFY(viewer->subWindow()->isMaximized());
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(viewer), QStringLiteral("Quillet Lite Help"), kLoadTimeout);
        QCOMPARE(f.ui.unexpected, 0);
    }

    void contentsInUnwritableFolderStillOpensViewer()
    {
        EditorFixture f;
        const QString folder = f.scratch("missing");
        platform::setProgramFolder(folder);
        QVERIFY(f.trigger("mnuscriptlist"));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/list.html")));
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        QCOMPARE(viewer->brwWebBrowser->LocationURL(), QUrl::fromLocalFile(folder + QStringLiteral("/list.html")));
        QVERIFY(viewer->subWindow()->isMaximized());
    }

    void copyInViewerTakesPageSelectionCutDoesNothing()
    {
        EditorFixture f;
        f.newDocument(QStringLiteral("<html><body onload=\"window.getSelection().selectAllChildren("
                                     "document.body)\">Page words</body></html>"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        if (!viewer->brwWebBrowser->usesEngine())
            QSKIP("the stand-in browser runs no script to select the page");
        QTRY_COMPARE_WITH_TIMEOUT(viewer->brwWebBrowser->selectedText(), QStringLiteral("Page words"),
                                  kLoadTimeout);
        QCOMPARE(f.window()->activeChild(), viewer);
        QApplication::clipboard()->setText(QStringLiteral("kept"));
        QVERIFY(f.trigger("mnuEditCut"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("kept"));
        QVERIFY(f.trigger("mnuEditCopy"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Page words"));
    }

    void closingDocumentClosesViewer()
    {
        EditorFixture f;
        document::DocumentWindow *first = f.newDocument(QString::fromLatin1(kTitledPage));
        document::DocumentWindow *second = f.newDocument(QStringLiteral("<title>Two</title>"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QPointer<html::PageViewer> viewer = html::pageViewer();
        QVERIFY(viewer);
        first->markSaved();
        f.window()->framclean();
        QVERIFY(first->subWindow()->close());
        QVERIFY(!html::pageViewer());
        QTRY_VERIFY(!viewer);
        QCOMPARE(f.window()->mdiArea()->subWindowList().size(), 1);

        // The next use makes a new viewer, whose caption starts empty.
        f.window()->mdiArea()->setActiveSubWindow(second->subWindow());
        frame::buttonClick(QStringLiteral("Preview Html"));
        html::PageViewer *again = html::pageViewer();
        QVERIFY(again);
        QTRY_COMPARE_WITH_TIMEOUT(captionOf(again), QStringLiteral("Two"), kLoadTimeout);

        // The user's own close of the viewer unloads it at once.
        QVERIFY(again->subWindow()->close());
        QVERIFY(!html::pageViewer());
    }

    void captionEmptyUntilFirstLoadAndFitting()
    {
        EditorFixture f;
        html::PageViewer *viewer = html::showPageViewer();
        QVERIFY(viewer);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QString());
        const auto expectX = [](int px) { return platform::twipsToPixelsX(platform::pixelsToTwipsX(px) - 50); };
        const auto expectY = [](int px) { return platform::twipsToPixelsY(platform::pixelsToTwipsY(px) - 50); };
        QCOMPARE(viewer->brwWebBrowser->size(), QSize(expectX(viewer->width()), expectY(viewer->height())));

        viewer->subWindow()->resize(500, 400);
        QCoreApplication::processEvents();
        const QSize fitted(expectX(viewer->width()), expectY(viewer->height()));
        QCOMPARE(viewer->brwWebBrowser->size(), fitted);
        QVERIFY(fitted.width() < viewer->width() && fitted.height() < viewer->height());

        // Too narrow: neither dimension changes.
        viewer->resize(2, 300);
        QCOMPARE(viewer->brwWebBrowser->size(), fitted);
        // Too low: the width is applied, the height is kept.
        viewer->resize(300, 2);
        QCOMPARE(viewer->brwWebBrowser->size(), QSize(expectX(300), fitted.height()));
    }
};

QUILLET_BROWSER_TEST_MAIN(TestViewer)

#include "tst_viewer.moc"
