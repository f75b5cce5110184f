#include "files/recovery.h"

#include "colouring/passes.h"
#include "document/documentwindow.h"
#include "document/filemodel.h"
#include "files/filecommands.h"
#include "frame/mainwindow.h"
#include "platform/documentloader.h"
#include "platform/errors.h"
#include "platform/recoverystore.h"
#include "platform/richtextbox.h"
#include "platform/rtfwriter.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <unordered_map>

namespace files::recovery {

namespace {

// A change is written once the text has been still for this long, and
// never later than the second figure after its first unwritten change.
constexpr qint64 kQuietMs = 400;
constexpr qint64 kLatestMs = 1500;
constexpr int kTickMs = 100;
// From this many characters on, a document's text is gathered a slice at a
// time between events, each slice at most this long, and kept in pieces
// that follow later edits, so that only the pieces an edit touched are
// gathered again.
constexpr int kSlicedFrom = 256 * 1024;
constexpr qint64 kSliceNs = 400 * 1000;
constexpr int kChunk = 16 * 1024;
constexpr int kPiece = 4 * kChunk;

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

// The text of a document's positions [start, end) as saving writes it
// ('\n' for each line break), and the style of every break in it (files
// of mixed line breaks only).
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
    bool dirty = false;
    bool gathering = false;
    bool written = false;
    qint64 firstChange = 0;
    qint64 lastChange = 0;
    std::vector<Piece> pieces; // sorted, never overlapping
};

class Journal : public QObject
{
public:
    Journal()
    {
        m_clock.start();
        m_pool.setMaxThreadCount(1); // writes and removals in order
        m_tick.setInterval(kTickMs);
        connect(&m_tick, &QTimer::timeout, this, &Journal::tick);
        m_slice.setInterval(0);
        m_slice.setSingleShot(true);
        connect(&m_slice, &QTimer::timeout, this, &Journal::gatherSlice);
    }

    platform::RecoverySession session;
    std::function<platform::RichTextBox *(const QString &)> notesRestorer;
    files::recovery::Cost cost;

    bool active() const { return session.isOpen(); }

    void watch(platform::RichTextBox *box, document::DocumentWindow *doc, const QString &pane,
               const QString &title)
    {
        if (!box || m_watched.count(box))
            return;
        Watched w;
        w.box = box;
        w.isDocument = doc != nullptr;
        w.doc = doc;
        w.pane = pane;
        w.title = title;
        w.number = ++m_lastNumber;
        m_watched.emplace(box, std::move(w));
        // What a keystroke pays: a look-up, the time, and for a large
        // document a pass over its pieces.
        QTextDocument *text = box->document();
        connect(text, &QTextDocument::contentsChange, this,
                [this, box](int position, int removed, int added) { edited(box, position, removed, added); });
        connect(text, &QTextDocument::contentsChanged, this, [this, box] { changed(box); });
        connect(text, &QTextDocument::modificationChanged, this, [this, box] { changed(box); });
        connect(box, &QObject::destroyed, this, [this, box] { m_watched.erase(box); });
        if (text->isModified())
            changed(box);
    }

    void changed(QObject *box)
    {
        const Timing timing(&cost.longestChangeNs);
        auto it = m_watched.find(box);
        if (it == m_watched.end())
            return;
        Watched &w = it->second;
        w.lastChange = m_clock.elapsed();
        if (!w.dirty) {
            w.dirty = true;
            w.firstChange = w.lastChange;
        }
        if (!m_tick.isActive())
            m_tick.start();
    }

    void forget(QObject *box)
    {
        auto it = m_watched.find(box);
        if (it == m_watched.end())
            return;
        Watched &w = it->second;
        w.dirty = w.gathering = false;
        w.pieces.clear();
        if (w.written)
            removeEntry(session.entryPath(w.number));
        w.written = false;
    }

    void flush(QObject *only)
    {
        for (auto &[box, w] : m_watched) {
            if ((w.dirty || w.gathering) && (!only || box == only))
                snapshot(w, true);
        }
        m_pool.waitForDone();
    }

    void removeEntry(const QString &path)
    {
        m_pool.start([path] { QFile::remove(path); });
    }

    void finish()
    {
        // Texts still unsaved at a clean end (notes that could not be
        // written) stay in the journal for the next start.
        flush(nullptr);
        m_tick.stop();
        m_slice.stop();
        session.close();
    }

private:
    // An edit moves the pieces after it and drops those it touched: the
    // changed characters, and the separators of the paragraphs whose break
    // style it may have changed.
    void edited(QObject *box, int position, int removed, int added)
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

    void tick()
    {
        const qint64 now = m_clock.elapsed();
        bool pending = false;
        for (auto &[box, w] : m_watched) {
            if (!w.dirty || w.gathering)
                continue;
            if (now - w.lastChange >= kQuietMs || now - w.firstChange >= kLatestMs)
                snapshot(w);
            if (w.dirty)
                pending = true;
        }
        if (!pending)
            m_tick.stop();
    }

    static bool sliced(const Watched &w)
    {
        return !w.pieces.empty() || w.box->document()->characterCount() >= kSlicedFrom;
    }

    // Takes what is needed on this thread and leaves the encoding and the
    // writing to the journal's own. A large document's text is gathered a
    // slice at a time between events (all that is missing, when at once).
    void snapshot(Watched &w, bool atOnce = false)
    {
        const Timing timing(&cost.longestStepNs);
        if (!active() || !w.box || (w.isDocument && !w.doc)) {
            w.dirty = w.gathering = false;
            return;
        }
        const QString path = session.entryPath(w.number);
        if (!w.box->document()->isModified()) {
            w.dirty = w.gathering = false;
            w.pieces.clear();
            if (w.written)
                removeEntry(path);
            w.written = false;
            return;
        }
        if (!w.isDocument) {
            w.dirty = false;
            platform::RecoveryEntry entry;
            entry.fields = {{QStringLiteral("kind"), QStringLiteral("notes")},
                            {QStringLiteral("pane"), w.pane},
                            {QStringLiteral("title"), w.title}};
            entry.payload = rtf::write(*w.box->formattedCopy());
            ++cost.snapshots;
            m_pool.start([path, entry] { platform::writeRecoveryFile(path, entry.serialise()); });
            w.written = true;
            return;
        }
        if (!sliced(w)) {
            w.dirty = false;
            writeDocument(w, std::make_shared<platform::DocumentFile::Snapshot>(w.box->encodingSnapshot()));
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

    void gatherSlice()
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
    bool gather(Watched &w, qint64 budgetNs)
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

    // The pieces cover the text: they go to the journal's thread to be
    // joined, encoded and written.
    void complete(Watched &w)
    {
        w.dirty = w.gathering = false;
        QTextDocument *doc = w.box->document();
        auto parts = std::make_shared<std::vector<Piece>>(w.pieces);
        auto text = std::make_shared<platform::DocumentFile::Snapshot>();
        text->format = w.box->fileFormat();
        size_t breaks = 0;
        int covered = 0;
        for (const Piece &p : *parts) {
            breaks += p.breaks.size();
            covered += p.end - p.start;
        }
        const bool mixed = text->format.mixedBreaks;
        if (covered != doc->characterCount() - 1 || (mixed && breaks + 1 != size_t(w.box->textLineCount()))) {
            // Should not happen; then the slow way.
            ++cost.restarts;
            w.pieces.clear();
            writeDocument(w, std::make_shared<platform::DocumentFile::Snapshot>(w.box->encodingSnapshot()));
            return;
        }
        writeDocument(w, text, [parts, covered, breaks](platform::DocumentFile::Snapshot &s) {
            s.rawText.reserve(covered);
            s.breaks.reserve(breaks);
            for (const Piece &p : *parts) {
                s.rawText += p.text;
                s.breaks.insert(s.breaks.end(), p.breaks.begin(), p.breaks.end());
            }
        });
    }

    void writeDocument(Watched &w, const std::shared_ptr<platform::DocumentFile::Snapshot> &text,
                       std::function<void(platform::DocumentFile::Snapshot &)> assemble = nullptr)
    {
        const document::FileModel &file = w.doc->file();
        const document::DiskStamp stamp = file.stamp();
        // A file named relative to this editor's working folder is kept by
        // its full name: the next editor may start in another folder.
        QString caption = w.doc->caption();
        if (w.doc->hasFile() && QFileInfo(caption).isRelative())
            caption = QFileInfo(caption).absoluteFilePath();
        const QString filePath = file.path().isEmpty() ? QString() : QFileInfo(file.path()).absoluteFilePath();
        platform::RecoveryEntry entry;
        entry.fields = {
            {QStringLiteral("kind"), QStringLiteral("document")},
            {QStringLiteral("caption"), caption},
            {QStringLiteral("path"), filePath},
            {QStringLiteral("rich"), file.loadedAsRichText() ? QStringLiteral("1") : QStringLiteral("0")},
            {QStringLiteral("hash"), QString::number(file.contentHash())},
            {QStringLiteral("stamp"), stamp.exists ? QStringLiteral("%1 %2 %3 %4")
                                                         .arg(stamp.device)
                                                         .arg(stamp.inode)
                                                         .arg(stamp.size)
                                                         .arg(stamp.modifiedNs)
                                                   : QString()},
        };
        const QString path = session.entryPath(w.number);
        ++cost.snapshots;
        m_pool.start([path, entry, text, assemble]() mutable {
            if (assemble)
                assemble(*text);
            entry.payload = text->encode();
            platform::writeRecoveryFile(path, entry.serialise());
        });
        w.written = true;
    }

    std::unordered_map<QObject *, Watched> m_watched;
    QElapsedTimer m_clock;
    QTimer m_tick;
    QTimer m_slice;
    QThreadPool m_pool;
    int m_lastNumber = 0;
};

Journal &journal()
{
    static Journal *j = new Journal; // lives until the process ends
    return *j;
}

document::DiskStamp parseStamp(const QString &text)
{
    document::DiskStamp s;
    const QStringList parts = text.split(QLatin1Char(' '));
    if (parts.size() == 4) {
        s.exists = true;
        s.device = parts[0].toULongLong();
        s.inode = parts[1].toULongLong();
        s.size = parts[2].toLongLong();
        s.modifiedNs = parts[3].toLongLong();
    }
    return s;
}

// Loads journaled bytes into a text control through a file beside the
// journal's entries.
void loadPayload(const QByteArray &payload, const std::function<void(const QString &)> &load)
{
    const QString temp = journal().session.entryPath(0) + QStringLiteral(".restore");
    if (!platform::writeRecoveryFile(temp, payload))
        throw platform::ControlError(platform::ControlError::PathFileAccess, QStringLiteral("Path/File access error"));
    try {
        load(temp);
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
    QFile::remove(temp);
}

void restoreDocument(const platform::RecoveryEntry &entry)
{
    frame::MainWindow *w = frame::frmMain();
    document::DocumentWindow *doc = w->newdoc();
    platform::RichTextBox &box = *doc->rtfText;
    loadPayload(entry.payload, [&](const QString &temp) { loadDocument(*doc, temp, false); });
    const QString path = entry.fields.value(QStringLiteral("path"));
    if (!path.isEmpty())
        doc->file().loaded(path, parseStamp(entry.fields.value(QStringLiteral("stamp"))),
                           entry.fields.value(QStringLiteral("rich")) == QLatin1String("1"),
                           entry.fields.value(QStringLiteral("hash")).toULongLong());
    doc->setCaption(entry.fields.value(QStringLiteral("caption"), doc->caption()));
    using platform::ignoreErrors;
    ignoreErrors([&] { colouring::htmlTagPass(box); });
    ignoreErrors([&] { colouring::editAreaPass(box); });
    ignoreErrors([&] { colouring::variablePass(box); });
    ignoreErrors([&] { colouring::commentPass(box); });
    doc->file().setUnsavedEdits(true);
    w->setPanelText(2, QStringLiteral("File - Changed"));
    journal().flush(&box);
}

void restoreNotes(const platform::RecoveryEntry &entry)
{
    if (!journal().notesRestorer)
        throw platform::ControlError(platform::ControlError::ObjectRequired, QStringLiteral("Object required"));
    platform::RichTextBox *box = journal().notesRestorer(entry.fields.value(QStringLiteral("pane")));
    if (!box)
        throw platform::ControlError(platform::ControlError::ObjectRequired, QStringLiteral("Object required"));
    loadPayload(entry.payload, [&](const QString &temp) { box->LoadFile(temp); });
    box->document()->setModified(true);
    journal().flush(box);
}

} // namespace

void start()
{
    Journal &j = journal();
    if (j.active() || !j.session.open())
        return;
    platform::onTerminationSignal([] { journal().flush(nullptr); });
    static bool sessionEndWatched = false;
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (app && !sessionEndWatched) {
        sessionEndWatched = true;
        QObject::connect(app, &QGuiApplication::commitDataRequest, &j,
                         [](QSessionManager &) { journal().flush(nullptr); });
    }
}

void finish()
{
    if (journal().active())
        journal().finish();
}

void watchDocument(document::DocumentWindow *doc)
{
    journal().watch(doc->rtfText, doc, QString(), QString());
}

void watchNotes(platform::RichTextBox *box, const QString &pane, const QString &title)
{
    journal().watch(box, nullptr, pane, title);
}

void forget(platform::RichTextBox *box)
{
    journal().forget(box);
}

void flush(platform::RichTextBox *box)
{
    journal().flush(box);
}

void setNotesRestorer(std::function<platform::RichTextBox *(const QString &pane)> restorer)
{
    journal().notesRestorer = std::move(restorer);
}

Cost cost(bool reset)
{
    const Cost c = journal().cost;
    if (reset)
        journal().cost = Cost();
    return c;
}

void offerRestore()
{
    Journal &j = journal();
    if (!j.active())
        return;
    const auto claimed = platform::claimEndedSessions(j.session.id());
    for (const auto &session : claimed) {
        for (const QString &file : session->entries()) {
            QFile f(file);
            platform::RecoveryEntry entry;
            if (!f.open(QIODevice::ReadOnly) || !platform::RecoveryEntry::parse(f.readAll(), &entry)) {
                f.close();
                QFile::remove(file); // half-written or not ours: nothing to offer
                continue;
            }
            f.close();
            const bool notes = entry.fields.value(QStringLiteral("kind")) == QLatin1String("notes");
            const QString question = notes
                ? QStringLiteral("The %1 notes were not saved when Quillet Lite last ended.\nRestore them?")
                      .arg(entry.fields.value(QStringLiteral("title")))
                : QStringLiteral("%1 was not saved when Quillet Lite last ended.\nRestore the unsaved text?")
                      .arg(entry.fields.value(QStringLiteral("caption")));
            const platform::Answer answer = platform::ui().messageBox(
                frame::frmMain(), question, platform::appTitle(), platform::Buttons::YesNo,
                platform::Icon::Information);
            if (answer == platform::Answer::Cancel)
                continue; // asked again next time
            if (answer == platform::Answer::Yes) {
                const bool restored = platform::endOnError([&] {
                    if (notes)
                        restoreNotes(entry);
                    else
                        restoreDocument(entry);
                });
                if (!restored)
                    continue;
            }
            QFile::remove(file);
        }
    }
}

} // namespace files::recovery
