#pragma once

#include <QPersistentModelIndex>
#include <QTableView>
#include <QVariant>

class DataSource;
class RecordSetModel;

// Grid over a data source: fixed row height, current record follows the record set.
class DBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);
    void setDataSource(DataSource *ds);
    DataSource *dataSource() const { return m_source; }
    void rebuildColumns();   // one column per slot, titled by label, width from display width

signals:
    void cellClicked(int column);
    void titleClicked(int column);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    // Hiding moves the focus away, which would close an open editor and post its text: both are
    // kept and come back when the grid is shown again.
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct Suspended {
        bool focus = false;
        QPersistentModelIndex editing;
        QVariant editorValue;
    };

    void followRecordSet();
    void confirmDelete();

    DataSource *m_source = nullptr;
    RecordSetModel *m_model = nullptr;
    Suspended m_suspended;
};
