#include "frame/toolbar.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "html/pageviewer.h"
#include "html/snippets.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/twips.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

static void initToolbarResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace frame {

namespace {

const char *const kPictureKeys[18] = {"New",       "Open",       "Save",        "Print",  "Cut",
                                      "Copy",      "Paste",      "Bold",        "Italic", "Underline",
                                      "Align Left", "Center",    "Align Right", "Delete", "Camera",
                                      "Find",      "Spell Check", ""};

struct Button
{
    const char *key; // nullptr: a separator
    int picture;
};

const Button kButtons[21] = {
    {"New", 1},        {"Open", 2},         {"Save", 3},        {nullptr, 0},
    {"Print", 4},      {nullptr, 0},        {"Cut", 5},         {"Copy", 6},
    {"Paste", 7},      {"Delete", 14},      {"Find", 16},       {nullptr, 0},
    {"Bold", 8},       {"Italic", 9},       {"Underline", 10},  {nullptr, 0},
    {"Align Left", 11}, {"Center", 12},     {"Align Right", 13}, {nullptr, 0},
    {"Preview Html", 18},
};

} // namespace

const QList<QIcon> &PictureList::imlToolbarIcons()
{
    static QList<QIcon> icons;
    if (icons.isEmpty()) {
        initToolbarResources();
        for (int i = 1; i <= 18; ++i) {
            QIcon icon;
            icon.addFile(QStringLiteral(":/icons/tb%1.png").arg(i, 2, 10, QLatin1Char('0')), QSize(16, 16));
            icons << icon;
        }
    }
    return icons;
}

QString PictureList::key(int number)
{
    if (number < 1 || number > 18)
        return QString();
    return QString::fromLatin1(kPictureKeys[number - 1]);
}

QToolBar *createToolBar(MainWindow *window)
{
    auto *tb = new QToolBar(window);
    tb->setObjectName(QStringLiteral("tbToolBar"));
    tb->setWindowTitle(QStringLiteral("Toolbar"));
    tb->setIconSize(QSize(16, 16));
    tb->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tb->setMovable(false);
    tb->setFloatable(false);
    // Shown and hidden by View > "&Menu Bar" only, which keeps its mark;
    // the main window's own right-click list of bars would not.
    tb->toggleViewAction()->setVisible(false);
    const QList<QIcon> &icons = PictureList::imlToolbarIcons();
    const QSize buttonSize(platform::twipsToPixelsX(609), platform::twipsToPixelsY(582));
    for (const Button &b : kButtons) {
        if (!b.key) {
            tb->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(b.key);
        QAction *a = tb->addAction(icons.at(b.picture - 1), QString());
        a->setObjectName(key);
        a->setToolTip(key);
        a->setText(key); // read by screen readers; the bar shows pictures only
        if (QWidget *w = tb->widgetForAction(a)) {
            w->setFixedSize(buttonSize);
            w->setAccessibleName(key);
        }
        QObject::connect(a, &QAction::triggered, tb, [key] { buttonClick(key); });
    }
    return tb;
}

void buttonClick(const QString &key)
{
    MainWindow *w = frmMain();
    if (!w)
        return;
    // 1. The active document's selected text, empty when there is none.
    QString s;
    platform::ignoreErrors([&] { s = w->requireText().SelText(); });

    struct Wrap
    {
        const char *key, *open, *close;
    };
    static const Wrap wraps[] = {
        {"Bold", "<B>", "</B>"},
        {"Italic", "<I>", "</I>"},
        {"Underline", "<U>", "</U>"},
        {"Align Left", "<div align=left>", "</div>"},
        {"Center", "<div align=center>", "</div>"},
        {"Align Right", "<div align=right>", "</div>"},
    };
    if (key == QLatin1String("New")) return void(runCommand(QStringLiteral("mnuBlankFile"), Tree::Main));
    if (key == QLatin1String("Open")) return void(runCommand(QStringLiteral("mnuFileOpen"), Tree::Main));
    if (key == QLatin1String("Save")) return void(runCommand(QStringLiteral("mnuFileSave"), Tree::Main));
    if (key == QLatin1String("Print")) return void(runCommand(QStringLiteral("mnuFilePrint"), Tree::Main));
    if (key == QLatin1String("Cut")) return void(runCommand(QStringLiteral("mnuEditCut"), Tree::Main));
    if (key == QLatin1String("Copy")) return void(runCommand(QStringLiteral("mnuEditCopy"), Tree::Main));
    if (key == QLatin1String("Paste")) return void(runCommand(QStringLiteral("mnuEditPaste"), Tree::Main));
    for (const Wrap &wr : wraps) {
        if (key == QLatin1String(wr.key)) {
            platform::ignoreErrors([&] {
                w->requireText().setSelText(QString::fromLatin1(wr.open) + s + QString::fromLatin1(wr.close));
            });
            return;
        }
    }
    if (key == QLatin1String("Delete")) {
        platform::ignoreErrors([&] { w->requireText().setSelText(QString()); });
        return;
    }
    if (key == QLatin1String("Find")) return void(runCommand(QStringLiteral("menufind"), Tree::Main));
    if (key == QLatin1String("Preview Html")) {
        platform::ignoreErrors([] { html::previewHtml(html::PreviewForm::Toolbar); });
        return;
    }
}

} // namespace frame
