#include "platform/ui.h"

#include "platform/cgidialog.h"
#include "platform/spelldialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace platform {

namespace {
Ui *g_replacement = nullptr;

// A message box that Escape and the close box dismiss without choosing any
// of its buttons (a plain box takes them as its No).
class QuestionBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;
    bool dismissed = false;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            dismissed = true;
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override
    {
        if (!clickedButton())
            dismissed = true;
        QDialog::closeEvent(event);
    }
};
} // namespace

Ui &ui()
{
    static QtUi real;
    return g_replacement ? *g_replacement : real;
}

void setUi(Ui *replacement)
{
    g_replacement = replacement;
}

Answer QtUi::messageBox(QWidget *parent, const QString &text, const QString &title,
                        Buttons buttons, Icon icon)
{
    QuestionBox box(parent);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case Buttons::OK:
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Answer::OK;
    case Buttons::YesNo: {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.exec();
        if (box.dismissed)
            return Answer::Cancel;
        return box.clickedButton() == box.button(QMessageBox::Yes) ? Answer::Yes : Answer::No;
    }
    case Buttons::OverwriteCancel: {
        QPushButton *overwrite = box.addButton(QStringLiteral("&Overwrite"), QMessageBox::AcceptRole);
        overwrite->setObjectName(QStringLiteral("overwriteButton"));
        box.setDefaultButton(box.addButton(QMessageBox::Cancel));
        box.exec();
        return !box.dismissed && box.clickedButton() == overwrite ? Answer::Overwrite : Answer::Cancel;
    }
    case Buttons::ReloadKeep: {
        QPushButton *reload = box.addButton(QStringLiteral("&Reload"), QMessageBox::AcceptRole);
        reload->setObjectName(QStringLiteral("reloadButton"));
        QPushButton *keep = box.addButton(QStringLiteral("&Keep"), QMessageBox::RejectRole);
        keep->setObjectName(QStringLiteral("keepButton"));
        box.setDefaultButton(keep);
        box.exec();
        return !box.dismissed && box.clickedButton() == reload ? Answer::Reload : Answer::Keep;
    }
    }
    return Answer::Cancel;
}

std::optional<QString> QtUi::inputBox(QWidget *parent, const QString &prompt,
                                      const QString &title, const QString &defaultText)
{
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

namespace {

// The patterns as the filters mean them: "*.*" is every file, with a dot
// in its name or not, and letter case never matters (the dialog's model
// is told to ignore it).
QStringList modelPatterns(const QStringList &patterns)
{
    QStringList out;
    for (const QString &p : patterns) {
        const QString pattern = p.trimmed();
        if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
            return {QStringLiteral("*")};
        if (!pattern.isEmpty())
            out << pattern;
    }
    return out;
}

// Keeps widgets disabled whatever their dialog does with them.
class PageRangeLock : public QObject
{
public:
    void hold(QWidget *w)
    {
        w->setEnabled(false);
        w->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange || event->type() == QEvent::Show) {
            auto *w = static_cast<QWidget *>(watched);
            if (w->isEnabled())
                w->setEnabled(false);
        }
        return false;
    }
};

} // namespace

FileAnswer QtUi::fileDialog(const FileRequest &request)
{
    QFileDialog dialog(request.parent, request.title);
    dialog.setObjectName(QStringLiteral("fileDialog"));
    // Qt's own dialog on every desktop, so that the patterns mean the same
    // everywhere.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // No overwrite question and no default extension: the name is used as typed.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    dialog.setNameFilters(request.filters);
    // The dialog reads each entry's patterns from its description; the
    // entry's own patterns replace them whenever an entry is chosen.
    const auto usePatterns = [&dialog, &request](const QString &entry) {
        const qsizetype index = request.filters.indexOf(entry);
        auto *model = dialog.findChild<QFileSystemModel *>();
        if (!model || index < 0 || index >= request.patterns.size())
            return;
        model->setNameFilters(modelPatterns(request.patterns.at(index)));
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, usePatterns);
    if (request.filterIndex >= 0 && request.filterIndex < request.filters.size()) {
        dialog.selectNameFilter(request.filters.at(request.filterIndex));
        usePatterns(request.filters.at(request.filterIndex));
    }
    if (!request.fileName.isEmpty())
        dialog.selectFile(QFileInfo(request.fileName).fileName());
    FileAnswer answer;
    answer.filterIndex = request.filterIndex;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return answer;
    answer.accepted = true;
    answer.fileName = dialog.selectedFiles().constFirst();
    const int index = request.filters.indexOf(dialog.selectedNameFilter());
    if (index >= 0)
        answer.filterIndex = index;
    return answer;
}

bool QtUi::printDialog(const PrintRequest &request)
{
    if (!request.printer)
        return false;
    QPrintDialog dialog(request.printer, request.parent);
    dialog.setWindowTitle(request.title);
    QAbstractPrintDialog::PrintDialogOptions options = dialog.options();
    options.setFlag(QAbstractPrintDialog::PrintSelection, request.selectionChosen);
    options.setFlag(QAbstractPrintDialog::PrintPageRange, !request.pageRangesDisabled);
    dialog.setOptions(options);
    // Qt's dialog offers its "Pages from" choice without the option, and
    // enables it again whenever it updates itself: the page-range controls
    // are kept disabled here.
    PageRangeLock lock;
    if (request.pageRangesDisabled) {
        for (const char *name : {"printRange", "pagesRadioButton", "pagesLineEdit", "from", "to"}) {
            if (auto *w = dialog.findChild<QWidget *>(QLatin1String(name)))
                lock.hold(w);
        }
    }
    if (request.pageSetup) {
        for (QDialogButtonBox *box : dialog.findChildren<QDialogButtonBox *>()) {
            for (QAbstractButton *b : box->buttons()) {
                if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
                    b->setText(QStringLiteral("OK"));
            }
        }
    }
    if (request.selectionChosen)
        request.printer->setPrintRange(QPrinter::Selection);
    else
        request.printer->setPrintRange(QPrinter::AllPages);
    return dialog.exec() == QDialog::Accepted;
}

SpellAnswer QtUi::spellDialog(const SpellRequest &request)
{
    return runSpellDialog(request);
}

std::optional<CgiRunRequest> Ui::cgiRunDialog(const CgiRunRequest &)
{
    return std::nullopt;
}

std::optional<CgiRunRequest> QtUi::cgiRunDialog(const CgiRunRequest &initial)
{
    return runCgiRunDialog(initial);
}

} // namespace platform
