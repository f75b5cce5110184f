#include "files/commondialog.h"

#include "platform/errors.h"
#include "platform/ui.h"

#include <QPrinter>

namespace files {

using platform::ControlError;

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

void CommonDialog::showFile(bool save)
{
    platform::FileRequest request;
    request.save = save;
    request.title = m_title;
    request.filters = filterEntries(m_filter);
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
}

void CommonDialog::ShowOpen()
{
    showFile(false);
}

void CommonDialog::ShowSave()
{
    showFile(true);
}

void CommonDialog::ShowPrinter()
{
    platform::PrintRequest request;
    request.title = m_title;
    request.selectionChosen = (m_flags & PrintSelection) != 0;
    request.pageRangesDisabled = (m_flags & NoPageNums) != 0;
    request.printer = hDC();
    request.parent = m_owner;
    if (!platform::ui().printDialog(request) && m_cancelError)
        throw ControlError(ControlError::Cancel, QStringLiteral("Cancel was selected."));
}

} // namespace files
