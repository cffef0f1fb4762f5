#pragma once

#include <QAbstractTableModel>
#include <QPointer>

class DataSource;
class RecordSet;

// Table model over the record set of a data source: one column per field slot, one row per
// record in the record set's order. Edits go through the record set and are posted at once.
class RecordSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int DisplayWidthRole = Qt::UserRole + 1;   // header: width in characters

    explicit RecordSetModel(DataSource *source, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    RecordSet *recordSet() const;
    void rebuildColumns();

signals:
    void editFailed(const QString &message);

private:
    void attach();
    void resetFromRecordSet();

    QPointer<DataSource> m_source;
    QPointer<RecordSet> m_attached;
    int m_rows = 0;
    int m_columns = 0;
    int m_markedRow = -1;
};
