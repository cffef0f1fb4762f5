#include "GazetteerCommand.h"
#include "StartupEnvironment.h"

#include <QCoreApplication>

#include <csignal>

namespace {

// Set by SIGINT and SIGTERM: an import stops at its next step and leaves the gazetteer as it was.
std::atomic<bool> stopRequested{false};

void requestStop(int)
{
    stopRequested = true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTextStream out(stdout), err(stderr);
    return GazetteerCommand(out, err, GazetteerFilesFromEnvironment(), &stopRequested).run(app.arguments().mid(1));
}
