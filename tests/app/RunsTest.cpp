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

#include <CustomerRecords.h>
#include <RunHistory.h>
#include <DataError.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

namespace {

using Scripted::Answer;
using Scripted::Result;

// Every map the program creates in this process is this scripted engine.
std::shared_ptr<ScriptedOleMap> &engine()
{
    static std::shared_ptr<ScriptedOleMap> map;
    return map;
}

// The program identifier each map of this process was created from.
QString &createdFrom()
{
    static QString progId;
    return progId;
}

Answer city(const QString &name, double latitude, double longitude, int quality = 1)
{
    return {quality, {Result{latitude, longitude, LocationKind::PopulatedPlace, name, std::nullopt}}};
}

// An ambiguous answer that the rules still resolve: a street beside its postcode area.
Answer streetBesideItsPostcodeArea(const QString &postcode, const QString &cityName, const QString &streetName,
                                   double latitude, double longitude)
{
    const QString area = postcode + u' ' + cityName;
    return {2, {Result{latitude, longitude, LocationKind::PostcodeArea, area, std::nullopt},
                Result{latitude + 0.0004, longitude + 0.0003, LocationKind::Street, streetName + QStringLiteral(", ") + area,
                       Scripted::Postal{postcode, cityName, streetName}}}};
}

// Stands for the user accepting a result in the address search dialog.
class AcceptingDialog : public IAddressSearchDialog {
public:
    explicit AcceptingDialog(RAddressSearchResult result) : m_result(std::move(result)) {}
    void Prepare(const QString &, const QString &, const QString &, const QString &, const QString &) override {}
    int ShowModal() override { return 1; }
    void GetResult(RAddressSearchResult &r) const override { r = m_result; }

private:
    RAddressSearchResult m_result;
};

// Counts the hide and show events a widget receives.
class VisibilityCount : public QObject {
public:
    explicit VisibilityCount(QWidget *watched) { watched->installEventFilter(this); }
    int hides = 0, shows = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            ++hides;
        else if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

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
        // One factory per edition, so that a swapped choice shows.
        for (const char *progId : {"MapPoint.Map.EU.9", "MapPoint.Map.NA.9"})
            OleClassRegistry::instance().registerClass(progId, [progId] {
                createdFrom() = QString::fromLatin1(progId);
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

    static constexpr const char *AccessFile = ORVANE_TESTDATA_DIR "/DateTestDatabase.mdb";
    // The window's connection on an Access test file; false when the test data is absent.
    bool openAccessFile()
    {
        if (!QFileInfo::exists(QString::fromUtf8(AccessFile)))
            return false;
        form->ADODataSetCustomer.close();
        form->ADOConnection1.close();
        form->ADOConnection1.setConnectionText(TCustomerRecords::ConnectionText(QString::fromUtf8(AccessFile)));
        form->ADOConnection1.open();
        return true;
    }

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
    EXPECT_EQ(createdFrom(), QStringLiteral("MapPoint.Map.EU.9")) << "the mapping chose the European edition";
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

TEST_F(RunsTest, BatchWritesTheNeedControlFlagEitherWay)
{
    engine()->addAnswer({1, {}});   // K1, flagged before: not found now
    engine()->addAnswer(streetBesideItsPostcodeArea(QStringLiteral("1010"), QStringLiteral("Wien"),
                                                    QStringLiteral("Stephansplatz"), 48.2085, 16.3721));
    ModalScript script;
    script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
    script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
    form->BatchGeocodeActionExecute();
    script.finish();

    EXPECT_EQ(column("select MPControlGeocode from kunden where KolmNummer = 'K1'"), QStringLiteral("0"));
    EXPECT_EQ(column("select MPControlGeocode from kunden where KolmNummer = 'K2'"), QStringLiteral("1"));
    EXPECT_EQ(column("select MPStatus from kunden where KolmNummer = 'K2'"), QStringLiteral("Street"));
    const QAbstractItemModel *grid = form->ui->DBGrid1->model();
    EXPECT_EQ(grid->data(grid->index(1, 6)).toString(), QStringLiteral("Yes"));
}

TEST_F(RunsTest, SingleRunWritesTheNeedControlFlagOfTheAcceptedResult)
{
    // Through the dialog: a choice made there never needs control, so K1 loses its flag.
    form->ADODataSetCustomer.setRecNo(0);
    engine()->addAnswer(city(QStringLiteral("80331 München"), 48.137, 11.575));
    {
        ModalScript script;
        script.expect(QStringLiteral("TAddressSearchForm"), ModalScript::clickButton(QStringLiteral("OkButton")));
        form->SingleGeocodeActionExecute();
        script.finish();
    }
    EXPECT_EQ(column("select MPControlGeocode from kunden where KolmNummer = 'K1'"), QStringLiteral("0"));

    // Whatever the accepted result says is what the record gets.
    RAddressSearchResult accepted;
    TKartenModul::InitAddressSearchResult(accepted);
    accepted.Found = true;
    accepted.NeedsControl = true;
    accepted.StatusKind = StatusKind::City;
    accepted.Latitude = 48.2;
    accepted.Longitude = 16.4;
    accepted.MatchedAddress = QStringLiteral("Wien");
    KartenModul().SetAddressSearchDialogFactory([accepted] { return std::make_unique<AcceptingDialog>(accepted); });
    form->ADODataSetCustomer.setRecNo(1);
    form->SingleGeocodeActionExecute();
    EXPECT_EQ(column("select MPControlGeocode from kunden where KolmNummer = 'K2'"), QStringLiteral("1"));
    EXPECT_EQ(column("select MPAddress from kunden where KolmNummer = 'K2'"), QStringLiteral("Wien"));
}

TEST_F(RunsTest, AnAccessFileIsRefusedBeforeAnyWorkWithTheConversionToUse)
{
    if (!openAccessFile())
        GTEST_SKIP() << "test data absent: " << AccessFile;

    for (auto run : {&TOrvaneForm::BatchGeocodeActionExecute, &TOrvaneForm::SingleGeocodeActionExecute}) {
        // No confirmation and no search dialog: either would come up as a stray here.
        ModalScript script;
        try {
            (form.get()->*run)();
            ADD_FAILURE() << "a run started on a file it cannot write";
        } catch (const DataError &error) {
            EXPECT_TRUE(error.message().contains(QStringLiteral("orvane-convert"))) << error.what();
            EXPECT_TRUE(error.message().contains(QStringLiteral("DateTestDatabase.sqlite"))) << error.what();
        }
        script.finish();
    }
    EXPECT_FALSE(progressWindowOpen());
    EXPECT_TRUE(engine()->calls(QStringLiteral("LookupAddress")).isEmpty());
}

TEST_F(RunsTest, UndoLastRunAsksAndPutsBackWhatTheLastRunOrSingleWriteOverwrote)
{
    const auto results = [this] {
        return column("select group_concat(quote(MPStatus) || quote(MPAddress) || printf('%!.17g', W2MP) ||"
                      " printf('%!.17g', W1MP) || quote(MPControlGeocode), '|') from kunden order by KolmNummer");
    };
    const QString before = results();
    const auto undo = [this](QMessageBox::StandardButton answer, QString *question, QString *summary) {
        ModalScript script;
        script.expect(QStringLiteral("QMessageBox"), [=](QWidget *modal) {
            *question = static_cast<QMessageBox *>(modal)->text();
            ModalScript::pressStandardButton(answer)(modal);
        });
        if (answer == QMessageBox::Ok)
            script.expect(QStringLiteral("QMessageBox"), [=](QWidget *modal) {
                *summary = static_cast<QMessageBox *>(modal)->text();
                ModalScript::pressStandardButton(QMessageBox::Ok)(modal);
            });
        form->ui->UndoRunAction->trigger();
        script.finish();
    };

    engine()->addAnswer(city(QStringLiteral("80331 München"), 48.137, 11.575));
    engine()->addAnswer({1, {}});
    {
        ModalScript script;
        script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
        script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
        form->BatchGeocodeActionExecute();
        script.finish();
    }
    const QString geocoded = results();
    form->ADODataSetCustomer.setRecNo(1);
    engine()->addAnswer(city(QStringLiteral("1010 Wien"), 48.2085, 16.3721));
    {
        ModalScript accept;
        accept.expect(QStringLiteral("TAddressSearchForm"), ModalScript::clickButton(QStringLiteral("OkButton")));
        form->SingleGeocodeActionExecute();
        accept.finish();
    }

    QString question, summary;
    undo(QMessageBox::Cancel, &question, &summary);
    EXPECT_TRUE(question.startsWith("Undo run 2 (Geocode actual record, 1 record of kunden, ")) << qPrintable(question);
    EXPECT_EQ(column("select MPAddress from kunden where KolmNummer = 'K2'"), QStringLiteral("1010 Wien"));

    undo(QMessageBox::Ok, &question, &summary);
    EXPECT_EQ(summary, QStringLiteral("Records restored: 1\nRecords left alone: 0"));
    EXPECT_EQ(results(), geocoded);
    // The grid shows what the database holds.
    EXPECT_EQ(form->ADODataSetCustomer.fieldByName("MPAddress").asString(), QString());

    // The undo was run 3; the batch run is run 1.
    TRunHistory history(form->ADOConnection1);
    history.Undo(1);
    EXPECT_EQ(results(), before);
    EXPECT_EQ(history.Runs().size(), 4);
}

TEST_F(RunsTest, UndoLastRunOnAnAccessFileSaysThereIsNothingToUndo)
{
    if (!openAccessFile())
        GTEST_SKIP() << "test data absent: " << AccessFile;
    ModalScript script;
    try {
        form->UndoRunActionExecute();
        ADD_FAILURE() << "an undo on a file that is never written";
    } catch (const DataError &error) {
        EXPECT_TRUE(error.message().contains("is only read, never written: there is no run to undo")) << error.what();
    }
    script.finish();
}

TEST_F(RunsTest, AfterASaveTheDatabaseUndidTheGridShowsWhatTheDatabaseHolds)
{
    // The last post of the run makes the database undo what the run has not committed yet.
    db.exec("CREATE TRIGGER refuse BEFORE UPDATE ON kunden WHEN NEW.KolmNummer = 'K3' "
            "BEGIN SELECT RAISE(ROLLBACK, 'refused'); END;");
    engine()->addAnswer(city(QStringLiteral("80331 München (neu)"), 48.2, 11.6));
    engine()->addAnswer(city(QStringLiteral("1010 Wien (neu)"), 48.3, 16.4));
    ModalScript script;
    script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
    EXPECT_THROW(form->BatchGeocodeActionExecute(), DataError);
    script.finish();

    const QAbstractItemModel *grid = form->ui->DBGrid1->model();
    ASSERT_EQ(grid->rowCount(), 3);
    for (int row = 0; row < grid->rowCount(); ++row) {
        const QString id = grid->data(grid->index(row, 0)).toString();
        const QByteArray where = "from kunden where KolmNummer = '" + id.toUtf8() + "'";
        EXPECT_EQ(grid->data(grid->index(row, 8)).toString(), column("select coalesce(MPAddress, '') " + where)) << id.toStdString();
        EXPECT_EQ(grid->data(grid->index(row, 7)).toString(), column("select coalesce(MPStatus, '') " + where)) << id.toStdString();
    }
    EXPECT_FALSE(form->ADODataSetCustomer.controlsDisabled());
}

TEST_F(RunsTest, AnErrorInAConnectedHandlerIsShownAndTheWindowStaysUsable)
{
    form->ADODataSetCustomer.close();
    QString shown;
    {
        ModalScript script;
        script.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
        script.expect(QStringLiteral("QMessageBox"), [&shown](QWidget *modal) {
            shown = static_cast<QMessageBox *>(modal)->text();
            ModalScript::pressStandardButton(QMessageBox::Ok)(modal);
        });
        // As the toolbar button does it: through the action's signal, not by calling the handler.
        form->ToolButton1->click();
        script.finish();
    }
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_FALSE(progressWindowOpen());
    EXPECT_FALSE(form->ADODataSetCustomer.controlsDisabled());

    form->ADODataSetCustomer.open();
    engine()->addAnswer(city(QStringLiteral("80331 München"), 48.137, 11.575));
    engine()->addAnswer({1, {}});
    ModalScript again;
    QString summary;
    again.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
    again.expect(QStringLiteral("QMessageBox"), [&summary](QWidget *modal) {
        summary = static_cast<QMessageBox *>(modal)->text();
        ModalScript::pressStandardButton(QMessageBox::Ok)(modal);
    });
    form->ToolButton1->click();
    again.finish();
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Records geocoded: 1"))) << summary.toStdString();
}

TEST_F(RunsTest, TheFirstCellClickHooksTheRedrawWhichGivesTheGridItsFocusAndEditorBack)
{
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    DBGrid *grid = form->ui->DBGrid1;
    const VisibilityCount seen(grid);
    // As the map's event wrapper does after each paint.
    const auto mapRedrawn = [] { KartenModul().MapAfterRedraw(nullptr); };

    mapRedrawn();
    EXPECT_EQ(seen.hides, 0) << "the grid follows the map before anyone clicked into it";
    const QRect cell = grid->visualRect(grid->model()->index(1, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(form->FRedrawHandlerSent);
    mapRedrawn();
    EXPECT_EQ(seen.hides, 1);
    EXPECT_EQ(seen.shows, 1);
    EXPECT_TRUE(grid->isVisible());
    EXPECT_TRUE(grid->hasFocus()) << "the click's focus was lost to the repaint";

    // Typing into K2's name, with the map repainting in between.
    QTest::keyClicks(grid, QStringLiteral("M"));
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr) << "typing opened no editor";
    QTest::keyClicks(editor, QStringLiteral("ai"));
    mapRedrawn();
    form->ShowCoordinateActionExecute();
    mapRedrawn();
    EXPECT_EQ(seen.hides, 3);
    editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr) << "the editor did not come back with the focus";
    EXPECT_TRUE(grid->viewport()->isAncestorOf(editor));
    QTest::keyClicks(editor, QStringLiteral("er"));
    EXPECT_EQ(editor->text(), QStringLiteral("Maier"));
    EXPECT_EQ(column("select Name1 from kunden where KolmNummer = 'K2'"), QStringLiteral("Meier")) << "posted halfway";
    EXPECT_EQ(grid->model()->data(grid->model()->index(1, 1)).toString(), QStringLiteral("Meier"));
    // The handler belongs to this window, which the test ends.
    KartenModul().SetOnAfterRedraw({});
}

TEST_F(RunsTest, StandardCaptionsAndButtonsComeInTheSystemLanguage)
{
    OrvaneApplication::LoadTranslations(QLocale(QLocale::German, QLocale::Germany));
    QString caption, cancel;
    ModalScript script;
    script.expect(QStringLiteral("QMessageBox"), [&](QWidget *modal) {
        auto *box = static_cast<QMessageBox *>(modal);
        caption = box->windowTitle();
        cancel = box->button(QMessageBox::Cancel)->text();
        ModalScript::pressStandardButton(QMessageBox::Cancel)(modal);
    });
    form->BatchGeocodeActionExecute();
    script.finish();
    qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>());
    EXPECT_EQ(caption, QStringLiteral("Bestätigen"));
    EXPECT_EQ(cancel, QStringLiteral("Abbrechen"));
}

} // namespace
