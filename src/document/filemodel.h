#pragma once

#include "storage/fileprobe.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {
class RichTextBox;
struct TextFileFormat;
}

namespace document {

// Which file a path names on disk and how it stood (device, inode, size,
// modification and change times), found by stat() alone. A missing file
// has exists false.
using DiskStamp = storage::FileStamp;

// A document window's file: its path, how its text is written (encoding,
// byte-order mark and the line break of every line, kept by the control
// beside the text), whether it was read as rich text, the disk stamp it
// was loaded from or last saved to, and whether the document's own text
// has edits not saved yet. The shared changed marker is separate: it is
// the status bar's, for all windows.
class FileModel
{
public:
    explicit FileModel(platform::RichTextBox *text);

    QString path() const { return m_path; }
    const platform::TextFileFormat &format() const;
    bool loadedAsRichText() const { return m_richText; }
    DiskStamp stamp() const { return m_stamp; }
    // The hash of the bytes that stamp belongs to (0: not known).
    quint64 contentHash() const { return m_hash; }

    bool hasUnsavedEdits() const;
    void setUnsavedEdits(bool on);

    // The text came from the file at path (the control has just loaded
    // it): the file's stamp before the load and the hash of its bytes.
    void loaded(const QString &path, const DiskStamp &stamp, bool richText, quint64 contentHash);
    // The document belongs to path, but nothing of the file was read (a
    // load that failed): whatever is found there later counts as changed.
    void attach(const QString &path);
    // The text was written to path as bytes.
    void saved(const QString &path, const QByteArray &bytes);
    // The text no longer belongs to any file (a template).
    void detach();

    // Whether path names this document's own file.
    bool isOwnFile(const QString &path) const;

    // TimesOnly: a regular file of the same size, whose bytes alone can
    // tell whether it changed.
    enum class OnDisk { Same, Changed, Vanished, NotRegular, TimesOnly };
    // How the file stands against the stamp, by stat() alone: nothing is
    // opened.
    OnDisk onDiskByStamp() const;
    // The same, with TimesOnly settled by the file's bytes, read here (at
    // most the size it had): the same bytes count as the same file, and
    // their new stamp is taken.
    OnDisk onDisk();
    // The file, standing as now, was found to hold the bytes the stamp
    // belongs to: its new stamp is taken.
    void takeStamp(const DiskStamp &now) { m_stamp = now; }

    // Changes on disk are announced once: the stamp last announced.
    bool wasAnnounced(const DiskStamp &stamp) const { return m_announced && *m_announced == stamp; }
    void setAnnounced(const DiskStamp &stamp) { m_announced = stamp; }

private:
    platform::RichTextBox *m_text;
    QString m_path;
    DiskStamp m_stamp;
    std::optional<DiskStamp> m_announced;
    bool m_richText = false;
    // The hash of the bytes the stamp belongs to (0: not known).
    quint64 m_hash = 0;
};


} // namespace document
