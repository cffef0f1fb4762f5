#pragma once

#include <memory>
#include <mdbtools.h>

// mdbtools' handles, each freed by its own function however the code that holds it ends.
struct MdbClose
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
using MdbDatabase = std::unique_ptr<MdbHandle, MdbClose>;

struct MdbFreeTableDef
{
    void operator()(MdbTableDef *def) const { mdb_free_tabledef(def); }
};
using MdbTable = std::unique_ptr<MdbTableDef, MdbFreeTableDef>;

struct MdbFreeBlob
{
    void operator()(void *blob) const { g_free(blob); }
};
using MdbBlob = std::unique_ptr<void, MdbFreeBlob>;
