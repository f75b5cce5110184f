#pragma once

#include "platform/ui.h"

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTextEdit;

namespace platform {

// The spelling correction dialog: shows the word in its context with
// suggestions and returns what the user chose.
SpellAnswer runSpellDialog(const SpellRequest &request);

// The dialog itself; runSpellDialog shows it modal.
class SpellDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SpellDialog(const SpellRequest &request);

    // What the user chose; Cancel until a button is pressed.
    SpellAnswer answer() const { return m_answer; }

    QTextEdit *txtContext;
    QLineEdit *txtChangeTo;
    QListWidget *lstSuggestions;
    QPushButton *cmdChange;
    QPushButton *cmdChangeAll;
    QPushButton *cmdIgnore;
    QPushButton *cmdIgnoreAll;
    QPushButton *cmdAdd;
    QPushButton *cmdCancel;

private:
    void finish(SpellAnswer::Action action);

    SpellAnswer m_answer;
    bool m_chosen = false; // a suggestion picked or a replacement typed
};

} // namespace platform
