#pragma once
// A libpq connection of its own beside the program's, to build the tables a bench posts to and
// to run the set-based SQL a user would write instead.

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <libpq-fe.h>
#include <stdexcept>
#include <string>

// The server a data link file names (scripts/pg-test-server writes one); null when unreadable.
inline PGconn *connectTo(const QString &udl)
{
    QFile f(udl);
    if (!f.open(QIODevice::ReadOnly))
        return nullptr;
    const QString text = QString::fromUtf8(f.readAll()).trimmed();
    const auto part = [&](const char *key) {
        return QRegularExpression(QStringLiteral("%1=([^;]*)").arg(QLatin1String(key))).match(text).captured(1).toUtf8();
    };
    const QByteArray conninfo = "host=" + part("Server") + " port=" + part("Port") + " dbname=" + part("Database")
                              + " user=" + part("User ID") + " password=" + part("Password");
    return PQconnectdb(conninfo.constData());
}

// Runs 'sql'; the rows it changed. Throws with the server's message.
inline qint64 exec(PGconn *c, const QByteArray &sql)
{
    PGresult *r = PQexec(c, sql.constData());
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) {
        const std::string message = PQerrorMessage(c);
        PQclear(r);
        throw std::runtime_error(message + " in: " + sql.left(200).toStdString());
    }
    const qint64 changed = QByteArray(PQcmdTuples(r)).toLongLong();
    PQclear(r);
    return changed;
}
