// Prints a table of timings; run by hand: bench_data [rows] [grid] (QT_QPA_PLATFORM=offscreen).
// "grid" stops after the grid figures, for profiling them (callgrind --toggle-collect=*firstScreen*).
#include "CustomerSlots.h"
#include "BatchScope.h"
#include "Connection.h"
#include "DBGrid.h"
#include "DataSource.h"
#include "RecordSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sqlite3.h>

namespace {

// Counts the paints of a widget, so a timing covers exactly the frame the user sees.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Lets the event loop paint the grid once; paints directly when the loop had nothing to paint.
void showFrame(QApplication &app, DBGrid &grid, const PaintCounter &counter)
{
    const int before = counter.paints;
    app.processEvents();
    if (counter.paints == before)
        grid.viewport()->repaint();
}

// Each grid step is a function of its own, so a profiler can count exactly one of them.
[[gnu::noinline]] void firstScreen(QApplication &app, DBGrid &grid, DataSource &ds, const PaintCounter &counter)
{
    grid.setDataSource(&ds);
    grid.show();
    showFrame(app, grid, counter);
}

[[gnu::noinline]] void jumpTo(QApplication &app, DBGrid &grid, RecordSet &rs, int recNo, const PaintCounter &counter)
{
    rs.setRecNo(recNo);
    showFrame(app, grid, counter);
}

[[gnu::noinline]] void repaintScreen(DBGrid &grid)
{
    grid.viewport()->repaint();
}

const char *fixedText = "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";User ID=Admin;Data Source=";

void build(const QString &path, int rows, const char *journal)
{
    sqlite3 *db;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, journal, nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE TABLE kunden (KolmNummer TEXT PRIMARY KEY, Name1 TEXT, LandKennz TEXT, Plz TEXT, Ort TEXT,"
                     " Strasse TEXT, MPControlGeocode BOOLEAN, MPStatus TEXT, MPAddress TEXT, W2MP DOUBLE, W1MP DOUBLE);"
                     "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *s;
    sqlite3_prepare_v2(db, "INSERT INTO kunden VALUES (?1, 'Kunde ' || ?1, 'D', '80331', 'München', 'Marienplatz ' || ?2,"
                           " ?2 % 2, 'Street', 'Marienplatz, 80331 München', 48.137 + ?2 * 1e-6, 11.575)", -1, &s, nullptr);
    for (int i = 0; i < rows; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "K%07d", i);
        sqlite3_bind_text(s, 1, id, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 2, i);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double rawScan(const QString &path, qint64 *textBytes)
{
    QElapsedTimer t;
    t.start();
    sqlite3 *db;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt *s;
    sqlite3_prepare_v2(db, "select * from kunden", -1, &s, nullptr);
    qint64 bytes = 0;
    double sum = 0;
    while (sqlite3_step(s) == SQLITE_ROW)
        for (int c = 0; c < 11; ++c) {
            if (c == 6 || c >= 9) {
                sum += sqlite3_column_double(s, c);
            } else {
                sqlite3_column_text(s, c);
                bytes += sqlite3_column_bytes(s, c);
            }
        }
    sqlite3_finalize(s);
    sqlite3_close(db);
    *textBytes = bytes + qint64(sum * 0);
    return t.nsecsElapsed() / 1e6;
}

double postRun(const QString &path, int posts, bool batch)
{
    Connection c;
    c.setConnectionText(QString::fromLatin1(fixedText) + path);
    c.open();
    RecordSet rs;
    rs.setConnection(&c);
    addCustomerSlots(rs);
    rs.setCommandText(QStringLiteral("select * from kunden"));
    rs.open();
    rs.setProviderOption(QStringLiteral("Update Criteria"), 0);
    rs.setProviderOption(QStringLiteral("Update Resync"), 15);
    QElapsedTimer t;
    t.start();
    {
        std::optional<BatchScope> scope;
        if (batch)
            scope.emplace(c);
        rs.first();
        for (int i = 0; i < posts && !rs.eof(); ++i, rs.next()) {
            rs.edit();
            rs.fieldByName(QStringLiteral("MPStatus")).setAsString(QStringLiteral("City"));
            rs.fieldByName(QStringLiteral("W2MP")).setAsFloat(50.0 + i * 1e-6);
            rs.post();
        }
    }
    return posts / (t.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const bool gridOnly = argc > 2 && std::strcmp(argv[2], "grid") == 0;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.sqlite"));
    build(path, rows, "PRAGMA journal_mode=DELETE");

    std::printf("%-44s %12s %12s\n", "measure", "value", "unit");
    qint64 textBytes = 0;
    rawScan(path, &textBytes);   // warm the page cache
    const double raw = rawScan(path, &textBytes);
    std::printf("%-44s %12.0f %12s\n", "raw sqlite3 scan, 11 columns", raw, "ms");

    Connection c;
    c.setConnectionText(QString::fromLatin1(fixedText) + path);
    c.open();
    RecordSet rs;
    rs.setConnection(&c);
    addCustomerSlots(rs);
    rs.setCommandText(QStringLiteral("select * from kunden"));
    QElapsedTimer t;
    t.start();
    rs.open();
    const double fetch = t.nsecsElapsed() / 1e6;
    std::printf("%-44s %12.0f %12s\n", "record set open + fetch, 11 slots", fetch, "ms");
    std::printf("%-44s %12.2f %12s\n", "fetch / raw scan", fetch / raw, "x");
    std::printf("%-44s %12.1f %12s\n", "text bytes per row (UTF-8)", double(textBytes) / rows, "bytes");
    std::printf("%-44s %12.1f %12s\n", "storage per row beyond the text", double(rs.storageBytes() - textBytes) / rows, "bytes");

    DataSource ds;
    ds.setDataSet(&rs);
    DBGrid grid;
    PaintCounter counter;
    grid.viewport()->installEventFilter(&counter);
    grid.resize(1200, 800);
    t.start();
    firstScreen(app, grid, ds, counter);
    std::printf("%-44s %12.1f %12s\n", "grid first screen", t.nsecsElapsed() / 1e6, "ms");
    t.start();
    jumpTo(app, grid, rs, rows - 1, counter);
    std::printf("%-44s %12.1f %12s\n", "grid jump to the last record", t.nsecsElapsed() / 1e6, "ms");
    t.start();
    jumpTo(app, grid, rs, rows / 2, counter);
    std::printf("%-44s %12.1f %12s\n", "grid jump to the middle", t.nsecsElapsed() / 1e6, "ms");
    t.start();
    repaintScreen(grid);
    std::printf("%-44s %12.1f %12s\n", "grid repaint of a full screen", t.nsecsElapsed() / 1e6, "ms");
    t.start();
    rs.setSort(QStringLiteral("[Ort] DESC"));
    std::printf("%-44s %12.0f %12s\n", "sort by a text column", t.nsecsElapsed() / 1e6, "ms");
    grid.hide();
    rs.close();
    c.close();
    if (gridOnly)
        return 0;

    const int posts = std::min(rows, 100000);
    const QString wal = dir.filePath(QStringLiteral("wal.sqlite"));
    build(wal, posts, "PRAGMA journal_mode=WAL");
    std::printf("%-44s %12.0f %12s\n", "posts one by one, WAL + NORMAL", postRun(wal, posts, false), "posts/s");
    std::printf("%-44s %12.0f %12s\n", "posts in a batch scope, WAL + NORMAL", postRun(wal, posts, true), "posts/s");
    const QString journal = dir.filePath(QStringLiteral("journal.sqlite"));
    build(journal, posts, "PRAGMA journal_mode=DELETE");
    std::printf("%-44s %12.0f %12s\n", "posts one by one, rollback journal + FULL", postRun(journal, std::min(posts, 2000), false), "posts/s");
    std::printf("%-44s %12.0f %12s\n", "posts in a batch scope, rollback + FULL", postRun(journal, posts, true), "posts/s");
    return 0;
}
