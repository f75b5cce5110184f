#pragma once

#include "platform/documentloader.h"
#include "platform/textfile.h"

#include <QByteArray>
#include <QString>

#include <vector>

class QTextCharFormat;
class QTextDocument;
class QWidget;

namespace platform {

class TextPositions;

// The control's file: reading a file into its document, and the way the
// file was written (encoding, byte order mark, line breaks), so that
// saving gives back the same bytes.
class DocumentFile
{
public:
    // Reads and decodes the file: from the read-ahead when there is one,
    // on another thread when it is large, after asking the user when it is
    // very large. Throws ControlError when it can't (or won't) be read.
    static LoadedText read(const QString &path, QWidget *parent);

    // Replaces the document's content with the file's (with undo off);
    // returns where its line breaks are. Rich text keeps what can't be
    // shown for writing back when asked to (rtfkept.h).
    std::vector<int> fill(QTextDocument *document, const LoadedText &loaded, bool keepUnshown = false);

    // The text (from positions) in the encoding and line breaks it was
    // loaded with.
    QByteArray encode(QTextDocument *document, const TextPositions &positions) const;
    bool canEncode(const TextPositions &positions) const;

    // The style a new line break at pos takes: that of the line it splits,
    // or -1 when that is the file's usual one.
    int newBreakStyle(QTextDocument *document, const TextPositions &positions, int pos) const;

    // Whether the content has rich-text source in it (a paragraph's line
    // separators are then the source's own).
    bool richText() const { return m_richText; }
    void setRichText(bool rich) { m_richText = rich; }

    // What encoding needs, taken on the document's thread, so that the
    // encoding itself can run on another (the recovery journal): the text
    // with '\n' for each line break and, for mixed line breaks, the style
    // of each.
    struct Snapshot
    {
        QString rawText;
        TextFileFormat format;
        std::vector<quint8> breaks; // only for mixed line breaks
        QByteArray encode() const;
    };
    Snapshot snapshot(QTextDocument *document, const TextPositions &positions) const;
    // The same for the document range [from, to), appended to a text and
    // its break styles, so that a large text can be taken a piece at a
    // time.
    void appendPiece(QTextDocument *document, const TextPositions &positions, int from, int to, QString *text,
                     std::vector<quint8> *breaks) const;

    const TextFileFormat &format() const { return m_format; }
    void setFormat(const TextFileFormat &format) { m_format = format; }

    // Writes the document as rich-text source; throws ControlError.
    static void writeRichText(const QString &path, const QTextDocument &document);

private:
    quint8 styleOf(const QTextCharFormat &breakFormat) const;
    std::vector<quint8> breakStyles(QTextDocument *document, const TextPositions &positions) const;

    TextFileFormat m_format;
    bool m_richText = false;
};

} // namespace platform
