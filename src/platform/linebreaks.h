#pragma once

#include <QFont>
#include <QString>

#include <memory>
#include <vector>

namespace platform {

// Counts how many display lines a paragraph takes when wrapped at a width,
// without laying it out: per-character advances from the font and the
// Unicode line-breaking rules for Latin text. It agrees with the text
// layout for Latin text in a font without kerning; paragraphs it can't
// judge (other scripts) are measured with a real layout. Used to give
// every paragraph of a large document its line count at once, which the
// layout itself only learns for paragraphs it has shown.
class WrapCounter
{
public:
    WrapCounter(const QFont &font, qreal width, qreal tabStop);
    ~WrapCounter();

    // A forced line break (U+2028) inside the paragraph starts a new line,
    // as in the layout.
    int lines(QStringView paragraph) const;
    // The same without falling back to a real layout: -1 for a paragraph
    // that needs one. Safe to call from any thread.
    int latinLines(QStringView paragraph) const;
    // Where each display line after the first begins; false (and nothing
    // found) for a paragraph that needs a real layout.
    bool latinLineStarts(QStringView paragraph, std::vector<int> *starts) const;


private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace platform
