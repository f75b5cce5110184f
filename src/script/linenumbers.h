#pragma once

#include <QPointer>
#include <QSet>
#include <QWidget>

namespace platform {
class RichTextBox;
}
namespace document {
class DocumentWindow;
}
namespace frame {
class MainWindow;
}

namespace script {

// The line numbers at the left of a document's text: file lines, each
// number once beside the first display line of its line, the strip as wide
// as the largest number needs. Lines a check found fault with are marked.
// Only what the text view repaints is repainted.
class LineNumberGutter : public QWidget
{
    Q_OBJECT
public:
    explicit LineNumberGutter(platform::RichTextBox *box);
    ~LineNumberGutter() override;

    void setMarks(const QSet<int> &lines);
    const QSet<int> &marks() const { return m_marks; }
    // The numbers a strip of the gutter shows, each with the top of the
    // display line it stands beside.
    struct Number
    {
        int line;
        QRect place;
    };
    QList<Number> numbersIn(const QRect &strip) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateWidth();
    void place();
    void onUpdateRequest(const QRect &rect, int dy);

    // What decides the numbers shown: the first line in view, and the
    // document's count of file and display lines. A repaint of the text
    // that changes none of them (a typed character, the caret's blink)
    // leaves the numbers as they are.
    struct Shown
    {
        int top = -1;
        int blocks = 0;
        qreal lines = 0;
        bool operator==(const Shown &o) const { return top == o.top && blocks == o.blocks && lines == o.lines; }
    };
    Shown shown() const;

    QPointer<platform::RichTextBox> m_box;
    Shown m_shown;
    QSet<int> m_marks;
    int m_digits = 0;
};

// The gutter of a document, or null when it has none.
LineNumberGutter *gutterOf(const document::DocumentWindow *doc);
// Gives every document window of the main window its gutter, or takes it
// away.
void showLineNumbers(frame::MainWindow *window, bool on);

} // namespace script
