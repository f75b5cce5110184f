#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

struct stat;

namespace storage {

// What a save leaves behind so that a kill in its middle loses nothing.
//
// Each save of a document is recorded, for as long as it runs, as a file
// in the saves folder that the saving process holds locked (flock), so
// that a record whose lock can be taken belongs to a save that was cut
// short. An atomic replace records the name of its temporary file, which
// the next start removes. A write in place (a file with other hard links,
// a folder that refuses new files) first copies the old bytes into its
// record and syncs them; the next start finds a record of a write cut
// short and offers them back.
//
// The saves folder: $XDG_STATE_HOME/quillet-lite/saves (mode 0700).
QString saveRecordFolder();

class SaveRecord
{
public:
    SaveRecord() = default;
    SaveRecord(SaveRecord &&other) noexcept;
    SaveRecord &operator=(SaveRecord &&other) noexcept;
    SaveRecord(const SaveRecord &) = delete;
    SaveRecord &operator=(const SaveRecord &) = delete;
    // The save is over: the record goes.
    ~SaveRecord();

    // An atomic replace of target through the temporary file.
    static SaveRecord forTemporary(const QByteArray &target, const QByteArray &temporary);
    // A write in place over target (st: its stat), which holds oldBytes:
    // they are on disk when this returns. Invalid when the record can't
    // be made; *error says why.
    static SaveRecord forInPlace(const QByteArray &target, const struct stat &st, const QByteArray &oldBytes,
                                 QString *error);

    bool isValid() const { return m_fd >= 0; }
    // The save could not put the old bytes back itself: the record stays
    // for the next start to offer.
    void keep();

private:
    static SaveRecord create(const QByteArray &header, const QByteArray &payload, bool sync, QString *error);

    int m_fd = -1;
    QByteArray m_path;
};

// A write in place that was cut short, found by a start: its file may hold
// part of the new bytes and part of the old. Locked by this process while
// it exists; dropping it without an answer leaves the record for the next
// start.
class InterruptedSave
{
public:
    InterruptedSave(int fd, QByteArray recordPath, QByteArray target, qint64 payloadAt, qint64 size,
                    quint64 device, quint64 inode, quint32 mode);
    ~InterruptedSave();
    InterruptedSave(const InterruptedSave &) = delete;
    InterruptedSave &operator=(const InterruptedSave &) = delete;

    // The file, as a name the editor shows.
    QString target() const;
    // Puts the old bytes back (recreating the file if it is gone); the
    // record goes once they are on disk.
    bool putBack(QString *error);
    // Leaves the file as it is; the record goes.
    void discard();

private:
    int m_fd;
    QByteArray m_recordPath;
    QByteArray m_target;
    qint64 m_payloadAt;
    qint64 m_size;
    quint64 m_device;
    quint64 m_inode;
    quint32 m_mode;
};

// Takes the records of saves whose editor ended (never a live save's):
// an interrupted atomic replace's temporary file is removed at once, and so
// is the record of a write in place that never changed its file (or whose
// file was since replaced by another); the writes in place cut short are
// returned, to be offered.
std::vector<std::unique_ptr<InterruptedSave>> claimInterruptedSaves();

// The temporary name beside a file for its atomic replace, as mkstemp's
// template: "." + the name (shortened, never inside a UTF-8 sequence, to
// fit the folder's name limit) + ".XXXXXX".
QByteArray temporaryTemplate(const QByteArray &folder, const QByteArray &name);
// Whether path is a temporary file of that pattern for target.
bool isTemporaryFor(const QByteArray &path, const QByteArray &target);
// Removes the temporary files that earlier saves of name left in folder
// (their editor was killed): files of this user, of exactly that pattern,
// that no save holds locked.
void removeStaleTemporaries(const QByteArray &folder, const QByteArray &name);

} // namespace storage
