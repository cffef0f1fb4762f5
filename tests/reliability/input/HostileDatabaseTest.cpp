// Damaged copies of real database files opened and read to the last row through the data layer.
// Each copy is read in a child process with a time limit, so a crash or a hang is counted instead
// of ending the run; the layer is built with AddressSanitizer for this test.
#include "Connection.h"
#include "FileBytes.h"
#include "DataError.h"
#include "Field.h"
#include "RecordSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int SecondsPerFile = 45;   // above the provider's own limit for a trial read

enum class Outcome { Read, Rejected, Caught, Crashed, Hung, Silent };

struct Result {
    Outcome outcome;
    QString detail;   // the rejection message, or what went wrong
};

// Every table, every column, every row, as the program's grid would show them.
void readWhole(const QString &file)
{
    Connection connection;
    connection.setConnectionText(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + file);
    connection.open();
    for (const QString &table : connection.tableNames()) {
        RecordSet rs;
        rs.setConnection(&connection);
        rs.setCommandText(QStringLiteral("select * from [%1]").arg(table));
        rs.open();
        (void)rs.columnDefs();
        for (rs.first(); !rs.eof(); rs.next())
            for (Field *f : rs.fields())
                (void)f->displayText();
    }
}

// Reads the file in a child; the child reports a rejection message through a pipe.
Result readInChild(const QString &file)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {Outcome::Crashed, QStringLiteral("no pipe")};
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], 2);   // sanitizer reports, also from the provider's trial read
        int status = 0;
        try {
            readWhole(file);
        } catch (const DataError &e) {
            const QByteArray m = "\x1e" + e.message().toUtf8();
            (void)!write(pipeFds[1], m.constData(), size_t(m.size()));
            status = 3;
        } catch (const std::exception &e) {
            (void)!write(pipeFds[1], "\x1e", 1);
            (void)!write(pipeFds[1], e.what(), strlen(e.what()));
            status = 4;
        }
        close(pipeFds[1]);
        _exit(status);
    }
    close(pipeFds[1]);
    // mdbtools may write warnings without end for a damaged file: the limit is on time, not
    // silence, and only the start and the end of the output are kept.
    QByteArray message;
    bool hung = false;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            message.append(buffer, n);
            if (message.size() > 256 * 1024)
                message = message.left(64 * 1024) + message.right(64 * 1024);
        }
        if (clock.elapsed() > SecondsPerFile * 1000) {
            hung = true;
            kill(pid, SIGKILL);
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const QString all = QString::fromUtf8(message);
    const QString text = all.section(u'\x1e', -1);
    const QString report = all.section(u'\x1e', 0, 0);
    if (hung)
        return {Outcome::Hung, text};
    if (WIFSIGNALED(status))
        return {Outcome::Crashed, QStringLiteral("signal %1\n%2").arg(WTERMSIG(status)).arg(report.left(3000))};
    switch (WEXITSTATUS(status)) {
    case 0: return {Outcome::Read, {}};
    case 3:
        // A fault the provider's trial read caught: the program survives it, but a fault in our own
        // code (not in mdbtools) is still a failure.
        if (report.contains(QLatin1String("ERROR: AddressSanitizer"))) {
            const QString top = report.section(QStringLiteral("    #0 "), 1, 1).section(u'\n', 0, 0);
            if (!top.contains(QLatin1String("libmdb")))
                return {Outcome::Crashed, QStringLiteral("in the trial read: ") + report.left(3000)};
            return {Outcome::Caught, text};
        }
        return {text.trimmed().isEmpty() ? Outcome::Silent : Outcome::Rejected, text};
    case 4: return {Outcome::Silent, QStringLiteral("not a data error: ") + text};
    default: return {Outcome::Crashed, QStringLiteral("exit status %1\n%2").arg(WEXITSTATUS(status)).arg(report.left(3000))};
    }
}

// Copies with single bits flipped at random places (several per copy), and cut at random lengths.
QList<std::pair<QString, QByteArray>> damagedCopies(const QByteArray &original, int flipped, int truncated, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<std::pair<QString, QByteArray>> copies;
    for (int i = 0; i < flipped; ++i) {
        QByteArray b = original;
        const int flips = 1 + int(random.bounded(8));
        QStringList where;
        for (int k = 0; k < flips; ++k) {
            const qsizetype at = qsizetype(random.bounded(quint32(b.size())));
            const int bit = int(random.bounded(8));
            b[at] = char(b[at] ^ (1 << bit));
            where << QStringLiteral("%1.%2").arg(at).arg(bit);
        }
        copies.append({QStringLiteral("flipped %1").arg(where.join(u',')), b});
    }
    for (int i = 0; i < truncated; ++i) {
        const qsizetype size = qsizetype(random.bounded(quint32(original.size())));
        copies.append({QStringLiteral("cut at %1").arg(size), original.left(size)});
    }
    // Page-sized cuts: a file that ends cleanly at a page boundary.
    for (qsizetype size : {qsizetype(0), qsizetype(100), qsizetype(512), qsizetype(2048), qsizetype(4096),
                           original.size() / 2, original.size() - 4096})
        if (size >= 0 && size < original.size())
            copies.append({QStringLiteral("cut at %1").arg(size), original.left(size)});
    return copies;
}

struct Tally {
    int read = 0, rejected = 0, caught = 0, crashed = 0, hung = 0, silent = 0;
};

Tally runAll(const QByteArray &original, const QString &suffix, int flipped, int truncated, quint32 seed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged") + suffix);
    Tally tally;
    for (const auto &[what, bytes] : damagedCopies(original, flipped, truncated, seed)) {
        store(path, bytes);
        const Result r = readInChild(path);
        switch (r.outcome) {
        case Outcome::Read: ++tally.read; break;
        case Outcome::Rejected:
        case Outcome::Caught:
            ++(r.outcome == Outcome::Caught ? tally.caught : tally.rejected);
            EXPECT_TRUE(r.detail.contains(path)) << "the message names no file: " << r.detail.toStdString();
            break;
        case Outcome::Crashed: ++tally.crashed; ADD_FAILURE() << what.toStdString() << ": crashed, " << r.detail.toStdString(); break;
        case Outcome::Hung: ++tally.hung; ADD_FAILURE() << what.toStdString() << ": no answer within " << SecondsPerFile << " s"; break;
        case Outcome::Silent: ++tally.silent; ADD_FAILURE() << what.toStdString() << ": failed without a message: " << r.detail.toStdString(); break;
        }
    }
    std::printf("%s: %d copies: read %d, rejected with a message %d (of which a mdbtools fault caught in the trial "
                "read %d), crashed %d, hung %d, failed silently %d\n",
                qPrintable(suffix), tally.read + tally.rejected + tally.caught + tally.crashed + tally.hung + tally.silent,
                tally.read, tally.rejected + tally.caught, tally.caught, tally.crashed, tally.hung, tally.silent);
    return tally;
}

// The example database, made from its SQL text when the build has not made it.
QByteArray exampleDatabase()
{
    const QString built = QStringLiteral(ORVANE_BINARY_DIR "/examples/kunden.sqlite");
    if (QFileInfo::exists(built))
        return contents(built);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kunden.sqlite"));
    const QByteArray sql = contents(QStringLiteral(ORVANE_SOURCE_DIR "/examples/kunden.sql"));
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK ? contents(path) : QByteArray();
}

} // namespace

TEST(HostileDatabaseFiles, DamagedSqliteCopiesAreReadOrRejected)
{
    const QByteArray original = exampleDatabase();
    ASSERT_FALSE(original.isEmpty()) << "no example database";
    const Tally t = runAll(original, QStringLiteral(".sqlite"), 120, 30, 1301);
    EXPECT_EQ(t.crashed + t.hung + t.silent, 0);
}

TEST(HostileDatabaseFiles, DamagedAccessCopiesAreReadOrRejected)
{
    int files = 0;
    for (const char *name : {"DateTestDatabase.mdb", "ASampleDatabase.accdb"}) {
        const QString path = QStringLiteral(ORVANE_TESTDATA_DIR "/") + QLatin1String(name);
        if (!QFileInfo::exists(path))
            continue;
        ++files;
        SCOPED_TRACE(name);
        const Tally t = runAll(contents(path), QFileInfo(path).fileName().prepend(u'.'), 50, 10, 1302);
        EXPECT_EQ(t.crashed + t.hung + t.silent, 0);
    }
    if (files == 0)
        GTEST_SKIP() << "test data absent: " << ORVANE_TESTDATA_DIR;
}
