#include "script/perltools.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"
#include "script/outputdock.h"
#include "script/workbench.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextCursor>

#include <functional>

namespace script {

namespace {

// The tool on the search path, or a message naming the package that
// brings it.
QString toolOrSay(const QString &tool, const QString &package, const QString &title)
{
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty()) {
        platform::ignoreErrors([&] {
            platform::ui().messageBox(frame::frmMain(),
                                      QStringLiteral("%1 is not installed. It comes with the Debian package \"%2\".")
                                          .arg(tool, package),
                                      title, platform::Buttons::OK, platform::Icon::Information);
        });
    }
    return path;
}

// Starts a tool with the text on its standard input; done gets its exit
// code, output and errors on the window's thread once it has ended.
void runTool(const QString &program, const QStringList &arguments, const QString &folder, const QByteArray &input,
             QObject *context, std::function<void(int, const QByteArray &, const QByteArray &)> done)
{
    // The process is not the context's child: a window being destroyed
    // must not hear from it. It is ended with its context instead.
    auto *process = new QProcess;
    process->setProgram(program);
    process->setArguments(arguments);
    process->setWorkingDirectory(folder.isEmpty() ? QDir::homePath() : folder);
    const QPointer<QObject> guard(context);
    QObject::connect(context, &QObject::destroyed, process, [process] {
        process->disconnect();
        process->kill();
        process->waitForFinished(1000);
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::finished, process, [process, done, guard](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (guard)
            done(status == QProcess::NormalExit ? code : -1, process->readAllStandardOutput(),
                 process->readAllStandardError());
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, done, guard](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        process->deleteLater();
        if (guard)
            done(-1, QByteArray(), process->errorString().toUtf8());
    });
    process->start();
    process->write(input);
    process->closeWriteChannel();
}

QString folderOf(const document::DocumentWindow *doc)
{
    return doc->hasFile() ? QFileInfo(doc->caption()).absolutePath() : QString();
}

void listRows(const std::vector<OutputRow> &rows)
{
    ScriptOutput *out = scriptOutput();
    out->clear();
    out->addRows(rows);
    out->present();
}

OutputRow row(const QString &text, const QString &file, document::DocumentWindow *doc = nullptr, int line = 0,
              int column = 0)
{
    OutputRow r;
    r.text = text;
    r.file = file;
    r.document = doc;
    r.line = line;
    r.column = column;
    return r;
}

} // namespace

void tidyDocument()
{
    frame::MainWindow *w = frame::frmMain();
    document::DocumentWindow *doc = w ? w->activeDocument() : nullptr;
    if (!doc)
        return;
    const QString tool = toolOrSay(QStringLiteral("perltidy"), QStringLiteral("perltidy"), QStringLiteral("Tidy"));
    if (tool.isEmpty())
        return;
    platform::RichTextBox *box = doc->rtfText;
    // The selection, or the whole text.
    int start = box->SelStart();
    int length = box->SelLength();
    if (length == 0) {
        start = 0;
        length = box->TextLength();
    }
    const QString before = box->Text().mid(start, length);
    QString input = before;
    input.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QPointer<document::DocumentWindow> target(doc);
    const QString name = doc->caption();
    // -st -se: the result on standard output, messages on standard error;
    // the user's .perltidyrc is read as perltidy always does.
    runTool(tool, {QStringLiteral("-st"), QStringLiteral("-se")}, folderOf(doc), input.toUtf8(), doc,
            [target, start, length, before, name](int code, const QByteArray &out, const QByteArray &err) {
                if (!target)
                    return;
                platform::RichTextBox *box = target->rtfText;
                if (code != 0 || out.isEmpty()) {
                    std::vector<OutputRow> rows;
                    for (const QString &line : QString::fromUtf8(err).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                        rows.push_back(row(line, name));
                    rows.push_back(row(QStringLiteral("perltidy left the text as it was (exit status %1).").arg(code), name));
                    listRows(rows);
                    return;
                }
                // Typing meanwhile wins over the tidied text.
                if (box->Text().mid(start, length) != before)
                    return;
                QString tidied = QString::fromUtf8(out);
                if (!before.endsWith(QLatin1Char('\n')) && tidied.endsWith(QLatin1Char('\n')))
                    tidied.chop(1);
                tidied.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
                if (tidied == before)
                    return;
                QTextCursor step(box->document());
                step.beginEditBlock();
                box->setSelStart(start);
                box->setSelLength(length);
                box->setSelText(tidied);
                step.endEditBlock();
            });
}

void criticDocument()
{
    frame::MainWindow *w = frame::frmMain();
    document::DocumentWindow *doc = w ? w->activeDocument() : nullptr;
    if (!doc)
        return;
    const QString tool = toolOrSay(QStringLiteral("perlcritic"), QStringLiteral("libperl-critic-perl"),
                                   QStringLiteral("Critic"));
    if (tool.isEmpty())
        return;
    const int severity = std::clamp(
        platform::readNumberSetting(QStringLiteral("settings"), QStringLiteral("criticseverity"), 5), 1, 5);
    const QPointer<document::DocumentWindow> target(doc);
    const QString name = doc->caption();
    const QStringList args{QStringLiteral("--severity"), QString::number(severity), QStringLiteral("--verbose"),
                           QStringLiteral("%l:%c:%s:%m [%p]\\n")};
    runTool(tool, args, folderOf(doc), doc->rtfText->encodedText(), doc,
            [target, name, severity](int code, const QByteArray &out, const QByteArray &err) {
                std::vector<OutputRow> rows;
                static const QRegularExpression finding(QStringLiteral("^(\\d+):(\\d+):(\\d):(.*)$"));
                for (const QString &line : QString::fromUtf8(out + err).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                    const QRegularExpressionMatch m = finding.match(line);
                    if (m.hasMatch())
                        rows.push_back(row(QStringLiteral("severity %1: %2").arg(m.captured(3), m.captured(4)), name,
                                           target.data(), m.captured(1).toInt(), m.captured(2).toInt()));
                    else if (!line.contains(QLatin1String("source OK")))
                        rows.push_back(row(line, name));
                }
                if (rows.empty())
                    rows.push_back(row(code == 0 ? QStringLiteral("%1: no findings at severity %2.").arg(name).arg(severity)
                                                 : QStringLiteral("perlcritic ended with status %1.").arg(code),
                                       name));
                listRows(rows);
            });
}

QStringList perldocArguments(const QString &word)
{
    if (word.isEmpty())
        return {};
    const QChar first = word.at(0);
    if (first == QLatin1Char('$') || first == QLatin1Char('@') || first == QLatin1Char('%'))
        return {QStringLiteral("-v"), word};
    if (word.contains(QLatin1String("::")) || first.isUpper())
        return {word};
    return {QStringLiteral("-f"), word};
}

namespace {

// The word at the caret, with a variable's sigil and a module's "::".
QString wordAtCaret(platform::RichTextBox &box)
{
    if (box.SelLength() > 0)
        return box.SelText().trimmed();
    const QString text = box.Text();
    const int at = box.SelStart();
    const auto inWord = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char(':'); };
    int from = at, to = at;
    while (from > 0 && inWord(text.at(from - 1)))
        --from;
    while (to < text.size() && inWord(text.at(to)))
        ++to;
    if (from > 0 && QStringLiteral("$@%").contains(text.at(from - 1)))
        --from;
    // "$_" and other punctuation variables.
    if (from == to && at < text.size() && text.at(at) == QLatin1Char('$') && at + 1 < text.size())
        return text.mid(at, 2);
    if (from == to && at > 0 && text.at(at - 1) == QLatin1Char('$') && at < text.size())
        return text.mid(at - 1, 2);
    QString word = text.mid(from, to - from);
    while (word.endsWith(QLatin1Char(':')))
        word.chop(1);
    return word;
}

void showPerldoc(const QString &word, const QByteArray &html)
{
    // The page lies in the editor's own cache folder and is shown from
    // there, as any other page.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/perldoc");
    QDir().mkpath(folder);
    QString fileName = word;
    fileName.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
    const QString path = folder + QLatin1Char('/') + fileName + QStringLiteral(".html");
    QByteArray page = html;
    page.replace("<title></title>", "<title>perldoc " + word.toHtmlEscaped().toUtf8() + "</title>");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(page) != page.size())
        return;
    file.close();
    html::PageViewer *viewer = nullptr;
    platform::ignoreErrors([&] { viewer = html::showPageViewer(); });
    if (!viewer)
        return;
    viewer->brwWebBrowser->navigate(path);
    if (viewer->subWindow())
        viewer->subWindow()->raise();
}

} // namespace

void perldocAtCaret()
{
    frame::MainWindow *w = frame::frmMain();
    document::DocumentWindow *doc = w ? w->activeDocument() : nullptr;
    if (!doc)
        return;
    const QString word = wordAtCaret(*doc->rtfText);
    if (word.isEmpty())
        return;
    const QString tool = toolOrSay(QStringLiteral("perldoc"), QStringLiteral("perl-doc"), QStringLiteral("Perldoc"));
    if (tool.isEmpty())
        return;
    const QStringList args = QStringList{QStringLiteral("-o"), QStringLiteral("html")} + perldocArguments(word);
    runTool(tool, args, QString(), QByteArray(), w, [tool, word, w](int code, const QByteArray &out, const QByteArray &err) {
        if (code == 0 && !out.isEmpty()) {
            showPerldoc(word, out);
            return;
        }
        // A lower-case word that is no function may be a pragma or module.
        if (!word.startsWith(QLatin1Char('$')) && !word.contains(QLatin1String("::")) && !word.at(0).isUpper()) {
            runTool(tool, {QStringLiteral("-o"), QStringLiteral("html"), word}, QString(), QByteArray(), w,
                    [word](int c, const QByteArray &o, const QByteArray &e) {
                        if (c == 0 && !o.isEmpty())
                            showPerldoc(word, o);
                        else
                            listRows({row(QString::fromUtf8(e).trimmed().isEmpty()
                                              ? QStringLiteral("perldoc has nothing on %1.").arg(word)
                                              : QString::fromUtf8(e).trimmed(),
                                          QString())});
                    });
            return;
        }
        listRows({row(QString::fromUtf8(err).trimmed().isEmpty() ? QStringLiteral("perldoc has nothing on %1.").arg(word)
                                                                  : QString::fromUtf8(err).trimmed(),
                      QString())});
    });
}

} // namespace script
