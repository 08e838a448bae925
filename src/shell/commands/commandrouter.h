#pragma once

// Turns command IDs into work: each command group registers its handlers here, the main
// window's actions are attached by ID, and every selection change re-evaluates the enable
// rules over one snapshot, so menus, toolbar and keys never act on a stale state. A command
// runs only when its rule holds for the snapshot of the moment it is triggered.

#include "shell/commands/selectionsnapshot.h"

#include <QObject>

#include <functional>
#include <map>

class QAction;

namespace shell {

class CommandRouter : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    using SnapshotSource = std::function<SelectionSnapshot()>;

    explicit CommandRouter(SnapshotSource source, QObject *parent = nullptr);

    // Registers (or replaces) the handler of a command.
    void add(int id, Handler handler);
    bool has(int id) const { return m_handlers.count(id) != 0; }
    // The action runs the command of its ID (QAction::data) and follows its enable rule.
    void attach(QAction *action);

    // Runs the command when it has a handler and is enabled now; true when it ran.
    bool dispatch(int id);
    // Re-evaluates every attached action against a fresh snapshot.
    void update();
    SelectionSnapshot snapshot() const { return m_source ? m_source() : SelectionSnapshot(); }

private:
    SnapshotSource m_source;
    std::map<int, Handler> m_handlers;
    std::multimap<int, QAction *> m_actions;
};

} // namespace shell
