#pragma once

class QAccessibleInterface;
class QObject;
class QString;

namespace platform {

// What a screen reader learns of a RichTextBox through Qt's accessibility
// bridge: its text, caret and selection, and per character the colour (the
// colour runs included), size, weight, slant and underline.
QAccessibleInterface *richTextAccessibleFactory(const QString &className, QObject *object);

// Installs the factory once.
void installRichTextAccessibility();

} // namespace platform
