#pragma once

#include <QIcon>
#include <QList>
#include <QString>

class QToolBar;

namespace frame {

class MainWindow;

// The picture list of the toolbar: 18 pictures numbered from 1, most with
// a key.
struct PictureList
{
    static const QList<QIcon> &imlToolbarIcons();
    static QString key(int number); // "" for a picture without key
};

// Builds the toolbar: 21 entries, 16 buttons and 5 separators; each
// button's key is its object name and its tooltip.
QToolBar *createToolBar(MainWindow *window);

// What a click on the button with this key does.
void buttonClick(const QString &key);

} // namespace frame
