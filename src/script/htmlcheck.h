#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace script {

// Whether a document is a page: by its name (.htm, .html, .shtml), else by
// its text (the first character that is not blank is "<").
bool isHtmlDocument(const QString &name, const QByteArray &text);

// What the HTML check found in a page: every warning and error with the
// line and column (from 1) it names, in the page's order.
struct HtmlMessage
{
    int line = 0;
    int column = 0;
    QString text; // "Warning: ..." or "Error: ..."
};

struct HtmlCheck
{
    QList<HtmlMessage> messages; // at most the limit asked for
    int more = 0;                // how many more there were
};

// Checks a page's bytes (UTF-8, else Windows-1252) with HTML Tidy, changing
// nothing. Safe to run on any thread.
HtmlCheck checkHtml(const QByteArray &bytes, bool utf8, int limit = 5000);

} // namespace script
