#include "RecordSet.h"

#include "Connection.h"
#include "DataError.h"
#include "DatabaseProvider.h"
#include "PostJournal.h"
#include "RowStore.h"
#include "SortText.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

const QString UpdateCriteria = QStringLiteral("Update Criteria");
const QString UpdateResync = QStringLiteral("Update Resync");
constexpr int ResyncAutoIncrement = 1, ResyncUpdates = 4, ResyncInserts = 8;

QString kindName(FieldKind k)
{
    switch (k) {
    case FieldKind::WideText: return QStringLiteral("text");
    case FieldKind::Boolean: return QStringLiteral("yes/no");
    case FieldKind::Float: return QStringLiteral("floating point");
    }
    return {};
}

bool fits(FieldKind slot, const QueryColumn &c)
{
    if (c.declaredType.isEmpty())   // expressions take the slot's type
        return true;
    switch (slot) {
    case FieldKind::WideText: return c.kind == ColumnKind::Text;
    case FieldKind::Boolean: return c.kind == ColumnKind::YesNo;
    case FieldKind::Float: return c.kind == ColumnKind::Float;
    }
    return false;
}

RowStore::Type storageFor(FieldKind k)
{
    switch (k) {
    case FieldKind::WideText: return RowStore::Type::Text;
    case FieldKind::Boolean: return RowStore::Type::Boolean;
    case FieldKind::Float: return RowStore::Type::Float;
    }
    return RowStore::Type::Text;
}

RowStore::Type storageFor(const QueryColumn &c)
{
    if (c.hidden || c.declaredType.contains(QLatin1String("INT"), Qt::CaseInsensitive))
        return RowStore::Type::Integer;
    switch (c.kind) {
    case ColumnKind::YesNo: return RowStore::Type::Boolean;
    case ColumnKind::Float: return RowStore::Type::Float;
    default: return RowStore::Type::Text;
    }
}

FieldKind fieldKindFor(ColumnKind k)
{
    switch (k) {
    case ColumnKind::YesNo: return FieldKind::Boolean;
    case ColumnKind::Float: return FieldKind::Float;
    default: return FieldKind::WideText;
    }
}

int indexOfName(const QList<QueryColumn> &columns, const QString &name)
{
    for (int i = 0; i < columns.size(); ++i)
        if (!columns[i].hidden && columns[i].name == name)
            return i;
    for (int i = 0; i < columns.size(); ++i)
        if (!columns[i].hidden && columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void readValue(RowStore &store, int column, int row, const QueryCursor &cursor, int from)
{
    if (cursor.isNull(from))
        return;   // appended rows start null
    switch (store.type(column)) {
    case RowStore::Type::Text: store.setUtf8(column, row, cursor.utf8At(from)); break;
    case RowStore::Type::Float: store.setFloat(column, row, cursor.floatAt(from)); break;
    case RowStore::Type::Boolean: store.setBoolean(column, row, cursor.integerAt(from) != 0); break;
    case RowStore::Type::Integer: store.setInteger(column, row, cursor.integerAt(from)); break;
    }
}

DataError closedError()
{
    return DataError(QStringLiteral("Operation is not allowed when the record set is closed."));
}

} // namespace

RecordSet::RecordSet(QObject *parent) : QObject(parent)
{
    m_options.insert(UpdateCriteria, 2);
    m_options.insert(UpdateResync, ResyncAutoIncrement);
}

RecordSet::~RecordSet() = default;

void RecordSet::setConnection(Connection *c)
{
    if (isActive())
        close();
    m_connection = c;
}

void RecordSet::setCommandText(const QString &sql)
{
    m_commandText = sql;
}

Field &RecordSet::addField(FieldKind kind, const QString &column, int size, const QString &label,
                           int displayWidth, const QString &displayFormat)
{
    m_slots.push_back(std::unique_ptr<Field>(new Field(this, kind, column, size, label, displayWidth, displayFormat)));
    return *m_slots.back();
}

QList<Field *> RecordSet::fields() const
{
    QList<Field *> list;
    for (const auto &f : m_slots.empty() ? m_dynamicFields : m_slots)
        list << f.get();
    return list;
}

int RecordSet::fieldCount() const
{
    return int((m_slots.empty() ? m_dynamicFields : m_slots).size());
}

Field *RecordSet::fieldAt(int index) const
{
    const auto &all = m_slots.empty() ? m_dynamicFields : m_slots;
    return index >= 0 && index < int(all.size()) ? all[size_t(index)].get() : nullptr;
}

Field &RecordSet::fieldByName(const QString &column)
{
    // Called for every field access of a run: walk the slots without building a list.
    const auto &all = m_slots.empty() ? m_dynamicFields : m_slots;
    for (const auto &f : all)
        if (f->fieldName() == column)
            return *f;
    for (const auto &f : all)
        if (f->fieldName().compare(column, Qt::CaseInsensitive) == 0)
            return *f;
    throw DataError(QStringLiteral("The record set has no field \"%1\".").arg(column));
}

QList<ColumnDef> RecordSet::columnDefs() const
{
    return m_columnDefs;
}

void RecordSet::open()
{
    if (isActive())
        return;
    if (!m_connection || !m_connection->isConnected())
        throw DataError(QStringLiteral("The record set cannot be opened: its connection is not open."));
    // Taken before the read: a commit by anyone meanwhile makes the rows untrusted, never trusted.
    const ChangeMark mark = m_connection->provider().changeMark();
    std::unique_ptr<QueryCursor> cursor = m_connection->provider().query(m_commandText);
    const QList<QueryColumn> &columns = cursor->columns();

    auto store = std::make_unique<RowStore>();
    std::vector<StoredColumn> stored;
    std::vector<int> source;   // cursor column of each store column
    const auto storeColumn = [&](int cursorColumn, RowStore::Type type) {
        const auto it = std::find(source.begin(), source.end(), cursorColumn);
        if (it != source.end())
            return int(it - source.begin());
        source.push_back(cursorColumn);
        const QueryColumn &c = columns[cursorColumn];
        stored.push_back({c.name, c.baseTable, c.baseColumn});
        return store->addColumn(type);
    };

    std::vector<std::unique_ptr<Field>> dynamic;
    std::vector<int> slotColumns;
    if (!m_slots.empty()) {
        for (const auto &slot : m_slots) {
            const int c = indexOfName(columns, slot->fieldName());
            if (c < 0)
                throw DataError(QStringLiteral("The query result has no column \"%1\" for the field \"%2\".")
                                    .arg(slot->fieldName(), slot->displayLabel()));
            if (!fits(slot->kind(), columns[c]))
                throw DataError(QStringLiteral("Type mismatch for column \"%1\": the field \"%2\" needs a %3 column, the column is %4.")
                                    .arg(slot->fieldName(), slot->displayLabel(), kindName(slot->kind()),
                                         columns[c].declaredType));
            slotColumns.push_back(storeColumn(c, storageFor(slot->kind())));
        }
    } else {
        for (int c = 0; c < columns.size(); ++c) {
            if (columns[c].hidden)
                continue;
            const FieldKind kind = fieldKindFor(columns[c].kind);
            dynamic.push_back(std::unique_ptr<Field>(new Field(this, kind, columns[c].name, 0, columns[c].name,
                                                               std::max(10, int(columns[c].name.size())), {})));
            slotColumns.push_back(storeColumn(c, kind == FieldKind::WideText && storageFor(columns[c]) == RowStore::Type::Integer
                                                      ? RowStore::Type::Text : storageFor(kind)));
        }
    }

    std::vector<Key> keys;
    for (const TableKey &k : cursor->keys()) {
        const bool used = std::any_of(stored.begin(), stored.end(), [&](const StoredColumn &s) { return s.baseTable == k.table; });
        if (!used)
            continue;
        Key key{k.table, k.keyColumns, {}, {}, {}};
        for (int c : k.cursorColumns)
            key.storeColumns.push_back(storeColumn(c, storageFor(columns[c])));
        keys.push_back(std::move(key));
    }

    const int n = store->columnCount();
    while (cursor->next()) {
        const int row = store->appendRow();
        for (int c = 0; c < n; ++c)
            readValue(*store, c, row, *cursor, source[c]);
    }
    store->squeeze();

    QList<ColumnDef> defs;
    for (const QueryColumn &c : columns)
        if (!c.hidden)
            defs.append({c.name, c.kind});

    m_columnDefs = defs;
    m_dynamicFields = std::move(dynamic);
    const QList<Field *> all = fields();
    for (int i = 0; i < all.size(); ++i)
        all[i]->m_column = slotColumns[size_t(i)];
    m_stored = std::move(stored);
    m_keys = std::move(keys);
    for (Key &k : m_keys)
        for (int c = 0; c < n; ++c)
            if (m_stored[size_t(c)].baseTable == k.table) {
                k.tableColumns << m_stored[size_t(c)].baseColumn;
                k.tableStoreColumns.push_back(c);
            }
    m_store = std::move(store);
    m_mark = mark;
    m_rowsAlive = std::make_shared<bool>(true);
    m_buffer = std::make_unique<RowStore>();
    for (int c = 0; c < n; ++c)
        m_buffer->addColumn(m_store->type(c));
    m_buffer->appendRow();
    m_changed.assign(size_t(n), false);
    m_order.resize(size_t(m_store->rowCount()));
    std::iota(m_order.begin(), m_order.end(), 0u);
    m_sortText.clear();
    m_pos = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    m_state = State::Browse;
    tellViews();
}

void RecordSet::close()
{
    if (!isActive())
        return;
    m_state = State::Inactive;
    for (Field *f : fields())
        f->m_column = -1;
    m_dynamicFields.clear();
    m_columnDefs.clear();
    m_store.reset();
    m_rowsAlive.reset();
    m_buffer.reset();
    m_stored.clear();
    m_keys.clear();
    m_order.clear();
    m_sortText.clear();
    m_pos = -1;
    m_bof = m_eof = true;
    tellViews();
}

void RecordSet::refreshAfterFailure() noexcept
{
    try {
        if (isActive())
            refresh();
    } catch (const std::exception &) {
    }
}

void RecordSet::refresh()
{
    requireActive();
    const int pos = recNo();
    const QString sortText = m_sortText;
    close();
    open();
    if (!sortText.isEmpty())
        setSort(sortText);
    if (pos >= 0 && pos < recordCount())
        setRecNo(pos);
}

void RecordSet::requireActive() const
{
    if (!isActive())
        throw closedError();
}

void RecordSet::requireEditing() const
{
    requireActive();
    if (m_state != State::Edit && m_state != State::Insert)
        throw DataError(QStringLiteral("The record set is not in edit or insert mode: call edit() first."));
}

int RecordSet::recordCount() const
{
    requireActive();
    return int(m_order.size());
}

int RecordSet::recNo() const
{
    return isActive() ? m_pos : -1;
}

int RecordSet::currentRow() const
{
    return isActive() && m_pos >= 0 ? int(m_order[size_t(m_pos)]) : -1;
}

void RecordSet::checkBrowseMode()
{
    requireActive();
    if (m_state == State::Edit || m_state == State::Insert) {
        if (isModified())
            post();
        else
            cancel();
    }
}

void RecordSet::moveTo(int pos)
{
    const int old = m_pos;
    m_pos = pos;
    if (old != pos)
        notify(&RecordSet::currentChanged, pos);
}

void RecordSet::first()
{
    checkBrowseMode();
    m_bof = true;
    m_eof = m_order.empty();
    moveTo(m_order.empty() ? -1 : 0);
}

void RecordSet::last()
{
    checkBrowseMode();
    m_eof = true;
    m_bof = m_order.empty();
    moveTo(int(m_order.size()) - 1);
}

void RecordSet::next()
{
    moveBy(1);
}

void RecordSet::prior()
{
    moveBy(-1);
}

void RecordSet::moveBy(int n)
{
    checkBrowseMode();
    if (m_order.empty() || n == 0)
        return;
    const qint64 target = qint64(m_pos) + n;
    const int lastPos = int(m_order.size()) - 1;
    m_eof = target > lastPos;
    m_bof = target < 0;
    moveTo(int(std::clamp<qint64>(target, 0, lastPos)));
}

void RecordSet::setRecNo(int row)
{
    checkBrowseMode();
    if (row < 0 || row >= int(m_order.size()))
        throw DataError(QStringLiteral("Record %1 does not exist; the record set holds %2 records.")
                            .arg(row + 1).arg(m_order.size()));
    m_bof = m_eof = false;
    moveTo(row);
}

void RecordSet::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    if (!controlsDisabled())
        emit stateChanged();
}

bool RecordSet::isModified() const
{
    return std::find(m_changed.begin(), m_changed.end(), true) != m_changed.end();
}

void RecordSet::edit()
{
    requireActive();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    m_connection->provider().checkWritable();
    const int row = currentRow();
    if (row < 0)
        throw DataError(QStringLiteral("There is no current record to edit: the record set is empty."));
    for (int c = 0; c < m_store->columnCount(); ++c)
        m_buffer->copyValue(c, 0, *m_store, row);
    m_changed.assign(m_changed.size(), false);
    setState(State::Edit);
}

void RecordSet::insert()
{
    checkBrowseMode();
    m_connection->provider().checkWritable();
    const int row = m_store->appendRow();
    const int pos = std::max(m_pos, 0);
    notify(&RecordSet::recordAboutToBeInserted, pos);
    m_order.insert(m_order.begin() + pos, quint32(row));
    m_buffer->clearRows();
    m_buffer->appendRow();
    m_changed.assign(m_changed.size(), false);
    m_pos = pos;
    m_bof = m_eof = false;
    notify(&RecordSet::recordInserted, pos);
    notify(&RecordSet::currentChanged, pos);
    setState(State::Insert);
}

void RecordSet::cancel()
{
    requireActive();
    if (m_state == State::Edit) {
        m_changed.assign(m_changed.size(), false);
        setState(State::Browse);
        notify(&RecordSet::recordChanged, m_pos);
    } else if (m_state == State::Insert) {
        const int pos = m_pos;
        const quint32 row = m_order[size_t(pos)];
        notify(&RecordSet::recordAboutToBeRemoved, pos);
        m_order.erase(m_order.begin() + pos);
        if (int(row) == m_store->rowCount() - 1)
            m_store->removeLastRow();
        m_changed.assign(m_changed.size(), false);
        m_pos = std::min(pos, int(m_order.size()) - 1);
        m_eof = m_order.empty();
        setState(State::Browse);
        notify(&RecordSet::recordRemoved, pos);
        notify(&RecordSet::currentChanged, m_pos);
    }
}

const RecordSet::Key *RecordSet::keyOf(const QString &table) const
{
    for (const Key &k : m_keys)
        if (k.table == table)
            return &k;
    return nullptr;
}

// Runs one write; inside a batch the connection opens and commits its transaction around it.
template<typename Write> void RecordSet::write(Write &&w)
{
    m_connection->beforeWrite();
    DatabaseProvider &p = m_connection->provider();
    const bool inBatch = p.inTransaction();
    try {
        w(p);
    } catch (const DataError &e) {
        if (inBatch && !p.inTransaction())
            throw DataError(e.message() + QStringLiteral(" The database undid the posts of this run since its last commit."));
        throw;
    }
    m_connection->afterWrite();
}

QString RecordSet::tableOfChanges() const
{
    QString table;
    for (size_t c = 0; c < m_changed.size(); ++c) {
        if (!m_changed[c])
            continue;
        const StoredColumn &s = m_stored[c];
        if (s.baseTable.isEmpty())
            throw DataError(QStringLiteral("The column \"%1\" is computed by the query and cannot be changed.").arg(s.name));
        if (!table.isEmpty() && table != s.baseTable)
            throw DataError(QStringLiteral("Changes to the tables \"%1\" and \"%2\" cannot be posted in one record.")
                                .arg(table, s.baseTable));
        table = s.baseTable;
    }
    if (table.isEmpty())
        for (const StoredColumn &s : m_stored)
            if (!s.baseTable.isEmpty()) {
                table = s.baseTable;
                break;
            }
    if (table.isEmpty())
        throw DataError(QStringLiteral("The query result has no table column to write."));
    return table;
}

void RecordSet::post()
{
    requireEditing();
    m_connection->provider().checkWritable();
    const int row = currentRow();
    if (m_state == State::Edit) {
        if (isModified())
            postUpdate(row);
    } else {
        postInsert(row);
    }
    m_changed.assign(m_changed.size(), false);
    setState(State::Browse);
    notify(&RecordSet::recordChanged, m_pos);
}

void RecordSet::postUpdate(int row)
{
    const QString table = tableOfChanges();
    const Key *key = keyOf(table);
    if (!key)
        throw DataError(QStringLiteral("Rows of \"%1\" cannot be updated: the query result lacks their key.").arg(table));
    const int criteria = m_options.value(UpdateCriteria).toInt();
    PostJournal *journal = m_connection->postJournal();
    ColumnValues set, where, overwritten;
    set.reserve(m_store->columnCount());
    where.reserve(m_store->columnCount());
    for (qsizetype i = 0; i < key->keyColumns.size(); ++i)
        where.append({key->keyColumns[i], m_store->valueForWrite(key->storeColumns[size_t(i)], row)});
    for (int c = 0; c < m_store->columnCount(); ++c) {
        const StoredColumn &s = m_stored[size_t(c)];
        if (s.baseTable != table)
            continue;
        if (m_changed[size_t(c)]) {
            if (!std::any_of(set.begin(), set.end(), [&](const auto &p) { return p.first == s.baseColumn; })) {
                set.append({s.baseColumn, m_buffer->valueForWrite(c, 0)});
                if (journal)
                    overwritten.append({s.baseColumn, m_store->valueForWrite(c, row)});
            }
        }
        const bool compare = criteria == 1 || (criteria == 2 && m_changed[size_t(c)]);
        if (compare && std::find(key->storeColumns.begin(), key->storeColumns.end(), c) == key->storeColumns.end())
            where.append({s.baseColumn, m_store->valueForWrite(c, row)});
    }
    const auto located = [](bool found) {
        if (!found)
            throw DataError(QStringLiteral("The row cannot be located for updating: it was deleted or changed since it was read."));
    };
    const auto keepChanges = [&] {
        for (int c = 0; c < m_store->columnCount(); ++c)
            if (m_changed[size_t(c)])
                m_store->copyValue(c, row, *m_buffer, 0);
    };
    ColumnValues keyAfter;
    for (qsizetype i = 0; i < key->keyColumns.size(); ++i) {
        const int c = key->storeColumns[size_t(i)];
        keyAfter.append({key->keyColumns[i], m_changed[size_t(c)] ? m_buffer->valueForWrite(c, 0) : m_store->valueForWrite(c, row)});
    }
    if (journal)
        journal->recordUpdate(table, keyAfter, overwritten, set);
    if (!(m_options.value(UpdateResync).toInt() & ResyncUpdates)) {
        write([&](DatabaseProvider &p) { located(p.update(table, set, where) != 0); });
        keepChanges();
        return;
    }
    // The row as the database holds it after the update comes at once, or for posts in a
    // pipeline when their results are read, by which time these rows may have been closed; until
    // then, or where it holds just what was posted, the record shows the posted values. A failed
    // write or save leaves the rows untrusted.
    const ReadBackUpdate update{table, set, where, keyAfter, key->tableColumns, std::exchange(m_mark, {})};
    const auto readBack = std::make_shared<bool>(false);
    const std::weak_ptr<bool> alive = m_rowsAlive;
    const size_t keyIndex = size_t(key - m_keys.data());
    ReadBackOutcome outcome;
    write([&](DatabaseProvider &p) {
        outcome = p.updateAndRead(update, [this, alive, readBack, keyIndex, row](const QueryCursor &cursor) {
            if (alive.expired())
                return;
            readRow(row, m_keys[keyIndex], cursor);
            *readBack = true;
        });
        located(outcome.located);
        if (!*readBack)
            keepChanges();
    });
    m_mark = outcome.rowsHoldAt;
}

void RecordSet::postInsert(int row)
{
    const QString table = tableOfChanges();
    const Key *key = keyOf(table);
    ColumnValues values;
    for (int c = 0; c < m_store->columnCount(); ++c) {
        const StoredColumn &s = m_stored[size_t(c)];
        if (m_changed[size_t(c)] && s.baseTable == table
            && !std::any_of(values.begin(), values.end(), [&](const auto &p) { return p.first == s.baseColumn; }))
            values.append({s.baseColumn, m_buffer->valueForWrite(c, 0)});
    }
    ColumnValues newKey;
    write([&](DatabaseProvider &p) { newKey = p.insert(table, values, key ? key->keyColumns : QStringList{}); });
    for (int c = 0; c < m_store->columnCount(); ++c)
        m_store->copyValue(c, row, *m_buffer, 0);
    if (!key)
        return;
    for (size_t i = 0; i < key->storeColumns.size(); ++i) {
        const int c = key->storeColumns[i];
        const QVariant v = newKey.value(qsizetype(i)).second;
        if (v.isNull())
            m_store->setNull(c, row);
        else if (m_store->type(c) == RowStore::Type::Integer)
            m_store->setInteger(c, row, v.toLongLong());
        else
            m_store->setText(c, row, v.toString());
    }
    if (m_options.value(UpdateResync).toInt() & (ResyncAutoIncrement | ResyncInserts))
        resync(row, *key);
}

void RecordSet::readRow(int row, const Key &key, const QueryCursor &cursor)
{
    for (size_t i = 0; i < key.tableStoreColumns.size(); ++i) {
        if (cursor.isNull(int(i)))
            m_store->setNull(key.tableStoreColumns[i], row);
        else
            readValue(*m_store, key.tableStoreColumns[i], row, cursor, int(i));
    }
}

void RecordSet::resync(int row, const Key &key)
{
    ColumnValues where;
    for (size_t i = 0; i < key.storeColumns.size(); ++i)
        where.append({key.keyColumns[qsizetype(i)], m_store->valueForWrite(key.storeColumns[i], row)});
    auto cursor = m_connection->provider().select(key.table, key.tableColumns, where);
    if (cursor->next())
        readRow(row, key, *cursor);
}

void RecordSet::remove()
{
    requireActive();
    m_connection->provider().checkWritable();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_state == State::Edit)
        cancel();
    const int row = currentRow();
    if (row < 0)
        throw DataError(QStringLiteral("There is no current record to delete: the record set is empty."));
    const QString table = tableOfChanges();
    const Key *key = keyOf(table);
    if (!key)
        throw DataError(QStringLiteral("Rows of \"%1\" cannot be deleted: the query result lacks their key.").arg(table));
    ColumnValues where;
    for (size_t i = 0; i < key->storeColumns.size(); ++i)
        where.append({key->keyColumns[qsizetype(i)], m_store->valueForWrite(key->storeColumns[i], row)});
    write([&](DatabaseProvider &p) {
        if (p.remove(table, where) == 0)
            throw DataError(QStringLiteral("The row cannot be located for deleting: it was deleted or changed since it was read."));
    });
    const int pos = m_pos;
    notify(&RecordSet::recordAboutToBeRemoved, pos);
    m_order.erase(m_order.begin() + pos);
    m_pos = std::min(pos, int(m_order.size()) - 1);
    m_eof = m_order.empty();
    m_bof = m_order.empty();
    notify(&RecordSet::recordRemoved, pos);
    notify(&RecordSet::currentChanged, m_pos);
}

void RecordSet::setSort(const QString &sortText)
{
    requireActive();
    const SortText s = SortText::parse(sortText);
    int column = -1;
    if (!s.column.isEmpty())
        column = fieldByName(s.column).m_column;
    checkBrowseMode();
    const int current = currentRow();

    if (column < 0) {
        std::sort(m_order.begin(), m_order.end());
    } else {
        const RowStore &st = *m_store;
        const auto nullsFirst = [&](quint32 a, quint32 b, auto &&less) {
            const bool na = st.isNull(column, int(a)), nb = st.isNull(column, int(b));
            if (na || nb)
                return na && !nb;
            return less(a, b);
        };
        if (st.type(column) == RowStore::Type::Text) {
            std::vector<QString> keys(size_t(st.rowCount()));
            for (quint32 r : m_order)
                keys[r] = st.text(column, int(r));
            std::stable_sort(m_order.begin(), m_order.end(), [&](quint32 a, quint32 b) {
                return nullsFirst(a, b, [&](quint32 x, quint32 y) {
                    return keys[x].compare(keys[y], Qt::CaseInsensitive) < 0;
                });
            });
        } else {
            const auto number = [&](quint32 r) {
                switch (st.type(column)) {
                case RowStore::Type::Float: return st.floatAt(column, int(r));
                case RowStore::Type::Boolean: return st.booleanAt(column, int(r)) ? 1.0 : 0.0;
                default: return double(st.integerAt(column, int(r)));
                }
            };
            std::stable_sort(m_order.begin(), m_order.end(), [&](quint32 a, quint32 b) {
                return nullsFirst(a, b, [&](quint32 x, quint32 y) { return number(x) < number(y); });
            });
        }
        if (s.descending)
            std::reverse(m_order.begin(), m_order.end());
    }
    if (current >= 0)
        m_pos = int(std::find(m_order.begin(), m_order.end(), quint32(current)) - m_order.begin());
    m_sortText = sortText;
    if (!controlsDisabled())
        emit dataSetChanged();
}

void RecordSet::setProviderOption(const QString &name, const QVariant &v)
{
    bool ok = false;
    const int value = v.toInt(&ok);
    if (name == UpdateCriteria) {
        if (!ok || value < 0 || value > 2)
            throw DataError(QStringLiteral("\"Update Criteria\" must be 0 (key), 1 (all columns) or 2 (changed columns)."));
    } else if (name == UpdateResync) {
        if (!ok || value < 0 || value > 15)
            throw DataError(QStringLiteral("\"Update Resync\" must be a combination of 1, 2, 4 and 8 (15 for all)."));
    } else {
        throw DataError(QStringLiteral("The record set has no provider option \"%1\".").arg(name));
    }
    m_options.insert(name, value);
}

QVariant RecordSet::providerOption(const QString &name) const
{
    return m_options.value(name);
}

void RecordSet::disableControls()
{
    ++m_disableCount;
}

void RecordSet::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0)
        emit dataSetChanged();
}

void RecordSet::tellViews()
{
    if (!controlsDisabled())
        emit dataSetChanged();
}

void RecordSet::notify(void (RecordSet::*signal)(int), int pos)
{
    if (!controlsDisabled())
        (this->*signal)(pos);
}

qint64 RecordSet::storageBytes() const
{
    return m_store ? m_store->bytes() + qint64(m_order.capacity() * sizeof(quint32)) : 0;
}

const RowStore *RecordSet::readSource(int pos, int &row) const
{
    if (!isActive() || pos < 0 || pos >= int(m_order.size()))
        return nullptr;
    if (pos == m_pos && (m_state == State::Edit || m_state == State::Insert)) {
        row = 0;
        return m_buffer.get();
    }
    row = int(m_order[size_t(pos)]);
    return m_store.get();
}

RowStore &RecordSet::beginFieldWrite(int)
{
    requireEditing();
    return *m_buffer;
}

void RecordSet::endFieldWrite(int column)
{
    m_changed[size_t(column)] = true;
    notify(&RecordSet::recordChanged, m_pos);
}
