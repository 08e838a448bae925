#include "shell/childwindowtemplates.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

namespace shell {

static const char kKindProperty[] = "ravelindChildKind";

// The size a browse window opens with when no placement is stored.
static constexpr QSize kDefaultChildSize(700, 500);

// A blank view area, as the browse window looks before it has anything to show.
static QWidget *emptyBrowseContent()
{
    auto *content = new QWidget;
    content->setAutoFillBackground(true);
    content->setBackgroundRole(QPalette::Base);
    return content;
}

void ChildWindowTemplates::setFactory(ChildKind kind, Factory factory)
{
    m_factories[std::size_t(kind)] = std::move(factory);
}

bool ChildWindowTemplates::hasFactory(ChildKind kind) const
{
    return kind == ChildKind::Browse || bool(m_factories[std::size_t(kind)]);
}

QMdiSubWindow *ChildWindowTemplates::open(ChildKind kind, QMdiArea &area,
                                          const QString &title) const
{
    const Factory &factory = m_factories[std::size_t(kind)];
    QWidget *content = nullptr;
    if (factory)
        content = factory();
    else if (kind == ChildKind::Browse)
        content = emptyBrowseContent();
    if (!content)
        return nullptr;
    QMdiSubWindow *child = area.addSubWindow(content);
    child->setAttribute(Qt::WA_DeleteOnClose);
    child->setProperty(kKindProperty, int(kind));
    child->setWindowTitle(title);
    child->setWindowIcon(area.window()->windowIcon());
    if (!factory)
        child->resize(kDefaultChildSize);
    // The child's own system menu claims the close keys as well (Ctrl+W and Ctrl+F4 here);
    // two claims on a key make it do nothing, so the main window's Window menu owns them.
    if (QMenu *system = child->systemMenu())
        for (QAction *entry : system->actions())
            entry->setShortcuts({});
    child->show();
    return child;
}

QList<QMdiSubWindow *> ChildWindowTemplates::children(ChildKind kind, QMdiArea &area)
{
    QList<QMdiSubWindow *> found;
    for (QMdiSubWindow *child : area.subWindowList()) {
        const QVariant value = child->property(kKindProperty);
        if (value.isValid() && value.toInt() == int(kind))
            found.append(child);
    }
    return found;
}

} // namespace shell
