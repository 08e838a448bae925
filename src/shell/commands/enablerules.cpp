#include "shell/commands/enablerules.h"

namespace shell {

using Node = SelectionSnapshot::Node;
using Pane = SelectionSnapshot::Pane;
using Child = SelectionSnapshot::Child;

bool noneCheckedOut(const SelectionSnapshot &s)
{
    return s.serverFound && !s.anyRowCheckedOut;
}

bool anyCheckedOut(const SelectionSnapshot &s)
{
    return s.serverFound && s.anyRowCheckedOut;
}

// The pane-dependent operation commands: a folder node in the tree pane, the row rule in
// the file list pane.
static bool paneRule(const SelectionSnapshot &s, bool listRule)
{
    if (s.child != Child::Browse)
        return false;
    return s.pane == Pane::Tree ? s.node == Node::Folder : listRule;
}

static bool keyRule(const SelectionSnapshot &s)
{
    if (s.child != Child::Browse)
        return false;
    if (s.pane == Pane::Tree)
        return s.node == Node::Server || s.node == Node::Folder;
    return noneCheckedOut(s);
}

bool isEnabled(int id, const SelectionSnapshot &s)
{
    using namespace browsecmd;
    switch (id) {
    case AddServer:
        return s.child != Child::None;
    case LogOn:
    case ServerProperties:
    case RenameServer:
    case DeleteServer:
        return s.node == Node::Server;
    case ExportProfiles:
        return s.profileCount > 0;
    case NewFolder:
        return s.serverConnected || !s.serverFound;
    case DeleteFolder:
    case RenameFolder:
    case SetWorkFolder:
    case FolderProperties:
        return s.node == Node::Folder;
    case DeleteFiles:
    case RenameFile:
        return noneCheckedOut(s);
    case DeleteKey:
    case RenameKey:
        return keyRule(s);
    case GetFiles:
        return s.child == Child::Browse;
    case CheckOutFiles:
    case CheckOutAndOpen:
        return noneCheckedOut(s);
    case UndoCheckOutFiles:
    case CheckInFiles:
        return anyCheckedOut(s);
    case Get:
        return paneRule(s, true);
    case CheckOut:
        return paneRule(s, noneCheckedOut(s));
    case UndoCheckOut:
    case CheckIn:
        return paneRule(s, anyCheckedOut(s));
    case ViewSmallIcons:
    case ViewLargeIcons:
    case ViewList:
    case ViewDetails:
        return s.child == Child::Browse;
    case LineUp:
        // Icons are lined up only where there are icons.
        return s.child == Child::Browse && (s.viewStyle == 0 || s.viewStyle == 1);
    case FolderHistory:
        return s.node == Node::Folder;
    case History:
        if (s.child != Child::Browse)
            return false;
        return s.pane == Pane::List || s.node == Node::Folder;
    case CompareFiles:
        return s.child == Child::Browse && s.pane == Pane::List && s.selectedRows >= 1 &&
               s.selectedRows <= 2;
    case Compare:
    case CompareVersions:
        if (s.child == Child::History)
            return s.historySelected >= 1 && s.historySelected <= 2;
        return s.child == Child::Browse && s.pane == Pane::List && s.selectedRows >= 1 &&
               s.selectedRows <= 2;
    case CompareWorkingCopy:
        // Acts on the file rows only, whichever pane had the focus last.
        return s.child == Child::Browse && s.selectedRows == 1;
    case GetVersion:
        return s.child == Child::History && s.historySelected == 1;
    case HistoryGetAndOpen:
        // With no row selected the command does nothing.
        return s.child == Child::History && s.historySelected <= 1;
    case RollBack:
        // One focused, selected row that is not the last one: a roll back to the oldest
        // version, or with nothing to roll back to, never reaches the service.
        return s.child == Child::History && s.historyFileMode && s.historySelected == 1 &&
               s.historyFocusedSelected && !s.historyLastRowSelected && s.historyRows > 1;
    default:
        return true;
    }
}

std::optional<bool> isChecked(int id, const SelectionSnapshot &s)
{
    using namespace browsecmd;
    switch (id) {
    case ViewLargeIcons:
        return s.viewStyle == 0;
    case ViewSmallIcons:
        return s.viewStyle == 1;
    case ViewList:
        return s.viewStyle == 2;
    case ViewDetails:
        return s.viewStyle == 3;
    default:
        return std::nullopt;
    }
}

int deleteKeyTarget(const SelectionSnapshot &s)
{
    if (!keyRule(s) || s.editing)
        return 0;
    if (s.pane == Pane::List)
        return browsecmd::DeleteFiles;
    return s.node == Node::Folder ? browsecmd::DeleteFolder : browsecmd::DeleteServer;
}

int renameKeyTarget(const SelectionSnapshot &s)
{
    if (!keyRule(s) || s.editing)
        return 0;
    if (s.pane == Pane::List)
        return browsecmd::RenameFile;
    return s.node == Node::Folder ? browsecmd::RenameFolder : browsecmd::RenameServer;
}

} // namespace shell
