#pragma once

class QTextDocument;

namespace platform {

// Shows, in a document of formatted notes, where the rich text it holds has
// a picture or an embedded object the control can't show: a small framed
// box in the text's size. The other anchors of kept source take no room.
void showKeptObjects(QTextDocument *document);

} // namespace platform
