#include "document/filemodel.h"

#include "platform/documentloader.h"
#include "platform/richtextbox.h"

#include <QFileInfo>
#include <QTextDocument>

namespace document {

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

FileModel::OnDisk FileModel::onDiskByStamp() const
{
    if (m_path.isEmpty())
        return OnDisk::Same;
    const DiskStamp now = DiskStamp::of(m_path);
    if (now == m_stamp)
        return OnDisk::Same;
    if (!now.exists)
        return OnDisk::Vanished;
    if (now.kind != storage::FileKind::Regular)
        return OnDisk::NotRegular;
    if (m_stamp.exists && now.size == m_stamp.size && m_hash != 0)
        return OnDisk::TimesOnly;
    return OnDisk::Changed;
}

FileModel::OnDisk FileModel::onDisk()
{
    const OnDisk state = onDiskByStamp();
    if (state != OnDisk::TimesOnly)
        return state;
    const DiskStamp now = DiskStamp::of(m_path);
    if (platform::hashRegularFile(m_path, now.size) == m_hash && DiskStamp::of(m_path) == now) {
        m_stamp = now; // touched only
        return OnDisk::Same;
    }
    return OnDisk::Changed;
}

} // namespace document
