// orvane-batch end to end: the built command over copies of the example database with the
// shipped gazetteer.
#include <BatchProcess.h>

namespace {
const QString Table = QStringLiteral("kunden");

QStringList withTable(const QStringList &mapping)
{
    return QStringList{QStringLiteral("--table"), Table} + mapping;
}

QStringList summaryLines(const QString &out)
{
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.mid(std::max<qsizetype>(0, lines.size() - 2));
}

// The last two lines of a completed run, as numbers.
std::pair<int, int> summary(const BatchOutcome &o)
{
    const QStringList lines = summaryLines(o.out);
    EXPECT_EQ(lines.size(), 2) << qPrintable(o.out);
    EXPECT_TRUE(lines.value(0).startsWith(QStringLiteral("Records geocoded: "))) << qPrintable(o.out);
    EXPECT_TRUE(lines.value(1).startsWith(QStringLiteral("Records not geocoded: "))) << qPrintable(o.out);
    return {lines.value(0).section(QLatin1Char(' '), 2).toInt(), lines.value(1).section(QLatin1Char(' '), 3).toInt()};
}

const QList<QPair<QString, QString>> StoredKunden = {
    {QStringLiteral("Tablename"), QStringLiteral("kunden")},
    {QStringLiteral("IdentifierComboBox"), QStringLiteral("KolmNummer")},
    {QStringLiteral("NameComboBox"), QStringLiteral("Name1")},
    {QStringLiteral("CountryComboBox"), QStringLiteral("LandKennz")},
    {QStringLiteral("PostcodeComboBox"), QStringLiteral("Plz")},
    {QStringLiteral("CityComboBox"), QStringLiteral("Ort")},
    {QStringLiteral("StreetComboBox"), QStringLiteral("Strasse")},
    {QStringLiteral("StatusTextComboBox"), QStringLiteral("MPStatus")},
    {QStringLiteral("GeocodedOnComboBox"), QStringLiteral("MPAddress")},
    {QStringLiteral("ControlGeocodeComboBox"), QStringLiteral("MPControlGeocode")},
    {QStringLiteral("LatitudeComboBox"), QStringLiteral("W2MP")},
    {QStringLiteral("LongitudeComboBox"), QStringLiteral("W1MP")}};
} // namespace

TEST(BatchCommand, CommandLineErrorsEndWithStatusTwoAndNameTheProblem)
{
    ExampleCopy db;
    const QByteArray before = db.fileHash();
    const struct {
        QStringList arguments;
        bool withDatabase;
        QString says;
    } cases[] = {
        {{}, false, QStringLiteral("No database given")},
        {{QStringLiteral("--bogus")}, true, QStringLiteral("bogus")},
        {{QStringLiteral("--table")}, true, QStringLiteral("table")},
        {{QStringLiteral("other.sqlite")}, true, QStringLiteral("other.sqlite")},
        {{QStringLiteral("--edition"), QStringLiteral("ASIA")}, true, QStringLiteral("ASIA")},
        {{QStringLiteral("--map"), QStringLiteral("zip=Plz")}, true, QStringLiteral("zip")},
        {{QStringLiteral("--map"), QStringLiteral("city")}, true, QStringLiteral("ROLE=COLUMN")},
        {FullMapping() + QStringList{QStringLiteral("--map"), QStringLiteral("city=Ort")}, true,
         QStringLiteral("city is mapped twice")},
        {{QStringLiteral("--query"), QStringLiteral(" ")}, true, QStringLiteral("--query")},
    };
    for (const auto &c : cases) {
        const BatchOutcome o = db.run(c.arguments, c.withDatabase);
        EXPECT_EQ(o.exitCode, 2) << qPrintable(c.arguments.join(' '));
        EXPECT_TRUE(o.err.contains(c.says)) << qPrintable(o.err);
        EXPECT_TRUE(o.out.isEmpty()) << qPrintable(o.out);
    }
    EXPECT_EQ(db.fileHash(), before);

    const BatchOutcome help = db.run({QStringLiteral("--help")}, false);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: orvane-batch DATABASE")));
    for (const char *role : {"id", "name", "country", "postcode", "city", "street", "control", "status",
                             "address", "lat", "lon"})
        EXPECT_TRUE(help.out.contains(QLatin1String(role)));
}

TEST(BatchCommand, MappingOrTableProblemsAreNamedBeforeAnythingIsWritten)
{
    ExampleCopy db;
    const QByteArray before = db.fileHash();
    const struct {
        QStringList arguments;
        QStringList says;
    } cases[] = {
        {withTable(MappingWithout(QStringLiteral("lon"))), {QStringLiteral("lon")}},
        {withTable(MappingWithout(QStringLiteral("lat")) + QStringList{QStringLiteral("--map"), QStringLiteral("lat=Ort")}),
         {QStringLiteral("\"Ort\""), QStringLiteral("lat"), QStringLiteral("floating-point")}},
        {withTable(MappingWithout(QStringLiteral("control")) + QStringList{QStringLiteral("--map"), QStringLiteral("control=Nr")}),
         {QStringLiteral("\"Nr\""), QStringLiteral("control"), QStringLiteral("yes/no")}},
        {withTable(MappingWithout(QStringLiteral("city")) + QStringList{QStringLiteral("--map"), QStringLiteral("city=Town")}),
         {QStringLiteral("\"Town\""), QStringLiteral("city")}},
        {QStringList{QStringLiteral("--table"), QStringLiteral("kundschaft")} + FullMapping(), {QStringLiteral("\"kundschaft\"")}},
        {FullMapping(), {QStringLiteral("--table")}},
        {FullMapping() + QStringList{QStringLiteral("--query"), QStringLiteral("select * from kundschaft")},
         {QStringLiteral("kundschaft")}},
        {FullMapping() + QStringList{QStringLiteral("--query"), QStringLiteral("select KolmNummer from kunden")},
         {QStringLiteral("Name1")}},
        {withTable(FullMapping()) + QStringList{QStringLiteral("--gazetteer"), db.folder() + QStringLiteral("/none.sqlite")},
         {QStringLiteral("none.sqlite")}},
        {withTable(FullMapping()) + QStringList{QStringLiteral("--settings"), db.folder() + QStringLiteral("/none.ini")},
         {QStringLiteral("none.ini")}},
    };
    for (const auto &c : cases) {
        const BatchOutcome o = db.run(c.arguments);
        EXPECT_EQ(o.exitCode, 2) << qPrintable(c.arguments.join(' ')) << "\n" << qPrintable(o.err);
        for (const QString &text : c.says)
            EXPECT_TRUE(o.err.contains(text)) << qPrintable(text) << " not in: " << qPrintable(o.err);
        EXPECT_FALSE(o.out.contains(QStringLiteral("Records geocoded")));
    }
    EXPECT_EQ(db.fileHash(), before);
}

TEST(BatchCommand, RunWritesEveryRecordAndEndsWithTheSummary)
{
    ExampleCopy db;
    const BatchOutcome o = db.run(withTable(FullMapping()));
    ASSERT_EQ(o.exitCode, 0) << qPrintable(o.err);
    const auto [geocoded, notGeocoded] = summary(o);
    EXPECT_EQ(geocoded + notGeocoded, db.scalar("select count(*) from kunden").toInt());
    EXPECT_GT(geocoded, 0);
    EXPECT_GT(notGeocoded, 0);
    // Not a terminal: plain lines, no carriage returns.
    EXPECT_FALSE(o.out.contains(QLatin1Char('\r')));

    EXPECT_EQ(db.scalar("select count(*) from kunden where MPStatus <> ''").toInt(), geocoded);
    EXPECT_EQ(db.scalar("select count(*) from kunden where coalesce(MPStatus, '') = '' and coalesce(MPAddress, '') = ''"
                        " and W2MP = 0 and W1MP = 0 and MPControlGeocode = 0").toInt(), notGeocoded);
    const QStringList munich = db.rows("select MPStatus, MPAddress, round(W2MP, 2), round(W1MP, 2) from kunden"
                                       " where KolmNummer = 'K11001'").value(0);
    EXPECT_EQ(munich, (QStringList{"City", "München", "48.14", "11.58"}));
}

TEST(BatchCommand, RunsWithoutADisplayAndWritesWhatAUsualRunWrites)
{
    ExampleCopy usualCopy, headlessCopy;
    const BatchOutcome usual = usualCopy.run(withTable(FullMapping()));
    ASSERT_EQ(usual.exitCode, 0) << qPrintable(usual.err);

    // A platform that cannot start here: a widget application would end the command before the run.
    QProcessEnvironment environment = headlessCopy.environment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const BatchOutcome headless =
        ExampleCopy::runIn(environment, QStringList{headlessCopy.path()} + withTable(FullMapping()));
    ASSERT_EQ(headless.exitCode, 0) << qPrintable(headless.err);
    EXPECT_EQ(summaryLines(headless.out), summaryLines(usual.out));
    EXPECT_EQ(headlessCopy.dump(), usualCopy.dump());
}

TEST(BatchCommand, StoredMappingAndTableAreUsedAndOptionsOverrideSingleRoles)
{
    ExampleCopy db;
    db.storeMapping(StoredKunden);
    const BatchOutcome stored = db.run({});
    ASSERT_EQ(stored.exitCode, 0) << qPrintable(stored.err);
    EXPECT_EQ(summary(stored).first, db.scalar("select count(*) from kunden where MPStatus <> ''").toInt());

    // The stored table is kunden; the options point the run at customers with its own columns.
    const BatchOutcome other = db.run({QStringLiteral("--table"), QStringLiteral("customers"),
                                       QStringLiteral("--map"), QStringLiteral("id=id"), QStringLiteral("--map"), QStringLiteral("name=name"),
                                       QStringLiteral("--map"), QStringLiteral("country=country"), QStringLiteral("--map"), QStringLiteral("postcode=zip"),
                                       QStringLiteral("--map"), QStringLiteral("city=town"), QStringLiteral("--map"), QStringLiteral("street=street"),
                                       QStringLiteral("--map"), QStringLiteral("control=needs_check"),
                                       QStringLiteral("--map"), QStringLiteral("status=geo_status"),
                                       QStringLiteral("--map"), QStringLiteral("address=geo_address"),
                                       QStringLiteral("--map"), QStringLiteral("lat=lat"), QStringLiteral("--map"), QStringLiteral("lon=lon")});
    ASSERT_EQ(other.exitCode, 0) << qPrintable(other.err);
    const auto [geocoded, notGeocoded] = summary(other);
    EXPECT_EQ(geocoded + notGeocoded, db.scalar("select count(*) from customers").toInt());
    EXPECT_EQ(db.scalar("select count(*) from customers where geo_status <> ''").toInt(), geocoded);

    // Without a stored longitude column, one --map fills the gap.
    ExampleCopy partial;
    partial.storeMapping(StoredKunden.mid(0, 11));
    EXPECT_EQ(partial.run({}).exitCode, 2);
    const BatchOutcome filled = partial.run({QStringLiteral("--map"), QStringLiteral("lon=W1MP")});
    EXPECT_EQ(filled.exitCode, 0) << qPrintable(filled.err);
}

TEST(BatchCommand, TableWithASpaceInItsNameIsGeocoded)
{
    ExampleCopy db;
    const QString schema = db.scalar(QStringLiteral("select sql from sqlite_master where name = 'kunden'"));
    db.exec(QString(schema).replace(QStringLiteral("CREATE TABLE kunden"), QStringLiteral("CREATE TABLE \"Asset Items\""))
            + QStringLiteral("; INSERT INTO \"Asset Items\" SELECT * FROM kunden"));
    // Named as the user may type it: the database's own spelling is used.
    const BatchOutcome o = db.run(QStringList{QStringLiteral("--table"), QStringLiteral("asset items")} + FullMapping());
    ASSERT_EQ(o.exitCode, 0) << qPrintable(o.err);
    const int geocoded = summary(o).first;
    EXPECT_GT(geocoded, 0);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from \"Asset Items\" where MPStatus <> ''")).toInt(), geocoded);
}

TEST(BatchCommand, QueryReplacesTheSelectionAndTheEditionDecidesWhatIsFound)
{
    ExampleCopy db;
    const QString austria = QStringLiteral("select * from kunden where LandKennz = 'A'");
    const BatchOutcome o = db.run(FullMapping() + QStringList{QStringLiteral("--query"), austria});
    ASSERT_EQ(o.exitCode, 0) << qPrintable(o.err);
    const auto [geocoded, notGeocoded] = summary(o);
    EXPECT_EQ(geocoded + notGeocoded, db.scalar("select count(*) from kunden where LandKennz = 'A'").toInt());
    EXPECT_EQ(db.scalar("select count(*) from kunden where LandKennz <> 'A' and W2MP is not null").toInt(), 0);

    // Munich lies outside the North American edition: marked not found.
    const BatchOutcome us = db.run(FullMapping() + QStringList{QStringLiteral("--edition"), QStringLiteral("US"),
                                                               QStringLiteral("--query"),
                                                               QStringLiteral("select * from kunden where KolmNummer = 'K11001'")});
    ASSERT_EQ(us.exitCode, 0) << qPrintable(us.err);
    EXPECT_EQ(summary(us), std::make_pair(0, 1));
    EXPECT_EQ(db.rows("select coalesce(MPStatus, ''), W2MP, W1MP from kunden where KolmNummer = 'K11001'").value(0),
              (QStringList{"", "0.0", "0.0"}));
}

TEST(BatchCommand, ErrorsDuringTheRunEndWithStatusOneAndKeepEarlierPosts)
{
    ExampleCopy db;
    // The database refuses the tenth record's post.
    db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON kunden WHEN OLD.Nr = 1010 "
                           "BEGIN SELECT RAISE(ABORT, 'record 1010 is locked by the auditor'); END;"));
    const BatchOutcome o = db.run(withTable(FullMapping()));
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.err.contains(QStringLiteral("record 1010 is locked by the auditor"))) << qPrintable(o.err);
    EXPECT_FALSE(o.out.contains(QStringLiteral("Records geocoded")));
    EXPECT_EQ(db.scalar("select count(*) from kunden where rowid < (select rowid from kunden where Nr = 1010)"
                        " and W2MP is not null").toInt(),
              db.scalar("select count(*) from kunden where rowid < (select rowid from kunden where Nr = 1010)").toInt());
    EXPECT_EQ(db.scalar("select count(*) from kunden where rowid >= (select rowid from kunden where Nr = 1010)"
                        " and W2MP is not null").toInt(), 0);

    ExampleCopy empty;
    const BatchOutcome none = empty.run(FullMapping() + QStringList{QStringLiteral("--query"),
                                                                    QStringLiteral("select * from kunden where 1 = 0")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("no records"))) << qPrintable(none.err);

    const BatchOutcome missing = db.run({}, false);
    const BatchOutcome noFile = db.run(QStringList{db.folder() + QStringLiteral("/absent.sqlite")} + withTable(FullMapping()), false);
    EXPECT_EQ(noFile.exitCode, 1);
    EXPECT_TRUE(noFile.err.contains(QStringLiteral("absent.sqlite"))) << qPrintable(noFile.err);
    EXPECT_FALSE(QFile::exists(db.folder() + QStringLiteral("/absent.sqlite")));
    EXPECT_EQ(missing.exitCode, 2);
}

TEST(BatchCommand, SettingsFileIsReadButNeitherItNorTheDatabaseTakesTheOther)
{
    ExampleCopy db;
    const QString settings = db.folder() + QStringLiteral("/orvane.ini");
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Quenlo]\r\nDefaultCountry=AT\r\n");
    }
    const BatchOutcome o = db.run(withTable(FullMapping()) + QStringList{QStringLiteral("--settings"), settings});
    ASSERT_EQ(o.exitCode, 0) << qPrintable(o.err);
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[Quenlo]\r\nDefaultCountry=AT\r\n"));
    EXPECT_EQ(db.scalar("pragma integrity_check"), QStringLiteral("ok"));
}
