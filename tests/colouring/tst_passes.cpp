// The four colouring passes and their switches, on worked examples.

#include "support/fixture.h"

#include "colouring/passes.h"
#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"

#include <QAction>
#include <QFile>
#include <QTest>

using platform::RichTextBox;

namespace {

constexpr quint32 Blue = 0xFF0000, Red = 0x0000FF, Purple = 0xC000C0, Green = 0x00C000;

// The colour of every character of Text, 0 where there is none.
QList<quint32> colours(RichTextBox &box)
{
    QList<quint32> out;
    const QString text = box.Text();
    for (int i = 0; i < text.size(); ++i) {
        const int d = box.toDocumentPosition(i);
        quint32 c = 0;
        if (text.at(i) != QLatin1Char('\r') && text.at(i) != QLatin1Char('\n'))
            box.colourRuns().colourAt(d, &c);
        out << c;
    }
    return out;
}

QString pattern(RichTextBox &box)
{
    // One letter per character: b blue, r red, p purple, g green, . none.
    QString out;
    for (quint32 c : colours(box))
        out += c == Blue ? 'b' : c == Red ? 'r' : c == Purple ? 'p' : c == Green ? 'g' : '.';
    return out;
}

} // namespace

class TestPasses : public QObject
{
    Q_OBJECT

    EditorFixture *f = nullptr;
    RichTextBox *box = nullptr;

    void fresh(const QString &text)
    {
        box = f->newDocument()->rtfText;
        box->setText(text);
    }

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init()
    {
        clearSettings();
        f = new EditorFixture;
    }
    void cleanup()
    {
        delete f;
        f = nullptr;
    }

    void tagsAreBlue()
    {
        fresh(QStringLiteral("<b>x</b>"));
        colouring::htmlTagPass(*box);
        QCOMPARE(pattern(*box), QStringLiteral("bbb.bbbb"));
        QVERIFY(f->item("mnucoloron")->isChecked());
        // The selection is the last run.
        QCOMPARE(box->SelStart(), 4);
        QCOMPARE(box->SelLength(), 4);
    }

    void perlLine()
    {
        fresh(QStringLiteral("$a = \"abc\";"));
        colouring::editAreaPass(*box);
        colouring::variablePass(*box);
        QCOMPARE(pattern(*box), QStringLiteral("ppp..rrrr..")); // the opening quote and abc
        fresh(QStringLiteral("$a = 5;"));
        colouring::editAreaPass(*box); // length 7 - 4 - 3 = 0: nothing red, no error
        QCOMPARE(pattern(*box), QStringLiteral("......."));
    }

    void editAreaTooShortEndsThePass()
    {
        fresh(QStringLiteral("x=1; y = \"long\";"));
        QVERIFY_THROWS_EXCEPTION(platform::ControlError, colouring::editAreaPass(*box));
        QCOMPARE(pattern(*box), QStringLiteral("................"));
    }

    void commentsRunToTheNextSpace()
    {
        fresh(QStringLiteral("# x #note y\r\n#wrap\r\nnext word"));
        colouring::commentPass(*box);
        // A line break is no closer: the comment runs on to "next".
        QCOMPARE(pattern(*box), QStringLiteral("g...ggggg....ggggg..gggg....."));
    }

    void missingCloserEndsThePassThere()
    {
        fresh(QStringLiteral("<a> x < y"));
        QVERIFY_THROWS_EXCEPTION(platform::ControlError, colouring::htmlTagPass(*box));
        QCOMPARE(pattern(*box), QStringLiteral("bbb......"));
        // A "<" first with no ">" at all: an empty run, then the error.
        fresh(QStringLiteral("<abc"));
        QVERIFY_THROWS_EXCEPTION(platform::ControlError, colouring::htmlTagPass(*box));
        QCOMPARE(pattern(*box), QStringLiteral("...."));
    }

    void switchedOffPassColoursNothing()
    {
        platform::writeSetting("settings", "setto", "off");
        fresh(QStringLiteral("<b>x</b>"));
        colouring::htmlTagPass(*box);
        QCOMPARE(pattern(*box), QStringLiteral("........"));
        QVERIFY(f->item("mnucoloroff")->isChecked());
        QVERIFY(f->item("mnucoloron")->isChecked()); // the other mark is left alone
    }

    void emptyDocumentClearsTheMarker()
    {
        fresh(QString());
        f->window()->setPanelText(2, QStringLiteral("File - Changed"));
        colouring::htmlTagPass(*box);
        QCOMPARE(f->window()->panelText(2), QStringLiteral("File - Changed"));
        colouring::editAreaPass(*box);
        QCOMPARE(f->window()->panelText(2), QString());
        f->window()->setPanelText(2, QStringLiteral("File - Changed"));
        colouring::variablePass(*box);
        QCOMPARE(f->window()->panelText(2), QString());
    }

    void laterPassesColourOverEarlierOnes()
    {
        fresh(QStringLiteral("<a href=$u=1;>"));
        colouring::htmlTagPass(*box);
        colouring::editAreaPass(*box);
        colouring::variablePass(*box);
        colouring::commentPass(*box);
        // "$u" is purple over the red of "u=", which started inside the tag.
        QCOMPARE(pattern(*box), QStringLiteral("bbbbbbbbpprbbb"));
    }

    void longTextIsColouredToItsEnd()
    {
        // Positions aren't limited to 16 bits: the only tag lies far beyond.
        QString text(40000, QLatin1Char('x'));
        text += QStringLiteral("<tag>");
        for (int i = 0; i < 2000; ++i)
            text += QStringLiteral("\r\n$v%1 = 1; # c").arg(i);
        fresh(text);
        colouring::htmlTagPass(*box);
        colouring::editAreaPass(*box);
        colouring::variablePass(*box);
        colouring::commentPass(*box);
        const QString p = pattern(*box);
        QCOMPARE(p.mid(40000, 5), QStringLiteral("bbbbb"));
        QVERIFY(p.endsWith(QStringLiteral("g..")));
        QCOMPARE(p.count(QLatin1Char('p')), QString("$v0 ").size() * 10 + QString("$v10 ").size() * 90
                                               + QString("$v100 ").size() * 900 + QString("$v1000 ").size() * 1000);
    }

    void quickLinkSwitchesStoreButMarkOnlyTheirMenu()
    {
        QVERIFY(f->triggerQuick("mnucoloroff"));
        QCOMPARE(platform::readSetting("settings", "setto", "on"), QStringLiteral("off"));
        QVERIFY(f->quickItem("mnucoloroff")->isChecked());
        QVERIFY(!f->quickItem("mnucoloron")->isChecked());
        QVERIFY(f->item("mnucoloron")->isChecked());
        QVERIFY(!f->item("mnucoloroff")->isChecked());
        // The next main-menu pass marks "Off" without unmarking "On".
        fresh(QStringLiteral("<b>"));
        colouring::htmlTagPass(*box);
        QVERIFY(f->item("mnucoloron")->isChecked());
        QVERIFY(f->item("mnucoloroff")->isChecked());
        QCOMPARE(pattern(*box), QStringLiteral("..."));
    }

    void switchingDoesNotRecolour()
    {
        fresh(QStringLiteral("<b>"));
        colouring::htmlTagPass(*box);
        QVERIFY(f->trigger("mnucoloroff"));
        QCOMPARE(pattern(*box), QStringLiteral("bbb"));
        QVERIFY(f->trigger("mnuvaroff"));
        QVERIFY(f->trigger("mnuediton"));
        QCOMPARE(platform::readSetting("settings", "var", "on"), QStringLiteral("off"));
        QCOMPARE(platform::readSetting("settings", "edit", "off"), QStringLiteral("on"));
        QVERIFY(f->item("mnuvaroff")->isChecked());
        QVERIFY(!f->item("mnuvaron")->isChecked());
    }
};

QTEST_MAIN(TestPasses)
#include "tst_passes.moc"
