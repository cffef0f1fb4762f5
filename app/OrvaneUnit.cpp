#include "OrvaneUnit.h"

#include "ui_OrvaneForm.h"

#include "CustomerRecords.h"
#include "IconData.h"
#include "OrvaneApplication.h"
#include "ProgressRunView.h"
#include "QueryStopWindow.h"
#include "RunHistory.h"

#include <ConfigurationUnit.h>
#include <DataError.h>
#include <AddressSearchUnit.h>
#include <ErrorDisplay.h>
#include <DataFolder.h>
#include <EmbeddedMapSite.h>
#include <GetStringUnit.h>
#include <HandlerGuard.h>
#include <HelpViewer.h>
#include <KarteUnit.h>

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>

namespace {
// How often the action list's update runs while the window is idle.
constexpr int IdleUpdateIntervalMs = 250;
constexpr int HelpContextMainWindow = 10;

QToolButton *makeToolButton(QWidget *parent, const QString &name, const QIcon &icon,
                            const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setFixedSize(25, 24);
    button->setIcon(icon);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    return button;
}
} // namespace

QString ChooseDatabaseFile(QWidget *parent)
{
    QFileDialog dialog(parent, QStringLiteral("Open Access-database"), QDir::currentPath());
    // Qt's own dialog matches "*.mdb" without regard to case, as the Access filter must.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QStringLiteral("mdb"));
    const QString sqliteFilter = QStringLiteral("SQLite databases (*.sqlite *.sqlite3 *.db)");
    dialog.setNameFilters({QStringLiteral("Access (*.mdb)"), QStringLiteral("Access 2007 (*.accdb)"),
                           sqliteFilter, QStringLiteral("Database servers (*.udl)"),
                           QStringLiteral("All files (*)")});
    // Access files are read-only here; the databases Orvane can write come first to the eye.
    dialog.selectNameFilter(sqliteFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath());
}

TOrvaneForm::TOrvaneForm(const TIconDataModule &icons, FileChooser chooseFile, QWidget *parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::OrvaneForm>()),
      m_chooseFile(chooseFile ? std::move(chooseFile) : FileChooser(ChooseDatabaseFile)),
      m_idleUpdate(new QTimer(this))
{
    ui->setupUi(this);
    ActionList = {ui->BatchGeocodeAction, ui->SingleGeocodeAction, ui->SQLAction,
                  ui->ShowCoordinateAction, ui->UndoRunAction};
    ui->BatchGeocodeAction->setIcon(icons.NavigatorImageList.icon(4));
    ui->SingleGeocodeAction->setIcon(icons.NavigatorImageList.icon(16));
    ui->SQLAction->setIcon(icons.NavigatorImageList.icon(13));
    ui->UndoRunAction->setIcon(icons.NavigatorImageList.icon(20));
    buildToolBar(icons);
    buildPopupMenu();
    buildStatusBar();

    ui->DBGrid1->setDataSource(&DataSourceKolm);
    ui->DBNavigator1->setDataSource(&DataSourceKolm);
    QPalette gridPalette = ui->DBGrid1->palette();
    gridPalette.setColor(QPalette::Base, gridPalette.color(QPalette::ToolTipBase));
    gridPalette.setColor(QPalette::Text, gridPalette.color(QPalette::ToolTipText));
    ui->DBGrid1->setPalette(gridPalette);
    ui->Splitter1->setStyleSheet(QStringLiteral("QSplitter::handle { background: palette(highlight); }"));
    ui->Splitter1->setStretchFactor(0, 0);
    ui->Splitter1->setStretchFactor(1, 1);
    ui->Splitter1->setSizes({448, width() - 448});

    ADODataSetCustomer.setConnection(&ADOConnection1);
    ADODataSetCustomer.setCommandText(QString::fromLatin1(InitialCommandText));
    addFieldSlots();
    DataSourceKolm.setDataSet(&ADODataSetCustomer);

    connect(ui->BatchGeocodeAction, &QAction::triggered, this, Guarded([this] { BatchGeocodeActionExecute(); }));
    connect(ui->SingleGeocodeAction, &QAction::triggered, this, Guarded([this] { SingleGeocodeActionExecute(); }));
    connect(ui->SQLAction, &QAction::triggered, this, Guarded([this] { SQLActionExecute(); }));
    connect(ui->ShowCoordinateAction, &QAction::triggered, this, Guarded([this] { ShowCoordinateActionExecute(); }));
    connect(ui->UndoRunAction, &QAction::triggered, this, Guarded([this] { UndoRunActionExecute(); }));
    connect(ui->DBGrid1, &DBGrid::cellClicked, this, Guarded([this](int column) { DBGrid1CellClick(column); }));
    connect(ui->DBGrid1, &DBGrid::titleClicked, this, Guarded([this](int column) { DBGrid1TitleClick(column); }));
    connect(ui->DBGrid1, &QWidget::customContextMenuRequested, this, Guarded([this](const QPoint &at) {
        PopupMenu->popup(ui->DBGrid1->viewport()->mapToGlobal(at));
    }));
    // The single-record run's dialog belongs to this window.
    KartenModul().SetAddressSearchDialogFactory(
        [this] { return std::make_unique<TAddressSearchForm>(this); });
    m_idleUpdate->setInterval(IdleUpdateIntervalMs);
    connect(m_idleUpdate, &QTimer::timeout, this, Guarded([this] { runActionListUpdate(); }));

    FormCreate();
}

TOrvaneForm::~TOrvaneForm()
{
    KartenModul().SetAddressSearchDialogFactory({});
}

void TOrvaneForm::addFieldSlots()
{
    TCustomerRecords::AddFieldSlots(ADODataSetCustomer);
}

void TOrvaneForm::buildToolBar(const TIconDataModule &icons)
{
    // The buttons show their own hints, not the actions'.
    ToolButton1 = makeToolButton(ui->ToolBar1, QStringLiteral("ToolButton1"),
                                 ui->BatchGeocodeAction->icon(), QStringLiteral("Geocode all"));
    ToolButton3 = makeToolButton(ui->ToolBar1, QStringLiteral("ToolButton3"),
                                 ui->SQLAction->icon(), QStringLiteral("SQL-Selection"));
    ToolButton2 = makeToolButton(ui->ToolBar1, QStringLiteral("ToolButton2"),
                                 icons.NavigatorImageList.icon(32), QStringLiteral("Help"));
    ToolButton4 = makeToolButton(ui->ToolBar1, QStringLiteral("ToolButton4"),
                                 ui->UndoRunAction->icon(), QStringLiteral("Undo last run"));
    for (QToolButton *button : {ToolButton1, ToolButton3, ToolButton2, ToolButton4})
        ui->ToolBar1->addWidget(button);
    connect(ToolButton1, &QToolButton::clicked, ui->BatchGeocodeAction, &QAction::trigger);
    connect(ToolButton3, &QToolButton::clicked, ui->SQLAction, &QAction::trigger);
    connect(ToolButton4, &QToolButton::clicked, ui->UndoRunAction, &QAction::trigger);
    connect(ToolButton2, &QToolButton::clicked, this, Guarded([this] { ToolButton2Click(); }));
}

void TOrvaneForm::buildPopupMenu()
{
    PopupMenu = new QMenu(ui->DBGrid1);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    const auto item = [this](const QString &name, QAction *action) {
        QAction *entry = PopupMenu->addAction(action->icon(), action->text());
        entry->setObjectName(name);
        connect(entry, &QAction::triggered, action, &QAction::trigger);
        return entry;
    };
    Geocodeactualrecord1 = item(QStringLiteral("Geocodeactualrecord1"), ui->SingleGeocodeAction);
    Coordinatesearch = item(QStringLiteral("Coordinatesearch"), ui->ShowCoordinateAction);
    Undolastrun1 = item(QStringLiteral("Undolastrun1"), ui->UndoRunAction);
}

void TOrvaneForm::buildStatusBar()
{
    for (int i = 0; i < 3; ++i) {
        auto *panel = new QLabel(ui->StatusBar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(50);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        ui->StatusBar->addWidget(panel);
        StatusPanels[i] = panel;
    }
}

void TOrvaneForm::SetStatusPanelText(int panel, const QString &text)
{
    StatusPanels[panel]->setText(text);
    // The batch loop does not process messages: paint now.
    StatusPanels[panel]->repaint();
}

void TOrvaneForm::FormCreate()
{
    setWindowState(Qt::WindowMaximized);
    try {
        if (!ADOConnection1BeforeConnect())
            return;
        ADOConnection1.open();
        if (!ADOConnection1AfterConnect())
            return;
        if (!FTableName.isEmpty())
            openRecordSet();
        HelpViewer::setApplicationHelpFile(shippedHelpFile());
    } catch (const std::exception &error) {
        ErrorDisplay::Show(error);
    }
}

bool TOrvaneForm::ADOConnection1BeforeConnect()
{
    const QString path = m_chooseFile(this);
    if (path.isEmpty()) {
        OrvaneApplication::Terminate();
        return false;
    }
    ADOConnection1.setConnectionText(TCustomerRecords::ConnectionText(path));
    return true;
}

bool TOrvaneForm::ADOConnection1AfterConnect()
{
    TConfigurationForm dialog(this, &ADOConnection1);
    if (dialog.exec() != QDialog::Accepted) {
        OrvaneApplication::Terminate();
        return false;
    }
    FMapVersion = dialog.GetMapVersion();
    FTableName = dialog.GetTableName();
    FColumns = dialog.GetColumns();
    TCustomerRecords::BindColumns(ADODataSetCustomer, FColumns);
    ui->DBGrid1->rebuildColumns();
    return true;
}

void TOrvaneForm::openRecordSet()
{
    TCustomerRecords::OpenTable(ADODataSetCustomer, FTableName);
}

void TOrvaneForm::ToolButton2Click()
{
    if (HelpViewer::applicationHelpFile().isEmpty()) {
        // The start-up ended before it set the help file: say why the window is empty, and
        // the help beside the program explains how to start again.
        QMessageBox::information(this, OrvaneApplication::Title(),
                                 QStringLiteral("No database is open: the start did not get as far as "
                                                "the customer table. Close Orvane and start it again "
                                                "to choose a database."));
        HelpViewer::setApplicationHelpFile(shippedHelpFile());
    }
    HelpViewer::showApplicationHelp(HelpContextMainWindow);
}

QString TOrvaneForm::shippedHelpFile()
{
    return DataFolder::filePath(QString::fromLatin1(HelpFileName));
}

TColumnMapping TOrvaneForm::RunColumns() const
{
    return TColumnMapping::Of(FColumns);
}

void TOrvaneForm::BatchGeocodeActionExecute()
{
    requireWritable();
    // Without a map every search finds nothing, and the run would wipe each record's results.
    KartenModul().RequireMap();
    QMessageBox confirm(QMessageBox::Question, tr("Confirm"), QStringLiteral("Geocode all records ?"),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
    if (confirm.exec() != QMessageBox::Ok)
        return;
    TProgressRunView view(this, [this](const QString &text) { SetStatusPanelText(0, text); });
    TBatchGeocodeRun::Run(ADODataSetCustomer, RunColumns(), view);
}

void TOrvaneForm::SingleGeocodeActionExecute()
{
    requireWritable();
    RecordSet &rs = ADODataSetCustomer;
    const TColumnMapping columns = RunColumns();
    const QString identifier = rs.fieldByName(columns.Identifier).asString();
    const QString country = rs.fieldByName(columns.Country).asString();
    const QString postcode = rs.fieldByName(columns.Postcode).asString();
    const QString city = rs.fieldByName(columns.City).asString();
    const QString street = rs.fieldByName(columns.Street).asString();

    RAddressSearchResult result;
    KartenModul().GeocodeInteractive(country, postcode, city, street, identifier, result);
    if (result.Found)
        TBatchGeocodeRun::WriteSingle(rs, columns, result);
}

void TOrvaneForm::requireWritable() const
{
    // A file that cannot be changed is said before any work, not at the first record written.
    if (ADOConnection1.isConnected())
        ADOConnection1.provider().checkWritable();
}

void TOrvaneForm::SQLActionExecute()
{
    TGetStringForm dialog(this);
    dialog.SetPrompt(QStringLiteral("SQL:"));
    dialog.EnlargeMemo();
    dialog.SetString(ADODataSetCustomer.commandText());
    if (dialog.exec() != QDialog::Accepted)
        return;
    ADODataSetCustomer.close();
    ADODataSetCustomer.setCommandText(dialog.GetString());
    const TQueryStopWindow stop(ADOConnection1, this);
    ADODataSetCustomer.open();
}

void TOrvaneForm::ShowCoordinateActionExecute()
{
    const double longitude = ADODataSetCustomer.fieldByName(FColumns[ColumnRole::Longitude]).asFloat();
    const double latitude = ADODataSetCustomer.fieldByName(FColumns[ColumnRole::Latitude]).asFloat();
    const QString identifier = ADODataSetCustomer.fieldByName(FColumns[ColumnRole::Identifier]).asString();
    KartenModul().ShowCoordinate(identifier, true, longitude, latitude, 50.0);
}

void TOrvaneForm::UndoRunActionExecute()
{
    RecordSet &rs = ADODataSetCustomer;
    if (rs.state() == RecordSet::State::Edit || rs.state() == RecordSet::State::Insert)
        throw DataError(QStringLiteral("A record is being edited: post or cancel it before a run is undone."));
    TRunHistory history(ADOConnection1);
    const RunJournal::Run last = history.Find(0);
    QMessageBox confirm(QMessageBox::Question, tr("Confirm"),
                        QStringLiteral("Undo %1 ?").arg(TRunHistory::Describe(last)),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
    if (confirm.exec() != QMessageBox::Ok)
        return;
    TUndoCounts counts;
    try {
        counts = history.Undo(last.number);
    } catch (...) {
        // The records restored before the failure are in the database: show them.
        rs.refreshAfterFailure();
        throw;
    }
    if (rs.isActive())
        rs.refresh();
    QMessageBox summary(QMessageBox::Information, OrvaneApplication::Title(), TRunHistory::SummaryText(counts),
                        QMessageBox::Ok, this);
    summary.exec();
}

void TOrvaneForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    m_idleUpdate->start();
}

void TOrvaneForm::runActionListUpdate()
{
    if (!isVisible())
        return;
    for (QAction *action : std::as_const(ActionList)) {
        bool handled = false;
        ActionListUpdate(action, handled);
    }
}

void TOrvaneForm::ActionListUpdate(QAction *, bool &)
{
    if (!MapPending)
        return;
    // Cleared first: a creation that fails is not tried again.
    MapPending = false;
    TEmbeddedMapSite site(ui->OleContainer1);
    KartenModul().CreateMap(site, FMapVersion == 1 ? QStringLiteral("MapPoint.Map.NA.9")
                                                   : QStringLiteral("MapPoint.Map.EU.9"));
}

void TOrvaneForm::DBGrid1CellClick(int)
{
    if (FRedrawHandlerSent)
        return;
    KartenModul().SetOnAfterRedraw([this](QObject *sender) { AfterMapRedraw(sender); });
    FRedrawHandlerSent = true;
}

void TOrvaneForm::AfterMapRedraw(QObject *)
{
    ui->DBGrid1->hide();
    ui->DBGrid1->show();
}

void TOrvaneForm::DBGrid1TitleClick(int column)
{
    RecordSet *records = DataSourceKolm.dataSet();
    const Field *field = records ? records->fields().value(column) : nullptr;
    if (!field) {
        QApplication::beep();
        return;
    }
    try {
        const QString name = field->fieldName();
        const QString ascending = QLatin1Char('[') + name + QLatin1Char(']');
        const QString descending = ascending + QStringLiteral(" DESC");
        records->setSort(records->sort() == ascending ? descending : ascending);
    } catch (const std::exception &) {
        // Sorting never shows an error.
        QApplication::beep();
    }
}
