#include "script/htmlcheck.h"

#include <QFileInfo>

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

namespace script {

bool isHtmlDocument(const QString &name, const QByteArray &text)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("htm") || suffix == QLatin1String("html") || suffix == QLatin1String("shtml"))
        return true;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f')
            continue;
        return c == '<';
    }
    return false;
}

namespace {

struct Collected
{
    HtmlCheck check;
    int limit;
};

Bool TIDY_CALL collect(TidyMessage message)
{
    auto *out = static_cast<Collected *>(tidyGetAppData(tidyGetMessageDoc(message)));
    const TidyReportLevel level = tidyGetMessageLevel(message);
    const char *kind = nullptr;
    switch (level) {
    case TidyWarning: kind = "Warning: "; break;
    case TidyError:
    case TidyBadDocument:
    case TidyFatal: kind = "Error: "; break;
    default: break;
    }
    if (kind && out && out->check.messages.size() >= out->limit) {
        out->check.more += 1;
    } else if (kind && out) {
        HtmlMessage m;
        m.line = tidyGetMessageLine(message);
        m.column = tidyGetMessageColumn(message);
        m.text = QLatin1String(kind) + QString::fromUtf8(tidyGetMessage(message));
        out->check.messages.append(m);
    }
    return no; // Tidy itself reports nothing
}

} // namespace

HtmlCheck checkHtml(const QByteArray &bytes, bool utf8, int limit)
{
    Collected out{HtmlCheck(), limit};
    TidyDoc doc = tidyCreate();
    tidySetAppData(doc, &out);
    tidySetMessageCallback(doc, collect);
    tidyOptSetBool(doc, TidyQuiet, yes);
    tidyOptSetBool(doc, TidyShowWarnings, yes);
    tidyOptSetBool(doc, TidyShowInfo, no);
    tidyOptSetInt(doc, TidyShowErrors, 100000);
    // A tab is one column, as it is one character in the text.
    tidyOptSetInt(doc, TidyTabSize, 1);
    tidySetInCharEncoding(doc, utf8 ? "utf8" : "win1252");
    TidyBuffer input;
    tidyBufInit(&input);
    tidyBufAttach(&input, reinterpret_cast<byte *>(const_cast<char *>(bytes.constData())), uint(bytes.size()));
    tidyParseBuffer(doc, &input);
    tidyBufDetach(&input);
    tidyRelease(doc);
    return out.check;
}

} // namespace script
