#pragma once

#include "platform/documentloader.h"
#include "platform/textfile.h"

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace platform {

// The control's file: reading a file into its document, and the way the
// file was written (encoding, byte order mark, line breaks), so that
// saving gives back the same bytes.
class DocumentFile
{
public:
    // Reads and decodes the file (or takes it from the read-ahead); throws
    // ControlError when it can't be read.
    static LoadedText read(const QString &path);

    // Replaces the document's content with the file's (undo must be off).
    void fill(QTextDocument *document, const LoadedText &loaded);

    // The text in the encoding and line breaks it was loaded with.
    QByteArray encode(QTextDocument *document);

    // What encoding needs, taken from the document on its own thread, so
    // that the encoding itself can run on another (the recovery journal).
    struct Snapshot
    {
        QString rawText;
        TextFileFormat format;
        std::vector<quint8> breaks; // only for mixed line breaks
        QByteArray encode();
    };
    Snapshot snapshot(QTextDocument *document) const;

    const TextFileFormat &format() const { return m_format; }
    void setFormat(const TextFileFormat &format) { m_format = format; }

    // Each paragraph carries a stamp: the hash of its text and the style of
    // its line break. A change that leaves the text of its paragraphs as
    // the stamps say is a change of formats only.
    static bool unchangedText(QTextDocument *document, int position, int length);
    static void restamp(QTextDocument *document, int from, int to);

    // Writes the document as rich-text source; throws ControlError.
    static void writeRichText(const QString &path, const QTextDocument &document);

private:
    TextFileFormat m_format;
};

} // namespace platform
