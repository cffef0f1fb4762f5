#include "ConnectionText.h"

#include "DataError.h"

ConnectionText ConnectionText::parse(const QString &text)
{
    ConnectionText result;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
        const qsizetype end = semi < 0 ? n : semi;
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        if (eq < 0 || eq > end) {
            const QString part = text.mid(i, end - i).trimmed();
            if (!part.isEmpty())
                throw DataError(QStringLiteral("The connection text is not valid near \"%1\": "
                                               "each part must be key=value, separated by ';'.").arg(part));
            i = end + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        if (key.isEmpty())
            throw DataError(QStringLiteral("The connection text has a value without a key near \"%1\".")
                                .arg(text.mid(i, end - i).trimmed()));
        qsizetype v = eq + 1;
        while (v < n && text[v] == QLatin1Char(' '))
            ++v;
        QString value;
        if (v < n && (text[v] == QLatin1Char('"') || text[v] == QLatin1Char('\''))) {
            const QChar quote = text[v++];
            bool closed = false;
            while (v < n) {
                if (text[v] == quote) {
                    if (v + 1 < n && text[v + 1] == quote) {
                        value += quote;
                        v += 2;
                        continue;
                    }
                    closed = true;
                    ++v;
                    break;
                }
                value += text[v++];
            }
            if (!closed)
                throw DataError(QStringLiteral("The connection text has an unclosed quote in the value of \"%1\".").arg(key));
            while (v < n && text[v] == QLatin1Char(' '))
                ++v;
            if (v < n && text[v] != QLatin1Char(';'))
                throw DataError(QStringLiteral("The connection text has text after the quoted value of \"%1\".").arg(key));
            i = v + 1;
        } else {
            const qsizetype semi = text.indexOf(QLatin1Char(';'), v);
            const qsizetype stop = semi < 0 ? n : semi;
            value = text.mid(v, stop - v).trimmed();
            i = stop + 1;
        }
        result.m_pairs.append({key, value});
    }
    return result;
}

QString ConnectionText::value(const QString &key) const
{
    for (const auto &[k, v] : m_pairs)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

bool ConnectionText::contains(const QString &key) const
{
    for (const auto &pair : m_pairs)
        if (pair.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
