#pragma once

#include <QAbstractTableModel>
#include <QDockWidget>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QTreeView;

namespace document {
class DocumentWindow;
}

namespace script {

// One message of a check or a run.
struct OutputRow
{
    QString file;
    int line = 0;    // from 1; 0: none
    int column = 0;  // from 1; 0: none
    QString text;
    // The document the row points into, when it is open.
    QPointer<document::DocumentWindow> document;
    // What activating the row does instead, when set (ends processes a
    // run left behind, for one).
    std::function<void()> action;
};

class OutputModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { File, Line, Col, Message, Columns };
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void clear();
    void append(const std::vector<OutputRow> &rows);
    const OutputRow &row(int i) const { return m_rows.at(size_t(i)); }
    bool hasColumns() const;

private:
    std::vector<OutputRow> m_rows;
};

// The dockable "Script Output" list at the bottom of the main window.
class ScriptOutput : public QDockWidget
{
    Q_OBJECT
public:
    explicit ScriptOutput(QWidget *parent = nullptr);

    void clear();
    void addRows(const std::vector<OutputRow> &rows);
    void addRow(const OutputRow &row) { addRows({row}); }
    int rowCount() const { return m_model->rowCount(); }
    const OutputRow &row(int i) const { return m_model->row(i); }
    // Shows the list and brings it to the front.
    void present();

    // Goes where a row points: its document becomes active with the line
    // (or the spot of a line and column) selected; a row with an action
    // runs it. False when the row points nowhere that is open.
    bool activateRow(int row);

    QTreeView *lstScriptOutput;

private:
    OutputModel *m_model;
};

// The main window's list; made on first use when asked to.
ScriptOutput *scriptOutput(bool create = true);

} // namespace script
