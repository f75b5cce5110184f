#pragma once

// The recovery journal's writing side (files/recovery.h is its face).
//
// A document's entry leans on its file while it can: when the text was
// loaded from that file or saved to it and the file is unchanged since,
// the entry holds the file's name and hash and then the edits (position,
// removed length, inserted text) appended as they happen. Otherwise, and
// whenever the log has grown larger than the text, the entry is written
// whole: the text, gathered between events for a large document, written
// on the journal's own thread in one step (so that a kill at any moment
// leaves the old or the new entry), and edits are appended to that.
// Appends are due within 0.4 s of the first unwritten change. A notes
// pane's entry is its rich text, written whole.

#include "document/filemodel.h"
#include "files/recovery.h"
#include "platform/recoverylog.h"
#include "platform/recoverystore.h"

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace document {
class DocumentWindow;
}
namespace platform {
class RichTextBox;
}

namespace files::recovery {

// A stretch of a document's text as the journal gathers it: its document
// positions [start, end), the text ('\n' for each line break) and, in
// files of mixed line breaks, the style of every break in it.
struct Piece
{
    int start = 0;
    int end = 0;
    QString text;
    std::vector<quint8> breaks;
};

struct Watched
{
    QPointer<platform::RichTextBox> box;
    bool isDocument = false;
    QPointer<document::DocumentWindow> doc; // a document window's, else a notes pane's
    QString pane, title;
    int number = 0;

    bool dirty = false;     // changes not written yet
    bool gathering = false; // the whole text is being gathered
    qint64 firstChange = 0; // of those not written
    std::vector<Piece> pieces;

    // The entry: on disk or not, and what further edits can be appended to.
    bool exists = false;
    enum class Kind { None, OnFile, Whole } kind = Kind::None;
    QMap<QString, QString> fields; // as the entry has them
    qint64 entryText = 0;          // bytes of its text (its file's, or its own)
    qint64 entryLog = 0;           // bytes appended since
    bool wholeDue = false;         // the next write writes it whole
    bool failed = false;           // its last write failed
    QString basePath;              // Kind::OnFile: the file and its stamp then
    document::DiskStamp baseStamp;

    // The edits, in order. While `fromBase`, they are every edit since the
    // text was loaded from or saved to the file whose hash is baseHash;
    // otherwise those since the entry was last written whole. The first
    // `written` are in the entry already.
    std::vector<platform::TextEdit> log;
    size_t written = 0;
    qint64 logChars = 0;
    bool fromBase = false;
    quint64 baseHash = 0;
    qint64 length = 0; // the text's length as the journal last saw it
};

class Journal : public QObject
{
public:
    Journal();

    platform::RecoverySession session;
    std::function<platform::RichTextBox *(const QString &)> notesRestorer;
    Cost cost;
    std::atomic<qint64> bytesWritten{0};

    bool active() const { return session.isOpen(); }
    // Between start() and a clean end, texts are journaled (and a session
    // that could not be opened is tried again at each write).
    bool running = false;
    void watch(platform::RichTextBox *box, document::DocumentWindow *doc, const QString &pane, const QString &title);
    void forget(QObject *box);
    // Writes what is pending now (of one text, or of all), and waits for it.
    void flush(QObject *only, bool whole = false);
    void finish();

private:
    void changed(QObject *box);
    void edited(QObject *box, int position, int removed, int added);
    void logEdit(QObject *box, int position, int added);
    void loaded(QObject *box);
    void writeDue();
    void write(Watched &w, bool atOnce);
    void writeNotes(Watched &w, const QString &path);
    bool leansOnFile(const Watched &w) const;
    QMap<QString, QString> documentFields(const Watched &w) const;
    void writeWhole(Watched &w, bool atOnce);
    void gatherSlice();
    bool gather(Watched &w, qint64 budgetNs);
    void complete(Watched &w);
    void sendWhole(Watched &w, std::function<void(QString *, std::vector<quint8> *)> take);
    void removeEntry(Watched &w);
    void checkBases();

    // On the journal's thread: one step each, in order; the outcome comes
    // back to this thread.
    void run(int number, std::function<bool(QString *)> step);
    void outcome(int number, bool ok, const QString &reason);
    void baseChanged(int number);
    void tell();

    Watched *byNumber(int number);

    std::unordered_map<QObject *, Watched> m_watched;
    QElapsedTimer m_clock;
    QTimer m_due;   // writes what is pending
    QTimer m_slice; // gathers large texts between events
    QTimer m_retry; // after a failed write
    QTimer m_bases; // looks at the files entries lean on
    QThreadPool m_pool;
    int m_lastNumber = 0;
    // The user hears once that texts are not protected, and once that they
    // are again.
    bool m_protected = true;
    bool m_toldProtected = true;
    bool m_telling = false;
    QString m_reason;
};

Journal &journal();

// Entries whose last write failed: nothing is appended to them until they
// are written whole again. Touched on the journal's thread only.
std::unordered_set<int> &brokenEntries();

// Keeps the longest time this thread spent in a scope (its own processor
// time, so that other programs on a busy machine don't count).
class Timing
{
public:
    explicit Timing(qint64 *longest) : m_longest(longest), m_start(now()) {}
    ~Timing() { *m_longest = std::max(*m_longest, now() - m_start); }

private:
    static qint64 now()
    {
        timespec t{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }
    qint64 *m_longest;
    qint64 m_start;
};

} // namespace files::recovery
