#include "StartupEnvironment.h"

#include <QtGlobal>

Engine::GazetteerFiles GazetteerFilesFromEnvironment()
{
    Engine::GazetteerFiles files = Engine::GazetteerFiles::defaults();
    if (const QString shipped = qEnvironmentVariable("ORVANE_GAZETTEER"); !shipped.isEmpty())
        files.shipped = shipped;
    if (const QString user = qEnvironmentVariable("ORVANE_USER_GAZETTEER"); !user.isEmpty())
        files.user = user;
    return files;
}
