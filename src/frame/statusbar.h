#pragma once

#include <QStatusBar>

class QLabel;
class QTimer;

namespace frame {

// The main window's status bar, four panels: the fixed text "Quillet ",
// the changed marker, the date and the time (both kept current).
class StatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit StatusBar(QWidget *parent = nullptr);

    QString panelText(int panel) const; // panels numbered from 1
    void setPanelText(int panel, const QString &text);

private:
    void updateClock();

    QLabel *m_panels[4];
    QTimer *m_clock;
};

} // namespace frame
