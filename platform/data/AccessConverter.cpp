#include "AccessConverter.h"

#include "AccessProvider.h"
#include "DataError.h"
#include "ProviderRegistry.h"
#include "SqlText.h"
#include "SqliteStatement.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 ProgressEveryRows = 1000;

enum class Binding { Text, Integer, Float, Blob };

Binding bindingFor(const QString &accessType)
{
    if (accessType == QLatin1String("Yes/No") || accessType.endsWith(QLatin1String("Integer"))
        || accessType == QLatin1String("Byte"))
        return Binding::Integer;
    if (accessType == QLatin1String("Single") || accessType == QLatin1String("Double"))
        return Binding::Float;
    if (accessType == QLatin1String("OLE Object") || accessType == QLatin1String("Binary"))
        return Binding::Blob;
    return Binding::Text;
}

// The SQLite file being written; removed unless the conversion finishes.
class Output
{
public:
    Output(const QString &path) : m_path(path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
            sqlite3_close(m_db);
            throw DataError(QStringLiteral("The SQLite database '%1' cannot be created: %2.").arg(path, message));
        }
    }
    ~Output()
    {
        sqlite3_close(m_db);
        if (!m_kept)
            QFile::remove(m_path);
    }
    void exec(const QString &sql)
    {
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(sql);
    }
    // Finalized by its holder, before the file closes.
    SqliteStatement prepare(const QString &sql)
    {
        sqlite3_stmt *s = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &s, nullptr);
        SqliteStatement statement(s);
        if (rc != SQLITE_OK)
            fail(sql);
        return statement;
    }
    [[noreturn]] void fail(const QString &what) const
    {
        throw DataError(QStringLiteral("%1 failed in '%2': %3").arg(what, m_path, QString::fromUtf8(sqlite3_errmsg(m_db))));
    }
    void keep() { m_kept = true; }
    sqlite3 *db() const { return m_db; }

private:
    QString m_path;
    sqlite3 *m_db = nullptr;
    bool m_kept = false;
};

} // namespace

QString AccessConverter::sqliteType(const QString &accessType, int size)
{
    // Declared so that the table mapping offers the same kinds as for the Access file; Memo and
    // Replication ID keep text affinity without becoming text columns.
    if (accessType == QLatin1String("Text"))
        return QStringLiteral("VARCHAR(%1)").arg(size);
    if (accessType == QLatin1String("Yes/No"))
        return QStringLiteral("BOOLEAN");
    if (accessType == QLatin1String("Single"))
        return QStringLiteral("REAL");
    if (accessType == QLatin1String("Double"))
        return QStringLiteral("DOUBLE");
    if (accessType.endsWith(QLatin1String("Integer")) || accessType == QLatin1String("Byte"))
        return QStringLiteral("INTEGER");
    if (accessType == QLatin1String("Currency"))
        return QStringLiteral("CURRENCY");
    if (accessType == QLatin1String("Decimal"))
        return QStringLiteral("DECIMAL");
    if (accessType == QLatin1String("Date/Time"))
        return QStringLiteral("DATETIME");
    if (accessType == QLatin1String("Memo"))
        return QStringLiteral("LONGTEXT");
    if (accessType == QLatin1String("Replication ID"))
        return QStringLiteral("GUIDTEXT");
    return QStringLiteral("BLOB");
}

QList<AccessConverter::TableCount> AccessConverter::convert(const QString &accessFile, const QString &sqliteFile,
                                                            const Progress &progress)
{
    if (QFileInfo::exists(sqliteFile))
        throw DataError(QStringLiteral("'%1' already exists; choose a new file name, the conversion never overwrites a file.").arg(sqliteFile));
    std::unique_ptr<DatabaseProvider> provider = ProviderRegistry::openFile(accessFile);
    auto *access = dynamic_cast<AccessProvider *>(provider.get());
    if (!access)
        throw DataError(QStringLiteral("'%1' is not an Access file.").arg(accessFile));

    const QString partial = sqliteFile + QStringLiteral(".part");
    if (QFile f(partial); !f.open(QIODevice::NewOnly))
        throw DataError(QStringLiteral("'%1' cannot be created (%2); if an earlier conversion left it, remove it first.")
                            .arg(partial, f.errorString()));
    QList<TableCount> counts;
    {
        Output out(partial);
        out.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        out.exec(QStringLiteral("BEGIN"));
        for (const QString &table : access->userTables()) {
            const QList<AccessColumn> columns = access->columnsOf(table);
            const QStringList key = access->primaryKey(table);
            const bool rowidKey = key.size() == 1 && std::any_of(columns.begin(), columns.end(), [&](const AccessColumn &c) {
                return c.name == key.first() && sqliteType(c.typeName, c.size) == QLatin1String("INTEGER");
            });
            QStringList defs, names, params;
            std::vector<Binding> bindings;
            for (const AccessColumn &c : columns) {
                QString def = SqlText::quoted(c.name) + QLatin1Char(' ') + sqliteType(c.typeName, c.size);
                if (rowidKey && c.name == key.first())
                    def += QStringLiteral(" PRIMARY KEY");
                defs << def;
                names << SqlText::quoted(c.name);
                params << QStringLiteral("?");
                bindings.push_back(bindingFor(c.typeName));
            }
            if (!key.isEmpty() && !rowidKey) {
                QStringList keyNames;
                for (const QString &k : key)
                    keyNames << SqlText::quoted(k);
                defs << QStringLiteral("PRIMARY KEY (%1)").arg(keyNames.join(QStringLiteral(", ")));
            }
            out.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(SqlText::quoted(table), defs.join(QStringLiteral(", "))));
            const SqliteStatement statement = out.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                              .arg(SqlText::quoted(table), names.join(QStringLiteral(", ")),
                                                                   params.join(QStringLiteral(", "))));
            sqlite3_stmt *insert = statement.get();
            qint64 rows = 0;
            access->readRows(table, [&](const AccessProvider::Row &row) {
                for (size_t i = 0; i < row.size(); ++i) {
                    const int p = int(i + 1);
                    if (!row[i]) {
                        sqlite3_bind_null(insert, p);
                        continue;
                    }
                    const QByteArray &v = *row[i];
                    switch (bindings[i]) {
                    case Binding::Integer: sqlite3_bind_int64(insert, p, v.toLongLong()); break;
                    case Binding::Float: sqlite3_bind_double(insert, p, v.toDouble()); break;
                    case Binding::Blob: sqlite3_bind_blob(insert, p, v.constData(), int(v.size()), SQLITE_TRANSIENT); break;
                    case Binding::Text: sqlite3_bind_text(insert, p, v.constData(), int(v.size()), SQLITE_TRANSIENT); break;
                    }
                }
                if (sqlite3_step(insert) != SQLITE_DONE)
                    out.fail(QStringLiteral("Copying row %1 of table \"%2\"").arg(rows + 1).arg(table));
                sqlite3_reset(insert);
                if (++rows % ProgressEveryRows == 0 && progress)
                    progress(table, rows);
            });
            if (progress)
                progress(table, rows);
            counts.append({table, rows});
        }
        out.exec(QStringLiteral("COMMIT"));
        out.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        out.keep();
    }
    // Appears under its name only when complete; a file created meanwhile is not replaced.
    if (!QFile::rename(partial, sqliteFile)) {
        QFile::remove(partial);
        throw DataError(QStringLiteral("'%1' cannot be created (it appeared during the conversion or the folder is not writable).").arg(sqliteFile));
    }
    return counts;
}
