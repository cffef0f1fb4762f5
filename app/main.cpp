#include "IconData.h"
#include "OrvaneApplication.h"
#include "OrvaneUnit.h"

#include <MapEngineClasses.h>
#include <MapWindow.h>
#include <ParameterUnit.h>
#include <StartupEnvironment.h>

#include <QLocale>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Any other first argument is the settings file.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("orvane " ORVANE_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: orvane [SETTINGS-FILE]\n"
                   "       orvane --help | --version\n"
                   "Opens a customer database, chosen in a file dialog, to geocode its addresses.\n"
                   "SETTINGS-FILE holds the program's parameters and is written back on exit.\n",
                   stdout);
        return 0;
    }
    OrvaneApplication app(argc, argv);
    OrvaneApplication::SetTitle(QStringLiteral("Orvane.exe"));
    OrvaneApplication::LoadTranslations(QLocale::system());
    // The first argument, when given, is the settings file; it is written back at the end.
    if (const QStringList arguments = QCoreApplication::arguments(); arguments.size() > 1)
        UseParameterFile(arguments[1], true);
    RegisterMapEngineClasses(GazetteerFilesFromEnvironment(), &MapWindow::forMap);

    TIconDataModule iconData;
    TOrvaneForm orvaneForm(iconData);
    if (OrvaneApplication::Terminated())
        return 0;
    orvaneForm.show();
    const int exitCode = app.exec();
    // Writes the settings file back when one was named on the command line.
    ReleaseParameter();
    return exitCode;
}
