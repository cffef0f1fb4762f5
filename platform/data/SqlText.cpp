#include "SqlText.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

bool SqlText::isPlainWord(const QString &name)
{
    if (name.isEmpty() || name.front().isDigit())
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); });
}

QString SqlText::quoted(const QString &identifier)
{
    QString s = identifier;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QString SqlText::where(const ColumnValues &where, QChar marker, int firstParameter, QString (*name)(const QString &))
{
    QStringList parts;
    for (const auto &[col, value] : where)
        parts << (value.isNull() ? name(col) + QStringLiteral(" IS NULL")
                                 : name(col) + QStringLiteral(" = ") + marker + QString::number(firstParameter++));
    return parts.join(QStringLiteral(" AND "));
}

QString SqlText::rewriteTop(const QString &sql)
{
    static const QRegularExpression top(
        QStringLiteral("^\\s*select\\s+(distinct\\s+)?top\\s+(\\d+)\\s+(.*?)[\\s;]*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = top.match(sql);
    if (!m.hasMatch())
        return sql;
    return QStringLiteral("select %1%2\nLIMIT %3").arg(m.captured(1), m.captured(3), m.captured(2));
}
