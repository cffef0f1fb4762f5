#include "ui_ConfigurationForm.h"
#include "MainWindowFixture.h"

#include <ScriptedOleMap.h>

#include <AddressSearchUnit.h>
#include <GetStringUnit.h>
#include <IconData.h>
#include <KarteUnit.h>
#include <OleClassRegistry.h>
#include <OrvaneApplication.h>
#include <OrvaneUnit.h>
#include <progressUnit.h>
#include "ui_OrvaneForm.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

using Scripted::Answer;
using Scripted::Result;

// Every map the program creates in this process is this scripted engine.
std::shared_ptr<ScriptedOleMap> &engine()
{
    static std::shared_ptr<ScriptedOleMap> map;
    return map;
}

Answer city(const QString &name, double latitude, double longitude, int quality = 1)
{
    return {quality, {Result{latitude, longitude, MapPoint::PopulatedPlace, name, std::nullopt}}};
}

bool progressWindowOpen()
{
    const auto widgets = QApplication::allWidgets();
    return std::any_of(widgets.begin(), widgets.end(),
                       [](QWidget *w) { return qobject_cast<Tfrm_progress *>(w) != nullptr; });
}

class RunsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (const char *progId : {"MapPoint.Map.EU.9", "MapPoint.Map.NA.9"})
            OleClassRegistry::instance().registerClass(progId, [] {
                engine() = std::make_shared<ScriptedOleMap>();
                engine()->setToolbars({QStringLiteral("Location and Scale")});
                return std::shared_ptr<OleObject>(engine());
            });
    }

    void SetUp() override
    {
        clearStore();
        OrvaneApplication::ResetTermination();
        ModalScript script;
        script.expect(QStringLiteral("TConfigurationForm"), mapKunden);
        form = std::make_unique<TOrvaneForm>(icons, [this](QWidget *) { return db.path(); });
        script.finish();
        ASSERT_TRUE(form->ADODataSetCustomer.isActive());
        bool handled = false;
        form->ActionListUpdate(nullptr, handled);
        ASSERT_TRUE(engine() && KartenModul().MapReady());
        while (engine()->answersLeft() > 0)
            engine()->LookupAddress({}, {}, {}, {}, {}, 0);
        engine()->clearCalls();
    }

    QString column(const char *sql) const { return db.scalar(sql); }

    TIconDataModule icons;
    TestDatabase db{CustomersSql};
    std::unique_ptr<TOrvaneForm> form;
};

TEST_F(RunsTest, MapIsCreatedOnceHoweverOftenTheIdleUpdateRuns)
{
    const auto created = engine();
    for (int i = 0; i < 5; ++i) {
        bool handled = false;
        form->ActionListUpdate(form->ui->BatchGeocodeAction, handled);
        EXPECT_FALSE(handled);
    }
    EXPECT_EQ(engine(), created);
    EXPECT_FALSE(form->MapPending);
    for (QAction *action : form->ActionList)
        EXPECT_TRUE(action->isEnabled());
}

TEST_F(RunsTest, CancelledConfirmationChangesNothing)
{
    ModalScript script;
    script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Cancel));
    form->BatchGeocodeActionExecute();
    script.finish();
    EXPECT_TRUE(engine()->calls(QStringLiteral("LookupAddress")).isEmpty());
    EXPECT_EQ(column("select MPStatus from kunden where KolmNummer = 'K1'"), QStringLiteral("City"));
}

TEST_F(RunsTest, BatchWritesFoundAndNotFoundRecordsAndSummarises)
{
    engine()->addAnswer(city(QStringLiteral("80331 München"), 48.137, 11.575));
    engine()->addAnswer({1, {}});   // Wien: nothing found
    QString summary;
    ModalScript script;
    script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
    script.expect(QStringLiteral("QMessageBox"), [&summary](QWidget *modal) {
        summary = static_cast<QMessageBox *>(modal)->text();
        EXPECT_TRUE(progressWindowOpen());
        ModalScript::pressStandardButton(QMessageBox::Ok)(modal);
    });
    form->BatchGeocodeActionExecute();
    script.finish();

    EXPECT_EQ(summary, QStringLiteral("Records geocoded: 1\r\nRecords not geocoded: 2"));
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("3"));
    EXPECT_FALSE(progressWindowOpen());
    EXPECT_FALSE(form->ADODataSetCustomer.controlsDisabled());
    // The empty address of K3 needs no engine call.
    EXPECT_EQ(engine()->calls(QStringLiteral("LookupAddress")).size(), 2);

    EXPECT_EQ(column("select MPStatus from kunden where KolmNummer = 'K1'"), QStringLiteral("City"));
    EXPECT_EQ(column("select MPAddress from kunden where KolmNummer = 'K1'"), QStringLiteral("80331 München"));
    EXPECT_NEAR(column("select W2MP from kunden where KolmNummer = 'K1'").toDouble(), 48.137, 1e-6);
    EXPECT_NEAR(column("select W1MP from kunden where KolmNummer = 'K1'").toDouble(), 11.575, 1e-6);
    // A record without a match loses its earlier results.
    EXPECT_EQ(column("select W2MP from kunden where KolmNummer = 'K2'").toDouble(), 0.0);
    EXPECT_EQ(column("select W1MP from kunden where KolmNummer = 'K2'").toDouble(), 0.0);
    EXPECT_EQ(column("select coalesce(MPStatus, 'null') from kunden where KolmNummer = 'K2'"), QString());
    EXPECT_EQ(column("select MPControlGeocode from kunden where KolmNummer = 'K3'"), QStringLiteral("0"));
    // Columns the run does not write keep their bytes.
    EXPECT_EQ(column("select Strasse from kunden where KolmNummer = 'K1'"), QStringLiteral("Marienplatz 1"));
}

TEST_F(RunsTest, AnErrorMidRunKeepsEarlierPostsAndEndsTheRunCleanly)
{
    engine()->addAnswer(city(QStringLiteral("80331 München"), 48.2, 11.6));
    engine()->failOn(QStringLiteral("LookupAddress"), 2);
    ModalScript script;
    script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
    EXPECT_THROW(form->BatchGeocodeActionExecute(), MapPoint::EngineError);
    script.finish();
    EXPECT_FALSE(progressWindowOpen());
    EXPECT_FALSE(form->ADODataSetCustomer.controlsDisabled());
    EXPECT_NEAR(column("select W2MP from kunden where KolmNummer = 'K1'").toDouble(), 48.2, 1e-6);
    // K2 was not reached: its values are as before.
    EXPECT_NEAR(column("select W2MP from kunden where KolmNummer = 'K2'").toDouble(), 0.5, 1e-9);
}

TEST_F(RunsTest, EmptyAndClosedRecordSetsEndBeforeAnyRecordIsTouched)
{
    form->ADODataSetCustomer.close();
    form->ADODataSetCustomer.setCommandText(QStringLiteral("select * from kunden where 0"));
    form->ADODataSetCustomer.open();
    {
        ModalScript script;
        script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
        EXPECT_THROW(form->BatchGeocodeActionExecute(), std::runtime_error);
        script.finish();
    }
    EXPECT_FALSE(progressWindowOpen());
    EXPECT_FALSE(form->ADODataSetCustomer.controlsDisabled());

    form->ADODataSetCustomer.close();
    {
        ModalScript script;
        script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
        EXPECT_THROW(form->BatchGeocodeActionExecute(), std::runtime_error);
        script.finish();
    }
    EXPECT_FALSE(progressWindowOpen());
    EXPECT_FALSE(form->ADODataSetCustomer.controlsDisabled());
    EXPECT_TRUE(engine()->calls(QStringLiteral("LookupAddress")).isEmpty());
}

TEST_F(RunsTest, SingleRunWritesOnlyWhatTheUserAccepts)
{
    form->ADODataSetCustomer.setRecNo(1);   // K2, Wien
    engine()->addAnswer(city(QStringLiteral("1010 Wien"), 48.2085, 16.3721));
    {
        ModalScript script;
        script.expect(QStringLiteral("TAddressSearchForm"), ModalScript::clickButton(QStringLiteral("CancelButton")));
        form->SingleGeocodeActionExecute();
    }
    EXPECT_NEAR(column("select W2MP from kunden where KolmNummer = 'K2'").toDouble(), 0.5, 1e-9);

    engine()->addAnswer(city(QStringLiteral("1010 Wien"), 48.2085, 16.3721));
    ModalScript accept;
    accept.expect(QStringLiteral("TAddressSearchForm"), ModalScript::clickButton(QStringLiteral("OkButton")));
    form->SingleGeocodeActionExecute();
    accept.finish();
    EXPECT_NEAR(column("select W2MP from kunden where KolmNummer = 'K2'").toDouble(), 48.2085, 1e-6);
    EXPECT_EQ(column("select MPAddress from kunden where KolmNummer = 'K2'"), QStringLiteral("1010 Wien"));
    // A choice made in the dialog never needs control.
    EXPECT_EQ(column("select MPControlGeocode from kunden where KolmNummer = 'K2'"), QStringLiteral("0"));
}

void answerSql(ModalScript &script, const QString &text, QString *preset = nullptr)
{
    script.expect(QStringLiteral("TGetStringForm"), [text, preset](QWidget *modal) {
        auto *memo = modal->findChild<QPlainTextEdit *>(QStringLiteral("Memo1"));
        if (preset)
            *preset = memo->toPlainText();
        memo->setPlainText(text);
        ModalScript::clickButton(QStringLiteral("Button1"))(modal);
    });
}

TEST_F(RunsTest, SqlSelectionNarrowsTheRecordsAndTheNextBatchVisitsOnlyThose)
{
    QString preset;
    {
        ModalScript script;
        answerSql(script, QStringLiteral("select * from kunden\nwhere LandKennz = 'A'"), &preset);
        form->SQLActionExecute();
    }
    EXPECT_EQ(preset, QStringLiteral("select * from kunden"));
    EXPECT_EQ(form->ADODataSetCustomer.commandText(), QStringLiteral("select * from kunden\r\nwhere LandKennz = 'A'"));
    ASSERT_EQ(form->ADODataSetCustomer.recordCount(), 1);

    engine()->addAnswer(city(QStringLiteral("1010 Wien"), 48.2085, 16.3721));
    ModalScript batch;
    batch.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
    batch.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
    form->BatchGeocodeActionExecute();
    batch.finish();
    EXPECT_EQ(engine()->calls(QStringLiteral("LookupAddress")).size(), 1);
    EXPECT_EQ(column("select MPStatus from kunden where KolmNummer = 'K1'"), QStringLiteral("City"));
    EXPECT_NEAR(column("select W1MP from kunden where KolmNummer = 'K1'").toDouble(), 11.575, 1e-9);
}

TEST_F(RunsTest, FailedSqlSelectionLeavesTheRecordSetClosedAndOffersTheTextAgain)
{
    {
        ModalScript script;
        script.expect(QStringLiteral("TGetStringForm"), ModalScript::clickButton(QStringLiteral("Button2")));
        form->SQLActionExecute();
        script.finish();
        EXPECT_TRUE(form->ADODataSetCustomer.isActive());
    }
    {
        ModalScript script;
        answerSql(script, QStringLiteral("select Name1 from kunden"));
        try {
            form->SQLActionExecute();
            ADD_FAILURE() << "a query without the mapped columns opened";
        } catch (const std::exception &error) {
            EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("KolmNummer"))) << error.what();
        }
        script.finish();
    }
    EXPECT_FALSE(form->ADODataSetCustomer.isActive());

    // Every action still answers without crashing.
    {
        ModalScript script;
        script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
        EXPECT_THROW(form->BatchGeocodeActionExecute(), std::runtime_error);
        script.finish();
    }
    form->ShowCoordinateActionExecute();
    form->DBGrid1TitleClick(4);

    QString preset;
    {
        ModalScript retry;
        answerSql(retry, QStringLiteral("select * from kunden"), &preset);
        form->SQLActionExecute();
    }
    EXPECT_EQ(preset, QStringLiteral("select Name1 from kunden"));
    EXPECT_TRUE(form->ADODataSetCustomer.isActive());
}

TEST_F(RunsTest, RunawaySqlSelectionIsStoppedFromItsWindowAndTheNextOneRuns)
{
    const QString before = column("select group_concat(KolmNummer || MPStatus) from kunden");
    {
        ModalScript script;
        answerSql(script, QStringLiteral("select * from kunden where (with recursive r(n) as"
                                         " (select 1 union all select n + 1 from r) select count(*) from r) > 0"));
        script.expect(QStringLiteral("QueryStopWindow"), ModalScript::clickButton(QStringLiteral("Stop")));
        try {
            form->SQLActionExecute();
            ADD_FAILURE() << "the runaway query ended by itself";
        } catch (const std::exception &error) {
            EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("stopped"))) << error.what();
        }
        script.finish();
    }
    EXPECT_FALSE(form->ADODataSetCustomer.isActive());
    EXPECT_EQ(column("select group_concat(KolmNummer || MPStatus) from kunden"), before);
    {
        ModalScript script;
        answerSql(script, QStringLiteral("select * from kunden"));
        form->SQLActionExecute();
        script.finish();
    }
    EXPECT_TRUE(form->ADODataSetCustomer.isActive());
}

TEST_F(RunsTest, TitleClicksToggleTheSortAndKeepTheCurrentRecord)
{
    RecordSet &rs = form->ADODataSetCustomer;
    rs.setRecNo(0);
    form->DBGrid1TitleClick(4);
    EXPECT_EQ(rs.sort(), QStringLiteral("[Ort]"));
    EXPECT_EQ(rs.fieldByName(QStringLiteral("KolmNummer")).asString(), QStringLiteral("K1"));
    form->DBGrid1TitleClick(4);
    EXPECT_EQ(rs.sort(), QStringLiteral("[Ort] DESC"));
    form->DBGrid1TitleClick(4);
    EXPECT_EQ(rs.sort(), QStringLiteral("[Ort]"));
    form->DBGrid1TitleClick(4);
    form->DBGrid1TitleClick(0);
    EXPECT_EQ(rs.sort(), QStringLiteral("[KolmNummer]"));

    rs.close();
    form->DBGrid1TitleClick(4);   // a beep, nothing else
    form->DBGrid1TitleClick(99);
    EXPECT_FALSE(rs.isActive());
}

TEST_F(RunsTest, ShowCoordinatePinsStoredCoordinatesAndIgnoresTheUnset)
{
    RecordSet &rs = form->ADODataSetCustomer;
    rs.setRecNo(2);   // K3: no coordinates
    form->ShowCoordinateActionExecute();
    EXPECT_TRUE(engine()->calls(QStringLiteral("PlacePushpin")).isEmpty());

    rs.setRecNo(0);   // K1 at 48.137 / 11.575
    form->ShowCoordinateActionExecute();
    EXPECT_EQ(engine()->pinsOnMap(), QStringList{QStringLiteral("K1")});
    EXPECT_EQ(KartenModul().PushPins().Count(), 1);
}

} // namespace
