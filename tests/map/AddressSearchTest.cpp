#include "MapModuleFixture.h"

using Scripted::Answer;
using Scripted::Postal;
using Scripted::Result;

namespace {

Result place(const QString &name, double latitude, double longitude)
{
    return {latitude, longitude, LocationKind::PopulatedPlace, name, std::nullopt};
}

Result postcodeArea(const QString &name, double latitude, double longitude, LocationKind kind = LocationKind::PostcodeArea)
{
    return {latitude, longitude, kind, name, std::nullopt};
}

Result street(const QString &name, double latitude, double longitude, const QString &postcode,
              const QString &city = "Musterstadt", const QString &streetName = "Hauptstraße")
{
    return {latitude, longitude, LocationKind::Street, name, Postal{postcode, city, streetName}};
}

QStringList names(const TKartenModul &m)
{
    QStringList out;
    for (int i = 0; i < m.CandidateCount(); ++i)
        out << m.Candidates()[static_cast<size_t>(i)].DisplayName;
    return out;
}

class AddressSearch : public MapModuleTest {
protected:
    void SetUp() override
    {
        MapModuleTest::SetUp();
        createMap();
    }
    const RListStructure &candidate(int i) const { return module.Candidates()[static_cast<size_t>(i)]; }
    QStringList lookups() const { return engine->calls("LookupAddress"); }
    bool search(const QString &postcode, const QString &city, const QString &streetName, bool showPin = false)
    {
        return module.SearchAddress("D", postcode, city, streetName, "pin", showPin, showPin);
    }
};

} // namespace

TEST_F(AddressSearch, QualityOneTakesOnlyTheFirstResult)
{
    engine->addAnswer({1, {place("Ulm", 48.4, 10.0), place("Neu-Ulm", 48.39, 10.01), place("Ulmen", 50.2, 7.0)}});
    RAddressSearchResult r;
    module.GeocodeSilent("D", "", "Ulm", "", "1", r);

    EXPECT_EQ(engine->calls("ResultItem"), QStringList{"ResultItem(1)"});
    EXPECT_EQ(module.CandidateCount(), 1);
    EXPECT_EQ(module.SelectedCandidate(), 0);
    EXPECT_TRUE(r.Found);
    EXPECT_FALSE(r.NeedsControl);
    EXPECT_EQ(r.StatusKind, StatusKind::City);
    EXPECT_EQ(r.MatchedAddress, "Ulm");
    EXPECT_NEAR(r.Latitude, 48.4, 1e-9);
    EXPECT_NEAR(r.Longitude, 10.0, 1e-9);
    EXPECT_EQ(r.Country, "DE");
}

TEST_F(AddressSearch, QualityZeroKeepsEveryResultAndChoosesTheFirst)
{
    engine->addAnswer({0, {street("Hauptstraße 1-9", 48.1, 11.5, "80331", "München"),
                           street("Hauptstraße 10-20", 48.101, 11.5, "80331", "München")}});
    RAddressSearchResult r;
    module.GeocodeSilent("D", "80331", "München", "Hauptstraße", "1", r);

    EXPECT_EQ(names(module), (QStringList{"Hauptstraße 1-9", "Hauptstraße 10-20"}));
    EXPECT_EQ(module.SelectedCandidate(), 0);
    EXPECT_TRUE(r.Found);
    EXPECT_FALSE(r.NeedsControl);
    EXPECT_EQ(r.StatusKind, StatusKind::Street);
    EXPECT_EQ(r.Postcode, "80331");
    EXPECT_EQ(r.City, "München");
    EXPECT_EQ(r.Street, "Hauptstraße");
    EXPECT_EQ(lookups(), QStringList{"LookupAddress(Hauptstraße|München|||80331|94)"});
}

TEST_F(AddressSearch, TwoEqualAddressesAtOnePlaceCountAsOne)
{
    // 0.0019 degrees apart, clearly inside the limit of 0.002 whatever the rounding.
    engine->addAnswer({2, {street("Marienplatz a", 48.137, 11.575, "80331"),
                           street("Marienplatz b", 48.1389, 11.575, "80331")}});
    ASSERT_TRUE(search("80331", "Musterstadt", "Hauptstraße"));
    EXPECT_EQ(module.CandidateCount(), 2);
    EXPECT_EQ(module.SelectedCandidate(), 0);
    EXPECT_FALSE(candidate(0).NeedsControl);
    EXPECT_FALSE(candidate(1).NeedsControl);
    EXPECT_EQ(lookups().size(), 1);
}

TEST_F(AddressSearch, EqualAddressesFartherApartOrDifferentTextsStayAmbiguous)
{
    // 0.0021 degrees apart, clearly outside the limit: the street is dropped as for any
    // ambiguous street answer.
    engine->addAnswer({2, {street("a", 48.137, 11.575, "80331"), street("b", 48.1391, 11.575, "80331")}});
    engine->addAnswer({1, {postcodeArea("80331 München", 48.137, 11.575)}});
    ASSERT_TRUE(search("80331", "München", "Hauptstraße"));
    EXPECT_EQ(lookups(), (QStringList{"LookupAddress(Hauptstraße|München|||80331|94)",
                                      "LookupAddress(|München|||80331|94)"}));
    EXPECT_EQ(names(module), QStringList{"80331 München"});

    // Close together but another street text.
    engine->addAnswer({2, {street("a", 48.137, 11.575, "80331", "München", "Hauptstraße"),
                           street("b", 48.1375, 11.575, "80331", "München", "Hauptstrasse")}});
    engine->addAnswer({2, {place("München", 48.137, 11.575), place("München-Pasing", 48.14, 11.46)}});
    engine->clearCalls();
    ASSERT_TRUE(search("80331", "München", "Hauptstraße"));
    EXPECT_EQ(lookups().size(), 2);
    // No postcode area and no street left: candidates stay, none is chosen.
    EXPECT_EQ(module.CandidateCount(), 2);
    EXPECT_EQ(module.SelectedCandidate(), -1);
}

TEST_F(AddressSearch, AmbiguousAnswerWithoutStreetKeepsCandidatesButChoosesNone)
{
    engine->addAnswer({2, {place("Berg (Starnberg)", 47.97, 11.35), place("Berg (Hof)", 50.4, 11.8)}});
    RAddressSearchResult r;
    module.GeocodeSilent("D", "", "Berg", "", "1", r);
    EXPECT_EQ(module.CandidateCount(), 2);
    EXPECT_EQ(module.SelectedCandidate(), -1);
    EXPECT_TRUE(candidate(0).NeedsControl);
    EXPECT_TRUE(candidate(1).NeedsControl);
    EXPECT_FALSE(r.Found);
    EXPECT_EQ(r.MatchedAddress, "");

    engine->addAnswer({2, {place("Berg (Starnberg)", 47.97, 11.35), place("Berg (Hof)", 50.4, 11.8)}});
    EXPECT_TRUE(search("", "Berg", ""));
}

TEST_F(AddressSearch, QualityThreeScansBackwards)
{
    engine->addAnswer({3, {place("r1", 48.0, 11.0), place("r2", 48.1, 11.0), place("r3", 48.2, 11.0),
                           place("r4", 48.3, 11.0)}});
    ASSERT_TRUE(search("", "Irgendwo", ""));
    EXPECT_EQ(names(module), (QStringList{"r4", "r3", "r2", "r1"}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(candidate(i).ResultNumber, 4 - i);
        EXPECT_TRUE(candidate(i).NeedsControl);
    }
    EXPECT_EQ(module.SelectedCandidate(), -1);
}

TEST_F(AddressSearch, FarCandidatesAreDroppedAndTheNearestStreetIsChosen)
{
    // Around the postcode area at longitude 10.0, latitude 50.0: 0.7, 0.3, area, 0.1.
    engine->addAnswer({2, {street("s07", 50.0, 10.7, "12345"), street("s03", 50.0, 10.3, "12345"),
                           postcodeArea("12345", 50.0, 10.0), street("s01", 50.0, 10.1, "12345")}});
    RAddressSearchResult r;
    module.GeocodeSilent("D", "12345", "Musterstadt", "Hauptstraße", "1", r);

    EXPECT_EQ(names(module), (QStringList{"s03", "12345", "s01"}));
    EXPECT_EQ(module.SelectedCandidate(), 2);
    EXPECT_EQ(r.MatchedAddress, "s01");
    EXPECT_EQ(r.StatusKind, StatusKind::Street);
    EXPECT_EQ(TKartenModul::GetStatusText(r.StatusKind), "Street");
    EXPECT_TRUE(r.NeedsControl);
    EXPECT_TRUE(engine->pins().empty());
}

TEST_F(AddressSearch, PinMarksTheChosenCandidatesOwnResultAfterThinning)
{
    engine->addAnswer({2, {street("s07", 50.0, 10.7, "12345"), street("s03", 50.0, 10.3, "12345"),
                           postcodeArea("12345", 50.0, 10.0), street("s01", 50.0, 10.1, "12345")}});
    ASSERT_TRUE(search("12345", "Musterstadt", "Hauptstraße", true));
    ASSERT_EQ(engine->pins().size(), 1u);
    EXPECT_EQ(engine->pins()[0]->locationName, "s01");
    EXPECT_EQ(engine->pins()[0]->symbol, 1);
    EXPECT_EQ(engine->pins()[0]->name, "pin");
    EXPECT_EQ(engine->viewCentre(), "s01");
    ASSERT_EQ(module.PushPins().Count(), 1);
    const auto record = std::dynamic_pointer_cast<IPushPinObject>(module.PushPins().Items(0));
    EXPECT_EQ(record->GetLongitude(), 0.0);
    EXPECT_EQ(record->GetLatitude(), 0.0);
}

TEST_F(AddressSearch, PinMarksTheChosenCandidatesOwnResultAfterReversal)
{
    // Reversed to s07, s03, area, s01; s01 is engine result 1.
    engine->addAnswer({3, {street("s01", 50.0, 10.1, "12345"), postcodeArea("12345", 50.0, 10.0, LocationKind(15)),
                           street("s03", 50.0, 10.3, "12345"), street("s07", 50.0, 10.7, "12345")}});
    ASSERT_TRUE(search("12345", "Musterstadt", "Hauptstraße", true));
    EXPECT_EQ(names(module), (QStringList{"s03", "12345", "s01"}));
    EXPECT_EQ(module.SelectedCandidate(), 2);
    EXPECT_EQ(candidate(2).ResultNumber, 1);
    ASSERT_EQ(engine->pins().size(), 1u);
    EXPECT_EQ(engine->pins()[0]->locationName, "s01");
    EXPECT_EQ(engine->calls("ResultItem").last(), "ResultItem(1)");
}

TEST_F(AddressSearch, OnlyFarCityResultsLeaveThePostcodeArea)
{
    engine->addAnswer({2, {place("Far 1", 50.6, 10.0), postcodeArea("12345", 50.0, 10.0, LocationKind::PostcodeDistrict),
                           place("Far 2", 50.0, 10.8)}});
    RAddressSearchResult r;
    module.GeocodeSilent("D", "12345", "Musterstadt", "", "1", r);
    EXPECT_EQ(names(module), QStringList{"12345"});
    EXPECT_EQ(r.StatusKind, StatusKind::Postcode);
    EXPECT_EQ(TKartenModul::GetStatusText(r.StatusKind), "Postcode");
    EXPECT_TRUE(r.NeedsControl);
}

TEST_F(AddressSearch, TiesGoToTheHigherIndex)
{
    // Two streets at one spot (different texts, so not merged) are exactly equally near.
    engine->addAnswer({2, {postcodeArea("12345", 50.0, 10.0), street("one", 50.0, 10.2, "12345", "A"),
                           street("two", 50.0, 10.2, "12345", "B"), place("far", 51.0, 10.0)}});
    ASSERT_TRUE(search("12345", "Musterstadt", "Hauptstraße"));
    EXPECT_EQ(names(module), (QStringList{"12345", "one", "two"}));
    EXPECT_EQ(module.SelectedCandidate(), 2);
}

TEST_F(AddressSearch, LastPostcodeAreaInListOrderIsTheReference)
{
    engine->addAnswer({2, {postcodeArea("first", 50.0, 10.0), street("near second", 51.0, 12.1, "12345"),
                           postcodeArea("second", 51.0, 12.0)}});
    ASSERT_TRUE(search("12345", "Musterstadt", "Hauptstraße"));
    EXPECT_EQ(names(module), (QStringList{"near second", "second"}));
    EXPECT_EQ(module.SelectedCandidate(), 0);
}

TEST_F(AddressSearch, AnotherPostcodeInEveryAnswerWidensUntilNothingIsLeft)
{
    for (int i = 0; i < 3; ++i)
        engine->addAnswer({0, {street("other", 48.0, 11.0, "22222"), place("city", 48.0, 11.0)}});
    RAddressSearchResult r;
    module.GeocodeSilent("D", "11111", "Musterstadt", "Hauptstraße", "1", r);
    EXPECT_EQ(lookups(), (QStringList{"LookupAddress(Hauptstraße|Musterstadt|||11111|94)",
                                      "LookupAddress(|Musterstadt|||11111|94)",
                                      "LookupAddress(||||11111|94)"}));
    EXPECT_EQ(engine->answersLeft(), 0);
    EXPECT_FALSE(r.Found);
    EXPECT_EQ(module.CandidateCount(), 0);
    EXPECT_EQ(module.SelectedCandidate(), -1);
    // The caller's texts are untouched by the widening.
    EXPECT_EQ(r.Country, "DE");
}

TEST_F(AddressSearch, EmptyPostcodeStopsTheScanAtTheFirstPostalAddress)
{
    engine->addAnswer({0, {place("Berg", 47.97, 11.35), street("Hauptstraße, Berg", 47.97, 11.35, "82335"),
                           place("Berg 2", 47.9, 11.3)}});
    ASSERT_TRUE(search("", "Berg", "Hauptstraße"));
    EXPECT_EQ(names(module), QStringList{"Berg"});

    // Only street-level results: the street is dropped and the city asked alone.
    engine->addAnswer({0, {street("Hauptstraße, Berg", 47.97, 11.35, "82335")}});
    engine->addAnswer({1, {place("Berg", 47.97, 11.35)}});
    engine->clearCalls();
    ASSERT_TRUE(search("", "Berg", "Hauptstraße"));
    EXPECT_EQ(lookups(), (QStringList{"LookupAddress(Hauptstraße|Berg||||94)", "LookupAddress(|Berg||||94)"}));
    EXPECT_EQ(names(module), QStringList{"Berg"});

    // A postal address with an empty postcode matches the empty postcode.
    engine->addAnswer({0, {street("no code", 47.97, 11.35, "")}});
    ASSERT_TRUE(search("", "Berg", "Hauptstraße"));
    EXPECT_EQ(names(module), QStringList{"no code"});
}

TEST_F(AddressSearch, AnEmptyAnswerEndsTheSearchWithoutWidening)
{
    engine->addAnswer({0, {}});
    EXPECT_FALSE(search("80331", "München", "Hauptstraße"));
    EXPECT_EQ(lookups().size(), 1);
    EXPECT_EQ(module.CandidateCount(), 0);
    EXPECT_EQ(module.SelectedCandidate(), -1);
}

TEST_F(AddressSearch, AnEmptyAddressAsksTheEngineNothing)
{
    RAddressSearchResult r;
    r.Found = true;
    r.MatchedAddress = "stale";
    module.GeocodeSilent("D", "", "", "", "1", r);
    EXPECT_FALSE(r.Found);
    EXPECT_EQ(r.MatchedAddress, "");
    EXPECT_TRUE(lookups().isEmpty());
}

TEST_F(AddressSearch, CountryCodeBecomesTheEnginesCountryNumber)
{
    for (int i = 0; i < 4; ++i)
        engine->addAnswer({0, {}});
    module.SearchAddress("USA", "10001", "", "", "1", false, false);
    module.SearchAddress("CAN", "10001", "", "", "1", false, false);
    module.SearchAddress("DE", "10001", "", "", "1", false, false);
    module.SearchAddress("d", "10001", "", "", "1", false, false);
    EXPECT_EQ(lookups(), (QStringList{"LookupAddress(||||10001|244)", "LookupAddress(||||10001|39)",
                                      "LookupAddress(||||10001|0)", "LookupAddress(||||10001|0)"}));
}

TEST_F(AddressSearch, UnknownQualityTakesTheFirstResultWithoutChoice)
{
    engine->addAnswer({7, {postcodeArea("12345", 50.0, 10.0), place("x", 50.0, 10.0)}});
    ASSERT_TRUE(search("12345", "", ""));
    EXPECT_EQ(module.CandidateCount(), 1);
    EXPECT_EQ(module.SelectedCandidate(), -1);
    EXPECT_FALSE(candidate(0).NeedsControl);
    EXPECT_EQ(candidate(0).StatusKind, StatusKind::Postcode);
}

TEST_F(AddressSearch, EngineFailureMidScanEndsTheSearch)
{
    engine->addAnswer({0, {place("a", 48.0, 11.0), place("b", 48.1, 11.0), place("c", 48.2, 11.0)}});
    engine->failOn("ResultItem", 2);
    EXPECT_THROW(search("", "X", ""), MapPoint::EngineError);
    EXPECT_EQ(module.CandidateCount(), 1);

    engine->addAnswer({0, {place("a", 48.0, 11.0), place("b", 48.1, 11.0)}});
    engine->failOn("DistanceBetween", 6);  // in the second candidate's derivation
    RAddressSearchResult r;
    EXPECT_THROW(module.GeocodeSilent("D", "", "X", "", "1", r), MapPoint::EngineError);
    EXPECT_FALSE(r.Found);
}

TEST_F(AddressSearch, AResultThatIsNoLocationRaises)
{
    Result broken = place("broken", 0, 0);
    broken.notALocation = true;
    engine->addAnswer({0, {place("a", 48.0, 11.0), broken}});
    EXPECT_THROW(search("", "X", ""), std::runtime_error);
}

TEST_F(AddressSearch, SilentSearchClearsThePinsPlacedBefore)
{
    module.PlacePinAtCoordinate(0, 11.0, 48.0, "old", false);
    engine->addAnswer({1, {place("Ulm", 48.4, 10.0)}});
    RAddressSearchResult r;
    module.GeocodeSilent("D", "", "Ulm", "", "1", r);
    EXPECT_TRUE(engine->pinsOnMap().isEmpty());
    EXPECT_EQ(module.PushPins().Count(), 0);
}

TEST_F(AddressSearch, DeletingMovesLaterCandidatesDownAndIgnoresBadIndices)
{
    engine->addAnswer({0, {place("a", 48.0, 11.0), place("b", 48.1, 11.0), place("c", 48.2, 11.0)}});
    ASSERT_TRUE(search("", "X", ""));
    module.DeleteCandidate(-1);
    module.DeleteCandidate(3);
    EXPECT_EQ(names(module), (QStringList{"a", "b", "c"}));
    module.DeleteCandidate(0);
    EXPECT_EQ(names(module), (QStringList{"b", "c"}));
    double d = -1.0;
    EXPECT_TRUE(module.SameAddressDistance(0, 1, d));  // no postal texts on either
    EXPECT_NEAR(d, 0.1, 1e-9);
}

TEST(StatusText, NamesEveryKindAndNothingElse)
{
    const QStringList texts{"", "Postcode", "City", "Street", "Graphic", "GPS", ""};
    for (int kind = 0; kind <= 6; ++kind)
        EXPECT_EQ(TKartenModul::GetStatusText(StatusKind(kind)), texts[kind]) << kind;
    EXPECT_EQ(TKartenModul::GetStatusText(StatusKind(-1)), "");
}

namespace {

class ScriptedDialog : public IAddressSearchDialog {
public:
    ScriptedDialog(QStringList &log, int modalResult) : m_log(log), m_modalResult(modalResult) {}
    void Prepare(const QString &country, const QString &postcode, const QString &city,
                 const QString &street, const QString &pinName) override
    {
        m_log << QStringList{"Prepare", country, postcode, city, street, pinName}.join('|');
    }
    int ShowModal() override
    {
        m_log << "ShowModal";
        return m_modalResult;
    }
    void GetResult(RAddressSearchResult &r) const override
    {
        m_log << "GetResult";
        r.Found = true;
        r.MatchedAddress = "picked";
    }

private:
    QStringList &m_log;
    int m_modalResult;
};

} // namespace

TEST_F(AddressSearch, InteractiveSearchTakesTheDialogsResultOnlyOnOk)
{
    QStringList log;
    int modalResult = 1;
    module.SetAddressSearchDialogFactory([&] { return std::make_unique<ScriptedDialog>(log, modalResult); });

    RAddressSearchResult r;
    module.GeocodeInteractive("D", "80331", "München", "Marienplatz", "7", r);
    EXPECT_EQ(log, (QStringList{"Prepare|D|80331|München|Marienplatz|7", "ShowModal", "GetResult"}));
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(r.MatchedAddress, "picked");

    log.clear();
    modalResult = 2;
    module.GeocodeInteractive("D", "80331", "München", "Marienplatz", "7", r);
    EXPECT_EQ(log, (QStringList{"Prepare|D|80331|München|Marienplatz|7", "ShowModal"}));
    EXPECT_FALSE(r.Found);
    EXPECT_EQ(r.Country, "DE");
}

TEST_F(MapModuleTest, InteractiveSearchWithoutMapLeavesTheResultAlone)
{
    bool made = false;
    module.SetAddressSearchDialogFactory([&]() -> std::unique_ptr<IAddressSearchDialog> {
        made = true;
        return nullptr;
    });
    RAddressSearchResult r;
    r.Found = true;
    r.Country = "CH";
    module.GeocodeInteractive("D", "", "Ulm", "", "1", r);
    EXPECT_FALSE(made);
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(r.Country, "CH");
}
