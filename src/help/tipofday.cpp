#include "help/tipofday.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "help/helpcommands.h"
#include "platform/programfolder.h"
#include "platform/settingsstore.h"
#include "platform/textfile.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QVBoxLayout>

namespace help {

namespace {

const QString kSettings = QStringLiteral("settings");
const QString kShowTips = QStringLiteral("Show Tips at Startup");

QPointer<TipWindow> g_tipWindow;

std::function<double()> &randomSource()
{
    static std::function<double()> source;
    return source;
}

QRandomGenerator &clockGenerator()
{
    static QRandomGenerator generator;
    return generator;
}

void seedFromClock()
{
    clockGenerator().seed(quint32(QDateTime::currentMSecsSinceEpoch()));
}

double nextRandom()
{
    if (randomSource())
        return randomSource()();
    return clockGenerator().generateDouble();
}

} // namespace

void setTipRandomSource(std::function<double()> source)
{
    randomSource() = std::move(source);
}

TipWindow *tipWindow()
{
    return g_tipWindow.data();
}

TipWindow::TipWindow() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(QStringLiteral("Tip of the Day"));
    // Sizable, no minimize or maximize button, above other windows.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setSizeGripEnabled(true);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(QIcon(QStringLiteral(":/icons/quilex-48.png")).pixmap(32, 32));
    Picture1->setAccessibleName(QStringLiteral("Tip icon"));
    Picture1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    Label1 = new QLabel(QStringLiteral("Did you know..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont heading = Label1->font();
    heading.setBold(true);
    Label1->setFont(heading);

    lblTipText = new QLabel(this);
    lblTipText->setObjectName(QStringLiteral("lblTipText"));
    lblTipText->setTextFormat(Qt::PlainText); // a tip is text, whatever it holds
    lblTipText->setWordWrap(true);
    lblTipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTipText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblTipText->setFocusPolicy(Qt::StrongFocus);
    lblTipText->setMinimumWidth(1);

    chkLoadTipsAtStartup = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    chkLoadTipsAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    cmdNextTip = new QPushButton(QStringLiteral("&Next Tip"), this);
    cmdNextTip->setObjectName(QStringLiteral("cmdNextTip"));
    cmdNextTip->setAutoDefault(false);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true); // Enter; Escape closes as well

    auto *text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addWidget(lblTipText, 1);
    auto *top = new QHBoxLayout;
    top->addWidget(Picture1);
    top->addLayout(text, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(chkLoadTipsAtStartup);
    bottom->addStretch();
    bottom->addWidget(cmdNextTip);
    bottom->addWidget(cmdOK);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addLayout(bottom);
    // Left to right, top to bottom: the tip, then the row below it.
    setTabOrder(lblTipText, chkLoadTipsAtStartup);
    setTabOrder(chkLoadTipsAtStartup, cmdNextTip);
    setTabOrder(cmdNextTip, cmdOK);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdNextTip, &QPushButton::clicked, this, [this] {
        ShowRandomTip();
        // Also when pressed by its access key: the focus on the button
        // carries the new tip to a screen reader (its description).
        cmdNextTip->setFocus(Qt::OtherFocusReason);
    });
    // Ticked or not, the box's state is what the next start obeys.
    connect(chkLoadTipsAtStartup, &QCheckBox::toggled, this, [](bool on) {
        platform::writeSetting(kSettings, kShowTips, on ? QStringLiteral("1") : QStringLiteral("0"));
    });
}

bool TipWindow::LoadTips(const QString &fileName)
{
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    platform::TextFileFormat format;
    QString text = platform::decodeText(file.readAll(), &format);
    file.close();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Every line is a tip, an empty one included; the end of the last line
    // ends the file, with or without a line break.
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    m_tips += lines;
    ShowRandomTip();
    return true;
}

void TipWindow::ShowRandomTip()
{
    const int count = int(m_tips.size());
    const double r = nextRandom();
    m_tipNumber = qBound(1, int(count * r + 1), qMax(1, count));
    DisplayCurrentTip();
}

void TipWindow::DisplayCurrentTip()
{
    if (m_tips.isEmpty())
        return;
    const QString tip = m_tips.at(m_tipNumber - 1);
    lblTipText->setText(tip);
    // A screen reader passes over a label's new text, but says the changed
    // description of the control that has the focus: after "Next Tip",
    // that button.
    cmdNextTip->setAccessibleDescription(tip);
}

void showTipOfTheDay(QWidget *mainWindow)
{
    if (g_tipWindow)
        g_tipWindow->close();
    // Tips switched off: the window closes at once, so it isn't shown at all.
    const int show = platform::readNumberSetting(kSettings, kShowTips, 1);
    if (show == 0)
        return;

    auto *tip = new TipWindow;
    g_tipWindow = tip;
    // Without an owner it would outlive the main window: it goes with it.
    if (auto *frame = qobject_cast<frame::MainWindow *>(mainWindow)) {
        QObject::connect(frame, &frame::MainWindow::closed, tip, &QWidget::close);
    }
    if (mainWindow)
        QObject::connect(mainWindow, &QObject::destroyed, tip, &QObject::deleteLater);

    // Topmost at 300, 200, 375 by 250 pixels outside. It is the first
    // thing shown and takes the keyboard, so a screen reader reads it.
    const QRect outer(300, 200, 375, 250);
    tip->setGeometry(outer);
    tip->cmdOK->setFocus();
    tip->show();
    tip->raise();
    tip->activateWindow();
    // The main window is shown after start-up: the tip takes the keyboard
    // back once it is.
    QTimer::singleShot(0, tip, [tip] {
        tip->raise();
        tip->activateWindow();
    });
    QTimer::singleShot(0, tip, [tip, outer] {
        const QSize frameSize = tip->frameGeometry().size() - tip->geometry().size();
        if (!frameSize.isNull()) {
            tip->resize(outer.width() - frameSize.width(), outer.height() - frameSize.height());
            tip->move(outer.topLeft());
        }
    });

    // Ticking the box writes "1" again.
    tip->chkLoadTipsAtStartup->setChecked(true);
    seedFromClock();
    tip->LoadTips(platform::programFile(QStringLiteral("\\tod.qz")));
}

void registerTipCommands()
{
    frame::addCommand(QStringLiteral("mnushowtip"), [](frame::Tree) {
        platform::writeSetting(kSettings, kShowTips, QStringLiteral("1"));
    });
}

} // namespace help
