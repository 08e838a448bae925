#pragma once

// Shared pieces of the shell's Qt tests: a started application on a settings file of its
// own, and a way to answer the modal dialog a command opens.

#include "shell/cmainframe.h"
#include "shell/czemapp.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace shelltest {

inline QString moduleDir()
{
    return QStringLiteral(RAVELIND_MODULE_DIR);
}

// A started application whose settings live in a temporary folder.
struct StartedApp
{
    QTemporaryDir dir;
    std::unique_ptr<shell::CZemApp> app;
    int startResult = -1;

    explicit StartedApp(const std::function<void(const QString &registryFile)> &prepare = {})
    {
        const QString file = dir.filePath(QStringLiteral("registry.reg"));
        if (prepare)
            prepare(file);
        shell::StartOptions options;
        options.moduleDirs = {moduleDir()};
        options.registryFile = file.toStdString();
        options.splash = false;
        app = std::make_unique<shell::CZemApp>(std::move(options));
        startResult = app->start();
    }
    shell::CMainFrame &frame() { return *app->mainFrame(); }
};

// Runs `answer` on the next modal widget that opens (a dialog or message box a command
// shows), from the event loop that the modal widget runs.
inline void answerNextModal(std::function<void(QWidget *)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

// Runs `answer` on the next modal widget of type T, leaving other modal widgets alone.
template<class T> void answerNext(std::function<void(T *)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
        if (auto *modal = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

} // namespace shelltest
