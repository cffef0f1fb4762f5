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
    for (const ColumnRoleEntry &entry : ColumnRoles::All())
        m_comboBoxes[static_cast<std::size_t>(entry.role)] = findChild<QComboBox *>(entry.ValueName());
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

    for (const ColumnRoleEntry &entry : ColumnRoles::All())
        comboBox(entry.role)->clear();

    FProbeDataSet->close();
    FProbeDataSet->setCommandText(QStringLiteral("select TOP 1 * from ")
                                  + FProbeDataSet->connection()->provider().quotedName(table->text()));
    FProbeDataSet->open();

    // Each role offers the columns of its kind, in the table's order.
    for (const ColumnDef &column : FProbeDataSet->columnDefs())
        for (const ColumnRoleEntry &entry : ColumnRoles::All())
            if (entry.kind == column.kind)
                comboBox(entry.role)->addItem(column.name);
    // A combo box selects its first item on its own; only the store may choose.
    for (const ColumnRoleEntry &entry : ColumnRoles::All())
        comboBox(entry.role)->setCurrentIndex(-1);

    if (const auto store = MappingStore::OpenForReading()) {
        for (const ColumnRoleEntry &entry : ColumnRoles::All()) {
            QComboBox *combo = comboBox(entry.role);
            combo->setCurrentIndex(IndexOfColumn(combo, store->Column(entry.role)));
        }
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
    for (const ColumnRoleEntry &entry : ColumnRoles::All()) {
        if (comboBox(entry.role)->currentIndex() < 0) {
            QMessageBox::critical(this, tr("Error"), QStringLiteral("All Fields must be set"),
                                  QMessageBox::Ok);
            return;
        }
    }
    // An unwritable store still closes with Ok: the choice is then used for this run only.
    MappingStore::Write(GetTableName(), GetColumns());
    accept();
}

QString TConfigurationForm::GetTableName() const
{
    const QListWidgetItem *item = ui->TableListBox->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

ColumnMapping TConfigurationForm::GetColumns() const
{
    ColumnMapping columns;
    for (const ColumnRoleEntry &entry : ColumnRoles::All())
        columns[entry.role] = selectedText(comboBox(entry.role));
    return columns;
}

int TConfigurationForm::GetMapVersion() const
{
    return ui->USRadioButton->isChecked() ? 1 : 0;
}
