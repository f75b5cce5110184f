#include "platform/accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <QShortcutEvent>
#include <QShortcut>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

#include <algorithm>

namespace platform {

namespace {

// Qt names a combo box by the item it shows on this platform and ignores
// its accessible name; a screen reader then says "/" where it should say
// "Drive". This one is named by its accessible name or its label, and by
// its item only when it has neither. Value, children (the pop-up list) and
// actions are those of Qt's own.
class ComboBoxAccessible : public QAccessibleWidget
{
public:
    explicit ComboBoxAccessible(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return value();
        const QString s = QAccessibleWidget::text(t);
        return t == QAccessible::Name && s.isEmpty() ? value() : s;
    }

    int childCount() const override { return combo()->isEditable() ? 2 : 1; }

    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (child->object() == combo()->view())
            return 0;
        if (combo()->isEditable() && child->object() == combo()->lineEdit())
            return 1;
        return -1;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = combo()->view() && combo()->view()->isVisible();
        s.collapsed = !s.expanded;
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} << QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction()) {
            if (combo()->view() && combo()->view()->isVisible())
                combo()->hidePopup();
            else
                combo()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QString value() const
    {
        return combo()->isEditable() ? combo()->lineEdit()->text() : combo()->currentText();
    }
};

// A frame drawn as a line is decoration: a separator, not a "frame".
class FrameAccessible : public QAccessibleWidget
{
public:
    explicit FrameAccessible(QFrame *frame) : QAccessibleWidget(frame, QAccessible::Border) {}

    QAccessible::Role role() const override
    {
        const QFrame::Shape shape = static_cast<QFrame *>(widget())->frameShape();
        return shape == QFrame::HLine || shape == QFrame::VLine ? QAccessible::Separator : QAccessible::Border;
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("QComboBox"))
        return new ComboBoxAccessible(static_cast<QComboBox *>(widget));
    if (className == QLatin1String("QFrame"))
        return new FrameAccessible(static_cast<QFrame *>(widget));
    // A plain widget made a window of its own (the note windows) is a
    // window, not a "filler".
    if (className == QLatin1String("QWidget") && widget->isWindow())
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

// ---------------------------------------------------------------- switches

const char *const kSwitch = "quilletSwitch";

bool isPlainSwitch(const QAction *action)
{
    return action && action->property(kSwitch).toBool() && !action->isChecked();
}

// The menu has a check column only while one of its items shows a mark or
// is checkable without being a switch, as before switches were checkable.
bool showsChecks(const QWidget *widget)
{
    const auto *menu = qobject_cast<const QMenu *>(widget);
    if (!menu)
        return true;
    const QList<QAction *> actions = menu->actions();
    return std::any_of(actions.begin(), actions.end(), [](const QAction *a) {
        return a->isVisible() && a->isCheckable() && !isPlainSwitch(a);
    });
}

class SwitchMenuStyle : public QProxyStyle
{
public:
    explicit SwitchMenuStyle(QStyle *base) : QProxyStyle(base) {}

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_MenuItem) {
            if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
                QStyleOptionMenuItem plain(*item);
                plainOption(plain, widget);
                QProxyStyle::drawControl(element, &plain, painter, widget);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        if (type == CT_MenuItem) {
            if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
                QStyleOptionMenuItem plain(*item);
                plainOption(plain, widget);
                return QProxyStyle::sizeFromContents(type, &plain, size, widget);
            }
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

private:
    static void plainOption(QStyleOptionMenuItem &item, const QWidget *widget)
    {
        item.menuHasCheckableItems = showsChecks(widget);
        const auto *menu = qobject_cast<const QMenu *>(widget);
        if (menu && item.checkType != QStyleOptionMenuItem::NotCheckable && !item.checked
            && isPlainSwitch(menu->actionAt(item.rect.center())))
            item.checkType = QStyleOptionMenuItem::NotCheckable;
    }
};

// ---------------------------------------------------------------- menu bar

class MenuKeys : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Shortcut)
            return false;
        auto *bar = static_cast<QMenuBar *>(watched);
        const QKeySequence key = static_cast<QShortcutEvent *>(event)->key();
        QList<QAction *> shown;
        bool hidden = false;
        for (QAction *a : bar->actions()) {
            if (QKeySequence::mnemonic(a->text()) != key)
                continue;
            if (a->isVisible() && a->isEnabled())
                shown << a;
            else
                hidden = true;
        }
        if (!hidden)
            return false; // Qt's own handling
        if (!shown.isEmpty()) {
            // The next shown menu after the open one, the first otherwise.
            const qsizetype at = shown.indexOf(bar->activeAction());
            QAction *next = shown.at((at + 1) % shown.size());
            bar->setActiveAction(next);
            if (QMenu *menu = next->menu()) {
                const QList<QAction *> items = menu->actions();
                const auto first = std::find_if(items.begin(), items.end(), [](QAction *a) {
                    return a->isVisible() && a->isEnabled() && !a->isSeparator();
                });
                if (first != items.end())
                    menu->setActiveAction(*first);
            }
        }
        return true;
    }
};

QStyle *switchMenuStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new SwitchMenuStyle(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(qApp);
    }
    return style;
}

} // namespace

void installAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}

void escapeClicks(QWidget *window, QAbstractButton *button)
{
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, button, &QAbstractButton::click);
}

void escapeCloses(QWidget *window)
{
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

void nameAfterLabel(QWidget *control, const QLabel *label)
{
    QString name = label->text();
    // "&&" shows one "&"; a single "&" marks the access key.
    name.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    name.remove(QLatin1Char('&'));
    name.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    control->setAccessibleName(name);
}

void skipHiddenMenuKeys(QMenuBar *bar)
{
    bar->installEventFilter(new MenuKeys(bar));
}

void makeSwitch(QAction *item, QMenu *menu)
{
    item->setProperty(kSwitch, true);
    item->setCheckable(true);
    if (menu && menu->style() != switchMenuStyle())
        menu->setStyle(switchMenuStyle());
}

} // namespace platform
