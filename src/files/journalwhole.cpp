// Writing a document's entry whole: its text taken at once, or, for a
// large document, gathered a slice at a time between events in pieces that
// follow later edits, so that only the pieces an edit touched are gathered
// again; the joining, encoding and writing are the journal thread's.

#include "files/journal.h"

#include "document/documentwindow.h"
#include "platform/richtextbox.h"

#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace files::recovery {

namespace {

// From this many characters on, a document's text is gathered a slice at a
// time between events, each slice at most this long, and kept in pieces
// that follow later edits, so that only the pieces an edit touched are
// gathered again.
constexpr int kSlicedFrom = 256 * 1024;
constexpr qint64 kSliceNs = 400 * 1000;
constexpr int kChunk = 16 * 1024;
constexpr int kPiece = 4 * kChunk;

} // namespace

// An edit moves the pieces after it and drops those it touched: the
// changed characters, and the separators of the paragraphs whose break
// style it may have changed.
void Journal::edited(QObject *box, int position, int removed, int added)
{
    const Timing timing(&cost.longestChangeNs);
    auto it = m_watched.find(box);
    if (it == m_watched.end() || it->second.pieces.empty())
        return;
    Watched &w = it->second;
    QTextDocument *doc = w.box->document();
    QTextBlock last = doc->findBlock(position + added);
    if (!last.isValid())
        last = doc->lastBlock();
    if (position < 0 || removed < 0 || added < 0) {
        w.pieces.clear();
        return;
    }
    const int delta = added - removed;
    const int low = position;
    const int high = std::max(last.position() + last.length() - 1, position + added) - delta;
    std::vector<Piece> &pieces = w.pieces;
    pieces.erase(std::remove_if(pieces.begin(), pieces.end(),
                                [&](const Piece &p) { return p.end > low && p.start <= high; }),
                 pieces.end());
    for (Piece &p : pieces) {
        if (p.start > high) {
            p.start += delta;
            p.end += delta;
        }
    }
}

// A large document's text is gathered a slice at a time between events
// (all that is missing, when at once); the encoding and the writing are
// the journal thread's.
void Journal::writeWhole(Watched &w, bool atOnce)
{
    const bool sliced = !w.pieces.empty() || w.box->document()->characterCount() >= kSlicedFrom;
    if (!sliced) {
        const platform::RichTextBox *box = w.box;
        platform::DocumentFile::Snapshot s = box->encodingSnapshot();
        auto text = std::make_shared<QString>(std::move(s.rawText));
        auto breaks = std::make_shared<std::vector<quint8>>(std::move(s.breaks));
        sendWhole(w, [text, breaks](QString *t, std::vector<quint8> *b) {
            *t = std::move(*text);
            *b = std::move(*breaks);
        });
        return;
    }
    if (atOnce) {
        gather(w, -1);
        complete(w);
        return;
    }
    w.gathering = true;
    m_slice.start();
}

void Journal::gatherSlice()
{
    for (auto &[box, w] : m_watched) {
        if (!w.gathering)
            continue;
        const Timing timing(&cost.longestStepNs);
        if (!w.box || (w.isDocument && !w.doc)) {
            w.gathering = false;
            continue;
        }
        if (gather(w, kSliceNs))
            complete(w);
        break;
    }
    for (const auto &[box, w] : m_watched) {
        if (w.gathering) {
            m_slice.start();
            return;
        }
    }
}

// Fills the gaps between a document's pieces, for at most budgetNs
// (negative: all of them); true when nothing is missing.
bool Journal::gather(Watched &w, qint64 budgetNs)
{
    QTextDocument *doc = w.box->document();
    const int length = doc->characterCount() - 1; // without the last, implied separator
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        int at = 0;
        size_t index = 0;
        while (index < w.pieces.size() && w.pieces[index].start == at)
            at = w.pieces[index++].end;
        const int gapEnd = index < w.pieces.size() ? w.pieces[index].start : length;
        if (at == length && index == w.pieces.size())
            return true;
        if (gapEnd <= at || at > length) { // the pieces no longer fit the text
            w.pieces.clear();
            ++cost.restarts;
            continue;
        }
        Piece p;
        p.start = p.end = at;
        while (p.end < gapEnd && p.end - p.start < kPiece) {
            const int to = std::min(gapEnd, p.end + kChunk);
            w.box->appendEncodingPiece(p.end, to, &p.text, &p.breaks);
            p.end = to;
            if (budgetNs >= 0 && clock.nsecsElapsed() > budgetNs)
                break;
        }
        w.pieces.insert(w.pieces.begin() + qsizetype(index), std::move(p));
        if (budgetNs >= 0 && clock.nsecsElapsed() > budgetNs)
            return false;
    }
}

// The pieces cover the text: they go to the journal's thread to be joined.
void Journal::complete(Watched &w)
{
    QTextDocument *doc = w.box->document();
    auto parts = std::make_shared<std::vector<Piece>>(w.pieces);
    size_t breaks = 0;
    int covered = 0;
    for (const Piece &p : *parts) {
        breaks += p.breaks.size();
        covered += p.end - p.start;
    }
    const bool mixed = w.box->fileFormat().mixedBreaks;
    if (covered != doc->characterCount() - 1 || (mixed && breaks + 1 != size_t(w.box->textLineCount()))) {
        // Should not happen; then the slow way.
        ++cost.restarts;
        w.pieces.clear();
        w.gathering = false;
        writeWhole(w, true);
        return;
    }
    sendWhole(w, [parts, covered, breaks](QString *text, std::vector<quint8> *styles) {
        text->reserve(covered);
        styles->reserve(breaks);
        for (const Piece &p : *parts) {
            *text += p.text;
            styles->insert(styles->end(), p.breaks.begin(), p.breaks.end());
        }
    });
}

void Journal::sendWhole(Watched &w, std::function<void(QString *, std::vector<quint8> *)> take)
{
    w.dirty = w.gathering = w.wholeDue = false;
    w.kind = Watched::Kind::Whole;
    w.exists = true;
    w.fields = documentFields(w);
    w.entryText = w.length;
    w.entryLog = 0;
    if (w.fromBase) {
        w.written = w.log.size();
    } else {
        w.log.clear();
        w.written = 0;
        w.logChars = 0;
    }
    ++cost.snapshots;
    platform::RecoveryEntry entry;
    entry.fields = w.fields;
    entry.fields.insert(QStringLiteral("base"), QStringLiteral("text"));
    const QString path = session.entryPath(w.number);
    const int number = w.number;
    run(number, [this, path, entry, take, number](QString *why) mutable {
        platform::TextEdit all;
        take(&all.text, &all.breaks);
        if (!platform::formatOf(entry.fields).mixedBreaks)
            all.breaks.clear();
        entry.payload = platform::encodeEditRecord(all);
        const QByteArray bytes = entry.serialise();
        if (!platform::writeRecoveryFile(path, bytes, why))
            return false;
        bytesWritten += bytes.size();
        brokenEntries().erase(number);
        return true;
    });
}

} // namespace files::recovery
