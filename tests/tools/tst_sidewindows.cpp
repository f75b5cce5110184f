// The Code Keeper and App-bar note windows: geometry kept in twips in the
// settings store, rich-text notes kept in the program folder, the layout of
// the pane, and what happens when the notes can't be written.

#include "support/fixture.h"

#include "frame/mainwindow.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"
#include "tools/sidewindows.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextDocument>

#include <sys/stat.h>
#include <unistd.h>

using platform::readSetting;
using platform::RichTextBox;
using platform::writeSetting;
using tools::SideWindow;

namespace {

struct Expect
{
    const char *item;
    const char *form;
    const char *caption;
    const char *control;
    const char *file;
    const char *prefix;
    int width, height;
};

// Notes as a rich-edit control writes them, with what the pane can't show:
// a picture, a link's target, a table's rows and hidden text.
const QByteArray kRichNotes =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}}\r\n"
    "{\\colortbl ;\\red0\\green0\\blue255;}\r\n"
    "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1\\pard\\f0\\fs22 "
    "{\\pict\\pngblip\\picw10\\pich10 89504e470d0a1a0a}\\par\r\n"
    "{\\field{\\*\\fldinst{HYPERLINK \"https://example.com/\"}}{\\fldrslt{\\ul\\cf1 site}}}\\par\r\n"
    "\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\cell\\row\r\n"
    "\\pard{\\v hidden}end\\par\r\n}\r\n";
const char *const kRichNotesKept[] = {
    "{\\pict\\pngblip\\picw10\\pich10 89504e470d0a1a0a}",
    "{\\field{\\*\\fldinst{HYPERLINK \"https://example.com/\"}}{\\fldrslt",
    "\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\cell\\row",
    "{\\v hidden}end",
};

const Expect kCodeKeeper = {"mnuholder", "Sholder", "Code Keeper", "rtfText", "sholder.qz", "sholder", 3375, 4815};
const Expect kAppBar = {"mnuappbar", "appbar", "App-bar", "rtf1", "appbar.qz", "appbar", 6360, 1200};

// Opens a side window from the View menu and finds it by name.
QWidget *open(EditorFixture &f, const Expect &e)
{
    if (!f.trigger(QString::fromLatin1(e.item)))
        return nullptr;
    return f.window()->findChild<QWidget *>(QString::fromLatin1(e.form), Qt::FindDirectChildrenOnly);
}

RichTextBox *pane(QWidget *w, const Expect &e)
{
    return w ? w->findChild<RichTextBox *>(QString::fromLatin1(e.control)) : nullptr;
}

// Closes a window by its close box and lets it be unloaded.
void closeWindow(QWidget *w)
{
    w->close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString stored(const Expect &e, const char *property)
{
    return readSetting("Settings", QString::fromLatin1(e.prefix) + QLatin1String(property), "absent");
}

QString contentPath(EditorFixture &f, const Expect &e)
{
    return f.programFolder() + QLatin1Char('/') + QLatin1String(e.file);
}

// The text of a notes file, read back as the windows read it.
QString notesText(const QString &path)
{
    RichTextBox box;
    box.LoadFile(path);
    return box.Text();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ino_t inode(const QString &path)
{
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// The link target of the text at a position of Text.
QString linkAt(RichTextBox *box, int position)
{
    QTextCursor c(box->document());
    c.setPosition(box->toDocumentPosition(position) + 1);
    return c.charFormat().anchorHref();
}

// Pastes with the control's own key, as the user does.
void paste(RichTextBox *box, QMimeData *data)
{
    QGuiApplication::clipboard()->setMimeData(data);
    QTest::keySequence(box, QKeySequence::Paste);
}

void select(RichTextBox *box, int start, int length)
{
    box->setSelStart(start);
    box->setSelLength(length);
}

void checkFormatting(RichTextBox *box)
{
    QCOMPARE(box->Text(), QStringLiteral("Keep this\r\nsecond line"));
    select(box, 0, 4);
    QVERIFY(box->SelBold());
    select(box, 5, 4);
    QVERIFY(!box->SelBold());
    QCOMPARE(box->SelColor(), quint32(0x0000FF));
    select(box, 11, 6);
    QCOMPARE(box->SelFontSize(), 14.0);
    select(box, 18, 4);
    QVERIFY(box->SelFontSize() != 14.0);
    QCOMPARE(box->SelColor(), quint32(0));
}

// The pane fills the window less 40 twips left and top and 30 right and
// bottom, and wraps 400 twips short of its width.
void checkLayout(QWidget *w, RichTextBox *box)
{
    const int innerWidth = platform::pixelsToTwipsX(w->width());
    const int innerHeight = platform::pixelsToTwipsY(w->height());
    QCOMPARE(box->geometry(), QRect(platform::twipsToPixelsX(40), platform::twipsToPixelsY(40),
                                    platform::twipsToPixelsX(innerWidth - 70),
                                    platform::twipsToPixelsY(innerHeight - 70)));
    QCOMPARE(box->RightMargin(), innerWidth - 70 - 400);
}

} // namespace

class TestSideWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void firstUseWithEmptyStore()
    {
        EditorFixture f;
        for (const Expect &e : {kCodeKeeper, kAppBar}) {
            const QString path = contentPath(f, e);
            QVERIFY(!QFile::exists(path));
            QPointer<QWidget> w = open(f, e);
            QVERIFY2(w, e.form);
            QCOMPARE(w->windowTitle(), QString::fromLatin1(e.caption));
            QVERIFY(w->isVisible());
            QVERIFY(w->isWindow());
            QCOMPARE(w->parentWidget(), static_cast<QWidget *>(f.window()));
            QCOMPARE(w->windowModality(), Qt::NonModal);
            const Qt::WindowFlags flags = w->windowFlags();
            QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
            QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
            QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));

            const QRect outer = w->frameGeometry();
            QCOMPARE(outer.topLeft(), QPoint(platform::twipsToPixelsX(1000), platform::twipsToPixelsY(1000)));
            QCOMPARE(outer.size(), QSize(platform::twipsToPixelsX(e.width), platform::twipsToPixelsY(e.height)));
            RichTextBox *box = pane(w, e);
            QVERIFY(box);
            QCOMPARE(box->Text(), QString());
            checkLayout(w, box);

            closeWindow(w);
            QVERIFY(!w);
            // The first close creates the notes file, empty pane or not.
            QVERIFY(fileBytes(path).startsWith("{\\rtf"));
            QCOMPARE(stored(e, "Left").toInt(), platform::pixelsToTwipsX(outer.left()));
            QCOMPARE(stored(e, "Top").toInt(), platform::pixelsToTwipsY(outer.top()));
            QCOMPARE(stored(e, "Width").toInt(), e.width);
            QCOMPARE(stored(e, "Height").toInt(), e.height);
        }
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void formattingSurvivesReopenAndRestart()
    {
        QByteArray saved;
        {
            EditorFixture f;
            QWidget *w = open(f, kCodeKeeper);
            RichTextBox *box = pane(w, kCodeKeeper);
            QVERIFY(box);
            box->setSelText(QStringLiteral("Keep this\r\nsecond line"));
            select(box, 0, 4);
            box->setSelBold(true);
            select(box, 5, 4);
            box->setSelColor(0x0000FF);
            select(box, 11, 6);
            box->setSelFontSize(14);
            closeWindow(w);

            w = open(f, kCodeKeeper);
            checkFormatting(pane(w, kCodeKeeper));
            closeWindow(w);
            saved = fileBytes(contentPath(f, kCodeKeeper));
        }
        QVERIFY(!saved.isEmpty());

        // A new run with the same program folder's notes.
        EditorFixture g;
        QFile file(contentPath(g, kCodeKeeper));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(saved);
        file.close();
        QWidget *w = open(g, kCodeKeeper);
        checkFormatting(pane(w, kCodeKeeper));
        // The App-bar keeps its own file.
        QCOMPARE(pane(open(g, kAppBar), kAppBar)->Text(), QString());
    }

    void utf8AndLineSeparatorsRoundTrip()
    {
        // Notes another program wrote in UTF-8, with a line break inside a
        // paragraph; one more typed with Shift+Enter.
        EditorFixture f;
        const QString path = contentPath(f, kCodeKeeper);
        writeFile(path, "{\\rtf1\\ansi\\ansicpg65001\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 caf\\'c3\\'a9 "
                        "\xe2\x82\xac\xe2\x80\xa8na\xc3\xafve\\par end}");
        const QString expected = QString::fromUtf16(u"caf\u00e9 \u20ac\u2028na\u00efve\nend");
        QPointer<QWidget> w = open(f, kCodeKeeper);
        RichTextBox *box = pane(w, kCodeKeeper);
        QCOMPARE(box->document()->toRawText(), QString(expected).replace(u'\n', QChar::ParagraphSeparator));
        box->setSelStart(int(box->Text().size()));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(box, QStringLiteral("x"));
        closeWindow(w);
        for (int run = 0; run < 2; ++run) {
            w = open(f, kCodeKeeper);
            QCOMPARE(pane(w, kCodeKeeper)->document()->blockCount(), 2);
            QCOMPARE(pane(w, kCodeKeeper)->document()->toRawText(),
                     QString(expected + QChar::LineSeparator + u'x').replace(u'\n', QChar::ParagraphSeparator));
            closeWindow(w);
        }
    }

    void notesKeepWhatThePaneCannotShow()
    {
        EditorFixture f;
        const QString path = contentPath(f, kCodeKeeper);
        writeFile(path, kRichNotes);
        const ino_t written = inode(path);
        QPointer<QWidget> w = open(f, kCodeKeeper);
        RichTextBox *box = pane(w, kCodeKeeper);
        const QString shown = box->Text();
        QCOMPARE(QString(shown).remove(QChar(0xFFFC)), QStringLiteral("\r\nsite\r\na\tb\r\nend\r\n"));
        QCOMPARE(linkAt(box, int(shown.indexOf(QLatin1String("site")))), QStringLiteral("https://example.com/"));
        // The picture shows as a box; the row's definition takes no room.
        auto width = [&](int at) {
            const QTextBlock block = box->document()->findBlock(at);
            const QTextLine line = block.layout()->lineForTextPosition(at - block.position());
            return line.cursorToX(at - block.position() + 1) - line.cursorToX(at - block.position());
        };
        QVERIFY(width(box->toDocumentPosition(int(shown.indexOf(QChar(0xFFFC))))) > 10);
        QCOMPARE(width(box->toDocumentPosition(int(shown.indexOf(QLatin1String("a\tb"))) - 1)), 0.0);

        // Closed unchanged: the file is not written at all.
        closeWindow(w);
        QVERIFY(!w);
        QCOMPARE(fileBytes(path), kRichNotes);
        QCOMPARE(inode(path), written);

        // Edited around it, all of it is written back where it was.
        w = open(f, kCodeKeeper);
        box = pane(w, kCodeKeeper);
        box->setSelStart(int(shown.indexOf(QLatin1String("end"))));
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("the "));
        box->setSelStart(int(shown.indexOf(QLatin1String("\tb"))) + 1);
        QTest::keyClicks(box, QStringLiteral("x"));
        closeWindow(w);
        const QByteArray saved = fileBytes(path);
        for (const char *kept : kRichNotesKept)
            QVERIFY2(saved.contains(QByteArray(kept).replace("b\\cell", "xb\\cell").replace("}end", "}the end")),
                     saved.constData());
        w = open(f, kCodeKeeper);
        box = pane(w, kCodeKeeper);
        QCOMPARE(QString(box->Text()).remove(QChar(0xFFFC)), QStringLiteral("\r\nsite\r\na\txb\r\nthe end\r\n"));
        QCOMPARE(linkAt(box, int(box->Text().indexOf(QLatin1String("site")))), QStringLiteral("https://example.com/"));
        QCOMPARE(f.ui.unexpected, 0);
    }

    void pasteKeepsFormattingInNotesOnly()
    {
        EditorFixture f;
        auto page = [] {
            auto *data = new QMimeData;
            data->setHtml(QStringLiteral("<b>bold</b> <a href=\"https://example.com/\">link</a> "
                                         "<span style=\"color:#ff0000; font-size:20pt\">red</span>"));
            data->setText(QStringLiteral("bold link red"));
            return data;
        };
        QPointer<QWidget> w = open(f, kCodeKeeper);
        RichTextBox *box = pane(w, kCodeKeeper);
        box->setFocus();
        paste(box, page());
        QCOMPARE(box->Text(), QStringLiteral("bold link red"));
        select(box, 0, 4);
        QVERIFY(box->SelBold());
        QCOMPARE(linkAt(box, 5), QStringLiteral("https://example.com/"));
        select(box, 10, 3);
        QVERIFY(!box->SelBold());
        QCOMPARE(box->SelColor(), quint32(0x0000FF));
        QCOMPARE(box->SelFontSize(), 20.0);

        // Rich text on the clipboard, as a word processor puts it there.
        box->setSelStart(int(box->Text().size()));
        auto *rich = new QMimeData;
        rich->setData(QStringLiteral("text/rtf"), "{\\rtf1 {\\i  italic}{\\pict 00}}");
        rich->setText(QStringLiteral(" italic"));
        paste(box, rich);
        QCOMPARE(QString(box->Text()).remove(QChar(0xFFFC)), QStringLiteral("bold link red italic"));
        select(box, 15, 1);
        QVERIFY(box->textCursor().charFormat().fontItalic());
        closeWindow(w);
        const QByteArray saved = fileBytes(contentPath(f, kCodeKeeper));
        QVERIFY2(saved.contains("{\\field{\\*\\fldinst{HYPERLINK \"https://example.com/\"}}"), saved.constData());
        QVERIFY2(saved.contains("{\\pict 00}"), saved.constData());

        // A document window holds a plain text file: it takes the text.
        f.newDocument();
        RichTextBox *text = f.activeText();
        text->setFocus();
        paste(text, page());
        QCOMPARE(text->Text(), QStringLiteral("bold link red"));
        select(text, 0, 4);
        QVERIFY(!text->SelBold());
    }

    void geometryStoredAndRestoredExactly()
    {
        EditorFixture f;
        QWidget *w = open(f, kAppBar);
        w->setGeometry(150, 130, 500, 140);
        QCoreApplication::processEvents();
        const QRect outer = w->frameGeometry();
        QVERIFY(outer.topLeft() != QPoint(platform::twipsToPixelsX(1000), platform::twipsToPixelsY(1000)));
        checkLayout(w, pane(w, kAppBar));
        closeWindow(w);
        QCOMPARE(stored(kAppBar, "Left"), QString::number(platform::pixelsToTwipsX(outer.left())));
        QCOMPARE(stored(kAppBar, "Top"), QString::number(platform::pixelsToTwipsY(outer.top())));
        QCOMPARE(stored(kAppBar, "Width"), QString::number(platform::pixelsToTwipsX(outer.width())));
        QCOMPARE(stored(kAppBar, "Height"), QString::number(platform::pixelsToTwipsY(outer.height())));
        // The Code Keeper's keys are its own.
        QCOMPARE(stored(kCodeKeeper, "Left"), QStringLiteral("absent"));

        w = open(f, kAppBar);
        QCOMPARE(w->frameGeometry(), outer);

        // Values written elsewhere are outer coordinates too.
        closeWindow(w);
        writeSetting("Settings", "sholderLeft", "3000");
        writeSetting("Settings", "sholderTop", "1500");
        writeSetting("Settings", "sholderWidth", "4500");
        writeSetting("Settings", "sholderHeight", "3000");
        w = open(f, kCodeKeeper);
        QCOMPARE(w->frameGeometry(), QRect(platform::twipsToPixelsX(3000), platform::twipsToPixelsY(1500),
                                           platform::twipsToPixelsX(4500), platform::twipsToPixelsY(3000)));
    }

    void minimizedCloseKeepsGeometry()
    {
        writeSetting("Settings", "sholderLeft", "2000");
        EditorFixture f;
        QWidget *w = open(f, kCodeKeeper);
        pane(w, kCodeKeeper)->setSelText(QStringLiteral("minimized notes"));
        w->move(10, 10);
        w->showMinimized();
        QCoreApplication::processEvents();
        QVERIFY(w->isMinimized());
        closeWindow(w);
        QCOMPARE(stored(kCodeKeeper, "Left"), QStringLiteral("2000"));
        QCOMPARE(stored(kCodeKeeper, "Top"), QStringLiteral("absent"));
        QCOMPARE(stored(kCodeKeeper, "Width"), QStringLiteral("absent"));
        QCOMPARE(stored(kCodeKeeper, "Height"), QStringLiteral("absent"));
        // The notes are saved all the same.
        QCOMPARE(notesText(contentPath(f, kCodeKeeper)), QStringLiteral("minimized notes"));
    }

    void notANumberKeepsDesignValue()
    {
        writeSetting("Settings", "sholderLeft", "3000");
        writeSetting("Settings", "sholderTop", "12abc");
        writeSetting("Settings", "sholderWidth", "wide");
        writeSetting("Settings", "sholderHeight", "3600");
        writeSetting("Settings", "appbarHeight", "");
        writeSetting("Settings", "appbarWidth", "-500");
        EditorFixture f;
        QWidget *w = open(f, kCodeKeeper);
        QCOMPARE(w->frameGeometry(), QRect(platform::twipsToPixelsX(3000), platform::twipsToPixelsY(1000),
                                           platform::twipsToPixelsX(3375), platform::twipsToPixelsY(3600)));
        w = open(f, kAppBar);
        QCOMPARE(w->frameGeometry().size(), QSize(platform::twipsToPixelsX(6360), platform::twipsToPixelsY(1200)));
        QCOMPARE(f.ui.unexpected, 0);
    }

    void geometryOffScreenOrAbsurdComesOnScreen()
    {
        writeSetting("Settings", "sholderTop", "-99999999");
        writeSetting("Settings", "appbarHeight", "2147483647");
        EditorFixture f;
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(avail.contains(open(f, kCodeKeeper)->frameGeometry()));
        QVERIFY(avail.contains(open(f, kAppBar)->frameGeometry()));
    }

    void unsavedNotesKeepTheWindowOpen()
    {
        EditorFixture f;
        // A folder where the notes file should be: loading leaves the pane
        // empty without a word; saving fails and says why.
        const QString path = contentPath(f, kCodeKeeper);
        QVERIFY(QDir().mkpath(path));
        QPointer<QWidget> w = open(f, kCodeKeeper);
        RichTextBox *box = pane(w, kCodeKeeper);
        QCOMPARE(box->Text(), QString());
        QVERIFY(f.ui.messages.isEmpty());
        box->setSelText(QStringLiteral("must not be lost"));
        f.ui.answer(platform::Answer::Yes); // keep the window open
        closeWindow(w);
        QVERIFY(w && w->isVisible());
        QCOMPARE(box->Text(), QStringLiteral("must not be lost"));
        QCOMPARE(f.ui.messages.size(), 1);
        const ScriptedUi::Message m = f.ui.messages.first();
        QVERIFY2(m.text.contains(QDir::toNativeSeparators(path)), qPrintable(m.text));
        QVERIFY2(m.text.contains(QLatin1String("Is a directory")), qPrintable(m.text));
        QCOMPARE(m.buttons, platform::Buttons::YesNo);
        QCOMPARE(m.icon, platform::Icon::Warning);
        QCOMPARE(stored(kCodeKeeper, "Left"), QStringLiteral("absent")); // not closed

        // Exit stops at it too, and so does Escape at the question.
        f.ui.answer(platform::Answer::Cancel);
        f.close();
        QVERIFY(f.window()->isVisible());
        QVERIFY(w && w->isVisible());

        // The cause removed, the next close saves and closes.
        QVERIFY(QDir(path).removeRecursively());
        f.ui.clear();
        closeWindow(w);
        QVERIFY(!w);
        QCOMPARE(notesText(path), QStringLiteral("must not be lost"));
        QCOMPARE(f.ui.messages.size(), 0);
        QVERIFY(stored(kCodeKeeper, "Left") != QLatin1String("absent"));

        // A program folder that is a file, which even root can't write into:
        // No lets the notes go.
        const QString plain = f.scratch("plain");
        writeFile(plain, "not a folder");
        platform::setProgramFolder(plain);
        w = open(f, kAppBar);
        pane(w, kAppBar)->setSelText(QStringLiteral("let go"));
        f.ui.answer(platform::Answer::No);
        closeWindow(w);
        platform::setProgramFolder(f.programFolder());
        QVERIFY(!w);
        QCOMPARE(f.ui.messages.size(), 1);
        const QString text = f.ui.messages.first().text;
        QVERIFY2(text.contains(QDir::toNativeSeparators(plain + QStringLiteral("/appbar.qz"))), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("Not a directory")), qPrintable(text));
        QCOMPARE(f.ui.unexpected, 0);
    }

    void notesChangedByAnotherEditor()
    {
        EditorFixture f;
        const QString path = contentPath(f, kCodeKeeper);
        // The other editor writes its notes as this one does.
        auto otherEditorWrites = [&](const QString &text) {
            RichTextBox other;
            other.setSelText(text);
            other.SaveFile(path);
        };
        otherEditorWrites(QStringLiteral("first"));

        // Nothing typed here: the other editor's notes stay, no question.
        QPointer<QWidget> w = open(f, kCodeKeeper);
        otherEditorWrites(QStringLiteral("theirs"));
        closeWindow(w);
        QVERIFY(!w);
        QCOMPARE(notesText(path), QStringLiteral("theirs"));
        QCOMPARE(f.ui.messages.size(), 0);

        // Typed here too: asked. No keeps theirs and this window's text on
        // screen; closing again leaves the file alone.
        w = open(f, kCodeKeeper);
        RichTextBox *box = pane(w, kCodeKeeper);
        box->setSelText(QStringLiteral("mine "));
        otherEditorWrites(QStringLiteral("theirs again"));
        f.ui.answer(platform::Answer::No);
        closeWindow(w);
        QVERIFY(w && w->isVisible());
        QCOMPARE(box->Text(), QStringLiteral("mine theirs"));
        QCOMPARE(notesText(path), QStringLiteral("theirs again"));
        QCOMPARE(f.ui.messages.size(), 1);
        QVERIFY2(f.ui.messages.first().text.contains(QDir::toNativeSeparators(path)),
                 qPrintable(f.ui.messages.first().text));
        QCOMPARE(f.ui.messages.first().buttons, platform::Buttons::YesNo);
        closeWindow(w);
        QVERIFY(!w);
        QCOMPARE(notesText(path), QStringLiteral("theirs again"));

        // Yes replaces them.
        w = open(f, kCodeKeeper);
        pane(w, kCodeKeeper)->setSelText(QStringLiteral("mine "));
        otherEditorWrites(QStringLiteral("theirs once more"));
        f.ui.answer(platform::Answer::Yes);
        closeWindow(w);
        QVERIFY(!w);
        QCOMPARE(notesText(path), QStringLiteral("mine theirs again"));
        QCOMPARE(f.ui.messages.size(), 2);
        QCOMPARE(f.ui.unexpected, 0);
    }

    void unreadableNotesFileIsNotEmptied()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        EditorFixture f;
        const QString path = contentPath(f, kCodeKeeper);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1 kept notes}");
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::WriteOwner));
        QWidget *w = open(f, kCodeKeeper);
        QCOMPARE(pane(w, kCodeKeeper)->Text(), QString());
        closeWindow(w);
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(notesText(path), QStringLiteral("kept notes"));
        QVERIFY(f.ui.messages.isEmpty());
    }

    void reopenWhileOpenKeepsTyping()
    {
        EditorFixture f;
        QPointer<QWidget> w = open(f, kCodeKeeper);
        RichTextBox *box = pane(w, kCodeKeeper);
        box->setSelText(QStringLiteral("not saved yet"));
        const QRect outer = w->frameGeometry();
        // Neither the file nor the settings are read again.
        QFile file(contentPath(f, kCodeKeeper));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1 from the file}");
        file.close();
        writeSetting("Settings", "sholderLeft", "4500");
        f.window()->activateWindow();
        QCOMPARE(open(f, kCodeKeeper), w.data());
        QCOMPARE(pane(w, kCodeKeeper), box);
        QCOMPARE(box->Text(), QStringLiteral("not saved yet"));
        QCOMPARE(w->frameGeometry(), outer);
        QVERIFY(w->isVisible());
        QCOMPARE(f.window()->findChildren<SideWindow *>().size(), 1);
    }

    void tooSmallWindowKeepsPaneSize()
    {
        EditorFixture f;
        QWidget *w = open(f, kAppBar);
        RichTextBox *box = pane(w, kAppBar);
        const QRect before = box->geometry();
        const int margin = box->RightMargin();
        // No inner height left: the pane stays where and as it was.
        w->resize(w->width(), platform::twipsToPixelsY(45));
        QCoreApplication::processEvents();
        QVERIFY(platform::pixelsToTwipsY(w->height()) < 70);
        QVERIFY(w->isVisible());
        QCOMPARE(box->geometry(), before);
        QCOMPARE(box->RightMargin(), margin);

        // Narrower than the wrap slack: the pane follows, its margin doesn't.
        w->resize(platform::twipsToPixelsX(300), platform::twipsToPixelsY(1000));
        QCoreApplication::processEvents();
        const int innerWidth = platform::pixelsToTwipsX(w->width());
        QVERIFY(innerWidth - 70 < 400);
        QCOMPARE(box->width(), platform::twipsToPixelsX(innerWidth - 70));
        QCOMPARE(box->RightMargin(), margin);

        // Room again: both follow.
        w->resize(platform::twipsToPixelsX(5000), platform::twipsToPixelsY(1500));
        QCoreApplication::processEvents();
        checkLayout(w, box);
    }

    void closingMainWindowSavesBoth()
    {
        EditorFixture f;
        QPointer<QWidget> keeper = open(f, kCodeKeeper);
        QPointer<QWidget> bar = open(f, kAppBar);
        pane(keeper, kCodeKeeper)->setSelText(QStringLiteral("keeper notes"));
        pane(bar, kAppBar)->setSelText(QStringLiteral("bar notes"));
        bar->move(200, 40);
        QCoreApplication::processEvents();
        const QRect barOuter = bar->frameGeometry();
        f.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!keeper);
        QVERIFY(!bar);
        QCOMPARE(notesText(contentPath(f, kCodeKeeper)), QStringLiteral("keeper notes"));
        QCOMPARE(notesText(contentPath(f, kAppBar)), QStringLiteral("bar notes"));
        QCOMPARE(stored(kAppBar, "Left"), QString::number(platform::pixelsToTwipsX(barOuter.left())));
        QCOMPARE(stored(kCodeKeeper, "Width"), QStringLiteral("3375"));
        QCOMPARE(f.ui.unexpected, 0);
    }
};

QTEST_MAIN(TestSideWindows)
#include "tst_sidewindows.moc"
