#include "document/filemodel.h"

#include "platform/documentloader.h"
#include "platform/richtextbox.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

#include <sys/stat.h>

namespace document {

namespace {

QByteArray readWhole(const QString &path, bool *ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    if (!*ok)
        return QByteArray();
    QByteArray bytes = f.readAll();
    *ok = f.error() == QFileDevice::NoError;
    return bytes;
}

} // namespace

DiskStamp DiskStamp::of(const QString &path)
{
    DiskStamp s;
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

FileModel::FileModel(platform::RichTextBox *text) : m_text(text) {}

const platform::TextFileFormat &FileModel::format() const
{
    return m_text->fileFormat();
}

bool FileModel::hasUnsavedEdits() const
{
    return m_text->document()->isModified();
}

void FileModel::setUnsavedEdits(bool on)
{
    m_text->document()->setModified(on);
}

void FileModel::loaded(const QString &path, const DiskStamp &stamp, bool richText, quint64 contentHash)
{
    m_path = path;
    m_stamp = stamp;
    m_announced.reset();
    m_richText = richText;
    m_hash = contentHash;
}

void FileModel::attach(const QString &path)
{
    m_path = path;
    m_stamp = DiskStamp();
    m_announced.reset();
    m_richText = false;
    m_hash = 0;
}

void FileModel::saved(const QString &path, const QByteArray &bytes)
{
    m_path = path;
    m_stamp = DiskStamp::of(path);
    m_announced.reset();
    m_richText = false;
    m_hash = platform::hashContent(bytes);
    setUnsavedEdits(false);
}

void FileModel::detach()
{
    attach(QString());
}

bool FileModel::isOwnFile(const QString &path) const
{
    if (m_path.isEmpty() || path.isEmpty())
        return false;
    if (QFileInfo(path).absoluteFilePath() == QFileInfo(m_path).absoluteFilePath())
        return true;
    return m_stamp.sameFile(DiskStamp::of(path));
}

FileModel::OnDisk FileModel::onDisk()
{
    if (m_path.isEmpty())
        return OnDisk::Same;
    const DiskStamp now = DiskStamp::of(m_path);
    if (now == m_stamp)
        return OnDisk::Same;
    if (!now.exists)
        return OnDisk::Vanished;
    if (m_stamp.exists && now.size == m_stamp.size) {
        bool ok = false;
        const QByteArray bytes = readWhole(m_path, &ok);
        if (ok && m_hash != 0 && platform::hashContent(bytes) == m_hash && DiskStamp::of(m_path) == now) {
            m_stamp = now; // touched only
            return OnDisk::Same;
        }
    }
    return OnDisk::Changed;
}

} // namespace document
