#include "SortText.h"

#include "DataError.h"

#include <QRegularExpression>

SortText SortText::parse(const QString &text)
{
    if (text.trimmed().isEmpty())
        return {};
    static const QRegularExpression form(
        QStringLiteral("^\\s*(?:\\[([^\\]]+)\\]|([^\\s\\[\\],]+))(?:\\s+(ASC|DESC))?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = form.match(text);
    if (!m.hasMatch())
        throw DataError(QStringLiteral("The sort text \"%1\" is not valid: write [column] or [column] DESC.").arg(text));
    SortText s;
    s.column = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
    s.descending = m.captured(3).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
    return s;
}
