#include "ProviderRegistry.h"

#include "AccessProvider.h"
#include "DataError.h"
#include "PostgresProvider.h"
#include "SqliteProvider.h"

#include <QFile>
#include <QFileInfo>

namespace {

struct Format
{
    bool (*recognizes)(const QByteArray &firstBytes);
    std::unique_ptr<DatabaseProvider> (*open)(const QString &fileName, const QByteArray &firstBytes);
};

// Formats by their first bytes; a data link file is recognised by the text it holds.
const Format formats[] = {
    {&SqliteProvider::recognizes, &SqliteProvider::open},
    {&AccessProvider::recognizes, &AccessProvider::open},
    {&PostgresProvider::recognizes, &PostgresProvider::open},
};

} // namespace

std::unique_ptr<DatabaseProvider> ProviderRegistry::openFile(const QString &fileName)
{
    if (fileName.isEmpty())
        throw DataError(QStringLiteral("The connection text names no database file (Data Source)."));
    const QFileInfo info(fileName);
    if (!info.exists())
        throw DataError(QStringLiteral("Could not find the database file '%1'.").arg(fileName));
    if (info.isDir())
        throw DataError(QStringLiteral("'%1' is a folder, not a database file.").arg(fileName));
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        throw DataError(QStringLiteral("The database file '%1' cannot be read: %2.").arg(fileName, file.errorString()));
    const QByteArray head = file.read(100);
    file.close();
    if (head.isEmpty())
        throw DataError(QStringLiteral("The database file '%1' is empty.").arg(fileName));
    for (const Format &f : formats)
        if (f.recognizes(head))
            return f.open(info.absoluteFilePath(), head);
    throw DataError(QStringLiteral("The file '%1' has an unrecognized database format.").arg(fileName));
}
