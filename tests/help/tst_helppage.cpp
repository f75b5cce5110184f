// The help page describes the editor as it is: every item of the main
// menu is named in it.

#include "support/fixture.h"

#include "frame/mainwindow.h"
#include "platform/programfolder.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTextDocument>

namespace {

// The page's text as a reader sees it: tags gone, entities decoded,
// white space collapsed.
QString pageText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(file.readAll()));
    return doc.toPlainText().simplified();
}

// A caption as the menu shows it: "&" marks a key, "&&" shows one.
QString shown(QString caption)
{
    caption.replace(QLatin1String("&&"), QLatin1String("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    caption = caption.simplified();
    if (caption.endsWith(QLatin1String("...")))
        caption.chop(3);
    return caption;
}

void collect(const QMenu *menu, QStringList &captions)
{
    for (const QAction *a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible() || a->objectName().isEmpty())
            continue;
        captions << shown(a->text());
        if (a->menu())
            collect(a->menu(), captions);
    }
}

} // namespace

class TestHelpPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    void namesEveryMainMenuItem()
    {
        EditorFixture f;
        f.newDocument();
        const QString text = pageText(platform::programFile(QStringLiteral("\\help.html")));
        QVERIFY(!text.isEmpty());
        QStringList captions;
        for (const QAction *top : f.window()->menuBar()->actions()) {
            if (top->menu() && top->isVisible() && !top->objectName().isEmpty()) {
                captions << shown(top->text());
                collect(top->menu(), captions);
            }
        }
        QVERIFY(captions.size() > 50);
        QStringList missing;
        for (const QString &caption : captions) {
            if (!text.contains(caption, Qt::CaseInsensitive))
                missing << caption;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(" | "))));
    }
};

QTEST_MAIN(TestHelpPage)
#include "tst_helppage.moc"
