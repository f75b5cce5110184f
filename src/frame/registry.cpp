#include "colouring/passes.h"
#include "editing/clipboard.h"
#include "editing/findform.h"
#include "files/filecommands.h"
#include "frame/commands.h"
#include "frame/layout.h"
#include "help/helpcommands.h"
#include "html/pageviewer.h"
#include "html/snippets.h"
#include "html/toolwindows.h"
#include "script/scriptcommands.h"
#include "tools/toolcommands.h"

namespace frame {

void registerAllCommands()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    registerLayoutCommands();
    colouring::registerSwitchCommands();
    files::registerNewOpenCommands();
    files::registerSaveCommands();
    files::registerPrintCommands();
    editing::registerClipboardCommands();
    editing::registerFindCommands();
    editing::registerTextSizeCommands();
    html::registerSnippetCommands();
    html::registerViewerCommands();
    html::registerToolWindowCommands();
    tools::registerToolCommands();
    help::registerHelpCommands();
    script::registerScriptCommands();
}

} // namespace frame
