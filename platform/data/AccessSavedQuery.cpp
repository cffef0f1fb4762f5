#include "AccessSavedQuery.h"

#include "AccessExpression.h"

#include <algorithm>
#include <mdbtools.h>

namespace {

// What the rows of MSysQueries hold, by their Attribute.
enum Attribute {
    Kind = 0, Parameter = 2, Options = 3, ExternalDatabase = 4, Input = AccessSavedQuery::InputAttribute, Column = 6, Join = 7,
    Where = 8, GroupBy = 9, Having = 10, OrderBy = 11, End = 255
};

// Bits of the options row.
enum Option { AllColumns = 0x01, Distinct = 0x02, OwnerAccess = 0x04, DistinctRow = 0x08, Top = 0x10, Percent = 0x20 };

using Unsupported = AccessExpression::Unsupported;

} // namespace

AccessSavedQuery::AccessSavedQuery(const QString &name, const QList<Part> &parts) : m_name(name)
{
    int inputs = 0;
    for (const Part &p : parts) {
        switch (p.attribute) {
        case Kind:
        case End: break;
        case Parameter: throw Unsupported(QStringLiteral("asks for parameters"));
        case Options: {
            const int flags = p.flag.value_or(0);
            if (flags & Distinct)
                throw Unsupported(QStringLiteral("drops repeated rows (DISTINCT)"));
            if (flags & Percent)
                throw Unsupported(QStringLiteral("keeps a percentage of the rows (TOP n PERCENT)"));
            if (flags & ~(AllColumns | OwnerAccess | DistinctRow | Top))
                throw Unsupported(QStringLiteral("has query options (%1) that are not read here").arg(flags));
            m_allColumns = flags & AllColumns;
            if (flags & Top) {
                bool ok = false;
                m_top = p.name1.toInt(&ok);
                if (!ok || m_top < 0)
                    throw Unsupported(QStringLiteral("keeps the TOP \"%1\" rows").arg(p.name1));
            }
            break;
        }
        case ExternalDatabase: throw Unsupported(QStringLiteral("reads from another database file"));
        case Input:
            if (!p.expression.isEmpty())
                throw Unsupported(QStringLiteral("reads from a subquery"));
            if (++inputs > 1)
                throw Unsupported(QStringLiteral("reads from more than one table"));
            m_source = p.name1;
            m_alias = p.name2;
            break;
        case Column: m_outputs.append({p.expression, p.name1}); break;
        case Join: throw Unsupported(QStringLiteral("joins tables"));
        case Where: m_where = p.expression; break;
        case GroupBy: throw Unsupported(QStringLiteral("groups rows (GROUP BY)"));
        case Having: throw Unsupported(QStringLiteral("groups rows (HAVING)"));
        case OrderBy:
            if (!p.name1.isEmpty() && p.name1.compare(QLatin1String("D"), Qt::CaseInsensitive) != 0)
                throw Unsupported(QStringLiteral("orders rows in a way not read here (\"%1\")").arg(p.name1));
            m_order.append({p.expression, !p.name1.isEmpty()});
            break;
        default: throw Unsupported(QStringLiteral("holds a part (%1) that is not read here").arg(p.attribute));
        }
    }
    if (m_source.isEmpty())
        throw Unsupported(QStringLiteral("reads from no table"));
    // DISTINCTROW only tells rows of several tables apart; over one table it keeps every row.
}

AccessSavedQuery::Result AccessSavedQuery::run(const QList<AccessColumn> &sourceColumns, std::vector<AccessRow> rows) const
{
    const AccessExpression::Resolver resolve = [&](const QString &qualifier, const QString &column) {
        if (!qualifier.isEmpty() && qualifier.compare(m_source, Qt::CaseInsensitive) != 0
            && qualifier.compare(m_alias, Qt::CaseInsensitive) != 0)
            return -1;
        for (int i = 0; i < sourceColumns.size(); ++i)
            if (sourceColumns[i].name.compare(column, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    const auto compile = [&](const QString &text) { return AccessExpression(text, sourceColumns, resolve); };

    Result result;
    std::vector<AccessExpression> outputs;
    if (m_allColumns)
        for (int i = 0; i < sourceColumns.size(); ++i) {
            outputs.push_back(compile(QLatin1Char('[') + sourceColumns[i].name + QLatin1Char(']')));
            result.columns.append(sourceColumns[i]);
            result.computed.append(false);
        }
    int unnamed = 1000;   // Access names computed columns without a name Expr1000, Expr1001, ...
    for (const Output &o : m_outputs) {
        AccessExpression e = compile(o.expression);
        if (e.columnIndex() >= 0) {
            AccessColumn c = sourceColumns[e.columnIndex()];
            if (!o.alias.isEmpty())
                c.name = o.alias;
            result.columns.append(c);
            result.computed.append(false);
        } else {
            if (e.type() != AccessExpression::Type::Number || !e.isDouble())
                throw Unsupported(QStringLiteral("computes the column %1, whose type is not known here")
                                      .arg(o.alias.isEmpty() ? o.expression : o.alias));
            result.columns.append({o.alias.isEmpty() ? QStringLiteral("Expr%1").arg(unnamed++) : o.alias,
                                   QStringLiteral("Double"), MDB_DOUBLE, 8, false});
            result.computed.append(true);
        }
        outputs.push_back(std::move(e));
    }
    if (outputs.empty())
        throw Unsupported(QStringLiteral("selects no columns"));

    if (!m_where.isEmpty()) {
        const AccessExpression where = compile(m_where);
        std::erase_if(rows, [&](const AccessRow &r) { return !where.isTrue(r); });
    }
    if (!m_order.isEmpty()) {
        std::vector<AccessExpression> keys;
        for (const Order &o : m_order)
            keys.push_back(compile(o.expression));
        std::vector<std::vector<AccessExpression::Value>> values(rows.size());
        for (size_t r = 0; r < rows.size(); ++r)
            for (const AccessExpression &k : keys)
                values[r].push_back(k.evaluate(rows[r]));
        std::vector<size_t> order(rows.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        const auto cmp = [&](size_t a, size_t b) {
            for (int k = 0; k < m_order.size(); ++k) {
                const int c = AccessExpression::compare(values[a][size_t(k)], values[b][size_t(k)]);
                if (c != 0)
                    return m_order[k].descending ? c > 0 : c < 0;
            }
            return false;
        };
        std::stable_sort(order.begin(), order.end(), cmp);
        // TOP n keeps the rows tied with the n-th as well, as Access does.
        size_t keep = order.size();
        if (m_top >= 0 && size_t(m_top) < order.size()) {
            keep = size_t(m_top);
            while (keep > 0 && keep < order.size() && !cmp(order[keep - 1], order[keep]))
                ++keep;
        }
        std::vector<AccessRow> sorted;
        sorted.reserve(keep);
        for (size_t i = 0; i < keep; ++i)
            sorted.push_back(std::move(rows[order[i]]));
        rows = std::move(sorted);
    } else if (m_top >= 0 && size_t(m_top) < rows.size()) {
        rows.resize(size_t(m_top));
    }

    result.rows.reserve(rows.size());
    for (const AccessRow &r : rows) {
        AccessRow out;
        out.reserve(outputs.size());
        for (size_t i = 0; i < outputs.size(); ++i) {
            const int c = outputs[i].columnIndex();
            if (c >= 0) {
                out.push_back(r[size_t(c)]);
                continue;
            }
            const AccessExpression::Value v = outputs[i].evaluate(r);
            out.push_back(v.kind == AccessExpression::Value::Kind::Null ? std::nullopt
                                                                        : std::optional(QByteArray::number(v.number, 'g', 17)));
        }
        result.rows.push_back(std::move(out));
    }
    return result;
}
