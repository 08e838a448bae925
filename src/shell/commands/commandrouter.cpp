#include "shell/commands/commandrouter.h"

#include "shell/commands/enablerules.h"

#include <QAction>

namespace shell {

CommandRouter::CommandRouter(SnapshotSource source, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
{
}

void CommandRouter::add(int id, Handler handler)
{
    m_handlers[id] = std::move(handler);
}

void CommandRouter::attach(QAction *action)
{
    const int id = action->data().toInt();
    m_actions.emplace(id, action);
    connect(action, &QAction::triggered, this, [this, id] { dispatch(id); });
    connect(action, &QObject::destroyed, this, [this, id, action] {
        for (auto [it, end] = m_actions.equal_range(id); it != end; ++it) {
            if (it->second == action) {
                m_actions.erase(it);
                break;
            }
        }
    });
}

bool CommandRouter::dispatch(int id)
{
    const auto it = m_handlers.find(id);
    if (it == m_handlers.end() || !isEnabled(id, snapshot()))
        return false;
    // A copy: the handler may replace itself or open windows that change the registry.
    const Handler handler = it->second;
    handler();
    update();
    return true;
}

void CommandRouter::update()
{
    const SelectionSnapshot s = snapshot();
    for (const auto &[id, action] : m_actions) {
        action->setEnabled(m_handlers.count(id) != 0 && isEnabled(id, s));
        if (const std::optional<bool> checked = isChecked(id, s)) {
            action->setCheckable(true);
            action->setChecked(*checked);
        }
    }
}

} // namespace shell
