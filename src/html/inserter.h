#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace html {

// The Inserter: finds the first occurrence of a text in the active
// document (inside the selection when there is one) and replaces it. A
// modeless dialog, one at a time; closing it unloads it.
class Inserter : public QDialog
{
    Q_OBJECT
public:
    explicit Inserter(QWidget *owner);
    ~Inserter() override;

    // The open window, or null.
    static Inserter *instance();
    // Opens the window, owned by the main window or (from the Quick Link
    // menu) without owner; an open window is only brought to the front.
    static Inserter *openWindow(bool owned);

    QLabel *Label1;
    QLineEdit *Text1;      // the text to change
    QLabel *Label2;
    QLineEdit *Text2;      // what it becomes
    QPushButton *Command1; // "Insert"
    QPushButton *Command2; // "Get Text"
    QPushButton *Command3; // "&Close"

private:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
};

} // namespace html
