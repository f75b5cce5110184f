#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

namespace help {

// Shows the tip of the day at start-up (it closes itself at once when
// tips are switched off).
void showTipOfTheDay(QWidget *mainWindow);

// "Tip of the Day": one tip drawn at random from the tips file.
class TipWindow : public QDialog
{
    Q_OBJECT
public:
    TipWindow();

    // Reads the tips file, one tip per line; false when there is no such
    // file. A file that was read shows a first random tip.
    bool LoadTips(const QString &fileName);
    void ShowRandomTip();
    void DisplayCurrentTip();

    const QStringList &tipList() const { return m_tips; }
    int tipNumber() const { return m_tipNumber; }

    QLabel *Picture1;
    QLabel *Label1;
    QLabel *lblTipText;
    QCheckBox *chkLoadTipsAtStartup;
    QPushButton *cmdNextTip;
    QPushButton *cmdOK;

private:
    QStringList m_tips;
    int m_tipNumber = 0;
};

// The tip window on show, or null.
TipWindow *tipWindow();

// The random numbers tips are drawn with, uniform in [0, 1). Tests install
// their own; nullptr restores the clock-seeded generator.
void setTipRandomSource(std::function<double()> source);

} // namespace help
