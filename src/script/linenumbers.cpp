#include "script/linenumbers.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"
#include "script/workbench.h"

#include <QEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>

#include <vector>

namespace script {

namespace {
constexpr int kPadding = 4;
const QColor kMark(255, 205, 205);
} // namespace

LineNumberGutter::LineNumberGutter(platform::RichTextBox *box) : QWidget(box), m_box(box)
{
    setObjectName(QStringLiteral("lineNumbers"));
    setAccessibleName(QStringLiteral("Line numbers"));
    // It paints all of itself: a repaint of the text beside it is not its.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(box->font());
    connect(box, &platform::RichTextBox::Change, this, &LineNumberGutter::updateWidth);
    connect(box, &QPlainTextEdit::updateRequest, this, &LineNumberGutter::onUpdateRequest);
    box->installEventFilter(this);
    updateWidth();
    show();
}

LineNumberGutter::~LineNumberGutter() = default;

void LineNumberGutter::setMarks(const QSet<int> &lines)
{
    if (lines == m_marks)
        return;
    m_marks = lines;
    update();
}

void LineNumberGutter::updateWidth()
{
    int digits = 2;
    for (int n = m_box->textLineCount(); n >= 100; n /= 10)
        ++digits;
    if (digits == m_digits)
        return;
    m_digits = digits;
    m_box->setLeftMargin(fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits + 2 * kPadding);
    place();
}

void LineNumberGutter::place()
{
    const QRect cr = m_box->contentsRect();
    setGeometry(cr.left(), cr.top(), m_box->leftMargin(), cr.height());
}

bool LineNumberGutter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_box && event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

LineNumberGutter::Shown LineNumberGutter::shown() const
{
    return Shown{m_box->verticalScrollBar()->value(), m_box->textLineCount(),
                 m_box->document()->documentLayout()->documentSize().height()};
}

void LineNumberGutter::onUpdateRequest(const QRect &rect, int dy)
{
    const Shown now = shown();
    if (dy) {
        scroll(0, dy);
    } else if (!(now == m_shown)) {
        update(0, rect.y(), width(), rect.height());
    }
    m_shown = now;
}

QList<LineNumberGutter::Number> LineNumberGutter::numbersIn(const QRect &strip) const
{
    // From the line at the top of the strip down to its bottom: only what
    // shows is looked at. A paragraph of the control's document may hold
    // several lines of the text (after each U+2028), or the rest of a long
    // line (no number of its own).
    QList<Number> out;
    const QChar lineSeparator(QChar::LineSeparator);
    for (QTextBlock b = m_box->cursorForPosition(QPoint(0, strip.top())).block(); b.isValid(); b = b.next()) {
        if (!b.isVisible())
            continue;
        if (m_box->cursorRect(QTextCursor(b)).top() > strip.bottom())
            break;
        std::vector<int> starts{b.position()};
        const QString text = b.text();
        for (qsizetype i = text.indexOf(lineSeparator); i >= 0; i = text.indexOf(lineSeparator, i + 1))
            starts.push_back(b.position() + int(i) + 1);
        for (const int pos : starts) {
            const int line = m_box->textLineOf(pos);
            if (m_box->textLineStart(line) != pos)
                continue;
            QTextCursor c(m_box->document());
            c.setPosition(pos);
            const QRect r = m_box->cursorRect(c);
            if (r.bottom() >= strip.top() && r.top() <= strip.bottom())
                out.append(Number{line + 1, QRect(0, r.top(), width(), r.height())});
        }
    }
    return out;
}

void LineNumberGutter::paintEvent(QPaintEvent *event)
{
    m_shown = shown();
    QPainter p(this);
    p.fillRect(event->rect(), palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::PlaceholderText));
    for (const Number &n : numbersIn(event->rect())) {
        if (m_marks.contains(n.line))
            p.fillRect(n.place, kMark);
        p.drawText(n.place.adjusted(0, 0, -kPadding, 0), Qt::AlignRight | Qt::AlignBottom, QString::number(n.line));
    }
}

LineNumberGutter *gutterOf(const document::DocumentWindow *doc)
{
    return doc ? doc->rtfText->findChild<LineNumberGutter *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void showLineNumbers(frame::MainWindow *window, bool on)
{
    if (!window)
        return;
    Workbench *wb = Workbench::of(window, false);
    for (document::DocumentWindow *doc : window->documents()) {
        LineNumberGutter *gutter = gutterOf(doc);
        if (on && !gutter) {
            gutter = new LineNumberGutter(doc->rtfText);
            if (wb)
                gutter->setMarks(wb->markedLines(doc));
        } else if (!on && gutter) {
            delete gutter;
            doc->rtfText->setLeftMargin(0);
        }
    }
}

} // namespace script
