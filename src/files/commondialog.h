#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QPrinter;
class QWidget;

namespace files {

// The one file and print dialog of the main window. Its properties keep
// their last values from one use to the next, whoever set them; so does
// the entry chosen in the file type list.
class CommonDialog : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
    Q_PROPERTY(QString Filter READ Filter WRITE setFilter)
    Q_PROPERTY(QString DialogTitle READ DialogTitle WRITE setDialogTitle)
    Q_PROPERTY(bool CancelError READ CancelError WRITE setCancelError)
    Q_PROPERTY(int Flags READ Flags WRITE setFlags)

public:
    // Print dialog flags.
    enum : int { PrintSelection = 0x1, NoPageNums = 0x8, ReturnDC = 0x100 };

    explicit CommonDialog(QWidget *owner);
    ~CommonDialog() override;

    QString FileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }
    QString Filter() const { return m_filter; }
    void setFilter(const QString &filter) { m_filter = filter; }
    QString DialogTitle() const { return m_title; }
    void setDialogTitle(const QString &title) { m_title = title; }
    bool CancelError() const { return m_cancelError; }
    void setCancelError(bool on) { m_cancelError = on; }
    int Flags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }
    // The printer chosen by the last print dialog.
    QPrinter *hDC() const;
    // The file type entry selected (0-based), kept between uses.
    int FilterIndex() const { return m_filterIndex; }

    // Modal dialogs. Cancel with CancelError on throws the cancel error
    // (32755); with it off, returns leaving FileName as it was.
    void ShowOpen();
    void ShowSave();
    void ShowPrinter();

    // "desc|pattern|desc|pattern" as the dialog's type list entries.
    static QStringList filterEntries(const QString &filter);

private:
    void showFile(bool save);

    QWidget *m_owner;
    QString m_fileName;
    QString m_filter;
    QString m_title;
    bool m_cancelError = false;
    int m_flags = 0;
    int m_filterIndex = 0;
    mutable std::unique_ptr<QPrinter> m_printer;
};

} // namespace files
