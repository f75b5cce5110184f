#include "platform/spelldialog.h"

#include "platform/accessibility.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace platform {

SpellAnswer runSpellDialog(const SpellRequest &request)
{
    SpellDialog dialog(request);
    dialog.exec();
    return dialog.answer();
}

SpellDialog::SpellDialog(const SpellRequest &request) : QDialog(request.parent)
{
    setObjectName(QStringLiteral("spellDialog"));
    setWindowTitle(QStringLiteral("QZ Quick Speller"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    auto *notFound = new QLabel(QStringLiteral("Not in &dictionary:"), this);
    notFound->setObjectName(QStringLiteral("lblNotInDictionary"));
    txtContext = new QTextEdit(this);
    txtContext->setObjectName(QStringLiteral("txtContext"));
    txtContext->setReadOnly(true);
    txtContext->setAcceptRichText(false);
    txtContext->setTabChangesFocus(true);
    txtContext->setPlainText(request.context);
    txtContext->setAccessibleName(QStringLiteral("Not in dictionary"));
    txtContext->setAccessibleDescription(QStringLiteral("The misspelt word: ") + request.word);
    txtContext->setMaximumHeight(txtContext->fontMetrics().lineSpacing() * 5);
    notFound->setBuddy(txtContext);
    // The word, marked in its sentence.
    const int at = qBound(0, request.wordInContext, int(request.context.size()));
    QTextCursor word(txtContext->document());
    word.setPosition(at);
    word.setPosition(qMin(at + int(request.word.size()), int(request.context.size())),
                     QTextCursor::KeepAnchor);
    QTextCharFormat mark;
    mark.setFontWeight(QFont::Bold);
    mark.setForeground(palette().color(QPalette::HighlightedText));
    mark.setBackground(palette().color(QPalette::Highlight));
    word.mergeCharFormat(mark);
    QTextCursor caret(txtContext->document());
    caret.setPosition(at);
    txtContext->setTextCursor(caret);
    txtContext->ensureCursorVisible();

    auto *changeLabel = new QLabel(QStringLiteral("Change &to:"), this);
    changeLabel->setObjectName(QStringLiteral("lblChangeTo"));
    txtChangeTo = new QLineEdit(this);
    txtChangeTo->setObjectName(QStringLiteral("txtChangeTo"));
    changeLabel->setBuddy(txtChangeTo);

    auto *suggestLabel = new QLabel(QStringLiteral("Suggestio&ns:"), this);
    suggestLabel->setObjectName(QStringLiteral("lblSuggestions"));
    lstSuggestions = new QListWidget(this);
    lstSuggestions->setObjectName(QStringLiteral("lstSuggestions"));
    lstSuggestions->addItems(request.suggestions);
    suggestLabel->setBuddy(lstSuggestions);
    platform::nameAfterLabel(lstSuggestions, suggestLabel); // a list doesn't read its buddy
    if (lstSuggestions->count() == 0) {
        auto *none = new QListWidgetItem(QStringLiteral("(no suggestions)"), lstSuggestions);
        none->setFlags(Qt::NoItemFlags);
    }

    cmdChange = new QPushButton(QStringLiteral("&Change"), this);
    cmdChange->setObjectName(QStringLiteral("cmdChange"));
    cmdChangeAll = new QPushButton(QStringLiteral("Change A&ll"), this);
    cmdChangeAll->setObjectName(QStringLiteral("cmdChangeAll"));
    cmdIgnore = new QPushButton(QStringLiteral("&Ignore"), this);
    cmdIgnore->setObjectName(QStringLiteral("cmdIgnore"));
    cmdIgnoreAll = new QPushButton(QStringLiteral("I&gnore All"), this);
    cmdIgnoreAll->setObjectName(QStringLiteral("cmdIgnoreAll"));
    cmdAdd = new QPushButton(QStringLiteral("&Add"), this);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdAdd->setAccessibleDescription(QStringLiteral("Add the word to your personal dictionary"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAccessibleDescription(QStringLiteral("Stop checking; corrections made so far are kept"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(notFound, 0, 0, 1, 2);
    grid->addWidget(txtContext, 1, 0);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdIgnore);
    buttons->addWidget(cmdIgnoreAll);
    buttons->addWidget(cmdAdd);
    buttons->addStretch();
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(changeLabel, 2, 0, 1, 2);
    grid->addWidget(txtChangeTo, 3, 0);
    grid->addWidget(suggestLabel, 4, 0, 1, 2);
    grid->addWidget(lstSuggestions, 5, 0);
    auto *changes = new QVBoxLayout;
    changes->addWidget(cmdChange);
    changes->addWidget(cmdChangeAll);
    changes->addStretch();
    changes->addWidget(cmdCancel);
    grid->addLayout(changes, 3, 1, 3, 1);

    setTabOrder(txtContext, txtChangeTo);
    setTabOrder(txtChangeTo, lstSuggestions);
    setTabOrder(lstSuggestions, cmdChange);
    setTabOrder(cmdChange, cmdChangeAll);
    setTabOrder(cmdChangeAll, cmdIgnore);
    setTabOrder(cmdIgnore, cmdIgnoreAll);
    setTabOrder(cmdIgnoreAll, cmdAdd);
    setTabOrder(cmdAdd, cmdCancel);

    // Nothing is changed that the user hasn't chosen: the box starts with
    // the word itself and Enter means Ignore, until the user picks a
    // suggestion or types a replacement.
    txtChangeTo->setText(request.word);
    const auto updateButtons = [this, misspelt = request.word] {
        const QString to = txtChangeTo->text();
        const bool any = !to.isEmpty() && to != misspelt;
        cmdChange->setEnabled(any);
        cmdChangeAll->setEnabled(any);
        (any && m_chosen ? cmdChange : cmdIgnore)->setDefault(true);
    };
    updateButtons();
    connect(txtChangeTo, &QLineEdit::textEdited, this, [this, updateButtons] {
        m_chosen = true;
        updateButtons();
    });
    connect(txtChangeTo, &QLineEdit::textChanged, this, updateButtons);
    // A suggestion is chosen when it is selected (a click, the arrow keys);
    // the list's focus alone, on its first item, chooses nothing.
    connect(lstSuggestions, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> picked = lstSuggestions->selectedItems();
        if (!picked.isEmpty() && (picked.first()->flags() & Qt::ItemIsEnabled)) {
            m_chosen = true;
            txtChangeTo->setText(picked.first()->text());
        }
    });
    connect(lstSuggestions, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        if ((item->flags() & Qt::ItemIsEnabled) && item->isSelected()) {
            txtChangeTo->setText(item->text());
            finish(SpellAnswer::Change);
        }
    });
    connect(cmdChange, &QPushButton::clicked, this, [this] { finish(SpellAnswer::Change); });
    connect(cmdChangeAll, &QPushButton::clicked, this, [this] { finish(SpellAnswer::ChangeAll); });
    connect(cmdIgnore, &QPushButton::clicked, this, [this] { finish(SpellAnswer::Ignore); });
    connect(cmdIgnoreAll, &QPushButton::clicked, this, [this] { finish(SpellAnswer::IgnoreAll); });
    connect(cmdAdd, &QPushButton::clicked, this, [this] { finish(SpellAnswer::Add); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { finish(SpellAnswer::Cancel); });

    txtChangeTo->setFocus();
    txtChangeTo->selectAll();
}

void SpellDialog::finish(SpellAnswer::Action action)
{
    m_answer.action = action;
    m_answer.replacement = txtChangeTo->text();
    if (action == SpellAnswer::Cancel)
        reject();
    else
        accept();
}

} // namespace platform
