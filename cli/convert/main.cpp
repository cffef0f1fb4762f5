// orvane-convert IN.mdb OUT.sqlite: copies an Access file's tables into a new SQLite database that
// the program can then open read/write and geocode.
#include "AccessConverter.h"
#include "DataError.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const char *const usage = "usage: orvane-convert ACCESS-FILE NEW-SQLITE-FILE\n"
                              "       orvane-convert --help | --version\n"
                              "Copies every table of an Access file (.mdb, .accdb) into a new SQLite database.\n";
    if (args == QStringList{QStringLiteral("--help")}) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (args == QStringList{QStringLiteral("--version")}) {
        std::puts("orvane-convert " ORVANE_VERSION);
        return 0;
    }
    if (args.size() != 2 || args.first().startsWith(QLatin1Char('-'))) {
        std::fputs(usage, stderr);
        return 2;
    }
    try {
        QString current;
        const auto counts = AccessConverter::convert(args[0], args[1], [&](const QString &table, qint64 rows) {
            if (table != current) {
                current = table;
                std::fprintf(stderr, "copying %s\n", qPrintable(table));
            }
            std::fprintf(stderr, "  %lld rows\r", static_cast<long long>(rows));
        });
        std::fprintf(stderr, "\n");
        qint64 total = 0;
        for (const auto &c : counts) {
            std::printf("%s: %lld rows\n", qPrintable(c.table), static_cast<long long>(c.rows));
            total += c.rows;
        }
        std::printf("%lld tables, %lld rows written to %s\n", static_cast<long long>(counts.size()),
                    static_cast<long long>(total), qPrintable(args[1]));
    } catch (const DataError &e) {
        std::fprintf(stderr, "orvane-convert: %s\n", e.what());
        return 1;
    }
    return 0;
}
