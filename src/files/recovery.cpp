#include "files/recovery.h"

#include "colouring/passes.h"
#include "document/documentwindow.h"
#include "document/filemodel.h"
#include "files/filecommands.h"
#include "files/journal.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/recoverylog.h"
#include "platform/recoverystore.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSessionManager>

#include <cstdlib>

namespace files::recovery {

namespace {

document::DiskStamp parseStamp(const QString &text)
{
    document::DiskStamp s;
    const QStringList parts = text.split(QLatin1Char(' '));
    // The change time came later: entries without it still restore.
    if (parts.size() == 4 || parts.size() == 5) {
        s.exists = true;
        s.kind = storage::FileKind::Regular;
        s.device = parts[0].toULongLong();
        s.inode = parts[1].toULongLong();
        s.size = parts[2].toLongLong();
        s.modifiedNs = parts[3].toLongLong();
        s.changedNs = parts.value(4).toLongLong();
    }
    return s;
}

// Loads bytes into a text control through a file beside the journal's
// entries.
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

// The text goes in as UTF-8 with its own line breaks; then it takes its
// file's encoding back, so that a save asks before writing what that
// encoding can't hold, as it would have without the crash.
void loadRebuilt(document::DocumentWindow &doc, const platform::RebuiltText &text)
{
    const platform::TextFileFormat utf8;
    loadPayload("\xEF\xBB\xBF" + platform::encodeText(text.text, utf8, &text.breaks),
                [&](const QString &temp) { loadDocument(doc, temp, false); });
    platform::TextFileFormat format = doc.rtfText->fileFormat();
    format.encoding = text.format.encoding;
    format.bom = text.format.bom;
    if (text.breaks.empty())
        format.lineBreak = text.format.lineBreak;
    doc.rtfText->setFileFormat(format);
}

void restoreDocument(const platform::RecoveryEntry &entry, const platform::RebuiltText *text)
{
    frame::MainWindow *w = frame::frmMain();
    document::DocumentWindow *doc = w->newdoc();
    platform::RichTextBox &box = *doc->rtfText;
    if (text)
        loadRebuilt(*doc, *text);
    else // an earlier editor's entry: the file's own bytes
        loadPayload(entry.payload, [&](const QString &temp) { loadDocument(*doc, temp, false); });
    const QMap<QString, QString> &fields = text ? text->fields : entry.fields;
    const QString path = fields.value(QStringLiteral("path"));
    if (!path.isEmpty())
        doc->file().loaded(path, parseStamp(fields.value(QStringLiteral("stamp"))),
                           fields.value(QStringLiteral("rich")) == QLatin1String("1"),
                           fields.value(QStringLiteral("hash")).toULongLong());
    doc->setCaption(fields.value(QStringLiteral("caption"), doc->caption()));
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

// Offers one entry; false when it can't be read (the reason in *why).
bool offer(const QString &file, QString *title, QString *why)
{
    platform::RecoveryEntry entry;
    if (!platform::readRecoveryEntry(file, &entry, why))
        return false;
    const bool notes = entry.fields.value(QStringLiteral("kind")) == QLatin1String("notes");
    *title = notes ? entry.fields.value(QStringLiteral("title")) : entry.fields.value(QStringLiteral("caption"));
    platform::RebuiltText text;
    const bool rebuilt = !notes && entry.version >= 2;
    if (rebuilt && !platform::rebuildText(entry, &text, why))
        return false;
    const QString question = notes
        ? QStringLiteral("The %1 notes were not saved when Quillet Lite last ended.\nRestore them?").arg(*title)
        : QStringLiteral("%1 was not saved when Quillet Lite last ended.\nRestore the unsaved text?").arg(*title);
    const platform::Answer answer = platform::ui().messageBox(frame::frmMain(), question, platform::appTitle(),
                                                              platform::Buttons::YesNo, platform::Icon::Information);
    if (answer == platform::Answer::Cancel)
        return true; // asked again next time
    if (answer == platform::Answer::Yes) {
        const bool restored = platform::endOnError([&] {
            if (notes)
                restoreNotes(entry);
            else
                restoreDocument(entry, rebuilt ? &text : nullptr);
        });
        if (!restored)
            return true;
    }
    QFile::remove(file);
    return true;
}

} // namespace

void start()
{
    Journal &j = journal();
    if (j.running)
        return;
    j.running = true;
    // A folder that can't be used now is tried again at the first write,
    // and reported then.
    j.session.open();
    static bool endsWatched = false;
    if (endsWatched)
        return;
    endsWatched = true;
    platform::onTerminationSignal([] { journal().flush(nullptr); });
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (app)
        QObject::connect(app, &QGuiApplication::commitDataRequest, &j,
                         [](QSessionManager &) { journal().flush(nullptr); });
    // A lost display (the X connection closed, the window killed) ends the
    // program through exit(): what is pending is written first.
    std::atexit([] {
        if (QCoreApplication::instance() && journal().running)
            journal().flush(nullptr);
    });
}

void finish()
{
    if (journal().running)
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

void holdWhole(platform::RichTextBox *box)
{
    journal().flush(box, true);
}

void setNotesRestorer(std::function<platform::RichTextBox *(const QString &pane)> restorer)
{
    journal().notesRestorer = std::move(restorer);
}

Cost cost(bool reset)
{
    Cost c = journal().cost;
    c.bytesWritten = journal().bytesWritten;
    if (reset)
        journal().cost = Cost();
    return c;
}

void offerRestore()
{
    Journal &j = journal();
    if (!j.active())
        return;
    QStringList damaged;
    const auto claimed = platform::claimEndedSessions(j.session.id());
    for (const auto &session : claimed) {
        for (const QString &file : session->entries()) {
            QString title, why;
            if (offer(file, &title, &why))
                continue;
            const QString name = title.isEmpty() ? QFileInfo(file).fileName() : title;
            damaged << QStringLiteral("%1: %2").arg(name, why);
            platform::moveToDamaged(file);
        }
    }
    if (damaged.isEmpty())
        return;
    platform::ui().messageBox(
        frame::frmMain(),
        QStringLiteral("Unsaved text left when Quillet Lite last ended could not be restored, and was put aside in "
                       "%1:\n%2")
            .arg(QDir::toNativeSeparators(platform::recoveryFolder() + QStringLiteral("/damaged")),
                 damaged.join(QLatin1Char('\n'))),
        platform::appTitle(), platform::Buttons::OK, platform::Icon::Warning);
}

} // namespace files::recovery
