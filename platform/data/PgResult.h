#pragma once

#include <libpq-fe.h>
#include <memory>

// A libpq result, cleared however the code that holds it ends.
struct PgResultClear
{
    void operator()(PGresult *r) const { PQclear(r); }
};
using PgResult = std::unique_ptr<PGresult, PgResultClear>;
