#include <GuiTestApplication.h>
#include <ModalScript.h>

#include <ConfigurationUnit.h>
#include <Connection.h>
#include "ui_ConfigurationForm.h"

#include <QFile>
#include <QScreen>
#include <QTest>
#include <QSettings>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace {

const char *const Schema = R"sql(
CREATE TABLE a (Id TEXT PRIMARY KEY, Name TEXT, Land TEXT, Plz TEXT, Ort TEXT, Strasse TEXT,
  Status TEXT, Adresse TEXT, Pruefen BOOLEAN, Lat DOUBLE, Lon DOUBLE, Nr INTEGER, Seit DATE);
CREATE TABLE b (Code TEXT, Ort TEXT, Lat REAL, Flag BOOLEAN);
CREATE TABLE numbers (n INTEGER, x DOUBLE, flag BOOLEAN);
CREATE VIEW a_view AS SELECT * FROM a;
)sql";

QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"));
}

class ConfigurationDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        {
            QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"));
            s.clear();
            s.sync();
            QFile::remove(s.fileName());
        }
        const QString path = dir.filePath(QStringLiteral("db.sqlite"));
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, Schema, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        connection.setConnectionText(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
        connection.open();
    }

    void storeMapping(const QString &table, const QStringList &columns)
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"));
        s.setValue(QStringLiteral("Tablename"), table);
        const QStringList names = {"IdentifierComboBox", "NameComboBox", "CountryComboBox",
                                   "PostcodeComboBox", "CityComboBox", "StreetComboBox",
                                   "StatusTextComboBox", "GeocodedOnComboBox",
                                   "ControlGeocodeComboBox", "LatitudeComboBox", "LongitudeComboBox"};
        for (int i = 0; i < names.size(); ++i)
            s.setValue(names[i], columns.value(i));
        s.sync();
    }

    void click(TConfigurationForm &form, const QString &table)
    {
        form.ui->TableListBox->setCurrentItem(
            form.ui->TableListBox->findItems(table, Qt::MatchExactly).value(0));
    }

    static QStringList items(const QComboBox *combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    }

    QTemporaryDir dir;
    Connection connection;
};

const QStringList StoredA = {"Id", "Name", "Land", "Plz", "Ort", "Strasse", "Status", "Adresse",
                             "Pruefen", "Lat", "Lon"};

TEST_F(ConfigurationDialogTest, ListsTablesAndViewsAndOffersOnlyColumnsOfTheRightKind)
{
    TConfigurationForm form(nullptr, &connection);
    QStringList tables;
    for (int i = 0; i < form.ui->TableListBox->count(); ++i)
        tables << form.ui->TableListBox->item(i)->text();
    EXPECT_EQ(tables, (QStringList{"a", "b", "numbers", "a_view"}));
    EXPECT_FALSE(form.ui->Button1->isEnabled());
    EXPECT_TRUE(form.ui->EuropeanRadioButton->isChecked());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Configuration"));

    click(form, QStringLiteral("a"));
    EXPECT_TRUE(form.ui->Button1->isEnabled());
    const QStringList text = {"Id", "Name", "Land", "Plz", "Ort", "Strasse", "Status", "Adresse"};
    EXPECT_EQ(items(form.ui->IdentifierComboBox), text);
    EXPECT_EQ(items(form.ui->GeocodedOnComboBox), text);   // no date column
    EXPECT_EQ(items(form.ui->ControlGeocodeComboBox), QStringList{"Pruefen"});
    EXPECT_EQ(items(form.ui->LatitudeComboBox), (QStringList{"Lat", "Lon"}));
    // Nothing is chosen until the user or the store chooses.
    EXPECT_EQ(form.ui->IdentifierComboBox->currentIndex(), -1);
}

TEST_F(ConfigurationDialogTest, StoredChoicePreselectsAndIsReappliedWhenTheUserComesBack)
{
    storeMapping(QStringLiteral("a"), StoredA);
    TConfigurationForm form(nullptr, &connection);
    EXPECT_EQ(form.GetTableName(), QStringLiteral("a"));
    EXPECT_EQ(form.GetColumns()[ColumnRole::Identifier], QStringLiteral("Id"));
    EXPECT_EQ(form.GetColumns()[ColumnRole::Longitude], QStringLiteral("Lon"));
    EXPECT_TRUE(form.ui->Button1->isEnabled());

    click(form, QStringLiteral("b"));
    EXPECT_EQ(items(form.ui->CityComboBox), (QStringList{"Code", "Ort"}));
    EXPECT_EQ(form.GetColumns()[ColumnRole::City], QStringLiteral("Ort"));   // stored name that b has too
    EXPECT_EQ(form.GetColumns()[ColumnRole::Identifier], QString());          // stored "Id" is not in b
    EXPECT_EQ(form.GetColumns()[ColumnRole::Latitude], QStringLiteral("Lat"));

    click(form, QStringLiteral("a"));
    EXPECT_EQ(form.GetColumns()[ColumnRole::Identifier], QStringLiteral("Id"));
    EXPECT_EQ(form.GetColumns()[ColumnRole::Street], QStringLiteral("Strasse"));
}

TEST_F(ConfigurationDialogTest, TableWithASpaceInItsNameListsItsColumns)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.filePath(QStringLiteral("db.sqlite")).toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, R"sql(CREATE TABLE "Asset Items" ("Asset No" TEXT, "Lat Deg" DOUBLE, Ok BOOLEAN))sql",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    TConfigurationForm form(nullptr, &connection);
    click(form, QStringLiteral("Asset Items"));
    EXPECT_TRUE(form.ui->Button1->isEnabled());
    EXPECT_EQ(items(form.ui->IdentifierComboBox), QStringList{"Asset No"});
    EXPECT_EQ(items(form.ui->LatitudeComboBox), QStringList{"Lat Deg"});
    EXPECT_EQ(items(form.ui->ControlGeocodeComboBox), QStringList{"Ok"});
}

TEST_F(ConfigurationDialogTest, ClickOnTheRowThatOnlyHadTheFocusListsItsColumns)
{
    TConfigurationForm form(nullptr, &connection);
    form.show();
    QListWidget *list = form.ui->TableListBox;
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate);   // as focusing the list does
    ASSERT_FALSE(list->item(0)->isSelected());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_TRUE(form.ui->Button1->isEnabled());
    EXPECT_EQ(form.ui->IdentifierComboBox->count(), 8);
}

TEST_F(ConfigurationDialogTest, StoredNamesMatchExactlyAndAMissingTableSelectsNothing)
{
    QStringList lower = StoredA;
    lower[0] = QStringLiteral("id");
    storeMapping(QStringLiteral("a"), lower);
    {
        TConfigurationForm form(nullptr, &connection);
        EXPECT_EQ(form.GetColumns()[ColumnRole::Identifier], QString());
        EXPECT_EQ(form.GetColumns()[ColumnRole::Name], QStringLiteral("Name"));
    }
    storeMapping(QStringLiteral("A"), StoredA);
    TConfigurationForm form(nullptr, &connection);
    EXPECT_EQ(form.GetTableName(), QString());
    EXPECT_FALSE(form.ui->Button1->isEnabled());
    EXPECT_EQ(form.ui->IdentifierComboBox->count(), 0);
}

TEST_F(ConfigurationDialogTest, OkRefusesWhileAFieldIsUnsetAndStaysOpen)
{
    TConfigurationForm form(nullptr, &connection);
    click(form, QStringLiteral("numbers"));
    EXPECT_TRUE(form.ui->Button1->isEnabled());
    EXPECT_EQ(form.ui->IdentifierComboBox->count(), 0);

    ModalScript script;
    QString said;
    script.expect(QStringLiteral("QMessageBox"), [&said](QWidget *modal) {
        said = static_cast<QMessageBox *>(modal)->text();
        ModalScript::pressStandardButton(QMessageBox::Ok)(modal);
    });
    form.show();
    form.ui->Button1->click();
    script.finish();
    EXPECT_EQ(said, QStringLiteral("All Fields must be set"));
    EXPECT_EQ(form.result(), 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(QFile::exists(store().fileName()));
}

TEST_F(ConfigurationDialogTest, OkStoresTheTwelveValuesAndTheEditionIsNotStored)
{
    storeMapping(QStringLiteral("a"), StoredA);
    TConfigurationForm form(nullptr, &connection);
    form.ui->CityComboBox->setCurrentIndex(form.ui->CityComboBox->findText(QStringLiteral("Land")));
    form.ui->USRadioButton->setChecked(true);
    form.ui->Button1->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.GetMapVersion(), 1);
    QSettings s = store();
    EXPECT_EQ(s.value(QStringLiteral("CityComboBox")).toString(), QStringLiteral("Land"));
    EXPECT_EQ(s.value(QStringLiteral("Tablename")).toString(), QStringLiteral("a"));
    EXPECT_EQ(s.allKeys().size(), 12);

    TConfigurationForm again(nullptr, &connection);
    EXPECT_TRUE(again.ui->EuropeanRadioButton->isChecked());
    EXPECT_EQ(again.GetColumns()[ColumnRole::City], QStringLiteral("Land"));
}

TEST_F(ConfigurationDialogTest, OpensCentredOnTheScreenNotOverItsHiddenOwner)
{
    QWidget owner;
    owner.setGeometry(150, 20, 907, 646);
    owner.setWindowState(Qt::WindowMaximized);
    TConfigurationForm form(&owner, &connection);
    ModalScript script;
    QPoint centre;
    script.expect(QStringLiteral("TConfigurationForm"), [&centre](QWidget *modal) {
        centre = modal->geometry().center();
        ModalScript::clickButton(QStringLiteral("Cancel"))(modal);
    });
    form.exec();
    script.finish();
    const QPoint screenCentre = owner.screen()->availableGeometry().center();
    EXPECT_LE((centre - screenCentre).manhattanLength(), 4) << centre.x() << "," << centre.y();
}

TEST_F(ConfigurationDialogTest, EnterPressesTheFocusedButton)
{
    storeMapping(QStringLiteral("a"), StoredA);
    TConfigurationForm form(nullptr, &connection);
    ModalScript script;
    form.ui->CityComboBox->setCurrentIndex(form.ui->CityComboBox->findText(QStringLiteral("Land")));
    script.expect(QStringLiteral("TConfigurationForm"), [&form](QWidget *) {
        form.ui->Button2->setFocus();
        QTest::keyClick(form.ui->Button2, Qt::Key_Return);
    });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    script.finish();
    EXPECT_EQ(store().value(QStringLiteral("CityComboBox")).toString(), QStringLiteral("Ort"));

    // Enter on a combo box still presses the default button, Ok.
    script.expect(QStringLiteral("TConfigurationForm"), [&form](QWidget *) {
        form.ui->CityComboBox->setFocus();
        QTest::keyClick(form.ui->CityComboBox, Qt::Key_Return);
    });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    script.finish();
}

} // namespace
