#include "frame/commands.h"
#include "help/helpcommands.h"
#include "help/vendor.h"
#include "platform/errors.h"
#include "platform/programstart.h"

namespace help {

namespace {

const QString kSubject = QStringLiteral("?subject=Quillet(LT)");

struct Link
{
    const char *item;
    const char *mainPath;  // after the site; null: the mail link
    const char *quickPath; // null: no Quick Link copy
};

// The update script's query is a bare key.
const Link kLinks[] = {
    {"mnuViewWebBrowser", "", ""},
    {"mnuemailus", nullptr, nullptr},
    {"mnuupdthlp", "/downloads/ravozariz/quillet/qzupdate.cgi?qzhlp",
     "/software/quillet/qzupdate.cgi?qzhlp"},
    {"mnulistupdate", "/downloads/ravozariz/quillet/qzupdate.cgi?qzsplist",
     "/software/quillet/qzupdate.cgi?qzsplist"},
    {"mnuupdatetip", "/downloads/ravozariz/quillet/qzupdate.cgi?qztipfile", nullptr},
    {"mnuqzupgrade", "/downloads/ravozariz/quillet/qzupdate.cgi?lqzv104",
     "/software/quillet/qzupdate.cgi?lqzv104"},
};

QString mainTarget(const Link &link)
{
    if (!link.mainPath)
        return QStringLiteral("mailto:") + vendor::commentsAddress() + kSubject;
    return vendor::site() + QLatin1String(link.mainPath);
}

QString quickTarget(const Link &link)
{
    if (!link.mainPath)
        return QStringLiteral("mailto:") + vendor::supportAddress() + kSubject;
    return vendor::site() + QLatin1String(link.quickPath);
}

} // namespace

void registerWebLinkCommands()
{
    for (const Link &link : kLinks) {
        frame::addCommand(QLatin1String(link.item), [&link](frame::Tree tree) {
            platform::endOnError([&] {
                if (tree == frame::Tree::Main) {
                    platform::programStart().ShellOpen(mainTarget(link));
                } else if (!link.mainPath || link.quickPath) {
                    // The Quick Link copies go through the system's START.
                    platform::programStart().Shell(QStringLiteral("start ") + quickTarget(link),
                                                   platform::Hidden);
                }
            });
        });
    }
}

} // namespace help
