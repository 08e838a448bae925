#include "views/browse/callrunner.h"

#include <QApplication>
#include <QEventLoop>

namespace views {

CallRunner::CallRunner(QObject *parent)
    : QObject(parent)
{
}

CallRunner::~CallRunner()
{
    // A call still running gets its answer dropped: the watchers die with the runner, and
    // the pool thread finishes on its own, touching nothing of the window.
    while (m_running > 0)
        leave();
}

void CallRunner::enter()
{
    if (m_running++ == 0) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        qApp->installEventFilter(this);
    }
}

void CallRunner::leave()
{
    if (m_running == 0)
        return;
    if (--m_running == 0) {
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
        emit idle();
    }
}

void CallRunner::waitFor(QFutureWatcherBase &watcher)
{
    if (watcher.isFinished())
        return;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    if (!watcher.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void CallRunner::waitIdle()
{
    if (m_running == 0)
        return;
    QEventLoop loop;
    connect(this, &CallRunner::idle, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool CallRunner::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace views
