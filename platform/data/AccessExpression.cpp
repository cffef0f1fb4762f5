#include "AccessExpression.h"

#include <mdbtools.h>

using Type = AccessExpression::Type;
using Value = AccessExpression::Value;
using Total = AccessExpression::Total;
using Group = AccessExpression::Group;

struct AccessExpression::Node
{
    enum class Op { Column, Literal, Neg, Not, Add, Sub, Mul, Div, Eq, Ne, Lt, Le, Gt, Ge, IsNull, IsNotNull, And, Or, Total };
    Op op = Op::Literal;
    Type type = Type::Null;
    bool isDouble = false;
    int column = -1;
    int mdbType = 0;
    Total total = Total::None;
    Value literal;
    std::unique_ptr<Node> a, b;
};

using Node = AccessExpression::Node;
using Op = Node::Op;

AccessExpression::Unsupported::Unsupported(const QString &what) : std::runtime_error(what.toStdString()) {}

namespace {

Type typeOfColumn(int mdbType)
{
    switch (mdbType) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC: return Type::Number;
    case MDB_TEXT:
    case MDB_MEMO: return Type::Text;
    case MDB_DATETIME: return Type::Date;
    default: return Type::Other;
    }
}

QString wordsFor(Type t)
{
    switch (t) {
    case Type::Number: return QStringLiteral("a number");
    case Type::Text: return QStringLiteral("a text");
    case Type::Date: return QStringLiteral("a date");
    case Type::Logical: return QStringLiteral("a condition");
    case Type::Null: return QStringLiteral("Null");
    case Type::Other: return QStringLiteral("a binary value");
    }
    return {};
}

bool isLogicalOperand(Type t)
{
    return t == Type::Logical || t == Type::Number || t == Type::Null;
}

class Parser
{
public:
    Parser(const QString &text, const QList<AccessColumn> &columns, const AccessExpression::Resolver &resolve)
        : m_s(text), m_columns(columns), m_resolve(resolve)
    {
    }

    std::unique_ptr<Node> parse()
    {
        auto n = parseOr();
        skipSpace();
        if (m_pos < m_s.size())
            unsupported(QStringLiteral("holds \"%1\", which is not read here").arg(m_s.mid(m_pos).trimmed()));
        return n;
    }

private:
    [[noreturn]] static void unsupported(const QString &what) { throw AccessExpression::Unsupported(what); }

    void skipSpace()
    {
        while (m_pos < m_s.size() && m_s[m_pos].isSpace())
            ++m_pos;
    }
    bool peekChar(QChar c)
    {
        skipSpace();
        return m_pos < m_s.size() && m_s[m_pos] == c;
    }
    bool takeChar(QChar c)
    {
        if (!peekChar(c))
            return false;
        ++m_pos;
        return true;
    }
    bool takeText(const char *t)
    {
        skipSpace();
        const QLatin1String s(t);
        if (!m_s.mid(m_pos, s.size()).startsWith(s))
            return false;
        m_pos += s.size();
        return true;
    }
    static bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }
    QString peekWord()
    {
        skipSpace();
        qsizetype end = m_pos;
        while (end < m_s.size() && isWordChar(m_s[end]))
            ++end;
        return m_s.mid(m_pos, end - m_pos);
    }
    bool takeKeyword(const char *word)
    {
        if (peekWord().compare(QLatin1String(word), Qt::CaseInsensitive) != 0)
            return false;
        m_pos += qsizetype(qstrlen(word));
        return true;
    }
    void refuseOperatorWords()
    {
        const QString w = peekWord();
        for (const char *op : {"Like", "Between", "In", "Mod", "Xor", "Eqv", "Imp"})
            if (w.compare(QLatin1String(op), Qt::CaseInsensitive) == 0)
                unsupported(QStringLiteral("uses the operator %1").arg(QLatin1String(op)));
    }

    static std::unique_ptr<Node> binary(Op op, Type type, std::unique_ptr<Node> a, std::unique_ptr<Node> b)
    {
        auto n = std::make_unique<Node>();
        n->op = op;
        n->type = type;
        n->isDouble = a->isDouble || (b && b->isDouble);
        n->a = std::move(a);
        n->b = std::move(b);
        return n;
    }

    std::unique_ptr<Node> parseOr()
    {
        auto n = parseAnd();
        while (takeKeyword("Or")) {
            auto r = parseAnd();
            checkLogical(*n, *r);
            n = binary(Op::Or, Type::Logical, std::move(n), std::move(r));
        }
        return n;
    }
    std::unique_ptr<Node> parseAnd()
    {
        auto n = parseNot();
        while (takeKeyword("And")) {
            auto r = parseNot();
            checkLogical(*n, *r);
            n = binary(Op::And, Type::Logical, std::move(n), std::move(r));
        }
        return n;
    }
    std::unique_ptr<Node> parseNot()
    {
        if (!takeKeyword("Not"))
            return parseCompare();
        auto a = parseNot();
        checkLogical(*a, *a);
        return binary(Op::Not, Type::Logical, std::move(a), nullptr);
    }
    static void checkLogical(const Node &a, const Node &b)
    {
        if (!isLogicalOperand(a.type) || !isLogicalOperand(b.type))
            unsupported(QStringLiteral("combines %1 with And, Or or Not").arg(wordsFor(isLogicalOperand(a.type) ? b.type : a.type)));
    }

    std::unique_ptr<Node> parseCompare()
    {
        auto n = parseAdd();
        refuseOperatorWords();
        if (takeKeyword("Is")) {
            const bool negated = takeKeyword("Not");
            if (!takeKeyword("Null"))
                unsupported(QStringLiteral("uses Is without Null"));
            // The file reader gives an empty text as Null, so the two cannot be told apart.
            if (n->type == Type::Text)
                unsupported(QStringLiteral("tests a text for Null, which cannot be told from an empty text here"));
            return binary(negated ? Op::IsNotNull : Op::IsNull, Type::Logical, std::move(n), nullptr);
        }
        Op op;
        if (takeText("<>"))
            op = Op::Ne;
        else if (takeText("<="))
            op = Op::Le;
        else if (takeText(">="))
            op = Op::Ge;
        else if (takeText("="))
            op = Op::Eq;
        else if (takeText("<"))
            op = Op::Lt;
        else if (takeText(">"))
            op = Op::Gt;
        else
            return n;
        auto r = parseAdd();
        const Type a = n->type, b = r->type;
        const bool comparable = a == Type::Null || b == Type::Null || (a == b && (a == Type::Number || a == Type::Text));
        if (!comparable)
            unsupported(QStringLiteral("compares %1 with %2").arg(wordsFor(a), wordsFor(b)));
        for (const Node *side : {n.get(), r.get()})
            if (side->op == Op::Literal && side->type == Type::Text && side->literal.text.isEmpty())
                unsupported(QStringLiteral("compares with an empty text, which cannot be told from Null here"));
        return binary(op, Type::Logical, std::move(n), std::move(r));
    }

    std::unique_ptr<Node> parseAdd()
    {
        auto n = parseMul();
        for (;;) {
            if (peekChar(QLatin1Char('&')))
                unsupported(QStringLiteral("joins texts with &"));
            Op op;
            if (takeChar(QLatin1Char('+')))
                op = Op::Add;
            else if (takeChar(QLatin1Char('-')))
                op = Op::Sub;
            else
                return n;
            auto r = parseMul();
            n = arithmetic(op, std::move(n), std::move(r));
        }
    }
    std::unique_ptr<Node> parseMul()
    {
        auto n = parseUnary();
        for (;;) {
            if (peekChar(QLatin1Char('\\')) || peekChar(QLatin1Char('^')))
                unsupported(QStringLiteral("uses the operator %1").arg(m_s[m_pos]));
            refuseOperatorWords();
            Op op;
            if (takeChar(QLatin1Char('*')))
                op = Op::Mul;
            else if (takeChar(QLatin1Char('/')))
                op = Op::Div;
            else
                return n;
            auto r = parseUnary();
            n = arithmetic(op, std::move(n), std::move(r));
        }
    }
    static std::unique_ptr<Node> arithmetic(Op op, std::unique_ptr<Node> a, std::unique_ptr<Node> b)
    {
        for (const Node *side : {a.get(), b.get()}) {
            if (side->type != Type::Number && side->type != Type::Null)
                unsupported(QStringLiteral("computes with %1").arg(wordsFor(side->type)));
            if (side->mdbType == MDB_NUMERIC)
                unsupported(QStringLiteral("computes with Decimal values"));
        }
        return binary(op, Type::Number, std::move(a), std::move(b));
    }
    std::unique_ptr<Node> parseUnary()
    {
        if (takeChar(QLatin1Char('+')))
            return parseUnary();
        if (takeChar(QLatin1Char('-'))) {
            auto a = parseUnary();
            auto zero = std::make_unique<Node>();
            zero->type = Type::Number;
            zero->literal.kind = Value::Kind::Number;
            return arithmetic(Op::Sub, std::move(zero), std::move(a));
        }
        return parsePrimary();
    }

    static Total totalNamed(const QString &word)
    {
        for (const auto &[name, total] : {std::pair{"Sum", Total::Sum}, std::pair{"Count", Total::Count},
                                          std::pair{"Avg", Total::Avg}, std::pair{"Min", Total::Min},
                                          std::pair{"Max", Total::Max}, std::pair{"First", Total::First},
                                          std::pair{"Last", Total::Last}})
            if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return total;
        return Total::None;
    }

    // After "Name(": a total over the rows of a group.
    std::unique_ptr<Node> parseTotal(const QString &function)
    {
        const Total total = totalNamed(function);
        if (total == Total::None)
            unsupported(QStringLiteral("calls the function %1").arg(function));
        if (m_insideTotal)
            unsupported(QStringLiteral("puts a total inside another (%1)").arg(function));
        auto n = std::make_unique<Node>();
        n->op = Op::Total;
        n->total = total;
        if (!(total == Total::Count && takeChar(QLatin1Char('*')))) {
            m_insideTotal = true;
            n->a = parseOr();
            m_insideTotal = false;
        }
        if (!takeChar(QLatin1Char(')')))
            unsupported(QStringLiteral("has an unclosed ("));
        switch (total) {
        case Total::Count:
            n->type = Type::Number;
            n->mdbType = MDB_LONGINT;
            break;
        case Total::Sum:
        case Total::Avg:
            if (n->a->type != Type::Number && n->a->type != Type::Null)
                unsupported(QStringLiteral("totals %1 with %2").arg(wordsFor(n->a->type), function));
            if (n->a->mdbType == MDB_NUMERIC)
                unsupported(QStringLiteral("totals Decimal values"));
            n->type = Type::Number;
            n->isDouble = true;
            break;
        default:
            if (n->a->type == Type::Other)
                unsupported(QStringLiteral("totals %1 with %2").arg(wordsFor(n->a->type), function));
            n->type = n->a->type;
            n->isDouble = n->a->isDouble;
            n->mdbType = n->a->mdbType;
            break;
        }
        return n;
    }

    QString bracketed()
    {
        const qsizetype close = m_s.indexOf(QLatin1Char(']'), m_pos);
        if (close < 0)
            unsupported(QStringLiteral("has an unclosed ["));
        const QString name = m_s.mid(m_pos, close - m_pos);
        m_pos = close + 1;
        return name;
    }
    QString namePart()
    {
        if (takeChar(QLatin1Char('[')))
            return bracketed();
        const QString w = peekWord();
        if (w.isEmpty())
            unsupported(QStringLiteral("holds \"%1\", which is not read here").arg(m_s.mid(m_pos).trimmed()));
        m_pos += w.size();
        return w;
    }

    std::unique_ptr<Node> parsePrimary()
    {
        auto n = std::make_unique<Node>();
        skipSpace();
        if (takeChar(QLatin1Char('('))) {
            n = parseOr();
            if (!takeChar(QLatin1Char(')')))
                unsupported(QStringLiteral("has an unclosed ("));
            return n;
        }
        if (m_pos >= m_s.size())
            unsupported(QStringLiteral("ends where a value is expected"));
        const QChar c = m_s[m_pos];
        if (c == QLatin1Char('#'))
            unsupported(QStringLiteral("compares with a date (#...#)"));
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            ++m_pos;
            QString text;
            for (;;) {
                if (m_pos >= m_s.size())
                    unsupported(QStringLiteral("has an unclosed text"));
                if (m_s[m_pos] == c) {
                    if (m_pos + 1 < m_s.size() && m_s[m_pos + 1] == c) {
                        text += c;
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                text += m_s[m_pos++];
            }
            n->type = Type::Text;
            n->literal = {Value::Kind::Text, 0.0, text, false};
            return n;
        }
        if (c.isDigit() || c == QLatin1Char('.')) {
            qsizetype end = m_pos;
            while (end < m_s.size() && (m_s[end].isDigit() || m_s[end] == QLatin1Char('.')))
                ++end;
            if (end < m_s.size() && (m_s[end] == QLatin1Char('e') || m_s[end] == QLatin1Char('E'))) {
                ++end;
                if (end < m_s.size() && (m_s[end] == QLatin1Char('+') || m_s[end] == QLatin1Char('-')))
                    ++end;
                while (end < m_s.size() && m_s[end].isDigit())
                    ++end;
            }
            const QString number = m_s.mid(m_pos, end - m_pos);
            bool ok = false;
            const double v = number.toDouble(&ok);
            if (!ok)
                unsupported(QStringLiteral("holds the number \"%1\", which is not read here").arg(number));
            m_pos = end;
            n->type = Type::Number;
            n->isDouble = number.contains(QLatin1Char('.')) || number.contains(QLatin1Char('e'), Qt::CaseInsensitive);
            n->literal = {Value::Kind::Number, v, {}, false};
            return n;
        }
        if (c != QLatin1Char('[')) {
            const QString w = peekWord();
            if (w.isEmpty())
                unsupported(QStringLiteral("holds \"%1\", which is not read here").arg(m_s.mid(m_pos).trimmed()));
            for (const auto &[word, kind, truth] : {std::tuple{"True", Value::Kind::Number, -1.0},
                                                   std::tuple{"False", Value::Kind::Number, 0.0},
                                                   std::tuple{"Null", Value::Kind::Null, 0.0}})
                if (w.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) {
                    m_pos += w.size();
                    n->type = kind == Value::Kind::Null ? Type::Null : Type::Number;
                    n->literal = {kind, truth, {}, false};
                    return n;
                }
            if (w.compare(QLatin1String("Select"), Qt::CaseInsensitive) == 0)
                unsupported(QStringLiteral("holds a subquery"));
            const qsizetype after = m_pos + w.size();
            qsizetype look = after;
            while (look < m_s.size() && m_s[look].isSpace())
                ++look;
            if (look < m_s.size() && m_s[look] == QLatin1Char('(')) {
                m_pos = look + 1;
                return parseTotal(w);
            }
        }
        QString qualifier, name = namePart();
        if (peekChar(QLatin1Char('!')))
            unsupported(QStringLiteral("refers to a form or control (%1!...)").arg(name));
        if (takeChar(QLatin1Char('.'))) {
            qualifier = name;
            name = namePart();
        }
        const int column = m_resolve(qualifier, name);
        if (column < 0)
            unsupported(QStringLiteral("asks for the parameter [%1]").arg(qualifier.isEmpty() ? name : qualifier + QLatin1Char('.') + name));
        const AccessColumn &def = m_columns[column];
        n->op = Op::Column;
        n->column = column;
        n->mdbType = def.mdbType;
        n->type = typeOfColumn(def.mdbType);
        n->isDouble = def.mdbType == MDB_DOUBLE;
        return n;
    }

    const QString &m_s;
    qsizetype m_pos = 0;
    bool m_insideTotal = false;
    const QList<AccessColumn> &m_columns;
    const AccessExpression::Resolver &m_resolve;
};

Value null()
{
    return {};
}

Value number(double v)
{
    return {Value::Kind::Number, v, {}, false};
}

Value logical(bool v)
{
    return {Value::Kind::Logical, 0.0, {}, v};
}

// Null, or the truth of a condition or number (Access: any number but 0 is true).
std::optional<bool> truth(const Value &v)
{
    switch (v.kind) {
    case Value::Kind::Logical: return v.logical;
    case Value::Kind::Number: return v.number != 0.0;
    default: return std::nullopt;
    }
}

Value columnValue(const Node &n, const AccessRow &row)
{
    const auto &cell = row[size_t(n.column)];
    if (!cell)
        return null();
    if (n.type == Type::Text || n.type == Type::Date)
        return {Value::Kind::Text, 0.0, QString::fromUtf8(*cell), false};
    if (n.mdbType == MDB_BOOL)
        return number(cell->toDouble() != 0.0 ? -1.0 : 0.0);   // Access stores True as -1
    return number(cell->toDouble());
}

// The operators over whatever the leaves (columns and totals) are read from: a row or a group.
template <class Leaf>
Value eval(const Node &n, const Leaf &leaf)
{
    switch (n.op) {
    case Op::Literal: return n.literal;
    case Op::Column:
    case Op::Total: return leaf(n);
    case Op::IsNull:
    case Op::IsNotNull: {
        const bool isNull = eval(*n.a, leaf).kind == Value::Kind::Null;
        return logical(n.op == Op::IsNull ? isNull : !isNull);
    }
    case Op::Not: {
        const auto t = truth(eval(*n.a, leaf));
        return t ? logical(!*t) : null();
    }
    case Op::And:
    case Op::Or: {
        const auto x = truth(eval(*n.a, leaf)), y = truth(eval(*n.b, leaf));
        const bool decisive = n.op == Op::Or;   // true decides an Or, false an And
        if ((x && *x == decisive) || (y && *y == decisive))
            return logical(decisive);
        return x && y ? logical(!decisive) : null();
    }
    default: break;
    }
    const Value x = eval(*n.a, leaf), y = eval(*n.b, leaf);
    if (x.kind == Value::Kind::Null || y.kind == Value::Kind::Null)
        return null();
    switch (n.op) {
    case Op::Add: return number(x.number + y.number);
    case Op::Sub: return number(x.number - y.number);
    case Op::Mul: return number(x.number * y.number);
    case Op::Div:
        if (y.number == 0.0)
            throw AccessExpression::Unsupported(QStringLiteral("divides by zero"));
        return number(x.number / y.number);
    default: break;
    }
    const int c = AccessExpression::compare(x, y);
    switch (n.op) {
    case Op::Eq: return logical(c == 0);
    case Op::Ne: return logical(c != 0);
    case Op::Lt: return logical(c < 0);
    case Op::Le: return logical(c <= 0);
    case Op::Gt: return logical(c > 0);
    default: return logical(c >= 0);
    }
}

Value eval(const Node &n, const AccessRow &row)
{
    return eval(n, [&](const Node &leaf) { return leaf.op == Op::Column ? columnValue(leaf, row) : null(); });
}

// Min, Max, First, Last: the row whose value the total takes. Nulls are skipped, as by every total.
const AccessRow *picked(const Node &n, const Group &group)
{
    const AccessRow *best = nullptr;
    Value bestValue;
    for (const AccessRow *row : group) {
        const Value v = eval(*n.a, *row);
        if (v.kind == Value::Kind::Null)
            continue;
        const int c = best ? AccessExpression::compare(v, bestValue) : 0;
        if (!best || (n.total == Total::Min && c < 0) || (n.total == Total::Max && c > 0) || n.total == Total::Last) {
            best = row;
            bestValue = v;
        }
        if (n.total == Total::First)
            break;
    }
    return best;
}

Value totalOf(const Node &n, const Group &group)
{
    if (n.total == Total::Count) {
        qint64 count = 0;
        for (const AccessRow *row : group)
            if (!n.a || eval(*n.a, *row).kind != Value::Kind::Null)
                ++count;
        return number(double(count));
    }
    if (n.total == Total::Sum || n.total == Total::Avg) {
        double sum = 0.0;
        qint64 count = 0;
        for (const AccessRow *row : group) {
            const Value v = eval(*n.a, *row);
            if (v.kind == Value::Kind::Null)
                continue;
            sum += v.number;
            ++count;
        }
        if (count == 0)
            return null();
        return number(n.total == Total::Sum ? sum : sum / double(count));
    }
    const AccessRow *row = picked(n, group);
    return row ? eval(*n.a, *row) : null();
}

Value eval(const Node &n, const Group &group)
{
    return eval(n, [&](const Node &leaf) {
        if (leaf.op == Op::Total)
            return totalOf(leaf, group);
        return group.empty() ? null() : columnValue(leaf, *group.front());
    });
}

bool hasTotals(const Node &n)
{
    return n.op == Op::Total || (n.a && hasTotals(*n.a)) || (n.b && hasTotals(*n.b));
}

bool collectEquatedColumns(const Node &n, QList<QPair<int, int>> &pairs)
{
    if (n.op == Op::And)
        return collectEquatedColumns(*n.a, pairs) && collectEquatedColumns(*n.b, pairs);
    if (n.op != Op::Eq || n.a->op != Op::Column || n.b->op != Op::Column)
        return false;
    pairs.append({n.a->column, n.b->column});
    return true;
}

void collectColumnsOutsideTotals(const Node &n, QList<int> &columns)
{
    if (n.op == Op::Total)
        return;
    if (n.op == Op::Column && !columns.contains(n.column))
        columns.append(n.column);
    for (const Node *child : {n.a.get(), n.b.get()})
        if (child)
            collectColumnsOutsideTotals(*child, columns);
}

} // namespace

AccessExpression::AccessExpression(const QString &text, const QList<AccessColumn> &columns, const Resolver &resolve)
    : m_text(text), m_root(Parser(m_text, columns, resolve).parse())
{
}

AccessExpression::~AccessExpression() = default;
AccessExpression::AccessExpression(AccessExpression &&) noexcept = default;
AccessExpression &AccessExpression::operator=(AccessExpression &&) noexcept = default;

AccessExpression::Type AccessExpression::type() const
{
    return m_root->type;
}

bool AccessExpression::isDouble() const
{
    return m_root->isDouble;
}

int AccessExpression::columnIndex() const
{
    return m_root->op == Op::Column ? m_root->column : -1;
}

AccessExpression::Value AccessExpression::evaluate(const AccessRow &row) const
{
    return eval(*m_root, row);
}

bool AccessExpression::isTrue(const AccessRow &row) const
{
    return truth(evaluate(row)).value_or(false);
}

AccessExpression::Total AccessExpression::total() const
{
    return m_root->op == Op::Total ? m_root->total : Total::None;
}

int AccessExpression::totalColumn() const
{
    const Total t = total();
    const bool picks = t == Total::Min || t == Total::Max || t == Total::First || t == Total::Last;
    return picks && m_root->a->op == Op::Column ? m_root->a->column : -1;
}

bool AccessExpression::hasTotals() const
{
    return ::hasTotals(*m_root);
}

QList<QPair<int, int>> AccessExpression::equatedColumns() const
{
    QList<QPair<int, int>> pairs;
    return collectEquatedColumns(*m_root, pairs) ? pairs : QList<QPair<int, int>>{};
}

QList<int> AccessExpression::columnsOutsideTotals() const
{
    QList<int> columns;
    collectColumnsOutsideTotals(*m_root, columns);
    return columns;
}

AccessExpression::Value AccessExpression::evaluate(const Group &group) const
{
    return eval(*m_root, group);
}

bool AccessExpression::isTrue(const Group &group) const
{
    return truth(evaluate(group)).value_or(false);
}

const AccessRow *AccessExpression::pickedRow(const Group &group) const
{
    return totalColumn() >= 0 ? picked(*m_root, group) : nullptr;
}

int AccessExpression::compare(const Value &a, const Value &b)
{
    if (a.kind == Value::Kind::Null || b.kind == Value::Kind::Null)
        return int(a.kind != Value::Kind::Null) - int(b.kind != Value::Kind::Null);
    if (a.kind == Value::Kind::Text && b.kind == Value::Kind::Text)
        return a.text.compare(b.text, Qt::CaseInsensitive);
    const double x = a.kind == Value::Kind::Logical ? -double(a.logical) : a.number;
    const double y = b.kind == Value::Kind::Logical ? -double(b.logical) : b.number;
    return x < y ? -1 : y < x ? 1 : 0;
}
