#pragma once

#include "platform/textfile.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <vector>

namespace platform {

struct RecoveryEntry;

// The journal's record of a document: a base (the document's own file as
// it was loaded or saved, or nothing) and the edits made since, appended as
// they happen. Text is kept as saving sees it, with '\n' for each line
// break, encoded as UTF-8 whatever the file's own encoding (so that a
// character that encoding can't hold survives), a surrogate without its
// partner written as its own three bytes; the file's encoding and line
// breaks are fields of the entry.
//
// A record is one line, "E <position> <removed> <bytes> <breaks> <check>"
// or "F <bytes> <check>", then its data and a '\n': an edit's text (that
// many bytes) and a digit for the style of each of its breaks, or the
// changed fields. The check is a hash of the line and the data, so that a
// record the last write left incomplete is told from a whole one.

// At `position`, `removed` characters became `text`. `breaks` holds the
// style of each break in text (TextFileFormat::Break), only in files that
// mix styles; otherwise every break takes the file's usual one.
struct TextEdit
{
    qint64 position = 0;
    qint64 removed = 0;
    QString text;
    std::vector<quint8> breaks;

    // Takes in an edit that continues this one (typing on, deleting back
    // or forward at its end); false when it doesn't.
    bool absorb(const TextEdit &next);
};

QByteArray encodeEditRecord(const TextEdit &edit);
QByteArray encodeFieldsRecord(const QMap<QString, QString> &fields);

// The records of a log, in order. Reading stops at the first record that
// is incomplete or fails its check; *used says how far it got.
struct LogRecord
{
    bool isEdit = true;
    TextEdit edit;
    QMap<QString, QString> fields; // a fields record: those that changed
};
std::vector<LogRecord> readLog(QByteArrayView log, qsizetype *used = nullptr);

// The fields naming a file format, and back.
void putFormat(QMap<QString, QString> *fields, const TextFileFormat &format);
TextFileFormat formatOf(const QMap<QString, QString> &fields);

// A text rebuilt from its base and edits: a gap buffer, so that edits
// near each other (typing) cost little however long the text.
class JournalText
{
public:
    explicit JournalText(quint8 usualBreak) : m_usual(usualBreak) {}
    // Text with its line breaks as they are in a file (CR LF, LF or CR).
    void setFileText(QStringView text);
    // false when the edit does not fit the text.
    bool apply(const TextEdit &edit);
    qint64 length() const { return qint64(m_buffer.size()) - (m_gapEnd - m_gapStart); }
    // The text, '\n' for each break, and the style of every break.
    QString plainText(std::vector<quint8> *breaks) const;

private:
    void moveGap(qint64 to);
    void makeRoom(qint64 units);

    std::vector<char32_t> m_buffer; // UTF-16 units; 0x10000 + style for a break
    qint64 m_gapStart = 0;
    qint64 m_gapEnd = 0;
    quint8 m_usual;
};

// A document's text rebuilt from its entry: '\n' for each break, the
// style of each break, the file's format, and the entry's latest fields.
struct RebuiltText
{
    QString text;
    std::vector<quint8> breaks;
    TextFileFormat format;
    QMap<QString, QString> fields;
};
// Reads the base file when the entry leans on one (it must still hold the
// bytes the entry was begun from). false, with the reason, when the text
// can't be rebuilt.
bool rebuildText(const RecoveryEntry &entry, RebuiltText *out, QString *why);

} // namespace platform
