// Every colour of the live highlighting reads on the text control's own
// background with a contrast ratio of at least 4.5:1.
#include "platform/richtextbox.h"
#include "syntax/palette.h"

#include <QtTest>

using namespace syntax;

class TestSyntaxPalette : public QObject
{
    Q_OBJECT

private slots:
    void contrastRatio()
    {
        QCOMPARE(qRound(syntax::contrastRatio(Qt::black, Qt::white) * 100), 2100);
        QCOMPARE(syntax::contrastRatio(QColor(0x77, 0x77, 0x77), QColor(0x77, 0x77, 0x77)), 1.0);
        // The grey at the edge of 4.5:1 on white, and the passes' own green
        // far below it.
        QVERIFY(syntax::contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white) >= 4.5);
        QVERIFY(syntax::contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white) < 4.5);
        QVERIFY(syntax::contrastRatio(QColor(0x00, 0xC0, 0x00), Qt::white) < 3);
    }

    void everyColourReadsOnTheBackground()
    {
        platform::RichTextBox box;
        const QColor controls = box.palette().color(QPalette::Base);
        for (const QColor &background : {controls, QColor(Qt::white), QColor(0x1e, 0x1e, 0x1e), QColor(0x30, 0x30, 0x38)}) {
            const Palette &palette = paletteFor(background);
            for (int c = 1; c < int(TokenClass::Count); ++c) {
                const double ratio = syntax::contrastRatio(palette.colour(TokenClass(c)), background);
                QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("class %1 on %2: %3").arg(c).arg(background.name()).arg(ratio)));
            }
        }
        QVERIFY(!paletteFor(Qt::white).colour(TokenClass::Plain).isValid());
    }
};

QTEST_MAIN(TestSyntaxPalette)
#include "tst_syntaxpalette.moc"
