#pragma once

#include "ColumnDef.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <functional>
#include <memory>
#include <string_view>

// One column of a prepared query as the provider describes it.
struct QueryColumn
{
    QString name;
    ColumnKind kind = ColumnKind::Other;
    QString declaredType;   // empty for expressions
    QString baseTable;      // table the column comes from, empty for expressions
    QString baseColumn;
    bool hidden = false;    // added by the provider to locate rows (rowid), not a query column
};

// How rows of one base table of a query are found again: the cursor columns holding its key.
struct TableKey
{
    QString table;
    QStringList keyColumns;     // key column names in the table ("rowid" for rowid tables)
    QList<int> cursorColumns;   // where the key values are in the cursor, same order
};

// Forward-only reader over the rows of a query. Values are valid until the next call of next().
class QueryCursor
{
public:
    virtual ~QueryCursor() = default;
    virtual const QList<QueryColumn> &columns() const = 0;
    virtual const QList<TableKey> &keys() const = 0;
    virtual bool next() = 0;   // throws DataError
    virtual bool isNull(int column) const = 0;
    virtual double floatAt(int column) const = 0;
    virtual qint64 integerAt(int column) const = 0;
    virtual std::string_view utf8At(int column) const = 0;
};

using ColumnValues = QList<QPair<QString, QVariant>>;   // column name -> value (null QVariant = NULL)

// Where a database stands, to tell whether rows read at one mark still hold at another: the rows
// this connection has changed and the commits of other connections. Unknown (-1) where a provider
// cannot tell.
struct ChangeMark
{
    qint64 own = -1;
    qint64 others = -1;

    bool known() const { return own >= 0 && others >= 0; }
    // This connection changed exactly one row since 'before', and nobody else committed.
    bool isOneRowAfter(const ChangeMark &before) const
    {
        return known() && before.known() && own == before.own + 1 && others == before.others;
    }
};

// One update of a record the record set keeps as the database holds it afterwards.
struct ReadBackUpdate
{
    QString table;
    ColumnValues set;
    ColumnValues where;
    ColumnValues keyAfter;   // locates the row once updated
    QStringList columns;     // the row's columns to hand back
    ChangeMark rowsReadAt;   // where the database stood when the record set's rows held what it holds
};

struct ReadBackOutcome
{
    bool located = false;   // a row matched; true where that is known only when results are read
    ChangeMark rowsHoldAt;  // where the record set's rows hold what the database holds; unknown when they may not
};

// A database format behind a connection. Writes go through prepared statements with bound
// parameters; 'where' pairs compare null-safely.
class DatabaseProvider
{
public:
    virtual ~DatabaseProvider() = default;
    virtual QStringList tableNames() const = 0;
    // A table or column name as this database's SQL writes it, so that any listed name can be
    // used in a query, one with spaces too. A plain word stays bare: the query text the user sees
    // and edits keeps the name as written.
    virtual QString quotedName(const QString &name) const = 0;
    virtual bool isReadOnly() const = 0;
    // Names this database the same way at every open, whatever path or alias led to it: the
    // canonical file path, or server, port and database name. Empty where nothing is written.
    virtual QString identity() const = 0;
    virtual void checkWritable() const {}   // throws DataError when records cannot be changed here
    virtual std::unique_ptr<QueryCursor> query(const QString &sql) = 0;
    virtual int update(const QString &table, const ColumnValues &set, const ColumnValues &where) = 0;
    // An update whose row the record set then holds as the database does ("Update Resync").
    // The provider posts it the cheapest way it knows and hands the row after the update to
    // 'onRow': at once, or where posts travel in a pipeline, when their results are read (before
    // the transaction's commit ends; never for a post that failed), or not at all where the row
    // then holds exactly what the record set posted.
    virtual ReadBackOutcome updateAndRead(const ReadBackUpdate &update, std::function<void(const QueryCursor &)> onRow);
    virtual ChangeMark changeMark() { return {}; }
    virtual ColumnValues insert(const QString &table, const ColumnValues &values,
                                const QStringList &keyColumns) = 0;   // returns the new row's key
    virtual int remove(const QString &table, const ColumnValues &where) = 0;
    virtual std::unique_ptr<QueryCursor> select(const QString &table, const QStringList &columns,
                                                const ColumnValues &where) = 0;
    virtual void beginTransaction() = 0;
    virtual void commitTransaction() = 0;
    virtual bool inTransaction() const = 0;

protected:
    // Hands 'onRow' the updated row as the database holds it, read by its key after the update.
    void readAfter(const ReadBackUpdate &update, const std::function<void(const QueryCursor &)> &onRow);
};
