#include "DatabaseProvider.h"

// Without a way to tell what the row holds, it is read again after every update.
ReadBackOutcome DatabaseProvider::updateAndRead(const ReadBackUpdate &u, std::function<void(const QueryCursor &)> onRow)
{
    if (update(u.table, u.set, u.where) == 0)
        return {};
    readAfter(u, onRow);
    return {true, {}};
}

void DatabaseProvider::readAfter(const ReadBackUpdate &u, const std::function<void(const QueryCursor &)> &onRow)
{
    const auto cursor = select(u.table, u.columns, u.keyAfter);
    if (cursor->next())
        onRow(*cursor);
}
