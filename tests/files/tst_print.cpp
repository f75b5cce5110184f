// Print and Page Setup through the shared dialog: the dialog's title and
// flags, what reaches the printer (the selection or everything, with its
// colours and sizes), and Cancel. The printer is a PDF file, read back
// with poppler's tools.

#include "support/browsermain.h"
#include "support/fixture.h"

#include "document/documentwindow.h"
#include "files/commondialog.h"
#include "frame/mainwindow.h"
#include "frame/toolbar.h"
#include "html/viewerwindow.h"
#include "platform/richtextbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

namespace {

bool havePoppler()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty();
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

// The height of the box pdftotext gives a word, or -1.
double wordHeight(const QString &pdf, const QString &word)
{
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    const QRegularExpression re(QStringLiteral(
        "<word xMin=\"[0-9.]+\" yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\">%1</word>")
                                    .arg(QRegularExpression::escape(word)));
    const QRegularExpressionMatch m = re.match(html);
    return m.hasMatch() ? m.captured(2).toDouble() - m.captured(1).toDouble() : -1;
}

// Pixels of the first page close to the colour.
int pixelsOf(const QString &pdf, const QString &scratchPrefix, QColor colour)
{
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-f"),
                                     QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                                     QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, scratchPrefix});
    const QImage image(scratchPrefix + QStringLiteral(".png"));
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) < 40 && qAbs(c.green() - colour.green()) < 40
                && qAbs(c.blue() - colour.blue()) < 40)
                ++n;
        }
    }
    return n;
}

// Sends the shared dialog's printer to a PDF file.
QString printToPdf(EditorFixture &f, const QString &name)
{
    const QString pdf = f.scratch(name);
    QPrinter *printer = f.window()->dlgCommonDialog().hDC();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    return pdf;
}

const QString kText = QStringLiteral("alpha first line\r\nbeta second line\r\ngamma third line");

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        if (!havePoppler())
            QSKIP("poppler-utils (pdftotext, pdftoppm) are needed to read the printed PDF");
    }
    void init() { clearSettings(); }

    void selectionAlonePrinted()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(kText)->rtfText;
        const QString pdf = printToPdf(f, QStringLiteral("selection.pdf"));
        box->setSelStart(kText.indexOf(QLatin1String("beta")));
        box->setSelLength(QStringLiteral("beta second").size());
        f.ui.print(true);
        QVERIFY(f.trigger("mnuFilePrint"));
        QCOMPARE(f.ui.printRequests.size(), 1);
        const platform::PrintRequest &request = f.ui.printRequests.constFirst();
        QCOMPARE(request.title, QStringLiteral("Print"));
        QVERIFY(request.selectionChosen);
        QVERIFY(request.pageRangesDisabled);
        files::CommonDialog &dlg = f.window()->dlgCommonDialog();
        QCOMPARE(dlg.Flags(), 265);
        QVERIFY(dlg.CancelError());
        QCOMPARE(dlg.DialogTitle(), QStringLiteral("Print"));
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QLatin1String("beta second")), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("alpha")), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("line")), qPrintable(text));
        // Printing changes nothing in the document.
        QCOMPARE(box->Text(), kText);
        QCOMPARE(box->SelLength(), QStringLiteral("beta second").size());
    }

    void wholeTextPrintedWithoutSelection()
    {
        EditorFixture f;
        f.newDocument(kText);
        const QString pdf = printToPdf(f, QStringLiteral("all.pdf"));
        f.ui.print(true);
        QVERIFY(f.trigger("mnuFilePrint"));
        QCOMPARE(f.ui.printRequests.size(), 1);
        QVERIFY(!f.ui.printRequests.constFirst().selectionChosen);
        QCOMPARE(f.window()->dlgCommonDialog().Flags(), 264);
        const QString text = pdfText(pdf);
        for (const char *line : {"alpha first line", "beta second line", "gamma third line"})
            QVERIFY2(text.contains(QLatin1String(line)), qPrintable(text));
        QVERIFY(text.indexOf(QLatin1String("alpha")) < text.indexOf(QLatin1String("gamma")));
        // The text only: no page number at the foot of the page.
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[0-9]"))), qPrintable(text));
    }

    // The real print dialog: flag 0x8 leaves no page range to choose, and
    // Page Setup's confirm button reads "OK".
    void pageRangeDisabledAndPageSetupConfirmsWithOK()
    {
        EditorFixture f;
        f.newDocument(kText);
        printToPdf(f, QStringLiteral("unused.pdf"));
        QStringList seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            for (const char *name : {"printRange", "pagesRadioButton"}) {
                if (auto *w = dialog->findChild<QWidget *>(QLatin1String(name)))
                    seen << QStringLiteral("%1 %2").arg(QLatin1String(name), w->isEnabled() ? "on" : "off");
            }
            for (QDialogButtonBox *box : dialog->findChildren<QDialogButtonBox *>()) {
                for (QAbstractButton *b : box->buttons()) {
                    if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
                        seen << b->text();
                }
            }
            dialog->reject();
        });
        poll.start(20);
        platform::setUi(nullptr); // the real dialog, closed by the timer
        QVERIFY(f.trigger("mnuFilePrint"));
        QVERIFY(f.trigger("mnuFilePageSetup"));
        platform::setUi(&f.ui);
        QCOMPARE(seen, QStringList({"printRange off", "pagesRadioButton off", "&Print",
                                    "printRange off", "pagesRadioButton off", "OK"}));
    }

    void coloursAndSizesReachThePrinter()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("plain RED words\r\nand a BIG one\r\nsmall"))->rtfText;
        const QString text = box->Text();
        box->setSelStart(text.indexOf(QLatin1String("RED")));
        box->setSelLength(3);
        box->setSelColor(0x0000FF); // 0xBBGGRR: red
        box->setSelStart(text.indexOf(QLatin1String("BIG")));
        box->setSelLength(3);
        box->setSelFontSize(36);
        box->setSelColor(0xFF0000); // blue
        box->setSelStart(0);
        box->setSelLength(0);
        const QString pdf = printToPdf(f, QStringLiteral("colours.pdf"));
        f.ui.print(true);
        QVERIFY(f.trigger("mnuFilePrint"));
        QVERIFY(pdfText(pdf).contains(QLatin1String("RED")));
        QVERIFY(pixelsOf(pdf, f.scratch("page"), QColor(255, 0, 0)) > 20);
        QVERIFY(pixelsOf(pdf, f.scratch("page"), QColor(0, 0, 255)) > 60);
        const double big = wordHeight(pdf, QStringLiteral("BIG"));
        const double small = wordHeight(pdf, QStringLiteral("small"));
        QVERIFY(small > 0);
        QVERIFY2(big > 2 * small, qPrintable(QStringLiteral("%1 vs %2").arg(big).arg(small)));
    }

    void cancelPrintsNothing()
    {
        EditorFixture f;
        f.newDocument(kText);
        const QString pdf = printToPdf(f, QStringLiteral("cancelled.pdf"));
        f.ui.print(false);
        QVERIFY(f.trigger("mnuFilePrint"));
        QCOMPARE(f.ui.printRequests.size(), 1);
        QVERIFY(!QFileInfo::exists(pdf));
        QVERIFY(f.ui.messages.isEmpty());
    }

    void noDocumentPrintShowsNothingButPageSetupDoes()
    {
        EditorFixture f;
        QVERIFY(f.trigger("mnuFilePrint"));
        QVERIFY(f.ui.printRequests.isEmpty());
        f.ui.print(false); // Cancel has no effect
        QVERIFY(f.trigger("mnuFilePageSetup"));
        QCOMPARE(f.ui.printRequests.size(), 1);
        const platform::PrintRequest &request = f.ui.printRequests.constFirst();
        QCOMPARE(request.title, QStringLiteral("Page Setup"));
        // No print yet: the flags are still 0.
        QVERIFY(!request.pageRangesDisabled);
        QVERIFY(!request.selectionChosen);
        QVERIFY(f.window()->dlgCommonDialog().CancelError());
        QCOMPARE(f.ui.unexpected, 0);
    }

    void pageSetupRunsWithFlagsOfLastPrintAndPrintsNothing()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(kText)->rtfText;
        const QString pdf = printToPdf(f, QStringLiteral("setup.pdf"));
        box->setSelStart(0);
        box->setSelLength(5);
        f.ui.print(false);
        QVERIFY(f.trigger("mnuFilePrint"));
        f.ui.print(true);
        QVERIFY(f.triggerQuick("mnuFilePageSetup"));
        QCOMPARE(f.ui.printRequests.size(), 2);
        QCOMPARE(f.ui.printRequests.at(1).title, QStringLiteral("Page Setup"));
        QVERIFY(f.ui.printRequests.at(1).selectionChosen);
        QVERIFY(f.ui.printRequests.at(1).pageRangesDisabled);
        QCOMPARE(f.window()->dlgCommonDialog().Flags(), 265);
        QVERIFY(!QFileInfo::exists(pdf));
    }

    void quickLinkAndToolbarPrint()
    {
        EditorFixture f;
        f.newDocument(kText);
        QString pdf = printToPdf(f, QStringLiteral("quick.pdf"));
        f.ui.print(true);
        QVERIFY(f.triggerQuick("mnuFilePrint"));
        QVERIFY(pdfText(pdf).contains(QLatin1String("gamma third line")));
        pdf = printToPdf(f, QStringLiteral("toolbar.pdf"));
        f.ui.print(true);
        frame::buttonClick(QStringLiteral("Print"));
        QCOMPARE(f.ui.printRequests.size(), 2);
        QVERIFY(pdfText(pdf).contains(QLatin1String("gamma third line")));
    }

    void viewerActivePrintsNothing()
    {
        EditorFixture f;
        f.newDocument(kText);
        html::PageViewer *viewer = html::showPageViewer();
        html::focusPageViewer(viewer);
        QCOMPARE(f.window()->activeChild(), viewer);
        QVERIFY(f.trigger("mnuFilePrint"));
        QVERIFY(f.ui.printRequests.isEmpty());
    }
};

QUILLET_BROWSER_TEST_MAIN(TestPrint)

#include "tst_print.moc"
