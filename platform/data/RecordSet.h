#pragma once

#include "ColumnDef.h"
#include "DatabaseProvider.h"
#include "Field.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

class Connection;
class RowStore;
struct TableKey;
class QueryCursor;

// A static client-side copy of a query result: all rows fetched into typed columns, navigation,
// edit/insert/delete with post and cancel, client-side sort, and change notifications for views.
class RecordSet : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit RecordSet(QObject *parent = nullptr);
    ~RecordSet() override;

    void setConnection(Connection *c);
    Connection *connection() const { return m_connection; }
    void setCommandText(const QString &sql);
    QString commandText() const { return m_commandText; }

    // Design-time slots. Without slots the record set makes one field per query column at open.
    Field &addField(FieldKind kind, const QString &column, int size, const QString &label,
                    int displayWidth, const QString &displayFormat = {});
    QList<Field *> fields() const;
    int fieldCount() const;
    Field *fieldAt(int index) const;   // as fields()[index], without building the list (views ask per cell)
    Field &fieldByName(const QString &column);   // throws DataError naming the column
    QList<ColumnDef> columnDefs() const;          // every column of the open query with its kind

    void open();    // throws DataError; a column that does not fit its slot is named
    void close();
    // Reads every row again as the database holds it, keeping the position and the sort.
    void refresh();
    // After a failed write: the rows as the database holds them, where they can be read. Never
    // throws: the write's own error is the one to report.
    void refreshAfterFailure() noexcept;
    bool isActive() const { return m_state != State::Inactive; }

    int recordCount() const;   // throws DataError when closed
    void first();
    void prior();
    void next();
    void last();
    void moveBy(int n);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    int recNo() const;                  // zero-based position in the current order, -1 when none
    void setRecNo(int zeroBasedRow);    // throws DataError when out of range

    void edit();
    void insert();   // a new empty record before the current one
    void remove();   // deletes the current record in the database
    void post();     // throws DataError "row cannot be located for updating" when the row is gone
    void cancel();
    State state() const { return m_state; }
    bool isModified() const;

    QString sort() const { return m_sortText; }
    void setSort(const QString &sortText);   // "[col]" or "[col] DESC"; throws, sort unchanged

    // "Update Criteria": 0 key columns only, 1 key and all original values, 2 key and the
    // original values of the changed columns. "Update Resync": re-read after updates (4) and
    // inserts (1, 8); 15 re-reads everything.
    void setProviderOption(const QString &name, const QVariant &v);
    QVariant providerOption(const QString &name) const;

    void disableControls();   // nested; views are told nothing until the last enableControls
    void enableControls();    // the last one tells views once (dataSetChanged)
    bool controlsDisabled() const { return m_disableCount > 0; }

    qint64 storageBytes() const;   // memory held by the fetched rows

signals:
    void dataSetChanged();            // rows, order or fields changed wholesale (open, close, sort, resume)
    void recordChanged(int recNo);    // values of one record changed
    void recordAboutToBeInserted(int recNo);
    void recordInserted(int recNo);
    void recordAboutToBeRemoved(int recNo);
    void recordRemoved(int recNo);
    void currentChanged(int recNo);
    void stateChanged();

private:
    friend class Field;

    struct StoredColumn
    {
        QString name;
        QString baseTable;
        QString baseColumn;
    };
    struct Key
    {
        QString table;
        QStringList keyColumns;
        std::vector<int> storeColumns;
        // The columns of the table the record set holds, and where: what a post reads again.
        QStringList tableColumns;
        std::vector<int> tableStoreColumns;
    };

    int currentRow() const;   // storage row of the current record, -1 when none
    const RowStore *readSource(int pos, int &row) const;   // the edit buffer for the record being edited
    RowStore &beginFieldWrite(int column);        // throws unless editing
    void endFieldWrite(int column);
    template<typename Write> void write(Write &&w);
    const Key *keyOf(const QString &table) const;
    QString tableOfChanges() const;
    void notify(void (RecordSet::*signal)(int), int pos);
    void requireActive() const;
    void requireEditing() const;
    void checkBrowseMode();
    void moveTo(int pos);
    void postUpdate(int row);
    void postInsert(int row);
    void readRow(int row, const Key &key, const QueryCursor &cursor);
    void resync(int row, const Key &key);
    void setState(State s);
    void tellViews();

    Connection *m_connection = nullptr;
    QString m_commandText;
    std::vector<std::unique_ptr<Field>> m_slots;
    std::vector<std::unique_ptr<Field>> m_dynamicFields;
    QList<ColumnDef> m_columnDefs;
    std::unique_ptr<RowStore> m_store;
    std::unique_ptr<RowStore> m_buffer;   // the record being edited or inserted
    std::vector<bool> m_changed;
    std::vector<StoredColumn> m_stored;
    std::vector<Key> m_keys;
    ChangeMark m_mark;   // where the database stood when the rows held what it holds
    std::shared_ptr<bool> m_rowsAlive;   // while the rows read at open are held: re-read rows may come later
    std::vector<quint32> m_order;   // storage rows in display order
    int m_pos = -1;
    bool m_eof = true;
    bool m_bof = true;
    State m_state = State::Inactive;
    QString m_sortText;
    QHash<QString, QVariant> m_options;
    int m_disableCount = 0;
};
