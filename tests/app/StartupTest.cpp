#include "ui_ConfigurationForm.h"
#include "MainWindowFixture.h"

#include <DataFolder.h>
#include <HelpViewer.h>
#include <IconData.h>
#include <OrvaneApplication.h>
#include <OrvaneUnit.h>
#include "ui_OrvaneForm.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QStandardPaths>
#include <QMenu>
#include <QToolButton>

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearStore();
        OrvaneApplication::ResetTermination();
    }

    TIconDataModule icons;
    TestDatabase db{CustomersSql};
};

TEST_F(StartupTest, CancelledFileChoiceEndsTheProgramWithoutConnecting)
{
    ModalScript script;
    TOrvaneForm form(icons, [](QWidget *) { return QString(); });
    EXPECT_TRUE(OrvaneApplication::Terminated());
    EXPECT_FALSE(form.ADOConnection1.isConnected());
    EXPECT_FALSE(form.ADODataSetCustomer.isActive());
    EXPECT_FALSE(QFile::exists(storeFile()));
}

TEST_F(StartupTest, CancelledConfigurationEndsTheProgramAndStoresNothing)
{
    ModalScript script;
    script.expect(QStringLiteral("TConfigurationForm"), ModalScript::clickButton(QStringLiteral("Cancel")));
    TOrvaneForm form(icons, [this](QWidget *) { return db.path(); });
    EXPECT_TRUE(OrvaneApplication::Terminated());
    EXPECT_FALSE(form.ADODataSetCustomer.isActive());
    EXPECT_TRUE(form.FTableName.isEmpty());
    EXPECT_FALSE(QFile::exists(storeFile()));
}

TEST_F(StartupTest, ConnectionTextIsTheFixedTextPlusThePathUnquoted)
{
    ModalScript script;
    script.expect(QStringLiteral("TConfigurationForm"), ModalScript::clickButton(QStringLiteral("Cancel")));
    TOrvaneForm form(icons, [this](QWidget *) { return db.path(); });
    EXPECT_EQ(form.ADOConnection1.connectionText(),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";User ID=Admin;"
                             "Mode=Share Deny None;Jet OLEDB:Database Password=\"\";"
                             "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;"
                             "Jet OLEDB:Global Partial Bulk Ops=2;"
                             "Jet OLEDB:Global Bulk Transactions=1;Data Source=")
                  + db.path());
}

TEST_F(StartupTest, AFileThatIsNoDatabaseIsReportedAndTheWindowComesUpEmpty)
{
    const QString bogus = db.folder() + QStringLiteral("/notes.mdb");
    QFile file(bogus);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("these are not the customers you are looking for\n");
    file.close();

    ModalScript script;
    QString shown;
    script.expect(QStringLiteral("QMessageBox"), [&shown](QWidget *modal) {
        shown = static_cast<QMessageBox *>(modal)->text();
        ModalScript::pressStandardButton(QMessageBox::Ok)(modal);
    });
    TOrvaneForm form(icons, [&](QWidget *) { return bogus; });
    EXPECT_FALSE(OrvaneApplication::Terminated());
    EXPECT_TRUE(shown.contains(QStringLiteral("notes.mdb"))) << shown.toStdString();
    EXPECT_FALSE(form.ADODataSetCustomer.isActive());
    EXPECT_EQ(form.ui->DBGrid1->model()->rowCount(), 0);
}

TEST_F(StartupTest, ConfirmedMappingBindsTheElevenSlotsInOrderAndOpensTheTable)
{
    ModalScript script;
    script.expect(QStringLiteral("TConfigurationForm"), mapKunden);
    TOrvaneForm form(icons, [this](QWidget *) { return db.path(); });
    script.finish();
    ASSERT_FALSE(OrvaneApplication::Terminated());

    EXPECT_EQ(form.FMapVersion, 0);
    EXPECT_EQ(form.FTableName, QStringLiteral("kunden"));
    QStringList bound;
    for (const Field *field : form.ADODataSetCustomer.fields())
        bound << field->fieldName();
    EXPECT_EQ(bound, (QStringList{"KolmNummer", "Name1", "LandKennz", "Plz", "Ort", "Strasse",
                                  "MPControlGeocode", "MPStatus", "MPAddress", "W2MP", "W1MP"}));
    EXPECT_EQ(form.ADODataSetCustomer.commandText(), QStringLiteral("select * from kunden"));
    ASSERT_TRUE(form.ADODataSetCustomer.isActive());
    EXPECT_EQ(form.ADODataSetCustomer.recordCount(), 3);
    EXPECT_EQ(form.ADODataSetCustomer.providerOption(QStringLiteral("Update Criteria")).toInt(), 0);
    EXPECT_EQ(form.ADODataSetCustomer.providerOption(QStringLiteral("Update Resync")).toInt(), 15);
    // The help file the build made, in share/orvane beside bin/ as when installed.
    const QFileInfo help(HelpViewer::applicationHelpFile());
    EXPECT_TRUE(help.isFile()) << qPrintable(help.filePath());
    EXPECT_EQ(help.canonicalFilePath(), QFileInfo(QStringLiteral(ORVANE_BINARY_DIR "/share/orvane/Orvane.hlp")).canonicalFilePath());

    // The choice is remembered for the next start.
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"));
    EXPECT_EQ(store.value(QStringLiteral("Tablename")).toString(), QStringLiteral("kunden"));
    EXPECT_EQ(store.value(QStringLiteral("LongitudeComboBox")).toString(), QStringLiteral("W1MP"));
}

TEST_F(StartupTest, GridShowsTheElevenTitlesAndFormatsWhateverTheColumnNames)
{
    ModalScript script;
    script.expect(QStringLiteral("TConfigurationForm"), [](QWidget *modal) {
        auto &ui = *static_cast<TConfigurationForm *>(modal)->ui;
        ui.TableListBox->setCurrentItem(ui.TableListBox->findItems(QStringLiteral("customers"), Qt::MatchExactly).value(0));
        const QStringList names = {"id", "name", "country", "zip", "town", "street"};
        const QList<QComboBox *> sources = {ui.IdentifierComboBox, ui.NameComboBox, ui.CountryComboBox,
                                            ui.PostcodeComboBox, ui.CityComboBox, ui.StreetComboBox};
        for (int i = 0; i < sources.size(); ++i)
            pick(sources[i], names[i]);
        pick(ui.StatusTextComboBox, QStringLiteral("geo_status"));
        pick(ui.GeocodedOnComboBox, QStringLiteral("geo_address"));
        pick(ui.ControlGeocodeComboBox, QStringLiteral("needs_check"));
        pick(ui.LatitudeComboBox, QStringLiteral("lat"));
        pick(ui.LongitudeComboBox, QStringLiteral("lon"));
        ui.USRadioButton->setChecked(true);
        ui.Button1->click();
    });
    TOrvaneForm form(icons, [this](QWidget *) { return db.path(); });
    script.finish();
    EXPECT_EQ(form.FMapVersion, 1);

    const QAbstractItemModel *model = form.ui->DBGrid1->model();
    ASSERT_EQ(model->columnCount(), 11);
    QStringList titles;
    for (int c = 0; c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{"Id", "Name", "Counry", "Postcode", "City", "Street",
                                   "Need control", "Geocode Status", "Geocoded on", "Latitude",
                                   "Longitude"}));
    EXPECT_EQ(model->data(model->index(0, 9)).toString(), QStringLiteral(".00000"));
    EXPECT_EQ(model->data(model->index(0, 6)).toString(), QString());
}

TEST_F(StartupTest, WindowCarriesTheNamedPartsWithTheirHintsAndImages)
{
    ModalScript script;
    script.expect(QStringLiteral("TConfigurationForm"), mapKunden);
    TOrvaneForm form(icons, [this](QWidget *) { return db.path(); });
    script.finish();

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Orvane"));
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form.ToolButton1->toolTip(), QStringLiteral("Geocode all"));
    EXPECT_EQ(form.ToolButton3->toolTip(), QStringLiteral("SQL-Selection"));
    EXPECT_EQ(form.ToolButton2->toolTip(), QStringLiteral("Help"));
    // The undo comes after every other part, in the toolbar and in the popup menu.
    EXPECT_EQ(form.ToolButton4->toolTip(), QStringLiteral("Undo last run"));
    QStringList toolbar, popup;
    for (QAction *a : form.ui->ToolBar1->actions())
        toolbar << form.ui->ToolBar1->widgetForAction(a)->objectName();
    for (QAction *a : form.PopupMenu->actions())
        popup << a->objectName();
    EXPECT_EQ(toolbar, (QStringList{"ToolButton1", "ToolButton3", "ToolButton2", "ToolButton4"}));
    EXPECT_EQ(popup, (QStringList{"Geocodeactualrecord1", "Coordinatesearch", "Undolastrun1"}));
    EXPECT_EQ(form.Undolastrun1->text(), QStringLiteral("Undo last run"));
    EXPECT_EQ(form.ui->BatchGeocodeAction->text(), QStringLiteral("Action"));
    EXPECT_EQ(form.ui->BatchGeocodeAction->toolTip(), QStringLiteral("Alle geokodieren"));
    EXPECT_EQ(form.ui->SQLAction->toolTip(), QStringLiteral("SQL-Auswahl setzen"));
    EXPECT_EQ(form.Geocodeactualrecord1->text(), QStringLiteral("Geocode actual record"));
    EXPECT_EQ(form.Coordinatesearch->text(), QStringLiteral("Show Coordinate"));
    EXPECT_TRUE(form.ui->ShowCoordinateAction->icon().isNull());
    EXPECT_GE(icons.NavigatorImageList.count(), 33);
    for (int index : {4, 13, 16, 20, 32})
        EXPECT_FALSE(icons.NavigatorImageList.icon(index).isNull()) << index;
    for (QAction *action : form.ActionList)
        EXPECT_TRUE(action->isEnabled() && action->isVisible());
    EXPECT_EQ(form.ui->Splitter1->handleWidth(), 6);
    EXPECT_EQ(form.ui->DBNavigator1->width(), 500);
    EXPECT_EQ(form.StatusPanels[0]->width(), 50);
}

TEST_F(StartupTest, HelpButtonOpensContextTenOrSaysTheFileIsMissing)
{
    ModalScript script;
    script.expect(QStringLiteral("TConfigurationForm"), mapKunden);
    TOrvaneForm form(icons, [this](QWidget *) { return db.path(); });
    script.finish();

    HelpViewer::setApplicationHelpFile(db.folder() + QStringLiteral("/Orvane.hlp"));
    EXPECT_THROW(form.ToolButton2Click(), HelpError);

    QFile help(db.folder() + QStringLiteral("/Orvane.hlp"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.write("<html><body><a name=\"context-10\"></a><h2>Main window</h2></body></html>");
    help.close();
    form.ToolButton2Click();
    const auto viewers = QApplication::topLevelWidgets();
    const auto it = std::find_if(viewers.begin(), viewers.end(),
                                 [](QWidget *w) { return qobject_cast<HelpViewer *>(w) && w->isVisible(); });
    ASSERT_NE(it, viewers.end());
    EXPECT_EQ(static_cast<HelpViewer *>(*it)->currentAnchor(), QStringLiteral("context-10"));
    (*it)->close();
}

TEST_F(StartupTest, HelpAfterAFailedStartSaysNoDatabaseIsOpenAndOpensTheShippedHelpFile)
{
    HelpViewer::setApplicationHelpFile(QString());
    const QString bogus = db.folder() + QStringLiteral("/notes.mdb");
    QFile file(bogus);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("these are not the customers you are looking for\n");
    file.close();
    std::unique_ptr<TOrvaneForm> form;
    {
        ModalScript start;
        start.expect(QStringLiteral("QMessageBox"), ModalScript::pressStandardButton(QMessageBox::Ok));
        form = std::make_unique<TOrvaneForm>(icons, [&](QWidget *) { return bogus; });
        start.finish();
    }

    ModalScript script;
    QString said;
    script.expect(QStringLiteral("QMessageBox"), [&said](QWidget *modal) {
        said = static_cast<QMessageBox *>(modal)->text();
        ModalScript::pressStandardButton(QMessageBox::Ok)(modal);
    });
    const QString shipped = DataFolder::filePath(QStringLiteral("Orvane.hlp"));
    try {
        form->ToolButton2Click();
    } catch (const HelpError &error) {
        // No help file where a test program looks: the message names where it was looked for.
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QDir::toNativeSeparators(shipped))) << error.what();
    }
    script.finish();
    EXPECT_TRUE(said.startsWith(QStringLiteral("No database is open"))) << said.toStdString();
    EXPECT_EQ(HelpViewer::applicationHelpFile(), shipped);
}

} // namespace
