#include "platform/richtextaccessible.h"

#include "platform/richtextbox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace platform {

namespace {

// Offsets are document positions: one character per line break.
class RichTextAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    explicit RichTextAccessible(RichTextBox *box)
        : QAccessibleWidget(box, QAccessible::EditableText)
    {
    }

    RichTextBox *box() const { return static_cast<RichTextBox *>(widget()); }
    QTextDocument *doc() const { return box()->document(); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = !box()->isReadOnly();
        s.readOnly = box()->isReadOnly();
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return text(0, characterCount());
        return QAccessibleWidget::text(t);
    }

    // QAccessibleTextInterface
    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        const QTextCursor c = box()->textCursor();
        if (index == 0 && c.hasSelection()) {
            *start = c.selectionStart();
            *end = c.selectionEnd();
        }
    }
    int selectionCount() const override { return box()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override
    {
        QTextCursor c = box()->textCursor();
        c.clearSelection();
        box()->setTextCursor(c);
    }
    void setSelection(int, int start, int end) override
    {
        QTextCursor c = box()->textCursor();
        c.setPosition(clamp(start));
        c.setPosition(clamp(end), QTextCursor::KeepAnchor);
        box()->setTextCursor(c);
    }
    int cursorPosition() const override { return box()->textCursor().position(); }
    void setCursorPosition(int position) override
    {
        QTextCursor c = box()->textCursor();
        c.setPosition(clamp(position));
        box()->setTextCursor(c);
    }
    QString text(int start, int end) const override
    {
        const int from = clamp(std::min(start, end));
        return box()->accessibleText(from, std::max(from, clamp(end)));
    }
    int characterCount() const override { return doc()->characterCount() - 1; }
    QRect characterRect(int offset) const override
    {
        QTextCursor c(doc());
        c.setPosition(clamp(offset));
        QRect r = box()->cursorRect(c);
        r.setWidth(std::max(1, r.height() / 2));
        r.moveTopLeft(box()->viewport()->mapToGlobal(r.topLeft()));
        return r;
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint local = box()->viewport()->mapFromGlobal(point);
        return box()->cursorForPosition(local).position();
    }
    void scrollToSubstring(int start, int end) override
    {
        QTextCursor c(doc());
        c.setPosition(clamp(start));
        c.setPosition(clamp(end), QTextCursor::KeepAnchor);
        box()->setTextCursor(c);
        box()->ensureCursorVisible();
    }
    QString attributes(int offset, int *start, int *end) const override
    {
        const int count = characterCount();
        if (offset < 0 || offset >= count) {
            *start = *end = offset;
            return QString();
        }
        // The character formats of the fragment holding offset...
        const QTextBlock block = doc()->findBlock(offset);
        int runStart = block.position();
        int runEnd = block.position() + block.length() - 1;
        QTextCharFormat format = block.charFormat();
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (offset >= frag.position() && offset < frag.position() + frag.length()) {
                runStart = frag.position();
                runEnd = frag.position() + frag.length();
                format = frag.charFormat();
                break;
            }
        }
        if (runEnd <= offset)
            runEnd = offset + 1;
        // ...and the colour run over it.
        QColor colour = format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color()
                                                                         : box()->palette().color(QPalette::Text);
        const auto runs = box()->colourRuns().runsIn(runStart, runEnd);
        int colourStart = runStart, colourEnd = runEnd;
        for (const auto &r : runs) {
            if (offset >= r.start && offset < r.start + r.length) {
                colour = colorFromBgr(r.colour);
                colourStart = r.start;
                colourEnd = r.start + r.length;
                break;
            }
            if (r.start > offset) {
                colourEnd = std::min(colourEnd, r.start);
                break;
            }
            colourStart = std::max(colourStart, r.start + r.length);
        }
        *start = std::max(runStart, colourStart);
        *end = std::min(runEnd, colourEnd);

        const QFont font = format.font().resolve(doc()->defaultFont());
        QString attrs;
        attrs += QStringLiteral("font-family:\"%1\";").arg(font.family());
        attrs += QStringLiteral("font-size:%1pt;").arg(format.hasProperty(QTextFormat::FontPointSize)
                                                           ? format.fontPointSize()
                                                           : doc()->defaultFont().pointSizeF());
        attrs += QStringLiteral("font-weight:%1;").arg(format.fontWeight() >= QFont::Bold ? 700 : 400);
        attrs += QStringLiteral("font-style:%1;").arg(format.fontItalic() ? QStringLiteral("italic")
                                                                          : QStringLiteral("normal"));
        attrs += QStringLiteral("text-underline-style:%1;").arg(format.fontUnderline() ? QStringLiteral("solid")
                                                                                       : QStringLiteral("none"));
        attrs += QStringLiteral("text-line-through-type:%1;").arg(format.fontStrikeOut() ? QStringLiteral("single")
                                                                                        : QStringLiteral("none"));
        attrs += QStringLiteral("color:rgb(%1,%2,%3);").arg(colour.red()).arg(colour.green()).arg(colour.blue());
        if (format.hasProperty(QTextFormat::BackgroundBrush)) {
            const QColor bg = format.background().color();
            attrs += QStringLiteral("background-color:rgb(%1,%2,%3);").arg(bg.red()).arg(bg.green()).arg(bg.blue());
        }
        return attrs;
    }

    // QAccessibleEditableTextInterface
    void deleteText(int start, int end) override
    {
        QTextCursor c(doc());
        c.setPosition(clamp(start));
        c.setPosition(clamp(end), QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
    void insertText(int offset, const QString &text) override
    {
        QTextCursor c(doc());
        c.setPosition(clamp(offset));
        c.insertText(text);
    }
    void replaceText(int start, int end, const QString &text) override
    {
        QTextCursor c(doc());
        c.setPosition(clamp(start));
        c.setPosition(clamp(end), QTextCursor::KeepAnchor);
        c.insertText(text);
    }

private:
    int clamp(int p) const { return std::clamp(p, 0, characterCount()); }
};

} // namespace

QAccessibleInterface *richTextAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("platform::RichTextBox") && object && object->isWidgetType())
        return new RichTextAccessible(static_cast<RichTextBox *>(object));
    return nullptr;
}

void installRichTextAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(richTextAccessibleFactory);
}

} // namespace platform
