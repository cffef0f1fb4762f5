#pragma once

#include "BatchGeocodeRun.h"
#include "CustomerRecords.h"

#include <Connection.h>
#include <DataSource.h>
#include <RecordSet.h>

#include <QAction>
#include <QMainWindow>

#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QTimer;
class QToolButton;
class TIconDataModule;

namespace Ui {
class OrvaneForm;
}

// The main window: customer records in the grid on the left, the map on the right, the toolbar,
// the navigator and the status bar. It owns the connection and the record set.
class TOrvaneForm : public QMainWindow {
    Q_OBJECT
public:
    // Picks the database file; an empty result means the user cancelled.
    using FileChooser = std::function<QString(QWidget *parent)>;

    // Runs the start-up sequence (FormCreate) before it returns.
    explicit TOrvaneForm(const TIconDataModule &icons, FileChooser chooseFile = {},
                         QWidget *parent = nullptr);
    ~TOrvaneForm() override;

    // The configuration: edition, table and the column of each role.
    int FMapVersion = 0;
    QString FTableName;
    ColumnMapping FColumns;

    static constexpr const char *InitialCommandText = "SELECT * FROM kunden ORDER BY KolmNummer";
    static constexpr const char *HelpFileName = "Orvane.hlp";

    std::unique_ptr<Ui::OrvaneForm> ui;
    Connection ADOConnection1;
    RecordSet ADODataSetCustomer;
    DataSource DataSourceKolm;
    QToolButton *ToolButton1;
    QToolButton *ToolButton3;
    QToolButton *ToolButton2;
    QToolButton *ToolButton4;
    QMenu *PopupMenu;
    QAction *Geocodeactualrecord1;
    QAction *Coordinatesearch;
    QAction *Undolastrun1;
    QList<QAction *> ActionList;
    QLabel *StatusPanels[3];

    void FormCreate();
    bool ADOConnection1BeforeConnect();   // false: cancelled, the application ends
    bool ADOConnection1AfterConnect();    // false: cancelled, the application ends
    void ToolButton2Click();

    void BatchGeocodeActionExecute();
    void SingleGeocodeActionExecute();
    void SQLActionExecute();
    void ShowCoordinateActionExecute();
    // Puts back what the last run or single-record write overwrote, after asking.
    void UndoRunActionExecute();

    void ActionListUpdate(QAction *action, bool &handled);
    void DBGrid1CellClick(int column);
    void DBGrid1TitleClick(int column);
    void AfterMapRedraw(QObject *sender);

    // True until the map has been asked for, at the first idle moment after the window is shown.
    bool MapPending = true;
    bool FRedrawHandlerSent = false;

    void SetStatusPanelText(int panel, const QString &text);
    TColumnMapping RunColumns() const;   // the columns a geocoding run reads and writes

protected:
    void showEvent(QShowEvent *event) override;

private:
    void addFieldSlots();
    void buildToolBar(const TIconDataModule &icons);
    void buildPopupMenu();
    void buildStatusBar();
    void openRecordSet();
    void runActionListUpdate();
    // Throws the provider's error, which names the conversion to use, when records cannot be
    // changed here.
    void requireWritable() const;
    static QString shippedHelpFile();

    FileChooser m_chooseFile;
    QTimer *m_idleUpdate;
};

// The file dialog of the start: "Open Access-database" in the current directory.
QString ChooseDatabaseFile(QWidget *parent);
