#pragma once

#include <QStringView>

namespace syntax {

// The languages the live highlighting knows.
enum class Kind { None, Perl, Html };

// A document's kind: by its file name's extension (.pl .pm .cgi .t .pod are
// Perl, .html .htm .shtml .xhtml HTML), else by its first characters: a
// first line "#!...perl" is Perl, a "<" after optional white space and byte
// order mark is HTML; anything else is None. `start` need only hold the
// text's beginning (its first line and any leading white space).
Kind kindOf(QStringView fileName, QStringView start);

} // namespace syntax
