#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class DatabaseProvider;

// Chooses the database format of a file from its first bytes. New formats are added here only.
class ProviderRegistry
{
public:
    static std::unique_ptr<DatabaseProvider> openFile(const QString &fileName);   // throws DataError
};
