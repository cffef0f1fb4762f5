// The batch run as the program does it — progress window, status panel repainted per record,
// one post per record in a batch scope — over the example records repeated, window offscreen.
#include <BatchGeocodeRun.h>
#include <Connection.h>
#include <CustomerRecords.h>
#include <EmbeddedMapSite.h>
#include <KarteUnit.h>
#include <MapEngineClasses.h>
#include <MapWindow.h>
#include <OleContainer.h>
#include <ProgressRunView.h>
#include <RecordSet.h>
#include <StartupEnvironment.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <sqlite3.h>

#include <cstdio>

namespace {
// Repeats the example records until the table holds `records` rows.
bool makeDatabase(const QString &path, int records)
{
    if (!QFile::copy(QStringLiteral(ORVANE_EXAMPLE_DB), path))
        return false;
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const QByteArray sql = QStringLiteral(
        "PRAGMA journal_mode=WAL;"
        "CREATE TEMP TABLE seed AS SELECT * FROM kunden;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
        " INSERT INTO kunden (Nr, KolmNummer, Name1, LandKennz, Plz, Ort, Strasse, MPControlGeocode)"
        " SELECT Nr, KolmNummer || '-' || i, Name1, LandKennz, Plz, Ort, Strasse, 0 FROM seed, n;"
        "DELETE FROM kunden WHERE rowid NOT IN (SELECT rowid FROM kunden LIMIT %2);")
                               .arg(records / 300 + 1)
                               .arg(records)
                               .toUtf8();
    char *error = nullptr;
    const bool ok = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) == SQLITE_OK;
    if (!ok)
        std::fprintf(stderr, "%s\n", error);
    sqlite3_free(error);
    sqlite3_close(db);
    return ok;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    RegisterMapEngineClasses(GazetteerFilesFromEnvironment(), &MapWindow::forMap);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("customers.sqlite"));
    if (!makeDatabase(path, records))
        return 1;

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *container = new OleContainer(&window);
    auto *statusPanel = new QLabel(&window);
    statusPanel->setFixedWidth(50);
    layout->addWidget(container);
    layout->addWidget(statusPanel);
    window.resize(900, 640);
    window.show();
    TEmbeddedMapSite site(container);
    KartenModul().CreateMap(site, QStringLiteral("MapPoint.Map.EU.9"));

    Connection connection;
    connection.setConnectionText(TCustomerRecords::ConnectionText(path));
    connection.open();
    RecordSet customers;
    customers.setConnection(&connection);
    TCustomerRecords::AddFieldSlots(customers);
    TCustomerRecords::OpenTable(customers, QStringLiteral("kunden"));
    const TColumnMapping columns{QStringLiteral("KolmNummer"), QStringLiteral("LandKennz"),
                                 QStringLiteral("Plz"),        QStringLiteral("Ort"),
                                 QStringLiteral("Strasse"),    QStringLiteral("MPStatus"),
                                 QStringLiteral("MPAddress"),  QStringLiteral("MPControlGeocode"),
                                 QStringLiteral("W2MP"),       QStringLiteral("W1MP")};

    // The summary waits for its OK like the user would give it.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->accept();
    });
    answer.start(10);

    TProgressRunView view(&window, [statusPanel](const QString &text) {
        statusPanel->setText(text);
        statusPanel->repaint();
    });
    QElapsedTimer clock;
    clock.start();
    const TBatchCounts counts = TBatchGeocodeRun::Run(customers, columns, view);
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf("records %d  geocoded %d  not geocoded %d  %.2f s  %.0f records/s\n", counts.Visited,
                counts.Geocoded, counts.NotGeocoded, seconds, counts.Visited / seconds);
    return 0;
}
