#pragma once

#include <QString>
#include <QTimer>

#include <vector>

class QTextDocument;

namespace platform {

// Positions in Text, where each line break is the two characters CR LF,
// and positions in the control's document, where a break is one
// character; and Text itself, made from the document and kept until the
// next change.
class TextPositions
{
public:
    explicit TextPositions(QTextDocument *document);

    int toDocument(int textPos) const;
    int toText(int documentPos) const;
    int textLength() const;

    // The whole text, line breaks as CR LF.
    QString text() const;
    // The CR LF text of the document range [from, to).
    QString text(int from, int to) const;

    // The text changed: everything derived from it is dropped.
    void changed();
    // Text for the content just loaded, made elsewhere.
    void adoptText(QString text);

    // Converts Text positions that come mostly in ascending order, as the
    // colouring passes give them, at a small cost each.
    class Sweep
    {
    public:
        int toDocument(int textPos);

    private:
        friend class TextPositions;
        Sweep(const std::vector<int> &starts, int documentLength)
            : m_starts(starts), m_documentLength(documentLength)
        {
        }
        const std::vector<int> &m_starts; // Text start of every paragraph
        int m_documentLength;
        size_t m_hint = 0;
    };
    Sweep sweep();

    // Text with its line breaks (CR LF, LF, CR or U+2029) as '\n', the
    // form the document takes; and back, breaks as CR LF.
    static QString documentForm(const QString &text);
    static QString crlfText(const QString &plain);

private:
    void keepText(QString text) const;

    QTextDocument *m_document;
    quint64 m_stamp = 0;

    // A large text is kept only until the event loop runs again.
    mutable QString m_text;
    mutable quint64 m_textStamp = ~quint64(0);
    mutable QTimer m_release;

    std::vector<int> m_starts;
    quint64 m_startsStamp = ~quint64(0);
};

} // namespace platform
