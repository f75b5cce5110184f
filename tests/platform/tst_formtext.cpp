// Every form the editor shows, every control in it that shows text: the
// text fits its control, and the control its form, with the screen at 96
// and at 144 dpi. The document window's read-outs stay apart with the
// largest numbers they show.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "frame/mainwindow.h"
#include "help/about.h"
#include "help/tipofday.h"
#include "platform/richtextbox.h"
#include "platform/cgidialog.h"
#include "platform/settingsstore.h"
#include "platform/spelldialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

QString shown(const QString &caption)
{
    QString s = caption;
    s.replace(QLatin1String("&&"), QLatin1String("\x01"));
    s.remove(QLatin1Char('&'));
    s.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return s;
}

QString nameOf(const QWidget *w)
{
    return w->window()->objectName() + QLatin1Char('/') + w->objectName() + QLatin1Char(' ')
        + QLatin1String(w->metaObject()->className());
}

// What is wrong with the text of one window's controls.
QStringList clippedText(QWidget *window)
{
    QStringList problems;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || w->window() != window)
            continue;
        const QFontMetrics fm(w->font());
        bool shows = true;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            const QRect inside = label->contentsRect();
            if (label->text().isEmpty()) {
                shows = false;
            } else if (label->wordWrap()) {
                if (label->heightForWidth(label->width()) > label->height())
                    problems << nameOf(w) + QStringLiteral(": wrapped text taller than the label");
            } else {
                const QString text = label->buddy() ? shown(label->text()) : label->text();
                if (fm.horizontalAdvance(text) > inside.width() || fm.height() > inside.height())
                    problems << nameOf(w) + QStringLiteral(": \"%1\" needs %2x%3, has %4x%5")
                                                .arg(text).arg(fm.horizontalAdvance(text)).arg(fm.height())
                                                .arg(inside.width()).arg(inside.height());
            }
        } else if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w)) {
            if (w->sizeHint().width() > w->width() || fm.height() > w->height())
                problems << nameOf(w) + QStringLiteral(": caption cut");
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            const QString text = shown(button->text());
            const auto *tool = qobject_cast<QToolButton *>(w);
            if (text.isEmpty() || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)) {
                shows = false;
            } else if (fm.horizontalAdvance(text) + 8 > button->width() || fm.height() + 4 > button->height()) {
                // Room on each side, so that the caption doesn't touch the
                // button's edges.
                problems << nameOf(w) + QStringLiteral(": \"%1\" needs %2x%3 and a margin, has %4x%5")
                                            .arg(text).arg(fm.horizontalAdvance(text)).arg(fm.height())
                                            .arg(button->width()).arg(button->height());
            }
        } else if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)) {
            if (fm.height() + 4 > w->height())
                problems << nameOf(w) + QStringLiteral(": %1 high for text %2 high").arg(w->height()).arg(fm.height());
        } else {
            shows = false;
        }
        // The read-outs' row may be longer than a narrow document window.
        const bool readOut = qobject_cast<document::DocumentWindow *>(w->parentWidget());
        if (shows && !readOut && !w->parentWidget()->rect().contains(w->geometry()))
            problems << nameOf(w) + QStringLiteral(": reaches out of its window");
    }
    return problems;
}

// The read-outs with the largest numbers: each text inside its label,
// the labels apart, none under the text.
QStringList readOutsApart(document::DocumentWindow *doc)
{
    QStringList problems;
    const QString most = document::formatCount(9999999);
    doc->lblCurrLineNo->setText(QStringLiteral("Line Number = ") + most);
    doc->lblCurrLineNo->adjustSize();
    doc->linetotal->setText(QStringLiteral("Total Number Of Lines = ") + most);
    doc->filesize->setText(QStringLiteral("Total Bytes = 999999999"));
    QLabel *labels[] = {doc->lblCurrLineNo, doc->linetotal, doc->filesize};
    int end = 0;
    for (QLabel *label : labels) {
        const QFontMetrics fm(label->font());
        const int width = fm.horizontalAdvance(label->text());
        if (label->x() < end + fm.horizontalAdvance(QLatin1Char(' ')))
            problems << nameOf(label) + QStringLiteral(": runs into the read-out before it");
        if (width > label->width())
            problems << nameOf(label) + QStringLiteral(": text wider than the label");
        if (label->y() + fm.height() > doc->rtfText->y())
            problems << nameOf(label) + QStringLiteral(": under the text");
        end = label->x() + width;
    }
    return problems;
}

} // namespace

class TestFormText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    void everyFormShowsItsTextWhole()
    {
        if (const QByteArray dpi = qgetenv("QUILLET_EXPECT_DPI"); !dpi.isEmpty())
            QCOMPARE(int(QGuiApplication::primaryScreen()->logicalDotsPerInchX()), dpi.toInt());
        clearSettings();
        platform::writeSetting("settings", "Show Tips at Startup", "1");
        EditorFixture f;
        QStringList problems;
        document::DocumentWindow *doc = f.newDocument(QStringLiteral("some text"));
        problems << readOutsApart(doc);
        for (const char *item : {"menufind", "mnutagwiz", "mnuautoinsert", "programst", "mnuholder", "mnuappbar"})
            QVERIFY(f.trigger(QString::fromLatin1(item)));
        help::setAboutRunner([&](QDialog &box) {
            box.show();
            problems << clippedText(&box);
            return 0;
        });
        QVERIFY(f.trigger("mnuHelpAbout"));
        help::setAboutRunner(nullptr);
        platform::SpellRequest request;
        request.word = QStringLiteral("speling");
        request.context = QStringLiteral("a speling mistake");
        request.wordInContext = 2;
        request.suggestions = {QStringLiteral("spelling"), QStringLiteral("spieling")};
        platform::SpellDialog spell(request);
        spell.show();
        platform::CgiRunDialog cgi{platform::CgiRunRequest()};
        cgi.show();
        QVERIFY(help::tipWindow());
        QCoreApplication::processEvents();
        int windows = 0;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (!top->isVisible())
                continue;
            ++windows;
            problems << clippedText(top);
        }
        QCOMPARE(windows, 10);
        // The Find form from the Quick Link menu: a fixed outer size.
        QVERIFY(f.triggerQuick("menufind"));
        problems << clippedText(f.window()->loadedFrmlink());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void at144Dpi()
    {
        if (!qEnvironmentVariableIsEmpty("QUILLET_EXPECT_DPI"))
            QSKIP("this run is the one at 144 dpi");
        QTemporaryDir dir;
        const QString config = dir.filePath("screen.json");
        writeFile(config, "{\"screens\": [{\"name\": \"wide\", \"x\": 0, \"y\": 0, \"width\": 2400, \"height\": 1500,"
                          " \"logicalDpi\": 144, \"logicalBaseDpi\": 144, \"dpr\": 1}]}");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
        env.insert("QUILLET_EXPECT_DPI", "144");
        QProcess run;
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(), {"everyFormShowsItsTextWhole"});
        QVERIFY(run.waitForFinished(120000));
        const QByteArray output = run.readAll();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : TestFormText::everyFormShowsItsTextWhole()"), output.constData());
    }
};

QTEST_MAIN(TestFormText)
#include "tst_formtext.moc"
