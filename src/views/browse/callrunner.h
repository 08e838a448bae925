#pragma once

// Runs the window's direct service calls off the UI thread. While a call runs, the wait
// cursor shows and the user's input (keys, clicks, wheel) is swallowed, as the window has
// always behaved, but the window keeps painting. The result is handed back on the UI thread.

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>
#include <memory>

namespace views {

class CallRunner : public QObject
{
    Q_OBJECT
public:
    explicit CallRunner(QObject *parent = nullptr);
    ~CallRunner() override;

    // Starts `work` on the thread pool and returns at once; `apply` gets its value later on
    // the UI thread (not when the runner was destroyed first).
    template<class T> void start(std::function<T()> work, std::function<void(T)> apply)
    {
        auto *watcher = new QFutureWatcher<T>(this);
        connect(watcher, &QFutureWatcher<T>::finished, this,
                [this, watcher, apply = std::move(apply)] {
                    // Taken, not copied: a listing of 100,000 files copied here held the UI
                    // thread longer than everything else the list does with it.
                    T value = watcher->future().takeResult();
                    watcher->deleteLater();
                    leave();
                    if (apply)
                        apply(std::move(value));
                });
        enter();
        watcher->setFuture(QtConcurrent::run(std::move(work)));
    }

    // Runs `work` on the thread pool and waits for it in a local event loop that paints but
    // takes no user input; returns its value. For commands whose next step needs the answer.
    template<class T> T wait(std::function<T()> work)
    {
        QFutureWatcher<T> watcher;
        enter();
        watcher.setFuture(QtConcurrent::run(std::move(work)));
        waitFor(watcher);
        leave();
        return watcher.future().takeResult();
    }

    // True while a call runs.
    bool busy() const { return m_running > 0; }
    // Waits (painting) until no call runs; for tests and for closing the window.
    void waitIdle();

signals:
    void idle();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void enter();
    void leave();
    void waitFor(QFutureWatcherBase &watcher);

    int m_running = 0;
};

} // namespace views
