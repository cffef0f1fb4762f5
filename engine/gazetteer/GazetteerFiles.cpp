#include "GazetteerFiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace Engine {

namespace {

QString programDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QString shippedFile()
{
    const QString dir = programDir();
    const QStringList candidates{dir + QStringLiteral("/../share/orvane/gazetteer.bin"), dir + QStringLiteral("/gazetteer.bin")};
    for (const QString &c : candidates)
        if (QFileInfo(c).isFile())
            return QFileInfo(c).absoluteFilePath();
    return QFileInfo(candidates.front()).absoluteFilePath();
}

} // namespace

GazetteerFiles GazetteerFiles::defaults()
{
    return {shippedFile(), QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Orvane/gazetteer.bin")};
}

} // namespace Engine
