#pragma once

#include <QString>

namespace document {
class DocumentWindow;
}

namespace files {

// The open dialog's filter: the script filter with one more "|".
extern const QString kOpenFilter;

// Creates, numbers and shows a new document window with the counter.
document::DocumentWindow *newDocument(int &counter);

void registerNewOpenCommands();
void registerSaveCommands();
void registerPrintCommands();

} // namespace files
