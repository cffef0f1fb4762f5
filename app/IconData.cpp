#include "IconData.h"

#include <QDir>

TIconDataModule::TIconDataModule(QObject *owner) : QObject(owner)
{
    // File names start with the image's index, so the sorted listing is the list order.
    const QDir dir(QStringLiteral(":/icons/navigator"));
    for (const QString &name : dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name))
        NavigatorImageList.add(QIcon(dir.filePath(name)));
}
