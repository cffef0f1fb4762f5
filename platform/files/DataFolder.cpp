#include "DataFolder.h"

#include <QCoreApplication>
#include <QDir>

QString DataFolder::filePath(const QString &name)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/orvane/") + name);
}
