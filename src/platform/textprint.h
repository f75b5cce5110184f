#pragma once

class QPrinter;
class QTextDocument;

namespace platform {

// Prints a document on a printer: its text only, with its formatting, page
// after page (no page numbers or other additions). The document is laid
// out again for the printer's pages.
void printText(QTextDocument &document, QPrinter *printer);

} // namespace platform
