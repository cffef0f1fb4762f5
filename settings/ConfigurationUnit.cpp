#include "ConfigurationUnit.h"

#include "ui_ConfigurationForm.h"

#include "MappingStore.h"

#include <Connection.h>
#include <HandlerGuard.h>
#include <RecordSet.h>

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace {
QString selectedText(const QComboBox *comboBox)
{
    return comboBox->currentIndex() < 0 ? QString() : comboBox->currentText();
}
} // namespace

TConfigurationForm::TConfigurationForm(QWidget *owner, Connection *connection)
    : QDialog(owner), ui(std::make_unique<Ui::ConfigurationForm>()),
      FProbeDataSet(new RecordSet(this))
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint
                   | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(526, 409);
    // The owner is still hidden while the mapping is asked for: centre on the screen, not over it.
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    move(screen->availableGeometry().center() - rect().center());
    FProbeDataSet->setConnection(connection);

    ui->TableListBox->addItems(connection->tableNames());
    ui->Button1->setEnabled(false);

    if (const auto store = MappingStore::OpenForReading()) {
        const QString table = store->Read(QString::fromLatin1(MappingStore::TableValue));
        const auto matches = ui->TableListBox->findItems(table, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!table.isEmpty() && !matches.isEmpty())
            ui->TableListBox->setCurrentItem(matches.first());
    }
    FillFieldLists();

    // Selection, not the current row: a click on the row that only had the focus must count too.
    connect(ui->TableListBox, &QListWidget::itemSelectionChanged, this,
            Guarded([this] { TableListBoxClick(); }));
    connect(ui->Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TConfigurationForm::~TConfigurationForm() = default;

QList<QComboBox *> TConfigurationForm::fieldComboBoxes() const
{
    return {ui->IdentifierComboBox, ui->NameComboBox,       ui->CountryComboBox,
            ui->PostcodeComboBox,   ui->CityComboBox,       ui->StreetComboBox,
            ui->StatusTextComboBox, ui->GeocodedOnComboBox, ui->ControlGeocodeComboBox,
            ui->LatitudeComboBox,   ui->LongitudeComboBox};
}

void TConfigurationForm::TableListBoxClick()
{
    FillFieldLists();
}

void TConfigurationForm::FillFieldLists()
{
    ui->Button1->setEnabled(false);
    const QListWidgetItem *table = ui->TableListBox->currentItem();
    if (!table || !table->isSelected())
        return;

    const auto combos = fieldComboBoxes();
    for (QComboBox *combo : combos)
        combo->clear();

    FProbeDataSet->close();
    FProbeDataSet->setCommandText(QStringLiteral("select TOP 1 * from ") + table->text());
    FProbeDataSet->open();

    const QList<QComboBox *> textLists = {
        ui->IdentifierComboBox, ui->NameComboBox,       ui->CountryComboBox,
        ui->PostcodeComboBox,   ui->CityComboBox,       ui->StreetComboBox,
        ui->StatusTextComboBox, ui->GeocodedOnComboBox};
    for (const ColumnDef &column : FProbeDataSet->columnDefs()) {
        switch (column.kind) {
        case ColumnKind::Text:
            for (QComboBox *combo : textLists)
                combo->addItem(column.name);
            break;
        case ColumnKind::YesNo:
            ui->ControlGeocodeComboBox->addItem(column.name);
            break;
        case ColumnKind::Float:
            ui->LatitudeComboBox->addItem(column.name);
            ui->LongitudeComboBox->addItem(column.name);
            break;
        case ColumnKind::Other:
            break;
        }
    }
    // A combo box selects its first item on its own; only the store may choose.
    for (QComboBox *combo : combos)
        combo->setCurrentIndex(-1);

    if (const auto store = MappingStore::OpenForReading()) {
        const QStringList &names = MappingStore::ValueNames();
        // Value names 1..11 are in the order of fieldComboBoxes().
        for (int i = 0; i < combos.size(); ++i)
            combos[i]->setCurrentIndex(IndexOfColumn(combos[i], store->Read(names[i + 1])));
    }
    ui->Button1->setEnabled(true);
}

int TConfigurationForm::IndexOfColumn(const QComboBox *comboBox, const QString &name)
{
    if (name.isEmpty())
        return -1;
    for (int i = 0; i < comboBox->count(); ++i)
        if (comboBox->itemText(i) == name)
            return i;
    return -1;
}

void TConfigurationForm::Button1Click()
{
    const auto combos = fieldComboBoxes();
    for (const QComboBox *combo : combos) {
        if (combo->currentIndex() < 0) {
            QMessageBox::critical(this, tr("Error"), QStringLiteral("All Fields must be set"),
                                  QMessageBox::Ok);
            return;
        }
    }
    QList<QPair<QString, QString>> values{{QString::fromLatin1(MappingStore::TableValue), GetTableName()}};
    const QStringList &names = MappingStore::ValueNames();
    for (int i = 0; i < combos.size(); ++i)
        values.append({names[i + 1], combos[i]->currentText()});
    // An unwritable store still closes with Ok: the choice is then used for this run only.
    MappingStore::Write(values);
    accept();
}

QString TConfigurationForm::GetTableName() const
{
    const QListWidgetItem *item = ui->TableListBox->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

QString TConfigurationForm::GetIdentifierField() const { return selectedText(ui->IdentifierComboBox); }
QString TConfigurationForm::GetNameField() const { return selectedText(ui->NameComboBox); }
QString TConfigurationForm::GetCountryField() const { return selectedText(ui->CountryComboBox); }
QString TConfigurationForm::GetPostcodeField() const { return selectedText(ui->PostcodeComboBox); }
QString TConfigurationForm::GetCityField() const { return selectedText(ui->CityComboBox); }
QString TConfigurationForm::GetStreetField() const { return selectedText(ui->StreetComboBox); }
QString TConfigurationForm::GetControlGeocodeField() const { return selectedText(ui->ControlGeocodeComboBox); }
QString TConfigurationForm::GetGeocodedOnField() const { return selectedText(ui->GeocodedOnComboBox); }
QString TConfigurationForm::GetLatitudeField() const { return selectedText(ui->LatitudeComboBox); }
QString TConfigurationForm::GetLongitudeField() const { return selectedText(ui->LongitudeComboBox); }
QString TConfigurationForm::GetStatusTextField() const { return selectedText(ui->StatusTextComboBox); }

int TConfigurationForm::GetMapVersion() const
{
    return ui->USRadioButton->isChecked() ? 1 : 0;
}
