#include "IconData.h"
#include "OrvaneApplication.h"
#include "OrvaneUnit.h"

#include <MapEngineClasses.h>
#include <ParameterUnit.h>

#include <QLocale>

int main(int argc, char *argv[])
{
    OrvaneApplication app(argc, argv);
    OrvaneApplication::SetTitle(QStringLiteral("Orvane.exe"));
    OrvaneApplication::LoadTranslations(QLocale::system());
    RegisterMapEngineClasses();

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
