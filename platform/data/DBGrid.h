#pragma once

#include <QTableView>

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

private:
    void followRecordSet();
    void confirmDelete();

    DataSource *m_source = nullptr;
    RecordSetModel *m_model = nullptr;
};
