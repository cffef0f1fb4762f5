#pragma once

#include "BatchOptions.h"
#include "StopSignal.h"

#include <BatchGeocodeRun.h>

#include <ColumnDef.h>

class Connection;

// orvane-batch: the program's batch run over a database without the window. Opens the
// database, takes the mapping from the options and the per-user store, checks it against the
// table before anything is written, creates the map and runs the shared batch loop.
class TBatchCommand {
public:
    explicit TBatchCommand(BatchOptions options, TStopSignal *stop = nullptr);

    // Throws UsageError when the mapping, the table or a named file is wrong (nothing written),
    // any other exception when the run fails (posts before the failure are kept).
    TBatchCounts Run(IBatchRunView &view);
    // --runs: the database's recorded runs as a table.
    QString RunsText() const;
    // --undo [N]: puts back what the run overwrote; returns the summary. Throws DataError.
    QString Undo() const;

    // Each role's column from --map or else the store; throws UsageError naming every role left
    // without a column.
    ColumnMapping MappedColumns() const;
    // Throws UsageError naming a mapped column the table lacks or one of the wrong kind.
    static void CheckColumns(const ColumnMapping &mappedColumns, const QList<ColumnDef> &tableColumns,
                             const QString &table);

private:
    QString tableName() const;
    void open(Connection &connection) const;

    BatchOptions m_options;
    TStopSignal *m_stop;
};
