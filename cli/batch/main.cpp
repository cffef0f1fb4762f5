// orvane-batch DATABASE [options]: geocodes every record of a customer table from the shell.
#include "BatchCommand.h"
#include "TerminalRunView.h"

#include <MapEngineClasses.h>

#include <ParameterUnit.h>
#include <StartupEnvironment.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace {
int usageError(const char *message)
{
    std::fprintf(stderr, "orvane-batch: %s\nTry orvane-batch --help.\n", message);
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    BatchOptions options;
    try {
        options = BatchOptions::Parse(arguments);
    } catch (const UsageError &e) {
        return usageError(e.what());
    }
    if (options.help) {
        std::fputs(qPrintable(BatchOptions::HelpText()), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("orvane-batch " ORVANE_VERSION);
        return 0;
    }

    // Before the application object: the threads it starts must not take the stop signals.
    TStopSignal stop;

    // Nothing is ever shown, so no display or widget application is needed. The command's own
    // options are not Qt's to read.
    int appArgumentCount = 1;
    QCoreApplication app(appArgumentCount, argv);
    UseParameterFile(options.settingsFile, false);
    RegisterMapEngineClasses(GazetteerFilesFromEnvironment(), MapViewMaker(),
                             options.gazetteerFile.isEmpty() ? QString() : QFileInfo(options.gazetteerFile).absoluteFilePath());

    TTerminalRunView view(stdout, isatty(fileno(stdout)) == 1, &stop);
    try {
        TBatchCommand command(options, &stop);
        if (options.listRuns)
            std::fputs(qPrintable(command.RunsText()), stdout);
        else if (options.undo)
            std::fputs(qPrintable(command.Undo()), stdout);
        else
            command.Run(view);
    } catch (const std::exception &e) {
        if (stop.Received()) {
            std::fprintf(stderr, "orvane-batch: %s\n", qPrintable(stop.Message()));
            return 1;
        }
        if (dynamic_cast<const UsageError *>(&e))
            return usageError(e.what());
        std::fprintf(stderr, "orvane-batch: %s\n", e.what());
        return 1;
    }
    return 0;
}
