#include "platform/cgidialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace platform {

std::optional<CgiRunRequest> runCgiRunDialog(const CgiRunRequest &initial)
{
    CgiRunDialog dialog(initial);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.request();
}

CgiRunDialog::CgiRunDialog(const CgiRunRequest &initial) : QDialog(initial.parent)
{
    setObjectName(QStringLiteral("frmCgiRun"));
    setWindowTitle(QStringLiteral("Run as CGI"));

    cboMethod = new QComboBox(this);
    cboMethod->setObjectName(QStringLiteral("cboMethod"));
    cboMethod->addItems({QStringLiteral("GET"), QStringLiteral("POST")});
    cboMethod->setCurrentIndex(initial.method.compare(QLatin1String("POST"), Qt::CaseInsensitive) == 0 ? 1 : 0);

    txtQuery = new QLineEdit(initial.query, this);
    txtQuery->setObjectName(QStringLiteral("txtQuery"));
    txtBody = new QPlainTextEdit(this);
    txtBody->setObjectName(QStringLiteral("txtBody"));
    txtBody->setPlainText(initial.body);
    txtBody->setTabChangesFocus(true);
    txtBody->setMinimumHeight(txtBody->fontMetrics().lineSpacing() * 4);
    txtCookies = new QLineEdit(initial.cookies, this);
    txtCookies->setObjectName(QStringLiteral("txtCookies"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Method:"), cboMethod);
    form->addRow(QStringLiteral("&Query string:"), txtQuery);
    form->addRow(QStringLiteral("POST &body:"), txtBody);
    form->addRow(QStringLiteral("C&ookies:"), txtCookies);

    auto *buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("&Run"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = buttons->addButton(QDialogButtonBox::Cancel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(cboMethod, &QComboBox::currentIndexChanged, this, &CgiRunDialog::methodChanged);
    methodChanged();
    resize(QSize(std::max(420, sizeHint().width()), minimumSizeHint().height() + 40));
}

void CgiRunDialog::methodChanged()
{
    // A body goes only with POST.
    txtBody->setEnabled(cboMethod->currentIndex() == 1);
}

CgiRunRequest CgiRunDialog::request() const
{
    CgiRunRequest r;
    r.method = cboMethod->currentText();
    r.query = txtQuery->text();
    r.body = txtBody->toPlainText();
    r.cookies = txtCookies->text();
    r.parent = parentWidget();
    return r;
}

} // namespace platform
