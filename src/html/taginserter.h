#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class RichTextBox;
}

namespace html {

// The Tag Inserter: builds an element (or a comment) from a typed tag and a
// content text and puts it into the active document's selection. A
// modeless dialog, one at a time; closing it unloads it.
class TagInserter : public QDialog
{
    Q_OBJECT
public:
    explicit TagInserter(QWidget *owner);
    ~TagInserter() override;

    // The open window, or null.
    static TagInserter *instance();
    // Opens the window owned by the main window, or brings the open one to
    // the front with its texts kept.
    static TagInserter *openWindow();

    QLabel *Label1;
    QLineEdit *Text1;              // tag name and attributes
    platform::RichTextBox *rtf1;   // the content; only its plain text counts
    QPushButton *Command2;         // "&Insert Tag"
    QPushButton *Command4;         // "Comments"
    QPushButton *Command1;         // "Get Text"
    QPushButton *Command5;         // "Reset"
    QPushButton *Command3;         // "&Close"

private:
    void Command2_Click();
    void Command4_Click();
    void Command1_Click();
    void Command5_Click();
    void Command3_Click();
    // The content box's text, or the document's selection when it is empty.
    QString body() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace html
