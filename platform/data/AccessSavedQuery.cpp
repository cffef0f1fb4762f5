#include "AccessSavedQuery.h"

#include "AccessExpression.h"

#include <QHash>
#include <algorithm>
#include <stdexcept>
#include <mdbtools.h>

namespace {

// What the rows of MSysQueries hold, by their Attribute.
enum Attribute {
    Kind = 0, Parameter = 2, Options = 3, ExternalDatabase = 4, Input = AccessSavedQuery::InputAttribute, Column = 6, Join = 7,
    Where = 8, GroupBy = 9, Having = 10, OrderBy = 11, End = 255
};

// Texts match without case, as Access compares them.
bool isText(int mdbType)
{
    return mdbType == MDB_TEXT || mdbType == MDB_MEMO;
}

// The kind of join in a join row's flag.
constexpr int InnerJoin = 1;

// Bits of the options row.
enum Option { AllColumns = 0x01, Distinct = 0x02, OwnerAccess = 0x04, DistinctRow = 0x08, Top = 0x10, Percent = 0x20 };

using Unsupported = AccessExpression::Unsupported;

} // namespace

AccessSavedQuery::AccessSavedQuery(const QString &name, const QList<Part> &parts) : m_name(name)
{
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
            if (m_inputs.size() == 2)
                throw Unsupported(QStringLiteral("reads from more than two tables"));
            m_inputs.append({p.name1, p.name2});
            break;
        case Column: m_outputs.append({p.expression, p.name1}); break;
        case Join:
            if (p.flag.value_or(0) != InnerJoin)
                throw Unsupported(QStringLiteral("joins tables by an outer join"));
            if (!m_join.isEmpty())
                throw Unsupported(QStringLiteral("joins more than two tables"));
            m_join = p.expression;
            break;
        case Where: m_where = p.expression; break;
        case GroupBy: m_groupBy.append(p.expression); break;
        case Having: m_having = p.expression; break;
        case OrderBy:
            if (!p.name1.isEmpty() && p.name1.compare(QLatin1String("D"), Qt::CaseInsensitive) != 0)
                throw Unsupported(QStringLiteral("orders rows in a way not read here (\"%1\")").arg(p.name1));
            m_order.append({p.expression, !p.name1.isEmpty()});
            break;
        default: throw Unsupported(QStringLiteral("holds a part (%1) that is not read here").arg(p.attribute));
        }
    }
    if (m_inputs.isEmpty())
        throw Unsupported(QStringLiteral("reads from no table"));
    if (m_inputs.size() == 2 && m_join.isEmpty())
        throw Unsupported(QStringLiteral("reads from two tables without joining them"));
    if (m_inputs.size() == 1 && !m_join.isEmpty())
        throw Unsupported(QStringLiteral("joins a table it does not read"));
    // DISTINCTROW only tells rows of several tables apart; over one table it keeps every row.
}

namespace {

QByteArray numberText(const AccessExpression &e, double v)
{
    return e.total() == AccessExpression::Total::Count ? QByteArray::number(qint64(v)) : QByteArray::number(v, 'g', 17);
}

} // namespace

// The kept positions of items whose order keys are given: ORDER BY, then TOP n.
std::vector<size_t> AccessSavedQuery::ordered(const std::vector<std::vector<AccessExpression::Value>> &keys) const
{
    std::vector<size_t> order(keys.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto cmp = [&](size_t a, size_t b) {
        for (int k = 0; k < m_order.size(); ++k) {
            const int c = AccessExpression::compare(keys[a][size_t(k)], keys[b][size_t(k)]);
            if (c != 0)
                return m_order[k].descending ? c > 0 : c < 0;
        }
        return false;
    };
    if (!m_order.isEmpty())
        std::stable_sort(order.begin(), order.end(), cmp);
    if (m_top >= 0 && size_t(m_top) < order.size()) {
        // With an order, TOP n keeps the items tied with the n-th as well, as Access does.
        size_t keep = size_t(m_top);
        while (!m_order.isEmpty() && keep > 0 && keep < order.size() && !cmp(order[keep - 1], order[keep]))
            ++keep;
        order.resize(keep);
    }
    return order;
}

QStringList AccessSavedQuery::sources() const
{
    QStringList names;
    for (const InputTable &i : m_inputs)
        names << i.name;
    return names;
}

AccessSavedQuery::Result AccessSavedQuery::run(const QList<AccessColumn> &sourceColumns, std::vector<AccessRow> rows) const
{
    return run({{sourceColumns, std::move(rows)}});
}

AccessSavedQuery::Result AccessSavedQuery::run(std::vector<Source> sources) const
{
    if (sources.size() != size_t(m_inputs.size()))
        throw std::logic_error("a saved query is run over one source per table it reads");
    // The columns of all inputs side by side; a name both have stands as "Table.Column", as in Access.
    QList<AccessColumn> sourceColumns;
    QList<int> inputOf;
    for (size_t s = 0; s < sources.size(); ++s)
        for (const AccessColumn &c : sources[s].columns) {
            sourceColumns.append(c);
            inputOf.append(int(s));
        }
    QStringList originalNames;
    for (const AccessColumn &c : sourceColumns)
        originalNames << c.name;
    const auto shownName = [&](int i) { return m_inputs[inputOf[i]].alias.isEmpty() ? m_inputs[inputOf[i]].name : m_inputs[inputOf[i]].alias; };
    const auto matches = [](const InputTable &in, const QString &qualifier) {
        return qualifier.compare(in.alias.isEmpty() ? in.name : in.alias, Qt::CaseInsensitive) == 0
            || qualifier.compare(in.name, Qt::CaseInsensitive) == 0;
    };
    const AccessExpression::Resolver resolve = [&](const QString &qualifier, const QString &column) {
        int found = -1;
        for (int i = 0; i < sourceColumns.size(); ++i) {
            if (originalNames[i].compare(column, Qt::CaseInsensitive) != 0
                || (!qualifier.isEmpty() && !matches(m_inputs[inputOf[i]], qualifier)))
                continue;
            if (found >= 0)
                throw Unsupported(QStringLiteral("names the column [%1] of both tables without saying which").arg(column));
            found = i;
        }
        return found;
    };
    std::vector<AccessRow> rows;
    if (sources.size() == 1) {
        rows = std::move(sources.front().rows);
    } else {
        const AccessExpression on(m_join, sourceColumns, resolve);
        // Pairs of equal columns, one of each table, are matched through a hash of the right rows.
        const int leftWidth = int(sources[0].columns.size());
        QList<QPair<int, int>> pairs = on.equatedColumns();
        bool acrossTables = !pairs.isEmpty();
        for (auto &[l, r] : pairs) {
            acrossTables = acrossTables && inputOf[l] != inputOf[r];
            if (inputOf[l] == 1)
                std::swap(l, r);
        }
        if (!acrossTables)
            throw Unsupported(QStringLiteral("joins tables other than on equal columns"));
        const auto keyOf = [&](const AccessRow &row, bool left) -> std::optional<QString> {
            QString key;
            for (const auto &[l, r] : pairs) {
                const auto &cell = left ? row[size_t(l)] : row[size_t(r - leftWidth)];
                if (!cell)
                    return std::nullopt;   // Null matches nothing
                const bool text = isText(sourceColumns[left ? l : r].mdbType);
                key += (text ? QString::fromUtf8(*cell).toCaseFolded() : QString::number(cell->toDouble(), 'g', 17))
                    + QChar(0);
            }
            return key;
        };
        QHash<QString, std::vector<size_t>> rightRows;
        for (size_t i = 0; i < sources[1].rows.size(); ++i)
            if (const auto key = keyOf(sources[1].rows[i], false))
                rightRows[*key].push_back(i);
        for (const AccessRow &left : sources[0].rows) {
            const auto key = keyOf(left, true);
            if (!key)
                continue;
            const auto matching = rightRows.constFind(*key);
            if (matching == rightRows.constEnd())
                continue;
            for (size_t i : *matching) {
                AccessRow both = left;
                both.insert(both.end(), sources[1].rows[i].begin(), sources[1].rows[i].end());
                rows.push_back(std::move(both));
            }
        }
        for (int i = 0; i < sourceColumns.size(); ++i)
            for (int j = 0; j < sourceColumns.size(); ++j)
                if (inputOf[i] != inputOf[j] && originalNames[i].compare(originalNames[j], Qt::CaseInsensitive) == 0) {
                    sourceColumns[i].name = shownName(i) + QLatin1Char('.') + originalNames[i];
                    break;
                }
    }
    const std::function<AccessExpression(const QString &)> compile = [&](const QString &text) {
        return AccessExpression(text, sourceColumns, resolve);
    };

    Result result;
    std::vector<AccessExpression> outputs;
    if (m_allColumns)
        for (int i = 0; i < sourceColumns.size(); ++i) {
            outputs.push_back(compile(QStringLiteral("[%1].[%2]").arg(shownName(i), originalNames[i])));
            result.columns.append(sourceColumns[i]);
            result.computed.append(false);
        }
    bool grouped = !m_groupBy.isEmpty() || !m_having.isEmpty();
    int unnamed = 1000;   // Access names computed columns without a name Expr1000, Expr1001, ...
    for (const Output &o : m_outputs) {
        AccessExpression e = compile(o.expression);
        const QString name = o.alias.isEmpty() ? QStringLiteral("Expr%1").arg(unnamed) : o.alias;
        grouped = grouped || e.hasTotals();
        if (e.columnIndex() >= 0) {
            AccessColumn c = sourceColumns[e.columnIndex()];
            if (!o.alias.isEmpty())
                c.name = o.alias;
            result.columns.append(c);
        } else if (e.totalColumn() >= 0) {
            AccessColumn c = sourceColumns[e.totalColumn()];   // Min, Max, First, Last keep the column's type
            c.name = name;
            c.autoNumber = false;
            result.columns.append(c);
        } else if (e.total() == AccessExpression::Total::Count) {
            result.columns.append({name, QStringLiteral("Long Integer"), MDB_LONGINT, 4, false});
        } else {
            if (e.type() != AccessExpression::Type::Number || !e.isDouble())
                throw Unsupported(QStringLiteral("computes the column %1, whose type is not known here")
                                      .arg(o.alias.isEmpty() ? o.expression : o.alias));
            result.columns.append({name, QStringLiteral("Double"), MDB_DOUBLE, 8, false});
        }
        if (e.columnIndex() < 0 && o.alias.isEmpty())
            ++unnamed;
        result.computed.append(e.columnIndex() < 0);
        outputs.push_back(std::move(e));
    }
    if (outputs.empty())
        throw Unsupported(QStringLiteral("selects no columns"));

    if (!m_where.isEmpty()) {
        const AccessExpression where = compile(m_where);
        if (where.hasTotals())
            throw Unsupported(QStringLiteral("uses a total in WHERE"));
        std::erase_if(rows, [&](const AccessRow &r) { return !where.isTrue(r); });
    }
    for (const Order &o : m_order)
        grouped = grouped || compile(o.expression).hasTotals();
    if (grouped) {
        if (m_allColumns)
            throw Unsupported(QStringLiteral("groups rows and selects all columns (*)"));
        return runGrouped(outputs, std::move(result), compile, sourceColumns, rows);
    }

    std::vector<AccessExpression> keys;
    for (const Order &o : m_order)
        keys.push_back(compile(o.expression));
    std::vector<std::vector<AccessExpression::Value>> values(rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        for (const AccessExpression &k : keys)
            values[r].push_back(k.evaluate(rows[r]));

    const std::vector<size_t> kept = ordered(values);
    result.rows.reserve(kept.size());
    for (size_t i : kept) {
        const AccessRow &r = rows[i];
        AccessRow out;
        out.reserve(outputs.size());
        for (const AccessExpression &e : outputs) {
            const int c = e.columnIndex();
            if (c >= 0) {
                out.push_back(r[size_t(c)]);
                continue;
            }
            const AccessExpression::Value v = e.evaluate(r);
            out.push_back(v.kind == AccessExpression::Value::Kind::Null ? std::nullopt : std::optional(numberText(e, v.number)));
        }
        result.rows.push_back(std::move(out));
    }
    return result;
}

AccessSavedQuery::Result AccessSavedQuery::runGrouped(const std::vector<AccessExpression> &outputs, Result result,
                                                      const std::function<AccessExpression(const QString &)> &compile,
                                                      const QList<AccessColumn> &sourceColumns,
                                                      const std::vector<AccessRow> &rows) const
{
    using Group = AccessExpression::Group;
    std::vector<AccessExpression> groupKeys;
    QList<int> groupColumns;
    for (const QString &g : m_groupBy) {
        AccessExpression k = compile(g);
        if (k.hasTotals())
            throw Unsupported(QStringLiteral("groups by a total"));
        if (k.columnIndex() >= 0)
            groupColumns.append(k.columnIndex());
        groupKeys.push_back(std::move(k));
    }
    std::optional<AccessExpression> having;
    if (!m_having.isEmpty())
        having = compile(m_having);
    std::vector<AccessExpression> orderKeys;
    for (const Order &o : m_order)
        orderKeys.push_back(compile(o.expression));

    // A column read outside a total must be grouped by, or a group would have no one value of it.
    std::vector<const AccessExpression *> used;
    for (const AccessExpression &e : outputs)
        used.push_back(&e);
    for (const AccessExpression &e : orderKeys)
        used.push_back(&e);
    if (having)
        used.push_back(&*having);
    for (const AccessExpression *e : used)
        for (int c : e->columnsOutsideTotals())
            if (!groupColumns.contains(c))
                throw Unsupported(QStringLiteral("uses the column [%1] without grouping by it or totalling it")
                                      .arg(sourceColumns[c].name));

    // Access lists the groups in ascending order of the grouped values; equal texts differing
    // only in case fall into one group, shown as its first row has it.
    std::vector<Group> groups;
    if (groupKeys.empty()) {
        groups.emplace_back();
        for (const AccessRow &r : rows)
            groups.back().push_back(&r);
    } else {
        std::vector<std::vector<AccessExpression::Value>> keys(rows.size());
        for (size_t r = 0; r < rows.size(); ++r)
            for (const AccessExpression &k : groupKeys)
                keys[r].push_back(k.evaluate(rows[r]));
        const auto cmp = [&](size_t a, size_t b) {
            for (size_t k = 0; k < groupKeys.size(); ++k)
                if (const int c = AccessExpression::compare(keys[a][k], keys[b][k]); c != 0)
                    return c;
            return 0;
        };
        std::vector<size_t> order(rows.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return cmp(a, b) < 0; });
        for (size_t i = 0; i < order.size(); ++i) {
            if (i == 0 || cmp(order[i - 1], order[i]) != 0)
                groups.emplace_back();
            groups.back().push_back(&rows[order[i]]);
        }
    }
    if (having)
        std::erase_if(groups, [&](const Group &g) { return !having->isTrue(g); });

    std::vector<std::vector<AccessExpression::Value>> values(groups.size());
    for (size_t g = 0; g < groups.size(); ++g)
        for (const AccessExpression &k : orderKeys)
            values[g].push_back(k.evaluate(groups[g]));
    const std::vector<size_t> kept = ordered(values);

    result.computed = QList<bool>(result.columns.size(), true);   // a group stands for no one row of the source
    result.rows.reserve(kept.size());
    for (size_t g : kept) {
        const Group &group = groups[g];
        AccessRow out;
        out.reserve(outputs.size());
        for (const AccessExpression &e : outputs) {
            if (e.columnIndex() >= 0) {
                out.push_back((*group.front())[size_t(e.columnIndex())]);
            } else if (e.totalColumn() >= 0) {
                const AccessRow *picked = e.pickedRow(group);
                out.push_back(picked ? (*picked)[size_t(e.totalColumn())] : std::nullopt);
            } else {
                const AccessExpression::Value v = e.evaluate(group);
                out.push_back(v.kind == AccessExpression::Value::Kind::Null ? std::nullopt
                                                                            : std::optional(numberText(e, v.number)));
            }
        }
        result.rows.push_back(std::move(out));
    }
    return result;
}
