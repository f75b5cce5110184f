#include "frame/statusbar.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QTimer>

namespace frame {

StatusBar::StatusBar(QWidget *parent) : QStatusBar(parent), m_clock(new QTimer(this))
{
    setObjectName(QStringLiteral("sbStatusBar"));
    setSizeGripEnabled(true);
    for (int i = 0; i < 4; ++i) {
        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(4, 0, 4, 0);
        m_panels[i] = label;
        addPermanentWidget(label, i == 1 ? 1 : 0);
    }
    m_panels[0]->setText(QStringLiteral("Quillet "));
    // A panel is named by what it shows (a label tells a screen reader of
    // every change of its text); what it is goes in its description.
    m_panels[0]->setAccessibleDescription(QStringLiteral("Program"));
    m_panels[1]->setAccessibleDescription(QStringLiteral("Changed marker"));
    m_panels[2]->setAccessibleDescription(QStringLiteral("Date"));
    m_panels[3]->setAccessibleDescription(QStringLiteral("Time"));
    m_clock->setSingleShot(true);
    connect(m_clock, &QTimer::timeout, this, &StatusBar::updateClock);
    updateClock();
}

QString StatusBar::panelText(int panel) const
{
    if (panel < 1 || panel > 4)
        return QString();
    return m_panels[panel - 1]->text();
}

void StatusBar::setPanelText(int panel, const QString &text)
{
    if (panel < 1 || panel > 4)
        return;
    if (m_panels[panel - 1]->text() != text)
        m_panels[panel - 1]->setText(text);
}

void StatusBar::updateClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    setPanelText(3, locale.toString(now.date(), QLocale::ShortFormat));
    // The time to the minute.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QLatin1String(":ss")).remove(QLatin1String(".ss"));
    setPanelText(4, locale.toString(now.time(), format));
    // Wake again when the minute turns.
    const int msIntoMinute = now.time().second() * 1000 + now.time().msec();
    m_clock->start(60000 - msIntoMinute + 5);
}

} // namespace frame
