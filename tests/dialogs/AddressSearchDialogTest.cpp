#include "AddressSearchUnit.h"
#include "CountryDataUnit.h"
#include "EmbeddedMapSite.h"
#include "GuiTestApplication.h"
#include "KarteUnit.h"
#include "ModalScript.h"
#include "OleContainer.h"
#include "ScriptedOleMap.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Scripted::Answer;
using Scripted::Postal;
using Scripted::Result;

Result street(const QString &name, double lat, double lon, const QString &postcode = "10115")
{
    return {lat, lon, LocationKind::Street, name, Postal{postcode, "Berlin", name.section(',', 0, 0)}};
}

Result place(const QString &name, double lat, double lon)
{
    return {lat, lon, LocationKind::PopulatedPlace, name, std::nullopt};
}

// The dialog works on the one shared map module, so the map is made once for the whole program.
class AddressSearchDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ScriptedOleMap::registerClass(&s_engine);
        s_container = new OleContainer;   // lives as long as the shared module, like the main window's
        TEmbeddedMapSite site(s_container);
        KartenModul().CreateMap(site, ScriptedOleMap::ProgId);
        ASSERT_TRUE(KartenModul().MapReady());
    }

    void SetUp() override { engine().clearCalls(); }
    void TearDown() override { EXPECT_EQ(engine().answersLeft(), 0) << "scripted answers left unused"; }

    static ScriptedOleMap &engine() { return *s_engine; }

    QListWidget *list() const { return form.findChild<QListWidget *>("ResultListBox"); }
    QPushButton *button(const char *name) const { return form.findChild<QPushButton *>(name); }
    QLineEdit *edit(const char *name) const { return form.findChild<QLineEdit *>(name); }

    void clickLine(int row)
    {
        const QRect r = list()->visualItemRect(list()->item(row));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, r.center());
    }

    // Where the pins still on the map stand (their locations' display names).
    static QStringList pinLocations()
    {
        QStringList out;
        for (const auto &p : engine().pins())
            if (p->onMap)
                out << p->name + "@" + p->locationName;
        return out;
    }

    static RAddressSearchResult resultOf(const TAddressSearchForm &f)
    {
        RAddressSearchResult r;
        f.GetResult(r);
        return r;
    }

    static inline std::shared_ptr<ScriptedOleMap> s_engine;
    static inline OleContainer *s_container = nullptr;
    TAddressSearchForm form{nullptr};
};

} // namespace

TEST_F(AddressSearchDialog, DesignLayoutTextsAndTabOrder)
{
    EXPECT_EQ(form.geometry(), QRect(12, 142, 410, 462));
    EXPECT_EQ(form.windowTitle(), "Address-Search");
    EXPECT_EQ(form.findChild<QWidget *>("Panel1")->height(), 201);
    EXPECT_EQ(form.findChild<QWidget *>("Panel2")->y(), 204) << "below the 3-pixel splitter";
    EXPECT_EQ(form.findChild<QComboBox *>("CountryComboBox")->geometry().topLeft(), QPoint(112, 40));
    EXPECT_EQ(edit("StreetEdit")->geometry().topLeft(), QPoint(112, 80));
    EXPECT_EQ(edit("PostcodeEdit")->geometry().topLeft(), QPoint(112, 120));
    EXPECT_EQ(edit("CityEdit")->geometry().topLeft(), QPoint(112, 160));
    EXPECT_EQ(button("SearchButton")->geometry(), QRect(320, 48, 75, 25));
    EXPECT_EQ(list()->geometry(), QRect(112, 8, 281, 177));
    EXPECT_EQ(button("OkButton")->geometry(), QRect(232, 192, 75, 25));
    EXPECT_EQ(button("CancelButton")->geometry(), QRect(312, 192, 75, 25));
    EXPECT_EQ(button("OkButton")->text(), "Ok");
    EXPECT_EQ(button("CancelButton")->text(), "Cancel");
    EXPECT_EQ(button("SearchButton")->text(), "Search");
    EXPECT_TRUE(button("OkButton")->isDefault());
    EXPECT_FALSE(button("OkButton")->isEnabled());

    QStringList chain;
    QWidget *w = edit("StreetEdit");
    for (int i = 0; i < 8; ++i, w = w->nextInFocusChain()) {
        while (!(w->focusPolicy() & Qt::TabFocus) || w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
            w = w->nextInFocusChain();
        chain << w->objectName();
    }
    EXPECT_EQ(chain, (QStringList{"StreetEdit", "PostcodeEdit", "CityEdit", "SearchButton", "CountryComboBox",
                                  "ResultListBox", "CancelButton", "OkButton"}));
    const auto *countries = form.findChild<QComboBox *>("CountryComboBox");
    EXPECT_EQ(countries->count(), TCountryData::MaxCountries);
    EXPECT_EQ(countries->currentIndex(), -1);
}

TEST_F(AddressSearchDialog, PreparedAddressIsSearchedAtOnceAndTheChosenCandidatePreselected)
{
    engine().addAnswer({1, {street("Invalidenstraße, 10115 Berlin", 52.53, 13.38)}});
    form.Prepare("D", "10115", "Berlin", "Invalidenstraße", "K-17");

    EXPECT_EQ(engine().calls("LookupAddress"), QStringList{"LookupAddress(Invalidenstraße|Berlin|||10115|94)"});
    EXPECT_EQ(form.findChild<QComboBox *>("CountryComboBox")->currentText(), "Germany");
    ASSERT_EQ(list()->count(), 1);
    EXPECT_EQ(list()->item(0)->text(), "Invalidenstraße, 10115 Berlin");
    EXPECT_TRUE(list()->item(0)->isSelected());
    EXPECT_TRUE(button("OkButton")->isEnabled());
    EXPECT_EQ(pinLocations(), QStringList{"K-17@Invalidenstraße, 10115 Berlin"});

    ModalScript script;
    script.expect("AddressSearchForm", ModalScript::clickButton("Ok"));
    EXPECT_EQ(form.ShowModal(), 1);
    const RAddressSearchResult r = resultOf(form);
    EXPECT_TRUE(r.Found);
    EXPECT_FALSE(r.NeedsControl);
    EXPECT_EQ(r.StatusKind, StatusKind::Street);
    EXPECT_EQ(r.MatchedAddress, "Invalidenstraße, 10115 Berlin");
    EXPECT_EQ(r.Postcode, "10115");
    EXPECT_EQ(r.Street, "Invalidenstraße");
    EXPECT_NEAR(r.Latitude, 52.53, 1e-6);
    EXPECT_NEAR(r.Longitude, 13.38, 1e-6);
    EXPECT_EQ(r.Country, "DE") << "the default country stays";
}

TEST_F(AddressSearchDialog, AmbiguousAnswerWithoutAChoiceWaitsForTheUser)
{
    engine().addAnswer({2, {place("Neustadt (Hessen)", 50.85, 9.11), place("Neustadt (Sachsen)", 51.02, 14.21)}});
    form.Prepare("D", "", "Neustadt", "", "K-18");

    ASSERT_EQ(list()->count(), 2);
    EXPECT_TRUE(list()->selectedItems().isEmpty());
    EXPECT_FALSE(button("OkButton")->isEnabled());
    EXPECT_FALSE(resultOf(form).Found);
    EXPECT_TRUE(pinLocations().isEmpty()) << "no choice, no pin";

    form.show();
    clickLine(1);
    EXPECT_TRUE(button("OkButton")->isEnabled());
    const RAddressSearchResult r = resultOf(form);
    EXPECT_EQ(r.MatchedAddress, "Neustadt (Sachsen)");
    EXPECT_EQ(r.StatusKind, StatusKind::City);
    EXPECT_FALSE(r.NeedsControl) << "a result picked by the user needs no control";
}

TEST_F(AddressSearchDialog, ChoosingAnotherLineReturnsItButLeavesThePinAtTheSearchesChoice)
{
    engine().addAnswer({0, {street("Chausseestraße 1, 10115 Berlin", 52.527, 13.384),
                            street("Chausseestraße 40, 10115 Berlin", 52.535, 13.375)}});
    form.Prepare("D", "10115", "Berlin", "Chausseestraße", "K-19");
    ASSERT_EQ(list()->count(), 2);
    EXPECT_TRUE(list()->item(0)->isSelected());

    ModalScript script;
    script.expect("AddressSearchForm", [&](QWidget *) {
        clickLine(1);
        QTest::keyClick(list(), Qt::Key_Up);    // the keyboard selects too
        QTest::keyClick(list(), Qt::Key_Down);
        button("OkButton")->click();
    });
    EXPECT_EQ(form.ShowModal(), 1);

    const RAddressSearchResult r = resultOf(form);
    EXPECT_EQ(r.MatchedAddress, "Chausseestraße 40, 10115 Berlin");
    EXPECT_NEAR(r.Latitude, 52.535, 1e-6);
    EXPECT_NEAR(r.Longitude, 13.375, 1e-6);
    EXPECT_EQ(pinLocations(), QStringList{"K-19@Chausseestraße 1, 10115 Berlin"});
}

TEST_F(AddressSearchDialog, SearchAgainWithoutResultKeepsTheEarlierSelectionAndOk)
{
    engine().addAnswer({0, {street("Chausseestraße 1, 10115 Berlin", 52.527, 13.384),
                            street("Chausseestraße 40, 10115 Berlin", 52.535, 13.375)}});
    form.Prepare("D", "10115", "Berlin", "Chausseestraße", "K-20");
    form.show();
    clickLine(1);

    engine().addAnswer({3, {}});   // no results: the search ends without widening
    edit("StreetEdit")->setText("Chauseestrasse");
    button("SearchButton")->click();

    EXPECT_EQ(engine().calls("LookupAddress").last(), "LookupAddress(Chauseestrasse|Berlin|||10115|94)");
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(button("OkButton")->isEnabled());
    EXPECT_TRUE(pinLocations().isEmpty()) << "the new search removed the earlier pin";
    form.hide();   // exec() on a dialog already on screen would not make it modal
    ModalScript script;
    script.expect("AddressSearchForm", [&](QWidget *) {
        edit("CityEdit")->setFocus();
        QTest::keyClick(edit("CityEdit"), Qt::Key_Return);
    });
    EXPECT_EQ(form.ShowModal(), 1) << "Enter in an edit presses the default button";
    EXPECT_EQ(resultOf(form).MatchedAddress, "Chausseestraße 40, 10115 Berlin");
}

TEST_F(AddressSearchDialog, LeftDoubleClickOnAnEmptyListClosesWithOkNothingFoundOtherButtonsDoNot)
{
    engine().addAnswer({1, {}});
    form.Prepare("D", "99999", "Nirgendwo", "", "K-21");
    EXPECT_EQ(list()->count(), 0);
    EXPECT_FALSE(button("OkButton")->isEnabled());

    ModalScript script;
    script.expect("AddressSearchForm", [&](QWidget *) {
        QTest::mouseDClick(list()->viewport(), Qt::RightButton);
        QTest::mouseDClick(list()->viewport(), Qt::MiddleButton);
        EXPECT_TRUE(form.isVisible()) << "only the left button's double-click closes";
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton);
    });
    EXPECT_EQ(form.ShowModal(), 1);
    EXPECT_FALSE(resultOf(form).Found);
}

TEST_F(AddressSearchDialog, CountryOutsideTheTableSearchesEveryCountry)
{
    engine().addAnswer({1, {}});
    form.Prepare("XX", "", "Paris", "", "K-22");
    EXPECT_EQ(form.findChild<QComboBox *>("CountryComboBox")->currentIndex(), -1);
    EXPECT_EQ(engine().calls("LookupAddress"), QStringList{"LookupAddress(|Paris||||0)"});
}

TEST_F(AddressSearchDialog, EngineErrorOnSearchEndsOnlyThatSearch)
{
    engine().addAnswer({1, {street("Invalidenstraße, 10115 Berlin", 52.53, 13.38)}});
    form.Prepare("D", "10115", "Berlin", "Invalidenstraße", "K-23");
    form.show();

    engine().failOn("LookupAddress", 1);
    EXPECT_THROW(form.SearchButtonClick(button("SearchButton")), MapPoint::EngineError);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(button("OkButton")->isEnabled());
    EXPECT_EQ(resultOf(form).MatchedAddress, "Invalidenstraße, 10115 Berlin");

    // Pressed by the user, the error reaches the application's display, not Qt's event loop.
    engine().failOn("LookupAddress", 1);
    ModalScript script;
    QString shown;
    script.expect("QMessageBox", [&shown](QWidget *modal) {
        shown = static_cast<QMessageBox *>(modal)->text();
        ModalScript::pressStandardButton(QMessageBox::Ok)(modal);
    });
    button("SearchButton")->click();
    script.finish();
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(button("OkButton")->isEnabled());
}

// Through the map module, as the single-record run uses the dialog.
class InteractiveGeocoding : public AddressSearchDialog {
protected:
    void SetUp() override
    {
        AddressSearchDialog::SetUp();
        KartenModul().SetAddressSearchDialogFactory([] { return std::make_unique<TAddressSearchForm>(nullptr); });
    }
    void TearDown() override
    {
        KartenModul().SetAddressSearchDialogFactory({});
        AddressSearchDialog::TearDown();
    }
};

TEST_F(InteractiveGeocoding, CancelOrEscAfterASelectionLeavesTheRecordNotFound)
{
    for (const bool esc : {false, true}) {
        engine().addAnswer({1, {street("Invalidenstraße, 10115 Berlin", 52.53, 13.38)}});
        ModalScript script;
        script.expect("AddressSearchForm", [esc](QWidget *w) {
            EXPECT_TRUE(w->findChild<QPushButton *>("OkButton")->isEnabled());
            if (esc)
                QTest::keyClick(w, Qt::Key_Escape);
            else
                w->findChild<QPushButton *>("CancelButton")->click();
        });
        RAddressSearchResult r;
        r.Found = true;
        KartenModul().GeocodeInteractive("D", "10115", "Berlin", "Invalidenstraße", "K-24", r);
        EXPECT_FALSE(r.Found) << (esc ? "Esc" : "Cancel");
        EXPECT_TRUE(r.MatchedAddress.isEmpty());
    }
}

TEST_F(InteractiveGeocoding, OkHandsTheSelectionToTheCaller)
{
    engine().addAnswer({1, {street("Invalidenstraße, 10115 Berlin", 52.53, 13.38)}});
    ModalScript script;
    script.expect("AddressSearchForm", ModalScript::clickButton("Ok"));
    RAddressSearchResult r;
    KartenModul().GeocodeInteractive("D", "10115", "Berlin", "Invalidenstraße", "K-25", r);
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(r.MatchedAddress, "Invalidenstraße, 10115 Berlin");
}
