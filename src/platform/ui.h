#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;
class QPrinter;

namespace platform {

// Every modal question the editor asks goes through Ui, so that tests can
// answer it by script instead of a real dialog.

// YesNo has no Cancel button, yet Escape and the close box answer Cancel:
// they never mean No, so a question that can throw text away keeps it.
// OverwriteCancel answers Overwrite or Cancel; ReloadKeep answers Reload or
// Keep (Escape and the close box: Keep).
enum class Buttons { OK, YesNo, OverwriteCancel, ReloadKeep };
enum class Icon { None, Information, Warning, Critical };
enum class Answer { OK, Yes, No, Cancel, Overwrite, Reload, Keep };

struct FileRequest
{
    bool save = false;
    QString title;
    QStringList filters;  // "description (patterns)" per entry, in order
    QList<QStringList> patterns; // each entry's patterns, as written ("*.*", "*.cgi")
    QString directory;    // the folder the dialog opens in
    int filterIndex = 0;  // entry selected when the dialog opens
    QString fileName;     // name box pre-fill
    QWidget *parent = nullptr;
};

struct FileAnswer
{
    bool accepted = false;
    QString fileName;
    int filterIndex = 0;
};

struct PrintRequest
{
    QString title;
    bool selectionChosen = false; // the selection range is preselected
    bool pageRangesDisabled = true;
    bool pageSetup = false;       // Page Setup: the confirm button reads "OK"
    QPrinter *printer = nullptr;  // set up by the dialog when accepted
    QWidget *parent = nullptr;
};

// What the spelling correction dialog is asked and answers.
struct SpellRequest
{
    QString word;
    QString context;      // the text around the word
    int wordInContext = 0; // where the word starts in the context
    QStringList suggestions;
    QWidget *parent = nullptr;
};

struct SpellAnswer
{
    enum Action { Change, ChangeAll, Ignore, IgnoreAll, Add, Cancel };
    Action action = Cancel;
    QString replacement;
};

// The request a script is run with as a CGI program: asked by the "Run as
// CGI" dialog, which opens with the values of the last run.
struct CgiRunRequest
{
    QString method = QStringLiteral("GET"); // "GET" or "POST"
    QString query;                          // without the "?"
    QString body;                           // POST only
    QString cookies;                        // "name=value; name2=value2"
    QWidget *parent = nullptr;
};

class Ui
{
public:
    virtual ~Ui() = default;
    virtual Answer messageBox(QWidget *parent, const QString &text, const QString &title,
                              Buttons buttons, Icon icon) = 0;
    virtual std::optional<QString> inputBox(QWidget *parent, const QString &prompt,
                                            const QString &title, const QString &defaultText) = 0;
    virtual FileAnswer fileDialog(const FileRequest &request) = 0;
    virtual bool printDialog(const PrintRequest &request) = 0;
    virtual SpellAnswer spellDialog(const SpellRequest &request) = 0;
    // The "Run as CGI" dialog; nothing when cancelled. Without an answer
    // of its own a Ui cancels.
    virtual std::optional<CgiRunRequest> cgiRunDialog(const CgiRunRequest &initial);
};

// The Ui in force: real dialogs unless a test installed its own.
Ui &ui();
// Installs a replacement (not owned); nullptr restores the real dialogs.
void setUi(Ui *replacement);

// The real dialogs.
class QtUi : public Ui
{
public:
    Answer messageBox(QWidget *parent, const QString &text, const QString &title,
                      Buttons buttons, Icon icon) override;
    std::optional<QString> inputBox(QWidget *parent, const QString &prompt, const QString &title,
                                    const QString &defaultText) override;
    FileAnswer fileDialog(const FileRequest &request) override;
    bool printDialog(const PrintRequest &request) override;
    SpellAnswer spellDialog(const SpellRequest &request) override;
    std::optional<CgiRunRequest> cgiRunDialog(const CgiRunRequest &initial) override;
};

} // namespace platform
