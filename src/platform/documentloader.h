#pragma once

#include "platform/textfile.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace platform {

// A file read and decoded, ready to go into a document: its text, how it
// was written, and each paragraph's stamp.
struct LoadedText
{
    bool isRichText = false;
    QByteArray bytes;          // rich text: the source, read by the control
    DecodedText decoded;       // plain text
    std::vector<int> stamps;   // plain text: one per paragraph
    quint64 contentHash = 0;   // of the bytes read (hashContent)
};

// A hash of a file's bytes, to tell later whether they changed (never 0).
quint64 hashContent(const QByteArray &bytes);

// Reads and decodes a file; false with the system's reason when it can't
// be read.
bool loadText(const QString &path, LoadedText *out, int *errorNumber, QString *error);

// A paragraph's stamp: the hash of its text in the upper bits and the
// style of the line break that ends it (0 = the file's usual one) in the
// lowest two.
int paragraphStamp(QStringView text, int breakStyle);
inline int stampBreakStyle(int userState) { return userState < 0 ? 0 : (userState & 3); }
// The stamps of every paragraph of decoded text.
std::vector<int> paragraphStamps(const DecodedText &decoded);

// Reads and decodes the file named on the command line on another thread
// while the main window is being set up. LoadFile takes the result when it
// asks for the same path.
class DocumentPreloader
{
public:
    static void start(const QString &path);
    // The preloaded text for path, waiting for it if need be; false when
    // none was preloaded for it or reading failed (the caller then reads
    // it itself, and reports the failure).
    static bool take(const QString &path, LoadedText *out);
    // Drops anything preloaded and not taken.
    static void discard();
};

} // namespace platform
