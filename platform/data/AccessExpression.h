#pragma once

#include "AccessColumn.h"

#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

// An expression of a saved Access query, evaluated over the rows of its one source: column
// references, number and text literals, True/False/Null, + - * /, comparisons, Is [Not] Null,
// Not/And/Or, and the totals Sum, Count, Avg, Min, Max, First, Last evaluated over a group of
// rows. Anything else is refused by name rather than guessed at.
class AccessExpression
{
public:
    // What the expression holds that cannot be run here, in words ("calls the function Sum").
    class Unsupported : public std::runtime_error
    {
    public:
        explicit Unsupported(const QString &what);
        QString description() const { return QString::fromUtf8(what()); }
    };

    enum class Type { Number, Text, Date, Logical, Null, Other };

    struct Value
    {
        enum class Kind { Null, Number, Text, Logical } kind = Kind::Null;
        double number = 0.0;
        QString text;
        bool logical = false;
    };

    enum class Total { None, Sum, Count, Avg, Min, Max, First, Last };
    using Group = std::vector<const AccessRow *>;

    // Finds a referenced column ("[Asset Items].[Cost]" gives qualifier and name); -1 when unknown.
    using Resolver = std::function<int(const QString &qualifier, const QString &name)>;

    AccessExpression(const QString &text, const QList<AccessColumn> &columns, const Resolver &resolve);
    ~AccessExpression();
    AccessExpression(AccessExpression &&) noexcept;
    AccessExpression &operator=(AccessExpression &&) noexcept;

    Type type() const;
    bool isDouble() const;        // a number computed in double precision, as Access does with a Double operand
    int columnIndex() const;      // the column when the expression is a bare reference, else -1
    const QString &text() const { return m_text; }

    Total total() const;                   // the total the whole expression is, else None
    int totalColumn() const;               // the column a whole Min, Max, First or Last picks from, else -1
    bool hasTotals() const;
    QList<QPair<int, int>> equatedColumns() const;   // "[a] = [b] And [c] = [d]": the column pairs, else none
    QList<int> columnsOutsideTotals() const;

    Value evaluate(const AccessRow &row) const;   // throws Unsupported on a division by zero
    bool isTrue(const AccessRow &row) const;      // for WHERE: Null and False both drop the row

    // Over a group: columns outside totals are read from its first row (they are grouped by).
    Value evaluate(const Group &group) const;
    bool isTrue(const Group &group) const;        // for HAVING
    const AccessRow *pickedRow(const Group &group) const;   // a whole Min, Max, First, Last: its row; nullptr if all Null

    static int compare(const Value &a, const Value &b);   // ordering: Null first, text without case

    struct Node;

private:
    QString m_text;
    std::unique_ptr<Node> m_root;
};
