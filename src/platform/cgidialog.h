#pragma once

#include "platform/ui.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace platform {

// Shows the "Run as CGI" dialog modal; nothing when cancelled.
std::optional<CgiRunRequest> runCgiRunDialog(const CgiRunRequest &initial);

// The dialog: the request method, the query string, the POST body (only
// for POST) and the cookies sent with the run.
class CgiRunDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CgiRunDialog(const CgiRunRequest &initial);

    CgiRunRequest request() const;

    QComboBox *cboMethod;
    QLineEdit *txtQuery;
    QPlainTextEdit *txtBody;
    QLineEdit *txtCookies;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;

private:
    void methodChanged();
};

} // namespace platform
