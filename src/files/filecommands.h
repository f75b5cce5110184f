#pragma once

#include <QString>

namespace document {
class DocumentWindow;
}

namespace files {

// Creates, numbers and shows a new document window with the counter.
document::DocumentWindow *newDocument(int &counter);

void registerNewOpenCommands();
void registerSaveCommands();
void registerPrintCommands();

} // namespace files
