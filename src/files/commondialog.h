#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QPrinter;
class QWidget;

namespace files {

// The file filters, each a list of description|pattern pairs.
// The save dialogs' script filter.
QString scriptFilter();
// The same without the "Config Files" entry, for saves of a named
// document and the Quick Link menu's dialogs.
QString shortScriptFilter();
// The Open dialog's filter: the script filter with one more "|".
QString openFilter();

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
    // The print dialog; for Page Setup its confirm button reads "OK".
    enum PrinterUse { Print, PageSetup };
    void ShowPrinter(PrinterUse use = Print);

    // "desc|pattern|desc|pattern" as the dialog's type list entries.
    static QStringList filterEntries(const QString &filter);
    // The patterns of each entry, in the same order.
    static QList<QStringList> filterPatterns(const QString &filter);

    // The folder a file dialog opens in: the active document's, else the
    // last one a dialog was accepted in during this run, else the home
    // folder.
    QString initialFolder() const;

private:
    void showFile(bool save);

    QWidget *m_owner;
    QString m_fileName;
    QString m_filter;
    QString m_title;
    bool m_cancelError = false;
    int m_flags = 0;
    int m_filterIndex = 0;
    QString m_lastFolder;
    mutable std::unique_ptr<QPrinter> m_printer;
};

} // namespace files
