#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace platform {

// Where unsaved text is journaled so that it survives a crash, a kill or a
// logout: $XDG_STATE_HOME/quillet-lite/recovery (~/.local/state/...).
//
// Every running editor is a session with its own lock file in that folder,
// locked (flock) for as long as the process lives, and its entries beside
// it ("<session>-<n>.entry"). The kernel drops the lock when the process
// ends, however it ends; so a session whose lock can be taken has ended,
// and another editor may offer its entries. A live session's entries are
// never touched by anyone else.
QString recoveryFolder();

// One journaled text: a few named fields, then the text or its log
// (recoverylog.h). Version 1 entries (from earlier editors) hold the text
// as its file's bytes.
struct RecoveryEntry
{
    int version = 2;
    QMap<QString, QString> fields;
    QByteArray payload;

    QByteArray serialise() const;
    static bool parse(const QByteArray &bytes, RecoveryEntry *out);
};

// The fields of an entry end within this many bytes.
constexpr qsizetype kRecoveryHeaderCap = 64 * 1024;

// Reads an entry, never through a symbolic link and only from a regular
// file, its fields read no further than kRecoveryHeaderCap; false, with
// the reason, when it can't be read.
bool readRecoveryEntry(const QString &path, RecoveryEntry *out, QString *why);

// Moves an entry that can't be read into the "damaged" folder beside the
// entries, where no start offers it again; the path it now has.
QString moveToDamaged(const QString &path);

// This process's session.
class RecoverySession
{
public:
    RecoverySession() = default;
    ~RecoverySession();
    RecoverySession(const RecoverySession &) = delete;
    RecoverySession &operator=(const RecoverySession &) = delete;

    // Makes the folder and takes a fresh session's lock; false when the
    // folder can't be used (nothing is journaled then).
    bool open();
    // Why the last open failed.
    QString error() const { return m_error; }
    // A clean end: the lock file goes, and with it the session (entries
    // still there, such as notes that could not be saved, are offered by
    // the next start).
    void close();
    bool isOpen() const { return m_fd >= 0; }
    QString id() const { return m_id; }
    QString entryPath(int number) const;

private:
    QString m_id;
    QString m_error;
    int m_fd = -1;
};

// The entries of a session that ended without closing, locked by this
// process until it is released. Releasing removes the session's lock file
// once none of its entries is left.
class ClaimedSession
{
public:
    ClaimedSession(const QString &id, int fd, QStringList entries);
    ~ClaimedSession();
    ClaimedSession(const ClaimedSession &) = delete;
    ClaimedSession &operator=(const ClaimedSession &) = delete;

    QString id() const { return m_id; }
    // Entry files, oldest first.
    QStringList entries() const { return m_entries; }

private:
    QString m_id;
    int m_fd;
    QStringList m_entries;
};

// Takes every ended session that left entries (never this process's own,
// never a live one).
std::vector<std::unique_ptr<ClaimedSession>> claimEndedSessions(const QString &ownId);

// Writes an entry file in one step (a reader sees the old or the new one),
// synced. false, with the system's reason, on failure.
bool writeRecoveryFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);
// Appends to an entry file that exists, synced.
bool appendRecoveryFile(const QString &path, const QByteArray &bytes, QString *error);

// Runs callback on the user-interface thread when SIGTERM, SIGHUP or
// SIGINT arrives; then the process ends by that signal, as it would have.
void onTerminationSignal(std::function<void()> callback);

} // namespace platform
