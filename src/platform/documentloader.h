#pragma once

#include "platform/textfile.h"

#include <QFont>
#include <QString>

class QTextDocument;

namespace platform {

// A document ready for the control: its text, its line breaks remembered
// per paragraph when the file mixes styles, each paragraph stamped with a
// hash of its text, and the plain-text layout attached.
struct LoadedDocument
{
    QTextDocument *document = nullptr; // owned by the receiver
    TextFileFormat format;
};

// Builds a document from decoded text. Safe to call on any thread; the
// document belongs to the calling thread.
QTextDocument *buildPlainDocument(const DecodedText &decoded, const QFont &font);

// A paragraph's stamp: the hash of its text in the upper bits and the
// style of the line break that ends it (0 = the file's usual one) in the
// lowest two.
int paragraphStamp(QStringView text, int breakStyle);
inline int stampBreakStyle(int userState) { return userState < 0 ? 0 : (userState & 3); }

// Reads and builds the file named on the command line on a worker thread
// while the main window is being set up. LoadFile takes the document from
// here when it asks for the same path.
class DocumentPreloader
{
public:
    static void start(const QString &path, const QFont &font);
    // The preloaded document for path, waiting for it if need be; null when
    // none was preloaded for it or reading failed (the caller then loads it
    // itself, and reports the failure).
    static bool take(const QString &path, LoadedDocument *out);
    // Drops anything preloaded and not taken.
    static void discard();
};

} // namespace platform
