// The incremental lexer against a model: random edits of documents made of
// lines that open and close here-documents, POD, quotes, comments, scripts
// and styles. After each round it must agree with a fresh lexing of the
// whole text, have re-lexed no more lines than needed, and have reported
// every line whose tokens changed.
#include "syntax/incrementallexer.h"

#include <QtTest>

#include <random>

using namespace syntax;

namespace {

class Lines : public LineSource
{
public:
    QStringList lines;
    int lineCount() const override { return int(lines.size()); }
    QString lineText(int line) const override { return lines[line]; }
};

std::vector<State> fullLex(Kind kind, const QStringList &lines)
{
    const Lexer &lexer = lexerFor(kind);
    std::vector<State> ends;
    State state = lexer.initialState();
    for (const QString &line : lines)
        ends.push_back(state = lexer.lexLine(line, state, nullptr));
    return ends;
}

Tokens tokensOf(const IncrementalLexer &lexer, const Lines &doc, int line)
{
    Tokens t;
    lexer.tokens(line, doc.lines[line], t);
    return t;
}

const QStringList kPerlLines = {
    "my $x = 1;", "print <<END;", "END", "print <<~EOT . <<'B';", "  EOT", "B", "=pod", "=cut", "text",
    "q{", "}", "qw(a", ")", "s{a}", "{b}g;", "\"open", "close\";", "# comment", "$h{q} / 2;", "split /,/, $s;",
    "__END__", "", "  indented", "format X =", ".",
};
const QStringList kHtmlLines = {
    "<p>text</p>", "<script>", "var s = '</b>';", "</script>", "<!-- c", "-->", "<style>", "p { color: red }",
    "/* x", "*/", "</style>", "<a href=\"x", "y\">", "&amp;", "`tpl", "tpl`", "text", "",
};

} // namespace

class TestIncrementalLexer : public QObject
{
    Q_OBJECT

private slots:
    void randomEditsMatchAFullLexing_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("Perl") << int(Kind::Perl);
        QTest::newRow("HTML") << int(Kind::Html);
    }

    void randomEditsMatchAFullLexing()
    {
        QFETCH(int, kind);
        const QStringList &pool = Kind(kind) == Kind::Perl ? kPerlLines : kHtmlLines;
        std::mt19937 random(1234);
        const auto pick = [&](int n) { return int(random() % unsigned(n)); };
        const auto poolLine = [&] { return pool[pick(int(pool.size()))]; };
        // A line at a time, or as far as it goes.
        const auto budget = [&] { return pick(2) ? qint64(0) : IncrementalLexer::kSliceNanoseconds * 1000; };

        Lines doc;
        for (int i = 0; i < 60; ++i)
            doc.lines << poolLine();
        IncrementalLexer lexer{Kind(kind)};
        lexer.reset(doc.lineCount());
        // What a text control would show: each line's tokens as last reported.
        std::vector<Tokens> shown(size_t(doc.lineCount()));
        const auto show = [&](const std::vector<LineRange> &changed) {
            for (const LineRange &r : changed)
                for (int line = r.first; line <= r.last; ++line)
                    shown[size_t(line)] = tokensOf(lexer, doc, line);
        };
        while (!lexer.isDone())
            show(lexer.lexSlice(doc, 0));

        for (int round = 0; round < 400; ++round) {
            const std::vector<State> before = fullLex(Kind(kind), doc.lines);
            const bool single = pick(2) == 0; // one edit, then lex it all
            int edits = single ? 1 : 1 + pick(4);
            int first = 0, last = 0, delta = 0;
            while (edits--) {
                const int n = doc.lineCount();
                first = pick(n);
                switch (pick(3)) {
                case 0: // a line retyped
                    doc.lines[first] = poolLine();
                    last = first;
                    delta = 0;
                    break;
                case 1: { // lines inserted
                    delta = 1 + pick(3);
                    for (int k = 0; k < delta; ++k)
                        doc.lines.insert(first + 1, poolLine());
                    doc.lines[first] = poolLine();
                    shown.insert(shown.begin() + first + 1, size_t(delta), Tokens());
                    last = first + delta;
                    break;
                }
                default: // lines removed
                    delta = -std::min(1 + pick(3), n - 1 - first);
                    doc.lines.erase(doc.lines.begin() + first + 1, doc.lines.begin() + first + 1 - delta);
                    shown.erase(shown.begin() + first + 1, shown.begin() + first + 1 - delta);
                    doc.lines[first] = poolLine();
                    last = first;
                    break;
                }
                lexer.linesChanged(first, last, delta);
                if (!single && pick(2))
                    show(lexer.lexUpTo(doc, pick(doc.lineCount()), budget()));
            }

            const quint64 lexedBefore = lexer.linesLexed();
            while (!lexer.isDone())
                show(pick(2) ? lexer.lexSlice(doc, budget()) : lexer.lexUpTo(doc, pick(doc.lineCount()), budget()));

            const std::vector<State> after = fullLex(Kind(kind), doc.lines);
            if (single) {
                // The edited lines, then on until a line ends as it did.
                int stop = last;
                while (stop + 1 < doc.lineCount() && after[size_t(stop)] != before[size_t(stop - delta)])
                    ++stop;
                QCOMPARE(lexer.linesLexed() - lexedBefore, quint64(stop - first + 1));
            }
            for (int line = 0; line < doc.lineCount(); ++line) {
                QCOMPARE(lexer.startState(line + 1), after[size_t(line)]);
                Tokens expected;
                const Lexer &l = lexerFor(Kind(kind));
                l.lexLine(doc.lines[line], line ? after[size_t(line - 1)] : l.initialState(), &expected);
                QVERIFY2(shown[size_t(line)] == expected, qPrintable(QStringLiteral("line %1").arg(line)));
            }
        }
    }

    void visibleLinesFirst()
    {
        Lines doc;
        for (int i = 0; i < 1000; ++i)
            doc.lines << (i == 0 ? QStringLiteral("=pod") : QStringLiteral("$x = 1;"));
        IncrementalLexer lexer(Kind::Perl);
        lexer.reset(doc.lineCount());
        const auto shown = lexer.lexUpTo(doc, 49, IncrementalLexer::kSliceNanoseconds * 1000);
        QCOMPARE(lexer.frontier(), 50);
        QCOMPARE(lexer.linesLexed(), quint64(50));
        QCOMPARE(shown, (std::vector<LineRange>{{0, 49}}));
        // The rest follows in slices, and a line is coloured as what it is.
        while (!lexer.isDone())
            lexer.lexSlice(doc);
        QCOMPARE(lexer.linesLexed(), quint64(1000));
        QCOMPARE(tokensOf(lexer, doc, 999), (Tokens{{0, 7, TokenClass::Pod}}));
    }
};

QTEST_APPLESS_MAIN(TestIncrementalLexer)
#include "tst_incrementallexer.moc"
