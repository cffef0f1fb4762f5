#pragma once

#include "AccessColumn.h"

#include <QList>
#include <QString>
#include <optional>

// A saved select query of an Access file as its rows in MSysQueries define it, run over the rows
// of its one source (a table or another saved query): all or chosen columns, computed numbers,
// WHERE, ORDER BY, TOP n. Joins, totals, parameters and the like are refused by name
// (AccessExpression::Unsupported), never approximated.
class AccessSavedQuery
{
public:
    struct Part   // one MSysQueries row
    {
        int attribute = 0;
        QString name1, name2, expression;
        std::optional<int> flag;
    };
    static constexpr int InputAttribute = 5;   // the part naming a table read

    struct Result
    {
        QList<AccessColumn> columns;
        QList<bool> computed;   // per column: not a column of the source
        std::vector<AccessRow> rows;
    };

    AccessSavedQuery(const QString &name, const QList<Part> &parts);   // throws AccessExpression::Unsupported

    const QString &name() const { return m_name; }
    const QString &source() const { return m_source; }   // the table or saved query it reads

    Result run(const QList<AccessColumn> &sourceColumns, std::vector<AccessRow> rows) const;   // throws Unsupported

private:
    struct Output
    {
        QString expression, alias;
    };
    struct Order
    {
        QString expression;
        bool descending = false;
    };

    QString m_name;
    QString m_source;
    QString m_alias;
    bool m_allColumns = false;
    int m_top = -1;
    QList<Output> m_outputs;
    QString m_where;
    QList<Order> m_order;
};
