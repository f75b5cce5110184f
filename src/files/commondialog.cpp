#include "files/commondialog.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/ui.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>

namespace files {

using platform::ControlError;

QString scriptFilter()
{
    return QStringLiteral(
        "CGI Files (*.cgi)|*.cgi|Perl Files (*.pl)|*.pl|Perl Files (*.perl)|*.perl|Perl Modules (*.pm)|*.pm|"
        "HTM Files (*.htm)|*.htm|HTML Files(*.html)|*.html|SHTML Files (*.shtml)|*.shtml|SHTM Files (*.shtm)|"
        "*.shtm|TEXT Files (*.txt)|*.txt|DB Files (*.db)|*.db|Config Files (*.cfg)|*.cfg|TEMP Files (*.tmp)|"
        "*.tmp|ALL Files (*.*)|*.*");
}

QString shortScriptFilter()
{
    return QStringLiteral(
        "CGI Files (*.cgi)|*.cgi|Perl Files (*.pl)|*.pl|Perl Files (*.perl)|*.perl|Perl Modules (*.pm)|*.pm|"
        "HTM Files (*.htm)|*.htm|HTML Files(*.html)|*.html|SHTML Files (*.shtml)|*.shtml|SHTM Files (*.shtm)|"
        "*.shtm|TEXT Files (*.txt)|*.txt|DB Files (*.db)|*.db|TEMP Files (*.tmp)|*.tmp|ALL Files (*.*)|*.*");
}

QString openFilter()
{
    return scriptFilter() + QLatin1Char('|');
}

CommonDialog::CommonDialog(QWidget *owner) : m_owner(owner)
{
    setObjectName(QStringLiteral("dlgCommonDialog"));
}

CommonDialog::~CommonDialog() = default;

QPrinter *CommonDialog::hDC() const
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_printer.get();
}

QStringList CommonDialog::filterEntries(const QString &filter)
{
    QStringList entries;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts.at(i);
        const QString pattern = parts.at(i + 1);
        if (desc.isEmpty() && pattern.isEmpty())
            continue;
        // The list shows the description as given; the patterns go in
        // brackets at its end, where the file dialog reads them from.
        QString patterns = pattern;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (desc.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
            entries << desc;
        else
            entries << desc + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return entries;
}

QList<QStringList> CommonDialog::filterPatterns(const QString &filter)
{
    QList<QStringList> patterns;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts.at(i).isEmpty() && parts.at(i + 1).isEmpty())
            continue;
        patterns << parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return patterns;
}

QString CommonDialog::initialFolder() const
{
    const frame::MainWindow *w = frame::frmMain();
    if (const document::DocumentWindow *doc = w ? w->activeDocument() : nullptr) {
        const QFileInfo file(doc->caption());
        if (doc->hasFile() && file.isAbsolute() && file.dir().exists())
            return file.absolutePath();
    }
    if (!m_lastFolder.isEmpty() && QFileInfo(m_lastFolder).isDir())
        return m_lastFolder;
    return QDir::homePath();
}

void CommonDialog::showFile(bool save)
{
    platform::FileRequest request;
    request.save = save;
    request.title = m_title;
    request.filters = filterEntries(m_filter);
    request.patterns = filterPatterns(m_filter);
    request.directory = initialFolder();
    request.filterIndex = request.filters.isEmpty()
        ? 0 : std::min(m_filterIndex, int(request.filters.size()) - 1);
    request.fileName = m_fileName;
    request.parent = m_owner;
    const platform::FileAnswer answer = platform::ui().fileDialog(request);
    if (!answer.accepted) {
        if (m_cancelError)
            throw ControlError(ControlError::Cancel, QStringLiteral("Cancel was selected."));
        return;
    }
    m_fileName = answer.fileName;
    m_filterIndex = answer.filterIndex;
    const QFileInfo chosen(answer.fileName);
    if (chosen.isAbsolute())
        m_lastFolder = chosen.absolutePath();
}

void CommonDialog::ShowOpen()
{
    showFile(false);
}

void CommonDialog::ShowSave()
{
    showFile(true);
}

void CommonDialog::ShowPrinter(PrinterUse use)
{
    platform::PrintRequest request;
    request.title = m_title;
    request.selectionChosen = (m_flags & PrintSelection) != 0;
    request.pageRangesDisabled = (m_flags & NoPageNums) != 0;
    request.pageSetup = use == PageSetup;
    request.printer = hDC();
    request.parent = m_owner;
    if (!platform::ui().printDialog(request) && m_cancelError)
        throw ControlError(ControlError::Cancel, QStringLiteral("Cancel was selected."));
}

} // namespace files
