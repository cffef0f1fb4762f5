#pragma once

#include <memory>
#include <sqlite3.h>

// A prepared SQLite statement, finalized however the code that holds it ends.
struct SqliteFinalize
{
    void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
};
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalize>;
