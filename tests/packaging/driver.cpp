// A Qt generic plugin that the install test loads into the installed editor
// (QT_QPA_GENERIC_PLUGINS=quilletdriver): it works the editor as a user
// would, by menu item and window name, writes what it saw to the file named
// by QUILLET_DRIVER_REPORT and ends the editor. The editor itself holds no
// test hook.

#include <QApplication>
#include <QFile>
#include <QGenericPlugin>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

namespace {

QWidget *topLevel(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return w;
    }
    return nullptr;
}

class Driver : public QObject
{
public:
    Driver()
    {
        // One step a tick: a step returns false until what it waits for
        // has happened.
        m_steps = {
            [this] { return started(); },
            [this] { return trigger("mnuhtemplate"); },
            [this] { return report("template-text", activeText()); },
            [this] { return trigger("mnuhtmlpreview"); },
            [this] { return note("Sholder", "mnuholder", "rtfText", "kept in the code keeper"); },
            [this] { return note("appbar", "mnuappbar", "rtf1", "kept in the app bar"); },
            [this] { return trigger("mnuHelpContents"); },
            [this] { return viewerShows("Quillet Lite Help"); },
            [this] { return report("browser-module", loadedModule()); },
            [this] { return finish(); },
        };
        connect(&m_tick, &QTimer::timeout, this, [this] {
            if (!m_steps.empty() && m_steps.front()())
                m_steps.pop_front();
        });
        m_tick.start(100);
        // Whatever happens, the editor ends.
        QTimer::singleShot(90000, this, [this] {
            report("steps-left", QString::number(m_steps.size()));
            finish();
        });
    }

private:
    QMainWindow *main() const { return qobject_cast<QMainWindow *>(topLevel("frmMain")); }

    bool started()
    {
        QMainWindow *w = main();
        auto *tip = qobject_cast<QLabel *>(topLevel("frmTip") ? topLevel("frmTip")->findChild<QLabel *>("lblTipText")
                                                              : nullptr);
        if (!w || !tip || activeText().isNull())
            return false;
        report("caption", w->windowTitle());
        report("opened-caption", w->findChild<QMdiArea *>()->activeSubWindow()->widget()->windowTitle());
        report("opened-text", activeText());
        report("tip", tip->text());
        tip->window()->close();
        return true;
    }

    QString activeText() const
    {
        QMainWindow *w = main();
        auto *mdi = w ? w->findChild<QMdiArea *>() : nullptr;
        QMdiSubWindow *sub = mdi ? mdi->activeSubWindow() : nullptr;
        QWidget *text = sub ? sub->widget()->findChild<QWidget *>("rtfText") : nullptr;
        return text ? text->property("Text").toString() : QString();
    }

    bool trigger(const char *item)
    {
        auto *action = main()->menuBar()->findChild<QAction *>(QLatin1String(item));
        if (!action || !action->isEnabled())
            return false;
        action->trigger();
        return true;
    }

    // Opens a note window, types into it and closes it.
    bool note(const char *form, const char *item, const char *control, const char *text)
    {
        QWidget *window = topLevel(form);
        if (!window) {
            trigger(item);
            return false;
        }
        QWidget *pane = window->findChild<QWidget *>(QLatin1String(control));
        if (!pane)
            return false;
        QTest::keyClicks(pane, QLatin1String(text));
        window->close();
        return true;
    }

    bool viewerShows(const QString &caption)
    {
        QWidget *viewer = main()->findChild<QWidget *>("frmBrowser");
        return viewer && viewer->windowTitle() == caption && report("help-caption", caption);
    }

    static QString loadedModule()
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (!maps.open(QIODevice::ReadOnly))
            return QString();
        for (const QByteArray &line : maps.readAll().split('\n')) {
            const int at = line.indexOf('/');
            if (at >= 0 && line.endsWith("/quilex_browser.so"))
                return QString::fromLocal8Bit(line.mid(at));
        }
        return QString();
    }

    bool report(const char *key, QString value)
    {
        QFile out(qEnvironmentVariable("QUILLET_DRIVER_REPORT"));
        if (out.open(QIODevice::Append)) {
            value.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
            value.replace(QLatin1Char('\r'), QLatin1String("\\r"));
            out.write(key + QByteArray("=") + value.toUtf8() + '\n');
        }
        return true;
    }

    bool finish()
    {
        report("done", QStringLiteral("1"));
        m_tick.stop();
        QCoreApplication::exit(0);
        return true;
    }

    QTimer m_tick;
    std::deque<std::function<bool()>> m_steps;
};

} // namespace

class DriverPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "driver.json")
public:
    QObject *create(const QString &, const QString &) override { return new Driver; }
};

#include "driver.moc"
