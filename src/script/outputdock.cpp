#include "script/outputdock.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"
#include "script/lines.h"

#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTreeView>

namespace script {

int OutputModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int OutputModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant OutputModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_rows.size())
        return QVariant();
    const OutputRow &r = m_rows[size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        switch (index.column()) {
        case File: return r.file;
        case Line: return r.line > 0 ? QVariant(r.line) : QVariant();
        case Col: return r.column > 0 ? QVariant(r.column) : QVariant();
        case Message: return r.text;
        }
    }
    if (role == Qt::ToolTipRole && index.column() == Message)
        return r.text;
    return QVariant();
}

QVariant OutputModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case File: return QStringLiteral("File");
    case Line: return QStringLiteral("Line");
    case Col: return QStringLiteral("Column");
    case Message: return QStringLiteral("Message");
    }
    return QVariant();
}

void OutputModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void OutputModel::append(const std::vector<OutputRow> &rows)
{
    if (rows.empty())
        return;
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
    m_rows.insert(m_rows.end(), rows.begin(), rows.end());
    endInsertRows();
}

bool OutputModel::hasColumns() const
{
    for (const OutputRow &r : m_rows) {
        if (r.column > 0)
            return true;
    }
    return false;
}

ScriptOutput::ScriptOutput(QWidget *parent) : QDockWidget(QStringLiteral("Script Output"), parent)
{
    setObjectName(QStringLiteral("dockScriptOutput"));
    m_model = new OutputModel(this);
    lstScriptOutput = new QTreeView(this);
    lstScriptOutput->setObjectName(QStringLiteral("lstScriptOutput"));
    lstScriptOutput->setAccessibleName(QStringLiteral("Script Output"));
    lstScriptOutput->setModel(m_model);
    lstScriptOutput->setRootIsDecorated(false);
    lstScriptOutput->setUniformRowHeights(true);
    lstScriptOutput->setAlternatingRowColors(true);
    lstScriptOutput->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstScriptOutput->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstScriptOutput->header()->setStretchLastSection(true);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('9'));
    lstScriptOutput->header()->resizeSection(OutputModel::File, digit * 24);
    lstScriptOutput->header()->resizeSection(OutputModel::Line, digit * 7);
    lstScriptOutput->header()->resizeSection(OutputModel::Col, digit * 7);
    lstScriptOutput->setColumnHidden(OutputModel::Col, true);
    setWidget(lstScriptOutput);
    connect(lstScriptOutput, &QTreeView::activated, this,
            [this](const QModelIndex &index) { activateRow(index.row()); });
}

void ScriptOutput::clear()
{
    m_model->clear();
    lstScriptOutput->setColumnHidden(OutputModel::Col, true);
}

void ScriptOutput::addRows(const std::vector<OutputRow> &rows)
{
    m_model->append(rows);
    lstScriptOutput->setColumnHidden(OutputModel::Col, !m_model->hasColumns());
}

void ScriptOutput::present()
{
    show();
    raise();
}

bool ScriptOutput::activateRow(int i)
{
    if (i < 0 || i >= rowCount())
        return false;
    const OutputRow &r = row(i);
    if (r.action) {
        const std::function<void()> action = r.action;
        action();
        return true;
    }
    frame::MainWindow *w = frame::frmMain();
    document::DocumentWindow *doc = r.document.data();
    if (!doc && w && !r.file.isEmpty()) {
        // A message about another open file goes there.
        for (document::DocumentWindow *d : w->documents()) {
            if (d->caption() == r.file) {
                doc = d;
                break;
            }
        }
    }
    if (!doc || r.line < 1 || !w)
        return false;
    if (QMdiSubWindow *sub = doc->subWindow())
        w->mdiArea()->setActiveSubWindow(sub);
    const bool ok = r.column > 0 ? selectSpot(*doc->rtfText, r.line, r.column)
                                 : selectLine(*doc->rtfText, r.line);
    doc->rtfText->setFocus(Qt::OtherFocusReason);
    return ok;
}

ScriptOutput *scriptOutput(bool create)
{
    frame::MainWindow *w = frame::frmMain();
    if (!w)
        return nullptr;
    auto *dock = w->findChild<ScriptOutput *>(QString(), Qt::FindDirectChildrenOnly);
    if (!dock && create) {
        dock = new ScriptOutput(w);
        w->addDockWidget(Qt::BottomDockWidgetArea, dock);
    }
    return dock;
}

} // namespace script
