#include "Gazetteer.h"
#include "GazetteerImporter.h"
#include <TestFiles.h>

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Engine;
using TestFiles::placeRow;

namespace {

class GazetteerTest : public ::testing::Test {
protected:
    QString importPlaces(const QString &name, const QStringList &rows)
    {
        const QString txt = dir.filePath(name + QStringLiteral(".txt")), file = dir.filePath(name + QStringLiteral(".bin"));
        TestFiles::writeLines(txt, rows);
        GazetteerImporter(file).import({txt});
        return file;
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(GazetteerTest, OpenNamesTheFileThatIsMissingOrNotAGazetteer)
{
    try {
        Gazetteer::open({dir.filePath(QStringLiteral("none.bin"))});
        FAIL();
    } catch (const GazetteerError &e) {
        EXPECT_NE(std::string(e.what()).find("none.bin"), std::string::npos);
    }
    TestFiles::write(dir.filePath(QStringLiteral("text.bin")), "just text, not a database");
    EXPECT_THROW(Gazetteer::open({dir.filePath(QStringLiteral("text.bin"))}), GazetteerError);
}

TEST_F(GazetteerTest, DefaultOpenReadsTheUsersGazetteerWhenItExists)
{
    const QString shipped = importPlaces(QStringLiteral("shipped"),
                                         {placeRow(1, QStringLiteral("Ulm"), {}, 48.4, 10.0, QStringLiteral("DE"), {}, 120000)});
    const QString user = importPlaces(QStringLiteral("user"),
                                      {placeRow(2, QStringLiteral("Neu-Ulm"), {}, 48.39, 10.01, QStringLiteral("DE"), {}, 58000)});
    EXPECT_EQ(Gazetteer::openDefault({shipped, user})->places().size(), 2u);
    // No user file yet: the shipped one alone.
    EXPECT_EQ(Gazetteer::openDefault({shipped, dir.filePath(QStringLiteral("later.bin"))})->places().size(), 1u);
    EXPECT_THROW(Gazetteer::openDefault({dir.filePath(QStringLiteral("gone.bin")), user}), GazetteerError);
}

TEST_F(GazetteerTest, UserRecordsReplaceShippedRecordsOfTheSameSource)
{
    const QString shipped = importPlaces(QStringLiteral("shipped"),
                                         {placeRow(1, QStringLiteral("Ulm"), {}, 48.4, 10.0, QStringLiteral("DE"), {}, 120000)});
    const QString user = importPlaces(QStringLiteral("user"),
                                      {placeRow(1, QStringLiteral("Ulm"), {}, 48.4, 10.0, QStringLiteral("DE"), {}, 126000)});
    const auto g = Gazetteer::open({shipped, user});
    const auto ulm = g->placesNamed("ulm");
    ASSERT_EQ(ulm.size(), 1u);
    EXPECT_EQ(g->place(ulm[0].place).population, 126000);
    EXPECT_EQ(g->placesIn({48, 9.5, 49, 10.5}, 0, 10).size(), 1u);
    EXPECT_EQ(g->placeServing(48.4, 10.0)->population, 126000);
}

TEST_F(GazetteerTest, PlacesInABoxLargestFirst)
{
    const QString file = importPlaces(QStringLiteral("g"),
                                      {placeRow(1, QStringLiteral("Small"), {}, 48.0, 10.0, QStringLiteral("DE"), {}, 600),
                                       placeRow(2, QStringLiteral("Big"), {}, 48.1, 10.1, QStringLiteral("DE"), {}, 90000),
                                       placeRow(3, QStringLiteral("Outside"), {}, 52.0, 13.0, QStringLiteral("DE"), {}, 3000000),
                                       placeRow(4, QStringLiteral("Fiji"), {}, -17.0, 179.9, QStringLiteral("FJ"), {}, 1000),
                                       placeRow(5, QStringLiteral("Samoa"), {}, -14.0, -171.0, QStringLiteral("WS"), {}, 1000)});
    const auto g = Gazetteer::open({file});
    auto names = [](const std::vector<PlaceLabel> &labels) {
        QStringList out;
        for (const PlaceLabel &l : labels)
            out << l.name;
        return out.join(u',');
    };
    EXPECT_EQ(names(g->placesIn({47.5, 9.5, 48.5, 10.5}, 0, 10)), QStringLiteral("Big,Small"));
    EXPECT_EQ(names(g->placesIn({47.5, 9.5, 48.5, 10.5}, 1000, 10)), QStringLiteral("Big"));
    EXPECT_EQ(names(g->placesIn({47.5, 9.5, 48.5, 10.5}, 0, 1)), QStringLiteral("Big"));
    // A view across the antimeridian.
    EXPECT_EQ(names(g->placesIn({-20, 170, -10, -170}, 0, 10)), QStringLiteral("Fiji,Samoa"));
}
