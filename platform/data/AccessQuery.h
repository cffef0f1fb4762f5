#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The few select statements an Access file answers here, written in the Access dialect:
//   SELECT [TOP n] * | column, ... FROM table-or-saved-query [ORDER BY column [ASC|DESC], ...] [;]
// Names are bare words or bracketed ([Asset Items]); a column may be qualified by its table.
struct AccessQuery
{
    struct Order
    {
        QString column;
        bool descending = false;
    };

    QString table;
    QStringList columns;   // empty for *
    int top = -1;          // -1 without TOP
    QList<Order> orderBy;

    static AccessQuery parse(const QString &sql);   // throws DataError saying what is supported
};
