// Measures the live highlighting's Perl lexer:
//  - accuracy: over the Perl modules installed on this system, each
//    character's class against PPI's (bench/ppi_classes.pl), per construct,
//    and the same figure for Kate's highlighter (kate-syntax-highlighter,
//    when installed) with its styles mapped to the same classes;
//  - speed: MB/s over the same files, and the cost of re-lexing after an
//    edit in a generated script of 100,000 lines.
// Options: --kate N (Kate over every Nth file, default 1: all; 0: none),
// --examples N (print N disagreements per construct), --limit N (files).
// PPI's answers are kept in <build>/bench-cache/ppi-classes.txt.
#include "highlightkate.h"
#include "syntax/incrementallexer.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <random>

using syntax::TokenClass;

namespace {

struct Range
{
    qsizetype start;
    qsizetype length;
    QString kind;
};

struct Source
{
    QString path;
    QByteArray bytes;
    std::vector<Range> ppi;
};

// The CPU time of this thread: the machine is shared, and wall time would
// count the other work on it.
qint64 cpuNanoseconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

const char *const kFolders[] = {"/usr/share/perl5", "/usr/share/perl/5.36", "/usr/lib/x86_64-linux-gnu/perl5",
                                "/usr/lib/x86_64-linux-gnu/perl/5.36"};

QStringList perlFiles()
{
    QStringList files;
    QSet<QString> seen;
    for (const char *folder : kFolders) {
        QDirIterator it(QString::fromLatin1(folder), {QStringLiteral("*.pm"), QStringLiteral("*.pl")}, QDir::Files,
                        QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString canonical = QFileInfo(path).canonicalFilePath();
            if (!canonical.isEmpty() && !seen.contains(canonical)) {
                seen.insert(canonical);
                files << path;
            }
        }
    }
    files.sort();
    return files;
}

// PPI's ranges for every file, from the cache or from the helper.
QHash<QString, std::vector<Range>> ppiRanges(const QStringList &files)
{
    QHash<QString, std::vector<Range>> result;
    const QString cacheDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../bench-cache");
    QDir().mkpath(cacheDir);
    const QString cache = cacheDir + QStringLiteral("/ppi-classes.txt");
    const auto parse = [&](const QByteArray &text) {
        QString path;
        std::vector<Range> ranges;
        for (const QByteArray &line : text.split('\n')) {
            if (line.startsWith("F ")) {
                path = QString::fromUtf8(line.mid(2));
                ranges.clear();
            } else if (line == "E") {
                result.insert(path, ranges);
            } else if (!line.isEmpty() && line[0] >= '0' && line[0] <= '9') {
                const QList<QByteArray> f = line.split(' ');
                if (f.size() == 3)
                    ranges.push_back({f[0].toLongLong(), f[1].toLongLong(), QString::fromLatin1(f[2])});
            }
        }
    };
    QFile cached(cache);
    if (cached.open(QIODevice::ReadOnly))
        parse(cached.readAll());
    QStringList missing;
    for (const QString &f : files)
        if (!result.contains(f))
            missing << f;
    if (missing.isEmpty())
        return result;

    std::printf("PPI reads %lld files (kept for later runs)...\n", qlonglong(missing.size()));
    std::fflush(stdout);
    QProcess perl;
    perl.start(QStringLiteral("perl"), {QStringLiteral(QUILLET_BENCH_DIR "/ppi_classes.pl")});
    perl.write((missing.join(u'\n') + u'\n').toUtf8());
    perl.closeWriteChannel();
    perl.waitForFinished(-1);
    const QByteArray out = perl.readAllStandardOutput();
    if (cached.isOpen())
        cached.close();
    if (cached.open(QIODevice::Append))
        cached.write(out);
    parse(out);
    return result;
}

// Each byte's class as this lexer gives it (the file read as Latin-1, so
// that characters are bytes, as in PPI's offsets).
std::vector<TokenClass> ourClasses(const QByteArray &bytes)
{
    const QString text = QString::fromLatin1(bytes);
    std::vector<TokenClass> classes(size_t(text.size()), TokenClass::Plain);
    const syntax::Lexer &lexer = syntax::lexerFor(syntax::Kind::Perl);
    syntax::State state = lexer.initialState();
    syntax::Tokens tokens;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        tokens.clear();
        state = lexer.lexLine(QStringView(text).mid(start, end - start), state, &tokens);
        for (const syntax::Token &t : tokens)
            std::fill_n(classes.begin() + start + t.start, t.length, t.cls);
        start = end + 1;
    }
    return classes;
}

TokenClass expectedClass(const QString &kind)
{
    if (kind == u"Comment")
        return TokenClass::Comment;
    if (kind == u"Pod")
        return TokenClass::Pod;
    if (kind == u"End" || kind == u"Data")
        return TokenClass::Data;
    if (kind.startsWith(u"Regexp::") || kind == u"QuoteLike::Regexp")
        return TokenClass::Regex;
    return TokenClass::String;
}

QString constructOf(const QString &kind)
{
    static const std::map<QString, QString> names = {
        {"Quote::Single", "'' q"},          {"Quote::Literal", "'' q"},          {"Quote::Double", "\"\" qq"},
        {"Quote::Interpolate", "\"\" qq"},  {"QuoteLike::Words", "qw"},          {"QuoteLike::Command", "`` qx"},
        {"QuoteLike::Backtick", "`` qx"},   {"QuoteLike::Readline", "<FH>"},     {"HereDoc", "<<END"},
        {"HereDoc::Body", "here-doc body"}, {"Regexp::Match", "m// //"},         {"QuoteLike::Regexp", "qr//"},
        {"Regexp::Substitute", "s///"},     {"Regexp::Transliterate", "tr///"}, {"Comment", "comment"},
        {"Pod", "POD"},                     {"End", "__END__"},                  {"Data", "__DATA__"},
    };
    const auto it = names.find(kind);
    return it == names.end() ? kind : it->second;
}

const QStringList kOrder = {"'' q",  "\"\" qq", "qw",     "`` qx",   "<FH>",    "<<END", "here-doc body",
                            "m// //", "qr//",    "s///",   "tr///",   "comment", "POD",   "__END__",
                            "__DATA__"};

struct Tally
{
    std::map<QString, std::pair<qint64, qint64>> agree; // construct: (agreeing, all)
    qint64 codeChars = 0;
    qint64 codeMarked = 0; // code that we call string, comment, POD, regex or data
    void count(const QString &construct, bool same)
    {
        auto &a = agree[construct];
        a.first += same;
        ++a.second;
    }
};

bool isQuoted(TokenClass c)
{
    return c == TokenClass::String || c == TokenClass::Regex || c == TokenClass::Comment || c == TokenClass::Pod
           || c == TokenClass::Data;
}

// Compares one file's classes with PPI's; prints up to `examples`
// disagreeing lines.
void compare(const Source &s, const std::vector<TokenClass> &classes, Tally &tally, std::map<QString, int> *examples,
             bool forgiveDelimiters = false)
{
    std::vector<char> inPpi(classes.size(), 0);
    for (const Range &r : s.ppi) {
        const TokenClass want = expectedClass(r.kind);
        const QString construct = constructOf(r.kind);
        bool shown = false;
        for (qsizetype i = r.start; i < r.start + r.length && i < qsizetype(classes.size()); ++i) {
            inPpi[size_t(i)] = 1;
            if (s.bytes[i] == '\n')
                continue;
            const TokenClass got = classes[size_t(i)];
            const bool same = got == want
                              || (forgiveDelimiters && got == highlightkate::kOperator
                                  && (want == TokenClass::String || want == TokenClass::Regex));
            tally.count(construct, same);
            if (!same && !shown && examples && (*examples)[construct] > 0) {
                --(*examples)[construct];
                shown = true;
                const qsizetype ls = s.bytes.lastIndexOf('\n', i) + 1;
                const qsizetype le = s.bytes.indexOf('\n', i);
                const int line = int(s.bytes.left(i).count('\n')) + 1;
                std::printf("  %s:%d %s: %s\n", qPrintable(s.path), line, qPrintable(construct),
                            s.bytes.mid(ls, qMin<qsizetype>((le < 0 ? s.bytes.size() : le) - ls, 160)).constData());
            }
        }
    }
    qsizetype shownLine = -1;
    for (size_t i = 0; i < classes.size(); ++i) {
        if (inPpi[i] || s.bytes[qsizetype(i)] == '\n')
            continue;
        ++tally.codeChars;
        tally.codeMarked += isQuoted(classes[i]);
        const qsizetype lineStart = s.bytes.lastIndexOf('\n', qsizetype(i)) + 1;
        if (isQuoted(classes[i]) && examples && (*examples)[QStringLiteral("code")] > 0 && lineStart != shownLine) {
            --(*examples)[QStringLiteral("code")];
            shownLine = lineStart;
            std::printf("  %s:%d code: %s\n", qPrintable(s.path), int(s.bytes.left(lineStart).count('\n')) + 1,
                        s.bytes.mid(lineStart, 160).split('\n').first().constData());
        }
    }
}

void printTable(const char *title, const Tally &ours, const Tally *kate, const Tally *lenient = nullptr)
{
    std::printf("\n%s\n%-16s %12s %9s%s\n", title, "construct", "PPI chars", "this", kate ? "     Kate    Kate*" : "");
    qint64 agree = 0, all = 0, kateAgree = 0, kateAll = 0, lenientAgree = 0, lenientAll = 0;
    for (const QString &c : kOrder) {
        const auto it = ours.agree.find(c);
        if (it == ours.agree.end())
            continue;
        const auto [a, n] = it->second;
        std::printf("%-16s %12lld %8.3f%%", qPrintable(c), qlonglong(n), 100.0 * double(a) / double(n));
        for (const Tally *t : {kate, lenient}) {
            const auto k = t ? t->agree.find(c) : ours.agree.end();
            if (t && k != t->agree.end() && k->second.second > 0)
                std::printf(" %7.3f%%", 100.0 * double(k->second.first) / double(k->second.second));
        }
        std::printf("\n");
        if (c != u"__END__" && c != u"__DATA__") {
            agree += a;
            all += n;
            if (kate && kate->agree.count(c)) {
                kateAgree += kate->agree.at(c).first;
                kateAll += kate->agree.at(c).second;
            }
            if (lenient && lenient->agree.count(c)) {
                lenientAgree += lenient->agree.at(c).first;
                lenientAll += lenient->agree.at(c).second;
            }
        }
    }
    std::printf("%-16s %12lld %8.3f%%", "all but data", qlonglong(all), 100.0 * double(agree) / double(qMax<qint64>(all, 1)));
    if (kate)
        std::printf(" %7.3f%%", 100.0 * double(kateAgree) / double(qMax<qint64>(kateAll, 1)));
    if (lenient)
        std::printf(" %7.3f%%", 100.0 * double(lenientAgree) / double(qMax<qint64>(lenientAll, 1)));
    std::printf("\n%-16s %12lld %8.3f%%", "code as quoted", qlonglong(ours.codeChars),
                100.0 * double(ours.codeMarked) / double(qMax<qint64>(ours.codeChars, 1)));
    if (kate)
        std::printf(" %7.3f%%", 100.0 * double(kate->codeMarked) / double(qMax<qint64>(kate->codeChars, 1)));
    std::printf("\n   (code as quoted: characters outside PPI's quotes, comments, POD and data that get one of\n"
                "   those classes%s)\n",
                lenient ? "; Kate*: Kate with the delimiters it styles as operators counted as the quote's class" : "");
}

double lexSeconds(const std::vector<QString> &texts, syntax::Kind kind, bool withTokens)
{
    const syntax::Lexer &lexer = syntax::lexerFor(kind);
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const qint64 started = cpuNanoseconds();
        syntax::Tokens tokens;
        for (const QString &text : texts) {
            syntax::State state = lexer.initialState();
            for (qsizetype start = 0; start <= text.size();) {
                qsizetype end = text.indexOf(u'\n', start);
                if (end < 0)
                    end = text.size();
                tokens.clear();
                state = lexer.lexLine(QStringView(text).mid(start, end - start), state, withTokens ? &tokens : nullptr);
                start = end + 1;
            }
        }
        best = std::min(best, double(cpuNanoseconds() - started) / 1e9);
    }
    return best;
}

// Lexing speed in MB/s (of UTF-16 text read from `bytes` bytes), end states
// only and with tokens.
void printSpeed(const char *what, const std::vector<QString> &texts, qint64 bytes, syntax::Kind kind)
{
    const double mb = double(bytes) / 1e6;
    std::printf("%s, %.1f MB: %.0f MB/s for end states only, %.0f MB/s with tokens\n", what, mb,
                mb / lexSeconds(texts, kind, false), mb / lexSeconds(texts, kind, true));
}

std::vector<QString> htmlPages(qint64 *bytes)
{
    std::vector<QString> pages;
    *bytes = 0;
    for (const char *folder : {"/usr/share/doc", "/usr/share/qt6"}) {
        QDirIterator it(QString::fromLatin1(folder), {QStringLiteral("*.html"), QStringLiteral("*.htm")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (f.open(QIODevice::ReadOnly)) {
                const QByteArray b = f.readAll();
                *bytes += b.size();
                pages.push_back(QString::fromUtf8(b));
            }
        }
    }
    return pages;
}

class Lines : public syntax::LineSource
{
public:
    QStringList lines;
    int lineCount() const override { return int(lines.size()); }
    QString lineText(int line) const override { return lines[line]; }
};

// Re-lexing after edits in a generated script of 100,000 lines.
void editCost()
{
    QProcess gen;
    gen.start(QStringLiteral("python3"), {QStringLiteral(QUILLET_BENCH_DIR "/../../shared/tools/gen_script.py"),
                                          QStringLiteral("8")});
    gen.waitForFinished(-1);
    Lines doc;
    doc.lines = QString::fromUtf8(gen.readAllStandardOutput()).split(u'\n').mid(0, 100000);
    if (doc.lines.size() < 100000) {
        std::printf("\nno generated script (../shared/tools/gen_script.py)\n");
        return;
    }
    syntax::IncrementalLexer lexer(syntax::Kind::Perl);
    lexer.reset(doc.lineCount());
    const qint64 started = cpuNanoseconds();
    int slices = 0;
    while (!lexer.isDone()) {
        lexer.lexSlice(doc);
        ++slices;
    }
    const double full = double(cpuNanoseconds() - started) / 1e6;
    std::printf("\n100,000-line script (%.1f MB): whole lexing %.1f ms in %d slices of <= 2 ms; %d bytes of state per line\n"
                "edits, each lexed until nothing is stale (times are the edit's and the lexing's CPU time):\n",
                double(doc.lines.join(u'\n').size()) / 1e6, full, slices, int(sizeof(syntax::State)));

    std::mt19937 random(7);
    // Times `edit` at random lines, lexing until nothing is stale; `undo`
    // puts the text back afterwards, untimed.
    const auto measure = [&](const char *what, int runs, auto edit, auto undo) {
        std::vector<double> times;
        quint64 lexed = 0;
        int worstSlices = 0;
        for (int k = 0; k < runs; ++k) {
            const int line = 1000 + int(random() % 98000);
            const quint64 before = lexer.linesLexed();
            const qint64 t = cpuNanoseconds();
            edit(line);
            int n = 0;
            while (!lexer.isDone()) {
                lexer.lexSlice(doc);
                ++n;
            }
            times.push_back(double(cpuNanoseconds() - t) / 1e3);
            lexed += lexer.linesLexed() - before;
            worstSlices = std::max(worstSlices, n);
            undo(line);
            while (!lexer.isDone())
                lexer.lexSlice(doc);
        }
        std::sort(times.begin(), times.end());
        std::printf("  %-36s median %8.1f us, worst %8.1f us, %9.1f lines lexed on average, at most %d slices\n",
                    what, times[times.size() / 2], times.back(), double(lexed) / double(times.size()), worstSlices);
    };
    const auto changed = [&](int line) { lexer.linesChanged(line, line, 0); };
    measure("a character typed in a line", 200, [&](int line) {
        doc.lines[line].insert(doc.lines[line].size() / 2, u'x');
        changed(line);
    }, [](int) {});
    measure("a line split in two (Enter)", 200, [&](int line) {
        const QString text = doc.lines[line];
        doc.lines[line] = text.left(text.size() / 2);
        doc.lines.insert(line + 1, text.mid(text.size() / 2));
        lexer.linesChanged(line, line + 1, 1);
    }, [](int) {});
    measure("a \"#\" typed at a line's start", 200, [&](int line) {
        doc.lines[line].prepend(u'#');
        changed(line);
    }, [&](int line) {
        doc.lines[line].remove(0, 1);
        changed(line);
    });
    measure("a quote opened at a line's start", 20, [&](int line) {
        doc.lines[line].prepend(u'"');
        changed(line);
    }, [&](int line) {
        doc.lines[line].remove(0, 1);
        changed(line);
    });
    std::printf("  (an open quote recolours every line down to the next quote, as in Perl)\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const char *name, int fallback) {
        const qsizetype i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
    };
    const int kateEvery = option("--kate", 1);
    std::map<QString, int> examples;
    for (const QString &c : kOrder + QStringList{QStringLiteral("code")})
        examples[c] = option("--examples", 0);
    QStringList files = perlFiles();
    if (const int limit = option("--limit", 0))
        files = files.mid(0, limit);
    const QHash<QString, std::vector<Range>> ppi = ppiRanges(files);

    std::vector<Source> sources;
    qint64 bytes = 0;
    for (const QString &path : files) {
        QFile f(path);
        if (!ppi.contains(path) || !f.open(QIODevice::ReadOnly))
            continue;
        sources.push_back({path, f.readAll(), ppi.value(path)});
        bytes += sources.back().bytes.size();
    }
    std::printf("%lld Perl files (%.1f MB) read by PPI, of %lld found\n", qlonglong(sources.size()), double(bytes) / 1e6,
                qlonglong(files.size()));

    Tally ours, oursOnKate, kate, kateLenient;
    const bool haveKate = kateEvery > 0 && highlightkate::available();
    int kateFiles = 0;
    QElapsedTimer kateTime;
    kateTime.start();
    for (size_t i = 0; i < sources.size(); ++i) {
        const Source &s = sources[i];
        const std::vector<TokenClass> classes = ourClasses(s.bytes);
        compare(s, classes, ours, &examples);
        if (haveKate && i % size_t(kateEvery) == 0) {
            std::vector<TokenClass> theirs;
            if (highlightkate::classes(s.path, s.bytes, theirs)) {
                compare(s, classes, oursOnKate, nullptr);
                compare(s, theirs, kate, nullptr);
                compare(s, theirs, kateLenient, nullptr, true);
                ++kateFiles;
            }
        }
    }
    printTable("Agreement with PPI, per construct (characters PPI puts in it that get the matching class)", ours,
               nullptr);
    if (haveKate) {
        printTable(qPrintable(QStringLiteral("On the %1 files Kate's highlighter read (%2 s), this lexer beside Kate's")
                                  .arg(kateFiles)
                                  .arg(double(kateTime.nsecsElapsed()) / 1e9, 0, 'f', 0)),
                   oursOnKate, &kate, &kateLenient);
        highlightkate::printStyles();
    } else {
        std::printf("\nkate-syntax-highlighter not run\n");
    }

    std::printf("\nSpeed (CPU time of the lexing thread):\n");
    std::vector<QString> texts;
    for (const Source &s : sources)
        texts.push_back(QString::fromLatin1(s.bytes));
    printSpeed("Perl, the same files", texts, bytes, syntax::Kind::Perl);
    qint64 htmlBytes = 0;
    texts = htmlPages(&htmlBytes);
    printSpeed(qPrintable(QStringLiteral("HTML, %1 pages under /usr/share/doc and /usr/share/qt6").arg(texts.size())),
               texts, htmlBytes, syntax::Kind::Html);
    editCost();
    return 0;
}
