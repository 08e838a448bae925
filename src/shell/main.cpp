// ravelind: the desktop client.

#include "shell/cmainframe.h"
#include "shell/czemapp.h"

#include <platform/httptransport.h>
#include <views/diff/czemdiffchildframe.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

int main(int argc, char *argv[])
{
    // libcurl's global set-up is not thread-safe: done once, before any worker exists.
    platform::initHttp();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ravelind"));
    QApplication::setApplicationVersion(QStringLiteral(RAVELIND_VERSION));

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption noSplash(
        QStringLiteral("no-splash"),
        QStringLiteral("Start without the splash window and the tip of the day."));
    parser.addOption(noSplash);
    // Opens a comparison window on two local files at start-up: for trying the window and
    // for tests; the compare commands of the file and history windows open the same window.
    QCommandLineOption compareFiles(QStringLiteral("compare"),
                                    QStringLiteral("Compare two local files side by side."),
                                    QStringLiteral("file"));
    compareFiles.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(compareFiles);
    parser.process(app);

    shell::StartOptions options;
    options.splash = !parser.isSet(noSplash);
    shell::CZemApp zem(std::move(options));
    if (const int failure = zem.start())
        return failure;
    const QStringList compared = parser.values(compareFiles);
    if (compared.size() == 2) {
        views::DiffRequest request;
        request.leftPath = compared[0];
        request.rightPath = compared[1];
        request.leftLabel = compared[0];
        request.rightLabel = compared[1];
        request.title = QFileInfo(compared[0]).fileName() + QStringLiteral(" - ") +
                        QFileInfo(compared[1]).fileName();
        zem.mainFrame()->openDiffWindow(request);
    }
    const int rc = QApplication::exec();
    zem.exit();
    return rc;
}
