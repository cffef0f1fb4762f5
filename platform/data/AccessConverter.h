#pragma once

#include <QList>
#include <QString>
#include <functional>

// Copies every table of an Access file into a new SQLite database: column types mapped so each
// column keeps its kind (text, yes/no, floating point, other), primary keys and all rows kept.
class AccessConverter
{
public:
    struct TableCount
    {
        QString table;
        qint64 rows = 0;
    };
    using Progress = std::function<void(const QString &table, qint64 rowsCopied)>;

    // Throws DataError; an existing output file is never touched, a failed run leaves none.
    static QList<TableCount> convert(const QString &accessFile, const QString &sqliteFile,
                                     const Progress &progress = {});
    static QString sqliteType(const QString &accessType, int size);
};
