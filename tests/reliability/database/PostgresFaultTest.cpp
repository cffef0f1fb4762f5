// orvane-batch against a PostgreSQL server that fails under it: stopped (fast and immediate),
// the program's connection terminated, a statement or lock timeout on the program's role, and a
// second program writing the same rows. The run must stop with a message naming the cause,
// keep every record saved before it whole, and the database must open and run again after.
// The server is a throwaway one of this test's own, since it is stopped.
#include "RepeatedRecords.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <libpq-fe.h>
#include <unistd.h>

#include <thread>

namespace {
// Enough that a fault the test causes once the first commit is seen still lands mid-run: a batch
// scope commits every 200 ms, and a run can post most of a small table before its first commit.
constexpr int Rows = 20000;
const QString Ordered = QStringLiteral("select * from kunden order by \"Nr\"");

// The test's own server, started once for the program, as scripts/pg-test-server makes it.
class Server {
public:
    static Server &instance()
    {
        static Server server;
        return server;
    }
    bool ok() const { return !m_admin.isEmpty(); }
    QString why() const { return m_why; }
    QString adminText() const { return m_admin; }

    void pgCtl(const QStringList &arguments) const
    {
        QProcess p;
        QStringList command = QStringList{m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), m_cluster + QStringLiteral("/db")} + arguments;
        if (geteuid() == 0)
            command = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + command;
        p.start(command.takeFirst(), command);
        p.waitForFinished(60000);
        EXPECT_EQ(p.exitCode(), 0) << qPrintable(QString::fromUtf8(p.readAllStandardError() + p.readAllStandardOutput()));
    }
    void stop(const char *mode) const { pgCtl({QStringLiteral("-m"), QString::fromLatin1(mode), QStringLiteral("-w"), QStringLiteral("stop")}); }
    void start() const
    {
        pgCtl({QStringLiteral("-l"), m_cluster + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("30"),
               QStringLiteral("-o"), QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off").arg(m_port, m_cluster),
               QStringLiteral("start")});
    }

private:
    Server()
    {
        const QString script = QStringLiteral(ORVANE_SOURCE_DIR "/scripts/pg-test-server");
        QProcess p;
        p.start(script, {QStringLiteral("start"), m_dir.path()});
        p.waitForFinished(120000);
        QFile udl(m_dir.filePath(QStringLiteral("orvane-test.udl")));
        if (!udl.open(QIODevice::ReadOnly)) {
            m_why = QString::fromUtf8(p.readAllStandardOutput());
            return;
        }
        m_admin = QString::fromUtf8(udl.readAll()).trimmed();
        QFile env(m_dir.filePath(QStringLiteral("server.env")));
        env.open(QIODevice::ReadOnly);
        const QString state = QString::fromUtf8(env.readAll());
        m_cluster = QRegularExpression(QStringLiteral("cluster=(\\S+)")).match(state).captured(1);
        m_port = QRegularExpression(QStringLiteral("port=(\\S+)")).match(state).captured(1);
        const QStringList bins = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(bins.last());
    }
    ~Server()
    {
        QProcess p;
        p.start(QStringLiteral(ORVANE_SOURCE_DIR "/scripts/pg-test-server"), {QStringLiteral("stop"), m_dir.path()});
        p.waitForFinished(60000);
    }
    QTemporaryDir m_dir;
    QString m_admin, m_why, m_cluster, m_port, m_bin;
};

PGconn *connectTo(const QString &text)
{
    const auto part = [&](const char *key) {
        return QRegularExpression(QStringLiteral("%1=([^;]*)").arg(QLatin1String(key))).match(text).captured(1).toUtf8();
    };
    return PQconnectdb(("host=" + part("Server") + " port=" + part("Port") + " dbname=" + part("Database") + " user="
                        + part("User ID") + " password=" + part("Password")).constData());
}

// A connection of the test's own: the checks, and the second program.
class Sql {
public:
    explicit Sql(const QString &text) : m_conn(connectTo(text)) { EXPECT_EQ(PQstatus(m_conn), CONNECTION_OK) << PQerrorMessage(m_conn); }
    ~Sql() { PQfinish(m_conn); }
    void exec(const QString &sql) const
    {
        PGresult *r = PQexec(m_conn, sql.toUtf8().constData());
        EXPECT_TRUE(PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK)
            << PQresultErrorMessage(r) << " in " << sql.toStdString();
        PQclear(r);
    }
    int number(const QString &sql) const
    {
        PGresult *r = PQexec(m_conn, sql.toUtf8().constData());
        const int n = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 ? QByteArray(PQgetvalue(r, 0, 0)).toInt() : -1;
        PQclear(r);
        return n;
    }

private:
    PGconn *m_conn;
};

QString quoted(const QString &s)
{
    return s == QLatin1String("<null>") ? QStringLiteral("NULL") : QLatin1Char('\'') + QString(s).replace('\'', "''") + QLatin1Char('\'');
}

// The example records repeated to Rows records in a table of their own database, every result
// column holding a value no run writes; the program reaches it as the role orvane_run through a
// data link file of its own.
class Customers {
public:
    Customers() : m_admin(Server::instance().adminText())
    {
        Sql admin(m_admin);
        admin.exec(QStringLiteral("SET client_min_messages = warning"));
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS faults WITH (FORCE)"));
        admin.exec(QStringLiteral("CREATE DATABASE faults"));
        admin.exec(QStringLiteral("DO $$ BEGIN CREATE ROLE orvane_run LOGIN PASSWORD 'run-secret'; EXCEPTION WHEN duplicate_object THEN NULL; END $$"));
        admin.exec(QStringLiteral("ALTER ROLE orvane_run RESET ALL"));
        m_text = QString(m_admin).replace(QRegularExpression(QStringLiteral("Database=[^;]*")), QStringLiteral("Database=faults"));
        QStringList values;
        for (const QStringList &r : m_example.rows(QStringLiteral("select Nr, KolmNummer, Name1, LandKennz, Plz, Ort, Strasse from kunden"))) {
            QStringList v{r[0]};
            for (int i = 1; i < r.size(); ++i)
                v << quoted(r[i]);
            values << QLatin1Char('(') + v.join(QLatin1Char(',')) + QLatin1Char(')');
        }
        Sql db(m_text);
        db.exec(QStringLiteral(
            "CREATE TABLE kunden (\"Nr\" integer NOT NULL, \"KolmNummer\" varchar(30) PRIMARY KEY, \"Name1\" varchar(32),"
            " \"LandKennz\" varchar(5), \"Plz\" varchar(10), \"Ort\" varchar(30), \"Strasse\" varchar(80),"
            " \"MPControlGeocode\" boolean, \"MPStatus\" varchar(50), \"MPAddress\" varchar(50), \"W2MP\" double precision,"
            " \"W1MP\" double precision);"
            "CREATE TEMP TABLE original (nr integer, id text, name text, land text, plz text, ort text, strasse text);"
            "INSERT INTO original VALUES %1;"
            "INSERT INTO kunden SELECT o.nr + c.n * 10000, o.id || '-' || c.n, o.name, o.land, o.plz, o.ort, o.strasse,"
            " true, 'before', 'before', -1, -1 FROM generate_series(0, 1000) c(n) CROSS JOIN original o"
            " ORDER BY c.n, o.nr LIMIT %2;"
            "GRANT SELECT, UPDATE ON kunden TO orvane_run;").arg(values.join(QLatin1Char(','))).arg(Rows));
        m_udl = m_example.folder() + QStringLiteral("/faults.udl");
        QFile udl(m_udl);
        udl.open(QIODevice::WriteOnly);
        udl.write(QString(m_text).replace(QRegularExpression(QStringLiteral("User ID=[^;]*;Password=[^;]*")),
                                          QStringLiteral("User ID=orvane_run;Password=run-secret")).toUtf8());
        udl.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    QString text() const { return m_text; }
    QString adminText() const { return m_admin; }

    void start(QProcess &child, const QString &query = Ordered) const
    {
        child.setProcessEnvironment(m_example.environment());
        child.start(QStringLiteral(ORVANE_BATCH_PROGRAM), QStringList{m_udl, QStringLiteral("--query"), query} + FullMapping());
    }
    BatchOutcome run(const QStringList &arguments) const
    {
        QProcess child;
        child.setProcessEnvironment(m_example.environment());
        child.start(QStringLiteral(ORVANE_BATCH_PROGRAM), QStringList{m_udl} + arguments);
        child.waitForFinished(120000);
        return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
                QString::fromUtf8(child.readAllStandardOutput()), QString::fromUtf8(child.readAllStandardError())};
    }
    static BatchOutcome outcome(QProcess &child)
    {
        EXPECT_TRUE(child.waitForFinished(120000));
        return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
                QString::fromUtf8(child.readAllStandardOutput()), QString::fromUtf8(child.readAllStandardError())};
    }
    // Waits until the run has saved some records; false when it ended first. Waiting on the
    // child, not sleeping, is what lets QProcess see that it ended.
    bool waitForSaved(QProcess &child, int atLeast = 1) const
    {
        Sql db(m_text);
        child.waitForStarted();
        while (child.state() == QProcess::Running) {
            if (db.number(QStringLiteral("select count(*) from kunden where \"MPAddress\" is distinct from 'before'")) >= atLeast)
                return true;
            child.waitForFinished(5);
        }
        return false;
    }

    // What a stopped run left: every record complete or untouched, and the saved ones a stretch
    // from the first record in the run's order. Returns the number saved.
    int checkWholeAndInOrder() const
    {
        Sql db(m_text);
        const QString untouched = QStringLiteral("(\"MPStatus\" = 'before' AND \"MPAddress\" = 'before' AND \"W2MP\" = -1 AND \"W1MP\" = -1 AND \"MPControlGeocode\")");
        const QString anyUntouched = QStringLiteral("(\"MPStatus\" IS NOT DISTINCT FROM 'before' OR \"MPAddress\" IS NOT DISTINCT FROM 'before' OR \"W2MP\" = -1 OR \"W1MP\" = -1)");
        EXPECT_EQ(db.number(QStringLiteral("select count(*) from kunden where %1 and not %2").arg(anyUntouched, untouched)), 0)
            << "half-written records";
        const int saved = db.number(QStringLiteral("select count(*) from kunden where not %1").arg(untouched));
        EXPECT_EQ(db.number(QStringLiteral("select count(*) from (select \"Nr\" from kunden where not %1 order by \"Nr\") s"
                                           " where \"Nr\" > (select coalesce(min(\"Nr\"), 2147483647) from kunden where %1)").arg(untouched)), 0)
            << "records saved after one left untouched";
        return saved;
    }

    // Opening again works: a run over the records still untouched completes and leaves none.
    void checkRunsAgain() const
    {
        const BatchOutcome again = run(QStringList{QStringLiteral("--query"),
                                                   QStringLiteral("select * from kunden where \"MPAddress\" = 'before' order by \"Nr\"")} + FullMapping());
        EXPECT_EQ(again.exitCode, 0) << qPrintable(again.err);
        EXPECT_EQ(Sql(m_text).number(QStringLiteral("select count(*) from kunden where \"MPAddress\" = 'before'")), 0);
    }

private:
    ExampleCopy m_example;
    QString m_admin, m_text, m_udl;
};

struct PostgresFaults : ::testing::Test {
    void SetUp() override
    {
        if (!Server::instance().ok())
            GTEST_SKIP() << qPrintable(Server::instance().why());
    }
};

void report(const char *fault, const BatchOutcome &o, int saved)
{
    std::printf("%s: exit %d, %d of %d records saved, message: %s", fault, o.exitCode, saved, Rows, qPrintable(o.err));
}
} // namespace

TEST_F(PostgresFaults, ServerStoppedDuringARunStopsItWithEverySavedRecordWhole)
{
    for (const char *mode : {"fast", "immediate"}) {
        Customers db;
        QProcess child;
        db.start(child);
        ASSERT_TRUE(db.waitForSaved(child, 500)) << qPrintable(QString::fromUtf8(child.readAllStandardError()));
        Server::instance().stop(mode);
        const BatchOutcome o = Customers::outcome(child);
        Server::instance().start();
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_TRUE(o.err.contains(QRegularExpression(QStringLiteral("terminating connection|server closed the connection|connection to server"))))
            << qPrintable(o.err);
        EXPECT_FALSE(o.err.contains(QStringLiteral("run-secret")));
        EXPECT_FALSE(o.out.contains(QStringLiteral("Records geocoded")));
        const int saved = db.checkWholeAndInOrder();
        EXPECT_GT(saved, 0);
        report(mode, o, saved);
        db.checkRunsAgain();
    }
}

TEST_F(PostgresFaults, TerminatedConnectionStopsTheRunWithEverySavedRecordWhole)
{
    Customers db;
    QProcess child;
    db.start(child);
    ASSERT_TRUE(db.waitForSaved(child, 500)) << qPrintable(QString::fromUtf8(child.readAllStandardError()));
    Sql(db.adminText()).exec(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where usename = 'orvane_run'"));
    const BatchOutcome o = Customers::outcome(child);
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.err.contains(QStringLiteral("terminating connection due to administrator command"))) << qPrintable(o.err);
    const int saved = db.checkWholeAndInOrder();
    report("terminated", o, saved);
    db.checkRunsAgain();
}

TEST_F(PostgresFaults, StatementAndLockTimeoutsOfTheRoleStopTheRunAtTheLockedRecord)
{
    for (const char *setting : {"statement_timeout", "lock_timeout"}) {
        Customers db;
        Sql(db.adminText()).exec(QStringLiteral("ALTER ROLE orvane_run SET %1 = '300ms'").arg(QLatin1String(setting)));
        // A second program holds one record in the middle of the run.
        Sql locker(db.text());
        locker.exec(QStringLiteral("BEGIN"));
        const int lockedNr = Sql(db.text()).number(QStringLiteral("select \"Nr\" from kunden order by \"Nr\" offset %1 limit 1").arg(Rows / 2));
        locker.exec(QStringLiteral("UPDATE kunden SET \"Name1\" = 'locked' WHERE \"Nr\" = %1").arg(lockedNr));
        const BatchOutcome o = db.run(QStringList{QStringLiteral("--query"), Ordered} + FullMapping());
        locker.exec(QStringLiteral("ROLLBACK"));
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_TRUE(o.err.contains(QStringLiteral("canceling statement due to %1").arg(QString::fromLatin1(setting).replace(QStringLiteral("_timeout"), QStringLiteral(" timeout")))))
            << qPrintable(o.err);
        const int saved = db.checkWholeAndInOrder();
        EXPECT_LE(saved, Rows / 2);
        report(setting, o, saved);
        Sql(db.adminText()).exec(QStringLiteral("ALTER ROLE orvane_run RESET ALL"));
        db.checkRunsAgain();
    }
}

TEST_F(PostgresFaults, ASecondProgramWritingTheSameRowsLosesNothingAndItsRecordsAreLeftAloneByTheUndo)
{
    Customers db;
    QProcess child;
    db.start(child);
    ASSERT_TRUE(db.waitForSaved(child)) << qPrintable(QString::fromUtf8(child.readAllStandardError()));
    // Every 50th record, while the run goes on: a name, and a status of the other program's.
    int updates = 0;
    {
        Sql other(db.text());
        for (int i = 0; i < Rows && child.state() == QProcess::Running; i += 50, ++updates)
            other.exec(QStringLiteral("UPDATE kunden SET \"Name1\" = 'other', \"MPStatus\" = 'other' WHERE \"Nr\" ="
                                      " (select \"Nr\" from kunden order by \"Nr\" offset %1 limit 1)").arg(i));
    }
    const BatchOutcome o = Customers::outcome(child);
    ASSERT_EQ(o.exitCode, 0) << qPrintable(o.err);
    EXPECT_EQ(Summary(o.out).first + Summary(o.out).second, Rows);
    Sql check(db.text());
    EXPECT_EQ(check.number(QStringLiteral("select count(*) from kunden where \"Name1\" = 'other'")), updates);
    const int theirs = check.number(QStringLiteral("select count(*) from kunden where \"MPStatus\" = 'other'"));

    const BatchOutcome undo = db.run({QStringLiteral("--undo")});
    ASSERT_EQ(undo.exitCode, 0) << qPrintable(undo.err);
    EXPECT_TRUE(undo.out.contains(QStringLiteral("Records restored: %1\n").arg(Rows - theirs))) << qPrintable(undo.out);
    EXPECT_EQ(check.number(QStringLiteral("select count(*) from kunden where \"MPStatus\" = 'other'")), theirs);
    EXPECT_EQ(check.number(QStringLiteral("select count(*) from kunden where \"MPStatus\" = 'before'")), Rows - theirs);
    std::printf("second writer: %d updates during the run, %d records kept its status; undo: %s", updates, theirs, qPrintable(undo.out));
}
