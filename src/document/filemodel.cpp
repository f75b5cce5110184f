#include "document/filemodel.h"

#include "platform/richtextbox.h"

#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
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

std::shared_future<quint64> ready(quint64 value)
{
    std::promise<quint64> p;
    p.set_value(value);
    return p.get_future().share();
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

quint64 hashBytes(const QByteArray &bytes)
{
    // Never 0, which stands for "not known".
    return quint64(qHash(QByteArrayView(bytes), size_t(0x9E3779B97F4A7C15ULL))) | 1;
}

FileModel::FileModel(platform::RichTextBox *text) : m_text(text), m_hash(ready(0)) {}

FileModel::~FileModel()
{
    if (m_hash.valid())
        m_hash.wait();
}

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

void FileModel::loaded(const QString &path, const DiskStamp &stamp, bool richText)
{
    m_path = path;
    m_stamp = stamp;
    m_announced.reset();
    m_richText = richText;
    // The bytes are read again on another thread to keep their hash; if the
    // file moved on meanwhile, the hash stays unknown.
    m_hash = std::async(std::launch::async, [path, stamp] {
                 bool ok = false;
                 const QByteArray bytes = readWhole(path, &ok);
                 return ok && DiskStamp::of(path) == stamp ? hashBytes(bytes) : quint64(0);
             }).share();
}

void FileModel::attach(const QString &path)
{
    m_path = path;
    m_stamp = DiskStamp();
    m_announced.reset();
    m_richText = false;
    m_hash = ready(0);
}

void FileModel::saved(const QString &path, const QByteArray &bytes)
{
    m_path = path;
    m_stamp = DiskStamp::of(path);
    m_announced.reset();
    m_richText = false;
    m_hash = ready(hashBytes(bytes));
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

quint64 FileModel::contentHash()
{
    return m_hash.valid() ? m_hash.get() : 0;
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
        const quint64 known = contentHash();
        bool ok = false;
        const QByteArray bytes = readWhole(m_path, &ok);
        if (ok && known != 0 && hashBytes(bytes) == known && DiskStamp::of(m_path) == now) {
            m_stamp = now; // touched only
            return OnDisk::Same;
        }
    }
    return OnDisk::Changed;
}

} // namespace document
