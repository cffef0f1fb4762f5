#pragma once

#include "DatabaseProvider.h"

// Keeps, ahead of the database, what the updates posted through a connection overwrite, so
// that they can be put back. Told of each update before it is sent, and asked to have
// everything it was told on disk before the database commits it.
class PostJournal
{
public:
    virtual ~PostJournal() = default;
    // 'key' locates the row after the update; 'before' holds the values it replaces (as the
    // record set read them), 'after' those it writes, column by column.
    virtual void recordUpdate(const QString &table, const ColumnValues &key, const ColumnValues &before,
                              const ColumnValues &after) = 0;
    virtual void makeDurable() = 0;   // throws DataError; nothing may be committed then
};
