#pragma once

#include <QList>
#include <QPair>
#include <QString>

// A connection text: key=value pairs separated by ';'. A value may be enclosed in double (or
// single) quotes, the quote doubled inside; an unquoted value ends at the next ';', so a ';' in
// an unquoted path splits it.
class ConnectionText
{
public:
    static ConnectionText parse(const QString &text);   // throws DataError

    QString value(const QString &key) const;           // keys compare case-insensitively; missing -> ""
    bool contains(const QString &key) const;
    const QList<QPair<QString, QString>> &pairs() const { return m_pairs; }

private:
    QList<QPair<QString, QString>> m_pairs;
};
