#include "files/journal.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"
#include "platform/rtfwriter.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"

#include <QFileInfo>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <unordered_set>

namespace files::recovery {

std::unordered_set<int> &brokenEntries()
{
    static std::unordered_set<int> broken;
    return broken;
}

namespace {

// Edits are written within this long of the first one not yet written.
constexpr int kWriteAfterMs = 400;
// A failed write is tried again after this long, then less and less often.
constexpr int kRetryMs = 2000;
constexpr int kLongestRetryMs = 30000;
// How often the files that entries lean on are looked at.
constexpr int kBaseCheckMs = 2000;
// The log is written whole again once it is larger than the text (and
// than this).
constexpr qint64 kSmallestCompaction = 64 * 1024;
// An edit larger than this is not logged: the text is written whole.
constexpr int kLargestLogged = 256 * 1024;
// The length of the text as saving sees it (one character per break).
qint64 plainLength(const platform::RichTextBox &box)
{
    const int end = box.document()->characterCount() - 1;
    return qint64(box.toTextPosition(end)) - (box.textLineCount() - 1);
}

} // namespace

Journal &journal()
{
    static Journal *j = new Journal; // lives until the process ends
    return *j;
}

Journal::Journal()
{
    m_clock.start();
    m_pool.setMaxThreadCount(1); // writes and removals in order
    m_pool.setExpiryTimeout(-1);
    for (QTimer *t : {&m_due, &m_slice, &m_retry})
        t->setSingleShot(true);
    m_due.setInterval(kWriteAfterMs);
    connect(&m_due, &QTimer::timeout, this, &Journal::writeDue);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &Journal::gatherSlice);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        for (auto &[box, w] : m_watched) {
            if (w.failed)
                w.dirty = true;
        }
        m_retry.setInterval(std::min(m_retry.interval() * 2, kLongestRetryMs));
        writeDue();
    });
    m_bases.setInterval(kBaseCheckMs);
    connect(&m_bases, &QTimer::timeout, this, &Journal::checkBases);
}

Watched *Journal::byNumber(int number)
{
    for (auto &[box, w] : m_watched) {
        if (w.number == number)
            return &w;
    }
    return nullptr;
}

void Journal::watch(platform::RichTextBox *box, document::DocumentWindow *doc, const QString &pane,
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
    w.length = plainLength(*box);
    m_watched.emplace(box, std::move(w));
    // What a keystroke pays: a look-up, the time, the edit itself and for
    // a large document a pass over its pieces.
    QTextDocument *text = box->document();
    connect(text, &QTextDocument::contentsChange, this,
            [this, box](int position, int removed, int added) { edited(box, position, removed, added); });
    connect(box, &platform::RichTextBox::textEdited, this,
            [this, box](int position, int added) { logEdit(box, position, added); });
    connect(box, &platform::RichTextBox::textLoaded, this, [this, box] { loaded(box); });
    connect(text, &QTextDocument::contentsChanged, this, [this, box] { changed(box); });
    connect(text, &QTextDocument::modificationChanged, this, [this, box] { changed(box); });
    connect(box, &QObject::destroyed, this, [this, box] { m_watched.erase(box); });
    if (text->isModified())
        changed(box);
}

void Journal::changed(QObject *box)
{
    const Timing timing(&cost.longestChangeNs);
    auto it = m_watched.find(box);
    if (it == m_watched.end())
        return;
    Watched &w = it->second;
    if (!w.dirty) {
        w.dirty = true;
        w.firstChange = m_clock.elapsed();
    }
    if (!m_due.isActive())
        m_due.start();
}

// The edit as saving sees the text: where, how much went, what came.
void Journal::logEdit(QObject *box, int position, int added)
{
    const Timing timing(&cost.longestChangeNs);
    auto it = m_watched.find(box);
    if (it == m_watched.end() || !it->second.isDocument)
        return;
    Watched &w = it->second;
    const platform::RichTextBox &text = *w.box;
    const qint64 before = w.length;
    w.length = plainLength(text);
    if (!w.fromBase && (w.kind == Watched::Kind::None || w.wholeDue))
        return; // the text will be written whole
    const int docLength = text.document()->characterCount() - 1;
    position = std::clamp(position, 0, docLength);
    const int end = std::min(position + std::max(added, 0), docLength);
    const auto giveUp = [&w] {
        // Written whole next time, and from then on logged again.
        w.fromBase = false;
        w.log.clear();
        w.written = 0;
        w.logChars = 0;
        w.wholeDue = true;
    };
    if (end - position > kLargestLogged) {
        giveUp();
        return;
    }
    platform::TextEdit e;
    e.position = qint64(text.toTextPosition(position)) - text.textLineOf(position);
    text.appendEncodingPiece(position, end, &e.text, &e.breaks);
    e.removed = e.text.size() - (w.length - before);
    if (e.position < 0 || e.removed < 0 || e.position + e.removed > before) {
        ++cost.restarts; // should not happen
        giveUp();
        return;
    }
    if (e.removed == 0 && e.text.isEmpty())
        return;
    if (!text.fileFormat().mixedBreaks)
        e.breaks.clear();
    w.logChars += e.text.size() + 16;
    if (w.log.size() <= w.written || !w.log.back().absorb(e))
        w.log.push_back(std::move(e));
    // The log since the base is kept only while it is smaller than the
    // text; then the entry stands on its own.
    if (w.fromBase && w.logChars > std::max(w.length, kSmallestCompaction)) {
        w.fromBase = false;
        w.log.erase(w.log.begin(), w.log.begin() + qsizetype(w.written));
        w.written = 0;
        w.logChars = 0;
        for (const platform::TextEdit &kept : w.log)
            w.logChars += kept.text.size() + 16;
        if (w.kind == Watched::Kind::None)
            w.wholeDue = true;
    }
}

// The content was read from a file: the edits begin again from it.
void Journal::loaded(QObject *box)
{
    auto it = m_watched.find(box);
    if (it == m_watched.end())
        return;
    Watched &w = it->second;
    w.log.clear();
    w.written = 0;
    w.logChars = 0;
    w.pieces.clear();
    w.kind = Watched::Kind::None;
    w.wholeDue = false;
    w.fromBase = w.isDocument && !w.box->loadedAsRichText();
    w.baseHash = w.fromBase ? w.box->loadedContentHash() : 0;
    w.length = plainLength(*w.box);
}

void Journal::forget(QObject *box)
{
    auto it = m_watched.find(box);
    if (it == m_watched.end())
        return;
    Watched &w = it->second;
    w.dirty = w.gathering = false;
    w.pieces.clear();
    removeEntry(w);
    w.kind = Watched::Kind::None;
    w.wholeDue = false;
    w.log.clear();
    w.written = 0;
    w.logChars = 0;
    // Saved: the text is now what its file holds.
    const document::FileModel *file = w.doc ? &w.doc->file() : nullptr;
    w.fromBase = file && w.box && !w.box->document()->isModified() && !file->loadedAsRichText()
        && !file->path().isEmpty() && file->contentHash() != 0;
    w.baseHash = w.fromBase ? file->contentHash() : 0;
    if (w.box)
        w.length = plainLength(*w.box);
    if (w.failed) {
        w.failed = false;
        outcome(w.number, true, QString());
    }
}

void Journal::flush(QObject *only, bool whole)
{
    for (auto &[box, w] : m_watched) {
        if (only && box != only)
            continue;
        if (whole && w.isDocument && w.box && w.box->document()->isModified() && w.kind != Watched::Kind::Whole) {
            w.wholeDue = true;
            w.dirty = true;
        }
        if (w.dirty || w.gathering)
            write(w, true);
    }
    m_pool.waitForDone();
}

void Journal::finish()
{
    // Texts still unsaved at a clean end (notes that could not be
    // written) stay in the journal for the next start.
    flush(nullptr);
    for (QTimer *t : {&m_due, &m_slice, &m_retry, &m_bases})
        t->stop();
    session.close();
    running = false;
}

void Journal::writeDue()
{
    for (auto &[box, w] : m_watched) {
        if (w.dirty && !w.gathering)
            write(w, false);
    }
    for (const auto &[box, w] : m_watched) {
        if (w.dirty && !w.gathering && !w.failed) {
            m_due.start();
            break;
        }
    }
}

bool Journal::leansOnFile(const Watched &w) const
{
    if (!w.fromBase || !w.doc || w.baseHash == 0)
        return false;
    const document::FileModel &file = w.doc->file();
    if (file.loadedAsRichText() || file.path().isEmpty() || file.contentHash() != w.baseHash)
        return false;
    return document::DiskStamp::of(file.path()) == file.stamp() && file.stamp().exists;
}

QMap<QString, QString> Journal::documentFields(const Watched &w) const
{
    const document::FileModel &file = w.doc->file();
    const document::DiskStamp stamp = file.stamp();
    // A file named relative to this editor's working folder is kept by its
    // full name: the next editor may start in another folder.
    QString caption = w.doc->caption();
    if (w.doc->hasFile() && QFileInfo(caption).isRelative())
        caption = QFileInfo(caption).absoluteFilePath();
    QMap<QString, QString> fields{
        {QStringLiteral("kind"), QStringLiteral("document")},
        {QStringLiteral("caption"), caption},
        {QStringLiteral("path"), file.path().isEmpty() ? QString() : QFileInfo(file.path()).absoluteFilePath()},
        {QStringLiteral("rich"), file.loadedAsRichText() ? QStringLiteral("1") : QStringLiteral("0")},
        {QStringLiteral("hash"), QString::number(file.contentHash())},
        {QStringLiteral("stamp"), stamp.exists ? QStringLiteral("%1 %2 %3 %4 %5")
                                                     .arg(stamp.device)
                                                     .arg(stamp.inode)
                                                     .arg(stamp.size)
                                                     .arg(stamp.modifiedNs)
                                                     .arg(stamp.changedNs)
                                               : QString()},
    };
    platform::putFormat(&fields, w.box->fileFormat());
    return fields;
}

void Journal::write(Watched &w, bool atOnce)
{
    const Timing timing(&cost.longestStepNs);
    if (!w.box || (w.isDocument && !w.doc)) {
        w.dirty = w.gathering = false;
        return;
    }
    if (!w.box->document()->isModified()) {
        w.dirty = w.gathering = false;
        w.pieces.clear();
        removeEntry(w);
        w.kind = Watched::Kind::None;
        w.wholeDue = false;
        w.written = 0;
        if (!w.fromBase) {
            w.log.clear();
            w.logChars = 0;
        }
        return;
    }
    if (!running) {
        w.dirty = w.gathering = false;
        return;
    }
    if (!active() && !session.open()) {
        w.dirty = false;
        w.wholeDue = true;
        outcome(w.number, false, session.error());
        return;
    }
    const QString path = session.entryPath(w.number);
    if (!w.isDocument) {
        w.dirty = false;
        writeNotes(w, path);
        return;
    }
    if (w.wholeDue || (w.kind == Watched::Kind::None && !leansOnFile(w))) {
        writeWhole(w, atOnce);
        return;
    }
    w.dirty = false;
    const QMap<QString, QString> fields = documentFields(w);
    // A new entry on the file holds every edit since the text was the
    // file's; one already written, those not in it yet.
    const size_t from = w.kind == Watched::Kind::None ? 0 : w.written;
    std::vector<platform::TextEdit> edits(w.log.begin() + qsizetype(from), w.log.end());
    qint64 size = 0;
    for (const platform::TextEdit &e : edits)
        size += e.text.size() + 40;
    w.written = w.log.size();
    const int number = w.number;
    if (w.kind == Watched::Kind::None) {
        // A new entry on the file the text came from.
        const document::FileModel &file = w.doc->file();
        w.kind = Watched::Kind::OnFile;
        w.basePath = QFileInfo(file.path()).absoluteFilePath();
        w.baseStamp = file.stamp();
        w.entryText = w.baseStamp.size;
        w.entryLog = size;
        w.fields = fields;
        w.exists = true;
        platform::RecoveryEntry entry;
        entry.fields = fields;
        entry.fields.insert(QStringLiteral("base"), QStringLiteral("file"));
        entry.fields.insert(QStringLiteral("base-path"), w.basePath);
        entry.fields.insert(QStringLiteral("base-size"), QString::number(w.baseStamp.size));
        entry.fields.insert(QStringLiteral("base-hash"), QString::number(w.baseHash));
        if (!m_bases.isActive())
            m_bases.start();
        run(number, [this, path, entry, edits, number](QString *why) mutable {
            for (const platform::TextEdit &e : edits)
                entry.payload += platform::encodeEditRecord(e);
            const QByteArray bytes = entry.serialise();
            if (!platform::writeRecoveryFile(path, bytes, why))
                return false;
            bytesWritten += bytes.size();
            brokenEntries().erase(number);
            return true;
        });
    } else {
        const bool fieldsChanged = fields != w.fields;
        w.fields = fields;
        w.entryLog += size;
        const QString basePath = w.kind == Watched::Kind::OnFile ? w.basePath : QString();
        const document::DiskStamp baseStamp = w.baseStamp;
        if (!edits.empty() || fieldsChanged) {
            run(number, [this, path, fields, fieldsChanged, edits, number, basePath, baseStamp](QString *why) {
                if (brokenEntries().count(number)) {
                    *why = QStringLiteral("an earlier write failed");
                    return false;
                }
                QByteArray bytes;
                if (fieldsChanged)
                    bytes += platform::encodeFieldsRecord(fields);
                for (const platform::TextEdit &e : edits)
                    bytes += platform::encodeEditRecord(e);
                if (!platform::appendRecoveryFile(path, bytes, why)) {
                    brokenEntries().insert(number);
                    return false;
                }
                bytesWritten += bytes.size();
                if (!basePath.isEmpty() && document::DiskStamp::of(basePath) != baseStamp)
                    QMetaObject::invokeMethod(this, [this, number] { baseChanged(number); }, Qt::QueuedConnection);
                return true;
            });
        }
        if (!w.fromBase) {
            w.log.clear();
            w.written = 0;
            w.logChars = 0;
        }
        if (w.entryLog > std::max(w.entryText, kSmallestCompaction)) {
            // Compacted: written whole, between events and on the
            // journal's thread.
            w.wholeDue = true;
            w.dirty = true;
            w.firstChange = m_clock.elapsed();
        }
    }
}

void Journal::writeNotes(Watched &w, const QString &path)
{
    platform::RecoveryEntry entry;
    entry.fields = {{QStringLiteral("kind"), QStringLiteral("notes")},
                    {QStringLiteral("pane"), w.pane},
                    {QStringLiteral("title"), w.title}};
    entry.payload = rtf::write(*w.box->formattedCopy());
    ++cost.snapshots;
    w.exists = true;
    w.kind = Watched::Kind::Whole;
    run(w.number, [this, path, entry](QString *why) {
        const QByteArray bytes = entry.serialise();
        if (!platform::writeRecoveryFile(path, bytes, why))
            return false;
        bytesWritten += bytes.size();
        return true;
    });
}

void Journal::removeEntry(Watched &w)
{
    if (!w.exists)
        return;
    w.exists = false;
    const QString path = session.entryPath(w.number);
    m_pool.start([path, number = w.number] {
        brokenEntries().erase(number);
        QFile::remove(path);
    });
}

void Journal::checkBases()
{
    bool any = false;
    for (const auto &[box, w] : m_watched) {
        if (!w.exists || w.kind != Watched::Kind::OnFile)
            continue;
        any = true;
        m_pool.start([this, number = w.number, path = w.basePath, stamp = w.baseStamp] {
            if (document::DiskStamp::of(path) != stamp)
                QMetaObject::invokeMethod(this, [this, number] { baseChanged(number); }, Qt::QueuedConnection);
        });
    }
    if (!any)
        m_bases.stop();
}

// The file an entry leans on changed: the entry is written whole.
void Journal::baseChanged(int number)
{
    Watched *w = byNumber(number);
    if (!w || w->kind != Watched::Kind::OnFile || !w->exists)
        return;
    w->wholeDue = true;
    w->fromBase = false;
    changed(w->box);
}

void Journal::run(int number, std::function<bool(QString *)> step)
{
    m_pool.start([this, number, step] {
        QString reason;
        const bool ok = step(&reason);
        QMetaObject::invokeMethod(this, [this, number, ok, reason] { outcome(number, ok, reason); },
                                  Qt::QueuedConnection);
    });
}

void Journal::outcome(int number, bool ok, const QString &reason)
{
    Watched *w = byNumber(number);
    if (!ok) {
        if (w) {
            // What the entry holds is no longer known: it is written whole.
            w->failed = true;
            w->kind = Watched::Kind::None;
            w->fromBase = false;
            w->wholeDue = true;
            w->dirty = true;
        }
        if (m_protected)
            m_retry.setInterval(kRetryMs);
        if (!m_retry.isActive())
            m_retry.start();
        m_protected = false;
        m_reason = reason;
        tell();
        return;
    }
    if (w)
        w->failed = false;
    if (m_protected)
        return;
    for (const auto &[box, other] : m_watched) {
        if (other.failed)
            return;
    }
    m_protected = true;
    m_retry.stop();
    tell();
}

void Journal::tell()
{
    if (m_telling)
        return;
    m_telling = true;
    while (m_toldProtected != m_protected) {
        m_toldProtected = m_protected;
        const QString text = m_protected ? QStringLiteral("Unsaved text is protected again.")
                                         : QStringLiteral("Unsaved text is not being protected: %1").arg(m_reason);
        platform::ui().messageBox(frame::frmMain(), text, platform::appTitle(), platform::Buttons::OK,
                                  m_protected ? platform::Icon::Information : platform::Icon::Warning);
    }
    m_telling = false;
}

} // namespace files::recovery
