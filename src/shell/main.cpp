// ravelind: the desktop client.

#include "shell/cmainframe.h"
#include "shell/czemapp.h"

#include <platform/httptransport.h>

#include <QApplication>
#include <QCommandLineParser>

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
    parser.process(app);

    shell::StartOptions options;
    options.splash = !parser.isSet(noSplash);
    shell::CZemApp zem(std::move(options));
    if (const int failure = zem.start())
        return failure;
    const int rc = QApplication::exec();
    zem.exit();
    return rc;
}
