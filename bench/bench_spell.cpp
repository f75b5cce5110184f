// Figures for the spell check on 100 KB, 1 MB and 4 MB of text: the time to
// the first question (one misspelt word at the start, its suggestions
// made) and of a whole check that asks nothing (every word correct), each
// counted from reading the control's Text and including the dictionary's
// loading; and the time of finding the words alone. Best of three runs;
// in brackets the processor time the process used, which a busy machine
// inflates less than the time on the clock. Two kinds of document: plain prose, and a Perl CGI script whose
// comments, strings and here-documents hold the prose.

#include "platform/richtextbox.h"
#include "platform/ui.h"
#include "tools/spellcheck.h"
#include "tools/spellwords.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

double processorSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// Answers every question at once, noting when the first came.
class TimingUi : public platform::Ui
{
public:
    QElapsedTimer clock;
    double processorStart = 0;
    double firstQuestion = -1;
    double firstQuestionProcessor = -1;
    int questions = 0;

    platform::Answer messageBox(QWidget *, const QString &, const QString &, platform::Buttons,
                                platform::Icon) override
    {
        return platform::Answer::OK;
    }
    std::optional<QString> inputBox(QWidget *, const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    platform::FileAnswer fileDialog(const platform::FileRequest &) override { return {}; }
    bool printDialog(const platform::PrintRequest &) override { return false; }
    platform::SpellAnswer spellDialog(const platform::SpellRequest &) override
    {
        if (questions++ == 0) {
            firstQuestion = clock.nsecsElapsed() / 1e9;
            firstQuestionProcessor = processorSeconds() - processorStart;
        }
        return platform::SpellAnswer{}; // Cancel
    }
};

const char *const kWords[] = {
    "the", "club", "members", "meet", "every", "week", "to", "play", "chess", "and", "talk", "about",
    "their", "games", "a", "new", "player", "is", "always", "welcome", "we", "keep", "results", "of",
    "each", "tournament", "on", "this", "page", "with", "notes", "from", "players", "who", "won",
    "lost", "or", "drew", "our", "library", "has", "books", "for", "beginners", "experienced",
    "friends", "families", "children", "can", "join", "in", "summer", "when", "school", "closed",
    "please", "write", "if", "you", "would", "like", "help", "arrange", "next", "event", "evening",
    "morning", "afternoon", "coffee", "tea", "served", "after", "last", "round", "thank", "everyone",
    "came", "along", "year", "made", "it", "such", "success", "hope", "see", "again", "soon", "town",
    "hall", "room", "open", "doors", "seven", "o'clock", "bring", "board", "pieces", "clock",
    "spare", "sets", "are", "available", "at", "desk", "visitors", "may", "watch", "quietly",
    "during", "play", "but", "should", "not", "comment", "moves", "until", "game", "finished",
    "small", "fee", "covers", "rent", "prizes", "share", "news", "newsletter", "sent", "by", "mail",
    "twice", "month", "records", "kept", "safely", "secretary", "answers", "questions", "about",
    "rules", "ratings", "timetable", "changes", "announced", "here", "first"};
const int kWordCount = int(sizeof(kWords) / sizeof(kWords[0]));

// Correct prose of about `bytes` characters, lines of up to 72.
QString prose(int bytes, quint32 seed)
{
    QString text;
    text.reserve(bytes + 200);
    QString line;
    int sentence = 0;
    while (text.size() + line.size() < bytes) {
        seed = seed * 1664525u + 1013904223u;
        QString word = QLatin1String(kWords[(seed >> 8) % kWordCount]);
        if (sentence == 0)
            word[0] = word[0].toUpper();
        ++sentence;
        if (sentence > 6 && ((seed >> 20) % 5) == 0) {
            word += QLatin1Char('.');
            sentence = 0;
        } else if (((seed >> 24) % 11) == 0) {
            word += QLatin1Char(',');
        }
        if (line.size() + word.size() + 1 > 72) {
            text += line;
            text += QLatin1Char('\n');
            line.clear();
        }
        if (!line.isEmpty())
            line += QLatin1Char(' ');
        line += word;
    }
    text += line;
    text += QLatin1Char('\n');
    return text;
}

// A CGI script of about `bytes` characters: code with prose in comments,
// strings and here-documents.
QString script(int bytes)
{
    QString text = QStringLiteral("#!/usr/bin/perl -w\nuse strict;\nuse CGI qw(:standard);\n\n");
    quint32 seed = 7;
    int n = 0;
    while (text.size() < bytes) {
        const QString a = prose(60, seed++).trimmed();
        const QString b = prose(180, seed++).trimmed();
        text += QStringLiteral("# %1\nmy $count%2 = param('count%2') || 0;\n").arg(a).arg(n);
        text += QStringLiteral("if ($count%1 =~ /^\\d+$/ && $count%1 > 2) {\n"
                               "    print \"<p>%2 $count%1</p>\\n\";\n}\n")
                    .arg(n)
                    .arg(prose(50, seed++).trimmed());
        text += QStringLiteral("print <<\"EOT\";\n<div class=\"note\">\n%1\n</div>\nEOT\n\n").arg(b);
        ++n;
    }
    return text;
}

struct Figures
{
    double first = 1e9;
    double full = 1e9;
    double firstProcessor = 1e9;
    double fullProcessor = 1e9;
    double scan = 1e9;
    size_t words = 0;
};

Figures measure(platform::RichTextBox &box, const QString &body, const QString &fileName)
{
    Figures f;
    for (int run = 0; run < 3; ++run) {
        for (const bool misspelt : {true, false}) {
            // The misspelt word goes into the first comment or line.
            QString text = body;
            if (misspelt) {
                const int at = fileName.endsWith(QLatin1String(".cgi")) ? int(text.indexOf(QLatin1String("\n# ")) + 3) : 0;
                text.insert(at, QStringLiteral("Misspeld "));
            }
            box.setText(text);
            TimingUi ui;
            platform::setUi(&ui);
            ui.clock.start();
            ui.processorStart = processorSeconds();
            const QString t = box.Text();
            const tools::SpellOutcome outcome = tools::checkSpelling(t, tools::documentKind(fileName, t));
            const double total = ui.clock.nsecsElapsed() / 1e9;
            const double totalProcessor = processorSeconds() - ui.processorStart;
            platform::setUi(nullptr);
            if (!outcome.ran) {
                std::printf("no dictionary: nothing measured\n");
                std::exit(1);
            }
            if (misspelt) {
                f.first = std::min(f.first, ui.firstQuestion);
                f.firstProcessor = std::min(f.firstProcessor, ui.firstQuestionProcessor);
            } else {
                if (ui.questions != 0)
                    std::printf("  (the correct text got %d questions)\n", ui.questions);
                f.full = std::min(f.full, total);
                f.fullProcessor = std::min(f.fullProcessor, totalProcessor);
                QElapsedTimer scan;
                scan.start();
                f.words = tools::proseWords(t, tools::documentKind(fileName, t)).size();
                f.scan = std::min(f.scan, scan.nsecsElapsed() / 1e9);
            }
        }
    }
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::RichTextBox box;
    box.resize(600, 500);

    std::printf("%-12s %10s %10s %14s %24s %24s\n", "document", "size", "words", "finding them",
                "first question", "whole check");
    for (const int kb : {100, 1024, 4096}) {
        const QString body = prose(kb * 1024, 1);
        const Figures f = measure(box, body, QStringLiteral("notes.txt"));
        std::printf("%-12s %7d KB %10zu %12.3f s %10.3f s (%.3f s cpu) %10.3f s (%.3f s cpu)\n", "prose", kb,
                    f.words, f.scan, f.first, f.firstProcessor, f.full, f.fullProcessor);
    }
    for (const int kb : {100, 1024, 4096}) {
        const QString body = script(kb * 1024);
        const Figures f = measure(box, body, QStringLiteral("club.cgi"));
        std::printf("%-12s %7d KB %10zu %12.3f s %10.3f s (%.3f s cpu) %10.3f s (%.3f s cpu)\n", "CGI script", kb,
                    f.words, f.scan, f.first, f.firstProcessor, f.full, f.fullProcessor);
    }
    return 0;
}
