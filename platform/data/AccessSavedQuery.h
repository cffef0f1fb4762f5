#pragma once

#include "AccessColumn.h"
#include "AccessExpression.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// A saved select query of an Access file as its rows in MSysQueries define it, run over the rows
// of its one source (a table or another saved query): all or chosen columns, computed numbers,
// WHERE, GROUP BY with totals and HAVING, ORDER BY, TOP n; or of two sources joined by an inner
// join. Outer joins, parameters and the like are refused by name (AccessExpression::Unsupported),
// never approximated.
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
    QStringList sources() const;   // the tables or saved queries it reads, one or two

    struct Source
    {
        QList<AccessColumn> columns;
        std::vector<AccessRow> rows;
    };
    Result run(std::vector<Source> sources) const;   // one per sources(); throws Unsupported
    Result run(const QList<AccessColumn> &sourceColumns, std::vector<AccessRow> rows) const;

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

    std::vector<size_t> ordered(const std::vector<std::vector<AccessExpression::Value>> &keys) const;
    Result runGrouped(const std::vector<AccessExpression> &outputs, Result result,
                      const std::function<AccessExpression(const QString &)> &compile,
                      const QList<AccessColumn> &sourceColumns, const std::vector<AccessRow> &rows) const;

    QString m_name;
    struct InputTable
    {
        QString name, alias;
    };

    QList<InputTable> m_inputs;
    QString m_join;   // the condition of the inner join of two inputs
    bool m_allColumns = false;
    int m_top = -1;
    QList<Output> m_outputs;
    QString m_where;
    QStringList m_groupBy;
    QString m_having;
    QList<Order> m_order;
};
