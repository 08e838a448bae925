#pragma once

// One snapshot of what the commands apply to, taken from the active child window whenever
// the selection changes. The enable rules are pure functions of it.

#include <cstddef>

namespace views {
class BrowseWindow;
class CZemHistoryChildFrame;
} // namespace views

namespace shell {

struct SelectionSnapshot
{
    enum class Child { None, Browse, History, Diff };
    enum class Pane { Tree, List }; // the browse window's pane that had the focus last
    enum class Node { None, Root, Server, Folder };

    Child child = Child::None;
    Pane pane = Pane::Tree;
    Node node = Node::None;
    bool serverFound = false;
    bool serverConnected = false;
    std::size_t selectedRows = 0;
    bool anyRowCheckedOut = false;
    bool focusedRowSelected = false;
    bool editing = false;
    int viewStyle = 3; // views::BrowseWindow::ViewStyle: 0 icons, 1 small icons, 2 list, 3 details
    std::size_t profileCount = 0;
    // The active history window's list (child == History).
    bool historyFileMode = false;
    std::size_t historyRows = 0;
    std::size_t historySelected = 0;
    bool historyFocusedSelected = false;
    bool historyLastRowSelected = false;

    bool operator==(const SelectionSnapshot &) const = default;
};

// The snapshot of a browse window (nullptr: no browse window active; `child` tells what is).
SelectionSnapshot snapshotOf(const views::BrowseWindow *browse, SelectionSnapshot::Child child,
                             std::size_t profileCount);
// Adds what the history commands' rules read from the active history window.
void addHistoryState(SelectionSnapshot &s, const views::CZemHistoryChildFrame &history);

} // namespace shell
