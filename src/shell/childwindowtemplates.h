#pragma once

// The three kinds of child window the main window holds (browse, history, diff), each made by
// a factory that the window's own code registers. Until the browse window registers its
// factory, a browse window is an empty child with the program's title.

#include <QString>

#include <array>
#include <functional>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace shell {

enum class ChildKind { Browse, History, Diff };

class ChildWindowTemplates
{
public:
    // Makes the content widget of a new child; the child window takes ownership.
    using Factory = std::function<QWidget *()>;

    void setFactory(ChildKind kind, Factory factory);
    bool hasFactory(ChildKind kind) const;

    // Opens a new child of that kind in `area`, shown; nullptr when the kind has no factory
    // (the browse kind always has one). `title` is the child's window title.
    QMdiSubWindow *open(ChildKind kind, QMdiArea &area, const QString &title) const;

    // The children of that kind in `area`.
    static QList<QMdiSubWindow *> children(ChildKind kind, QMdiArea &area);

private:
    std::array<Factory, 3> m_factories;
};

} // namespace shell
