// Colour runs behave like character formatting under edits, checked
// against a plain per-character model.

#include "platform/colourruns.h"

#include <QRandomGenerator>
#include <QTest>

#include <vector>

using platform::ColourRuns;

namespace {

// The model: one colour per character, 0 for none.
using Model = std::vector<quint32>;

Model flatten(const ColourRuns &runs, int length)
{
    Model m(size_t(length), 0);
    for (const auto &r : runs.all()) {
        for (int i = r.start; i < r.start + r.length; ++i) {
            if (i >= 0 && i < length)
                m[size_t(i)] = r.colour;
        }
    }
    return m;
}

} // namespace

class TestColourRuns : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void paintOverridesAndSplits()
    {
        ColourRuns r;
        r.paint(0, 10, 1);
        r.paint(3, 2, 2);
        QCOMPARE(flatten(r, 10), (Model{1, 1, 1, 2, 2, 1, 1, 1, 1, 1}));
        quint32 c = 0;
        QVERIFY(r.colourAt(4, &c));
        QCOMPARE(c, 2u);
        QVERIFY(!r.colourAt(10, &c));
        r.erase(0, 10);
        QVERIFY(r.isEmpty());
    }

    void insertionMovesRunsAndOpensGaps()
    {
        ColourRuns r;
        r.paint(2, 4, 7); // [2,6)
        r.textChanged(4, 0, 3, nullptr); // plain text inside the run
        QCOMPARE(flatten(r, 9), (Model{0, 0, 7, 7, 0, 0, 0, 7, 7}));
        const quint32 inherit = 7;
        r.textChanged(0, 0, 2, &inherit);
        QCOMPARE(flatten(r, 11), (Model{7, 7, 0, 0, 7, 7, 0, 0, 0, 7, 7}));
    }

    void removalShrinksAndJoins()
    {
        ColourRuns r;
        r.paint(0, 3, 1);
        r.paint(5, 3, 1);
        r.textChanged(2, 4, 0, nullptr); // removes [2,6)
        QCOMPARE(flatten(r, 4), (Model{1, 1, 1, 1}));
    }

    void randomEditsMatchTheModel()
    {
        // Many runs, so chunks split and shift.
        QRandomGenerator rng(12345);
        ColourRuns runs;
        int length = 20000;
        Model model(size_t(length), 0);
        for (int step = 0; step < 4000; ++step) {
            const int op = int(rng.bounded(4));
            if (op == 0) {
                const int s = int(rng.bounded(length));
                const int n = std::min(int(rng.bounded(40)) + 1, length - s);
                const quint32 colour = rng.bounded(5) + 1;
                runs.paint(s, n, colour);
                for (int i = s; i < s + n; ++i)
                    model[size_t(i)] = colour;
            } else if (op == 1 && length > 100) {
                const int s = int(rng.bounded(length));
                const int n = std::min(int(rng.bounded(30)), length - s);
                runs.textChanged(s, n, 0, nullptr);
                model.erase(model.begin() + s, model.begin() + s + n);
                length -= n;
            } else {
                const int s = int(rng.bounded(length + 1));
                const int n = int(rng.bounded(20)) + 1;
                const bool inherits = rng.bounded(2);
                const quint32 colour = rng.bounded(5) + 1;
                runs.textChanged(s, 0, n, inherits ? &colour : nullptr);
                model.insert(model.begin() + s, size_t(n), inherits ? colour : 0);
                length += n;
            }
        }
        QCOMPARE(flatten(runs, length), model);
        // Runs come out sorted and disjoint.
        int end = -1;
        for (const auto &r : runs.all()) {
            QVERIFY(r.start >= end);
            QVERIFY(r.length > 0);
            end = r.start + r.length;
        }
        QVERIFY(runs.runCount() > 1000);
    }

    void runsInClips()
    {
        ColourRuns r;
        r.assign({{0, 5, 1}, {10, 5, 2}});
        const auto in = r.runsIn(3, 12);
        QCOMPARE(int(in.size()), 2);
        QCOMPARE(in[0].start, 3);
        QCOMPARE(in[0].length, 2);
        QCOMPARE(in[1].start, 10);
        QCOMPARE(in[1].length, 2);
    }
};

QTEST_APPLESS_MAIN(TestColourRuns)
#include "tst_colourruns.moc"
