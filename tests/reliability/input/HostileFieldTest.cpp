// Records whose address fields hold what no form would let through (10,000 characters, NUL,
// control characters, lone surrogates, bytes that are no UTF-8) run the way a batch run treats
// them: read, looked up, result columns set and posted. Nothing may crash or hang, and every
// column the run does not write keeps its stored bytes exactly.
#include "Connection.h"
#include "Field.h"
#include "Gazetteer.h"
#include "GazetteerStore.h"
#include "ImportProgress.h"
#include "Geocoder.h"
#include "RecordSet.h"

#include <QTemporaryDir>

#include <sqlite3.h>
#include <gtest/gtest.h>

using namespace Engine;

namespace {

const char *const AddressColumns[] = {"Name1", "LandKennz", "Plz", "Ort", "Strasse"};
const char *const Untouched[] = {"KolmNummer", "Name1", "LandKennz", "Plz", "Ort", "Strasse", "Bemerkung"};

// One hostile value as raw bytes, stored as text or as a blob.
struct Hostile {
    const char *what;
    QByteArray bytes;
    bool blob = false;
};

QList<Hostile> hostileValues()
{
    QByteArray controls;
    for (int c = 1; c < 32; ++c)
        controls += char(c);
    return {
        {"10,000 characters", QByteArray(10000, 'a')},
        {"10,000 umlauts", QString(10000, QChar(0xFC)).toUtf8()},
        {"10,000 blanks and a name", QByteArray(9990, ' ') + "München"},
        {"embedded NUL", QByteArray("M\0nchen", 7)},
        {"only NUL", QByteArray(16, '\0')},
        {"control characters", controls + "Hauptstr. 1" + controls},
        {"lone high surrogate as bytes", QByteArray("Ha\xED\xA0\x80uptstr")},
        {"lone low surrogate as bytes", QByteArray("\xED\xB0\x80")},
        {"not UTF-8", QByteArray("Stra\xDF" "e \xFF\xFE")},
        {"blob", QByteArray("\x00\x01\x02\xFFM\xC3\xBC", 7), true},
        {"right-to-left and joiners", QString::fromUtf16(u"\u202EMain\u200D\u200B St\uFEFF").toUtf8()},
        {"empty", QByteArray()},
    };
}

QString smallGazetteer(const QString &file)
{
    GazetteerStore store(file);
    SegmentBuilder &source = store.beginSource(QStringLiteral("t"));
    source.putPlace(QStringLiteral("t"), QStringLiteral("1"), {QStringLiteral("DE"), QStringLiteral("München"), {}, 48.137, 11.575, 1500000}, {});
    source.putPostcode({QStringLiteral("DE"), QStringLiteral("80331"), QStringLiteral("München"), {}, 48.137, 11.575, LocationKind::PostcodeArea});
    source.putStreet(QStringLiteral("DE"), QStringLiteral("Hauptstraße"), QStringLiteral("80331"), QStringLiteral("München"),
                     {{48.137, 11.575}, {48.138, 11.576}});
    Engine::ImportProgress progress(QStringLiteral("test"), 0, nullptr);
    store.endSource(3, progress);
    store.commit();
    return file;
}

class Sqlite {
public:
    explicit Sqlite(const QString &file) { sqlite3_open(file.toUtf8().constData(), &m_db); }
    ~Sqlite() { sqlite3_close(m_db); }
    void exec(const char *sql) { ASSERT_EQ(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(m_db); }
    sqlite3 *db() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

// Every stored value of the columns, with its storage class, in key order.
QList<QByteArray> storedBytes(const QString &file)
{
    Sqlite s(file);
    QList<QByteArray> values;
    QStringList columns;
    for (const char *c : Untouched)
        columns << QStringLiteral("typeof(%1), CAST(%1 AS BLOB)").arg(QLatin1String(c));
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(s.db(), QStringLiteral("select %1 from kunden order by rowid").arg(columns.join(u','))
                                   .toUtf8().constData(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            values << QByteArray(static_cast<const char *>(sqlite3_column_blob(st, i)), sqlite3_column_bytes(st, i));
    sqlite3_finalize(st);
    return values;
}

} // namespace

TEST(HostileFields, EveryMappedColumnSurvivesARunByteForByte)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kunden.sqlite"));
    {
        Sqlite s(file);
        s.exec("CREATE TABLE kunden (KolmNummer VARCHAR(30) NOT NULL PRIMARY KEY, Name1 VARCHAR(32), LandKennz VARCHAR(5),"
               " Plz VARCHAR(10), Ort VARCHAR(30), Strasse VARCHAR(80), MPControlGeocode BOOLEAN DEFAULT 0,"
               " MPStatus VARCHAR(50), MPAddress VARCHAR(50), W2MP DOUBLE, W1MP DOUBLE, Bemerkung MEMO)");
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(s.db(), "INSERT INTO kunden (KolmNummer, Name1, LandKennz, Plz, Ort, Strasse, Bemerkung) "
                                   "VALUES (?, 'Firma', 'D', '80331', 'München', 'Hauptstraße 1', ?)", -1, &insert, nullptr);
        int n = 0;
        // Each hostile value in each address column in turn, the others plain.
        for (const char *column : AddressColumns)
            for (const Hostile &h : hostileValues()) {
                sqlite3_reset(insert);
                const QByteArray key = "K" + QByteArray::number(++n);
                sqlite3_bind_text(insert, 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(insert, 2, h.bytes.constData(), int(h.bytes.size()), SQLITE_TRANSIENT);
                ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
                sqlite3_stmt *set = nullptr;
                sqlite3_prepare_v2(s.db(), QStringLiteral("UPDATE kunden SET %1 = ? WHERE KolmNummer = ?").arg(QLatin1String(column))
                                               .toUtf8().constData(), -1, &set, nullptr);
                if (h.blob)
                    sqlite3_bind_blob(set, 1, h.bytes.constData(), int(h.bytes.size()), SQLITE_TRANSIENT);
                else
                    sqlite3_bind_text(set, 1, h.bytes.constData(), int(h.bytes.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(set, 2, key.constData(), int(key.size()), SQLITE_TRANSIENT);
                ASSERT_EQ(sqlite3_step(set), SQLITE_DONE) << h.what;
                sqlite3_finalize(set);
            }
        sqlite3_finalize(insert);
    }
    const QList<QByteArray> before = storedBytes(file);

    const auto gazetteer = Gazetteer::open({smallGazetteer(dir.filePath(QStringLiteral("gazetteer.bin")))});
    const Geocoder europe(gazetteer, Edition::Europe), northAmerica(gazetteer, Edition::NorthAmerica);
    Connection connection;
    connection.setConnectionText(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + file);
    connection.open();
    RecordSet rs;
    rs.setConnection(&connection);
    rs.setCommandText(QStringLiteral("select * from kunden"));
    rs.open();
    int posted = 0;
    for (rs.first(); !rs.eof(); rs.next()) {
        const QString street = rs.fieldByName(QStringLiteral("Strasse")).asString();
        const QString city = rs.fieldByName(QStringLiteral("Ort")).asString();
        const QString postcode = rs.fieldByName(QStringLiteral("Plz")).asString();
        (void)rs.fieldByName(QStringLiteral("Name1")).displayText();
        for (const Geocoder *g : {&europe, &northAmerica}) {
            const Answer a = g->lookup(street, city, postcode, posted % 2 ? 94 : 0);
            EXPECT_GE(int(a.quality), 0);
            EXPECT_LE(int(a.quality), 3);
        }
        const Answer a = europe.lookup(street, city, postcode, 94);
        rs.edit();
        rs.fieldByName(QStringLiteral("MPStatus")).setAsString(QString::number(int(a.quality)));
        rs.fieldByName(QStringLiteral("MPAddress")).setAsString(a.matches.empty() ? QString() : a.matches.front().displayName);
        rs.fieldByName(QStringLiteral("W2MP")).setAsFloat(a.matches.empty() ? 0 : a.matches.front().latitude);
        rs.fieldByName(QStringLiteral("W1MP")).setAsFloat(a.matches.empty() ? 0 : a.matches.front().longitude);
        rs.fieldByName(QStringLiteral("MPControlGeocode")).setAsBoolean(true);
        rs.post();
        ++posted;
    }
    rs.close();
    connection.close();
    EXPECT_EQ(posted, int(std::size(AddressColumns) * hostileValues().size()));

    const QList<QByteArray> after = storedBytes(file);
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (qsizetype i = 0; i < before.size(); ++i)
        if (after[i] != before[i]) {
            ++changed;
            ADD_FAILURE() << "record " << i / qsizetype(2 * std::size(Untouched)) + 1 << ", column "
                          << Untouched[(i / 2) % qsizetype(std::size(Untouched))] << ": stored bytes changed";
        }
    std::printf("hostile fields: %d records posted, %lld stored values compared, %d changed\n", posted,
                static_cast<long long>(before.size() / 2), changed);
}
