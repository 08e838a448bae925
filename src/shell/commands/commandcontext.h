#pragma once

// What the command groups work with: the application, the main window, the router, and the
// active browse window of the moment.

#include <protocol/records.h>
#include <protocol/service.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace views {
class BrowseWindow;
class CZemHistoryChildFrame;
} // namespace views

namespace shell {

class CMainFrame;
class CommandRouter;
class CZemApp;

struct CommandContext
{
    CZemApp &app;
    CMainFrame &frame;
    CommandRouter &router;

    views::BrowseWindow *browse() const;
    // The active history window; nullptr when another kind of child is active.
    views::CZemHistoryChildFrame *history() const;

    // The work-folder dialog: asks for the working folder of `serverPath` (current text
    // `current`), stores it on the service, and returns it; nullopt when cancelled. Unset: a
    // folder chooser, then SetWorkFolderPath.
    std::function<std::optional<std::string>(views::BrowseWindow &, const std::string &serverPath,
                                             const std::string &current)>
        workFolderDialog;
    // Makes the service the compare dialog fetches versions through. Unset: a ServiceClient.
    std::function<std::unique_ptr<protocol::Service>(const protocol::ServerProfile &)>
        compareFactory;
};

// The command groups, one file each.
void registerFolderCommands(CommandContext &context);
void registerFileCommands(CommandContext &context);
void registerViewCommands(CommandContext &context);
void registerServerCommands(CommandContext &context);
void registerHistoryCommands(CommandContext &context);
void registerOperationCommands(CommandContext &context);
// The window's drops: shell files added, "ZemList" files and "ZemTree" folders moved.
void installDropHandler(CommandContext &context, views::BrowseWindow &window);
void registerCompareCommands(CommandContext &context);
// The window's own hooks into the server commands: the logon wizard for a server expanded
// before it is logged on, and the rename of a server node after a label edit.
void installServerHooks(CommandContext &context, views::BrowseWindow &window);

} // namespace shell
