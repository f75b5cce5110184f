// The Perl lexer on the constructs generic highlighters get wrong. Each
// text stands over its classes: k keyword, v variable, s string, r regex,
// n number, c comment, p POD, d data, "." plain.
#include "masks.h"

#include <QtTest>

using syntax::Kind;

#define CHECK_PERL(text, expected) QCOMPARE(masks::classes(Kind::Perl, QStringLiteral(text)), QStringLiteral(expected))

class TestPerlLexer : public QObject
{
    Q_OBJECT

private slots:
    void hereDocuments()
    {
        // Quoted, bare and indented terminators; two on a line, bodies in order.
        CHECK_PERL("print <<\"A\", <<'B';\n$x\nA\n# b\nB\n1;",
                   "kkkkk.sssss..sssss.\nss\ns\nsss\ns\nn.");
        CHECK_PERL("$t = <<~END . <<E;\n  text\n  END\ne\nE\n$u",
                   "vv...ssssss...sss.\nssssss\nsssss\ns\ns\nvv");
        // A terminator that does not stand alone on its line ends nothing.
        CHECK_PERL("f(<<END);\n END\nEND x\nEND\n#",
                   "..sssss..\nssss\nsssss\nsss\nc");
        // After an operand "<<" shifts; after a bareword it may still start one.
        CHECK_PERL("$x << 2; $y<<EOF;\nprint STDERR <<EOF;\nbody\nEOF",
                   "vv....n..vv......\nkkkkk........sssss.\nssss\nsss");
    }

    void quoteLikeOperators()
    {
        CHECK_PERL("q{a{b}c} qq[x] qw(a b) qx`ls`;",
                   "ssssssss.sssss.sssssss.ssssss.");
        CHECK_PERL("m#a#i; s{a}{b}g; s/a/b/; tr/a-z/A-Z/; y/a//; qr/x/;",
                   "rrrrr..rrrrrrrr..rrrrrr..rrrrrrrrrrr..rrrrr..rrrrr.");
        // Bodies over lines, and white space between s's bracketed bodies.
        CHECK_PERL("my @w = qw(\n a\n b\n);\n$x =~ s{\n a\n}\n  {b}xms;\n1",
                   "kk.vv...sss\nss\nss\ns.\nvv....rr\nrr\nr\nrrrrrrrr.\nn");
        // Escaped and nested delimiters.
        CHECK_PERL("q(a\\)b(c)) . 'it\\'s' . \"x\\\"\";",
                   "ssssssssss...sssssss...sssss.");
    }

    void slashDividesOrMatches()
    {
        CHECK_PERL("$a / 2 / $b; split /,/, $s; ($x) / $y; if (/z/) { $n // 0 }",
                   "vv...n...vv..kkkkk.rrr..vv...vv....vv..kk..rrr....vv....n..");
        CHECK_PERL("$s =~ /a/ && !/b/; join '', map { /c/ } @l; $h{k} / 2;",
                   "vv....rrr.....rrr..kkkk.ss..kkk...rrr...vv..vv......n.");
        // What a line ends in decides what "/" starts the next one with.
        CHECK_PERL("$total\n / 2;\nreturn\n /x/;",
                   "vvvvvv\n...n.\nkkkkkk\n.rrr.");
    }

    void wordsThatAreNotQuotes()
    {
        CHECK_PERL("$h{q} = $h{ s } + $o->{y}; %o = (q => 1, s=>2, y => 3);",
                   "vv......vv........vv.......vv.........n.....n.......n..");
        CHECK_PERL("-s $f; $o->s(1); sub q { } &y; Foo::tr->m;",
                   "...vv..vv....n...kkk.......vv.............");
    }

    void arrayLengthAndSpecialVariables()
    {
        CHECK_PERL("$#a + $#{$r} + $#$r; $_, $/, $$, $$r, @{$l}, ${^W}, $0, @ARGV, %ENV, $::x",
                   "vvv...vv.vv....vvvv..vv..vv..vv..vvv..v.vv...vvvvv..vv..vvvvv..vvvv..vvvv");
        // "$#" is no comment; a "#" after white space is.
        CHECK_PERL("$#{$x} # c\n$a[$#a]",
                   "vv.vv..ccc\nvv.vvv.");
    }

    void podToCut()
    {
        CHECK_PERL("my $x;\n=head1 NAME\n\n$y = 'a';\n\n=cut\n$z;",
                   "kk.vv.\nppppppppppp\n\nppppppppp\n\npppp\nvv.");
        // A "=cut" where code is expected starts POD, up to the next one.
        CHECK_PERL("=cut\n$a\n=cut\n$b",
                   "pppp\npp\npppp\nvv");
    }

    void dataAfterEnd()
    {
        CHECK_PERL("1;\n__END__ # note\n$x 'q\n=pod\n\ndoc\n=cut\nmore",
                   "n.\nkkkkkkk.cccccc\nddddd\npppp\n\nppp\npppp\ndddd");
        // After __DATA__ everything is data, POD-looking lines too.
        CHECK_PERL("__DATA__ x\n=pod\n",
                   "kkkkkkkk.d\ndddd\n");
    }

    void commentsNumbersAndFormats()
    {
        CHECK_PERL("1_000 + 0x1F + 1.5e3 + .5; (1..3) # done",
                   "nnnnn...nnnn...nnnnn...nn...n..n..cccccc");
        // A format's picture lines are neither code nor quotes.
        CHECK_PERL("format STDOUT =\n@<<< it's\n$a\n.\n'x'",
                   "kkkkkk.........\n.........\n..\n.\nsss");
    }
};

QTEST_APPLESS_MAIN(TestPerlLexer)
#include "tst_perllexer.moc"
