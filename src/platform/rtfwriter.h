#pragma once

#include <QByteArray>

class QTextDocument;

namespace rtf {

// The whole document as RTF, in the layout a Windows rich-edit control writes for notes.
QByteArray write(const QTextDocument &document);

} // namespace rtf
