#pragma once

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <sqlite3.h>

#include <gtest/gtest.h>

// The built orvane-batch run as a child process, each test with its own per-user store.
struct BatchOutcome {
    int exitCode = -1;
    QString out, err;
};

inline const QStringList &FullMapping()
{
    static const QStringList mapping = {
        QStringLiteral("--map"), QStringLiteral("id=KolmNummer"),   QStringLiteral("--map"), QStringLiteral("name=Name1"),
        QStringLiteral("--map"), QStringLiteral("country=LandKennz"), QStringLiteral("--map"), QStringLiteral("postcode=Plz"),
        QStringLiteral("--map"), QStringLiteral("city=Ort"),         QStringLiteral("--map"), QStringLiteral("street=Strasse"),
        QStringLiteral("--map"), QStringLiteral("control=MPControlGeocode"),
        QStringLiteral("--map"), QStringLiteral("status=MPStatus"),  QStringLiteral("--map"), QStringLiteral("address=MPAddress"),
        QStringLiteral("--map"), QStringLiteral("lat=W2MP"),         QStringLiteral("--map"), QStringLiteral("lon=W1MP")};
    return mapping;
}

// A mapping without one role's pair.
inline QStringList MappingWithout(const QString &role)
{
    QStringList mapping = FullMapping();
    for (qsizetype i = 1; i < mapping.size(); i += 2)
        if (mapping[i].startsWith(role + QLatin1Char('=')))
            mapping.remove(i - 1, 2);
    return mapping;
}

// The example database made afresh from its SQL text in a temporary folder, with SQL helpers.
// Made, not copied from the build, so that runs of the program on the built example never
// change what the tests start from.
class ExampleCopy {
public:
    ExampleCopy() : m_path(m_dir.filePath(QStringLiteral("kunden.sqlite")))
    {
        QFile script(QStringLiteral(ORVANE_SOURCE_DIR "/examples/kunden.sql"));
        EXPECT_TRUE(script.open(QIODevice::ReadOnly)) << qPrintable(script.fileName());
        exec(QString::fromUtf8(script.readAll()));
    }

    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }

    void exec(const QString &sql) const
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(m_path.toUtf8().constData(), &db), SQLITE_OK);
        char *error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    // Every row of a query, each column as text (null as "<null>").
    QList<QStringList> rows(const QString &sql) const
    {
        sqlite3 *db = nullptr;
        sqlite3_open(m_path.toUtf8().constData(), &db);
        sqlite3_stmt *stmt = nullptr;
        QList<QStringList> result;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                row << (text ? QString::fromUtf8(text) : QStringLiteral("<null>"));
            }
            result << row;
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return result;
    }

    QString scalar(const QString &sql) const { return rows(sql).value(0).value(0); }

    // Every value of every table with its storage class, reals to the last bit, in rowid order.
    QList<QStringList> dump() const
    {
        QList<QStringList> all;
        for (const QStringList &table : rows(QStringLiteral("select name from sqlite_master where type = 'table' order by name"))) {
            QStringList values;
            for (const QStringList &column : rows(QStringLiteral("select name from pragma_table_info('%1')").arg(table[0])))
                values << QStringLiteral("typeof(\"%1\") || ':' || (case typeof(\"%1\") when 'real' then printf('%!.17g', \"%1\")"
                                         " else quote(\"%1\") end)").arg(column[0]);
            all << table;
            all += rows(QStringLiteral("select %1 from \"%2\" order by rowid").arg(values.join(QStringLiteral(", ")), table[0]));
        }
        return all;
    }

    QByteArray fileHash() const
    {
        QFile file(m_path);
        file.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }

    // The per-user store as the mapping dialog leaves it.
    void storeMapping(const QList<QPair<QString, QString>> &values) const
    {
        QSettings store(configFolder() + QStringLiteral("/Orvane.conf"), QSettings::IniFormat);
        for (const auto &[name, value] : values)
            store.setValue(name, value);
    }

    QString configFolder() const { return m_dir.filePath(QStringLiteral("config")); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        env.remove(QStringLiteral("ORVANE_USER_GAZETTEER"));
        return env;
    }

    // Starts the command on this copy; the arguments follow the database.
    void start(QProcess &process, const QStringList &arguments) const
    {
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(folder());
        process.start(QStringLiteral(ORVANE_BATCH_PROGRAM), QStringList{m_path} + arguments);
    }

    BatchOutcome run(const QStringList &arguments, bool withDatabase = true) const
    {
        return runIn(environment(), withDatabase ? QStringList{m_path} + arguments : arguments);
    }

    // The command in the given environment with exactly these arguments.
    static BatchOutcome runIn(const QProcessEnvironment &environment, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(ORVANE_BATCH_PROGRAM), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};
