#include "RecordSetModel.h"

#include "DataError.h"
#include "DataSource.h"
#include "Field.h"
#include "RecordSet.h"

RecordSetModel::RecordSetModel(DataSource *source, QObject *parent)
    : QAbstractTableModel(parent ? parent : source), m_source(source)
{
    connect(source, &DataSource::dataSetReplaced, this, &RecordSetModel::attach);
    attach();
}

RecordSet *RecordSetModel::recordSet() const
{
    return m_source ? m_source->dataSet() : nullptr;
}

void RecordSetModel::attach()
{
    if (m_attached)
        disconnect(m_attached, nullptr, this, nullptr);
    m_attached = recordSet();
    if (RecordSet *rs = m_attached) {
        connect(rs, &RecordSet::dataSetChanged, this, &RecordSetModel::resetFromRecordSet);
        connect(rs, &RecordSet::recordChanged, this, [this](int pos) {
            if (pos >= 0 && pos < m_rows && m_columns > 0)
                emit dataChanged(index(pos, 0), index(pos, m_columns - 1));
            emit headerDataChanged(Qt::Vertical, pos, pos);
        });
        connect(rs, &RecordSet::recordAboutToBeInserted, this, [this](int pos) { beginInsertRows({}, pos, pos); });
        connect(rs, &RecordSet::recordInserted, this, [this] {
            ++m_rows;
            endInsertRows();
        });
        connect(rs, &RecordSet::recordAboutToBeRemoved, this, [this](int pos) { beginRemoveRows({}, pos, pos); });
        connect(rs, &RecordSet::recordRemoved, this, [this] {
            --m_rows;
            endRemoveRows();
        });
        connect(rs, &RecordSet::currentChanged, this, [this](int pos) {
            const int old = m_markedRow;
            m_markedRow = pos;
            if (old >= 0 && old < m_rows)
                emit headerDataChanged(Qt::Vertical, old, old);
            if (pos >= 0 && pos < m_rows)
                emit headerDataChanged(Qt::Vertical, pos, pos);
        });
        connect(rs, &RecordSet::stateChanged, this, [this] {
            if (m_markedRow >= 0 && m_markedRow < m_rows)
                emit headerDataChanged(Qt::Vertical, m_markedRow, m_markedRow);
        });
    }
    resetFromRecordSet();
}

void RecordSetModel::resetFromRecordSet()
{
    beginResetModel();
    RecordSet *rs = m_attached;
    m_rows = rs && rs->isActive() ? rs->recordCount() : 0;
    m_columns = rs ? int(rs->fields().size()) : 0;
    m_markedRow = rs ? rs->recNo() : -1;
    endResetModel();
}

void RecordSetModel::rebuildColumns()
{
    resetFromRecordSet();
}

int RecordSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RecordSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant RecordSetModel::data(const QModelIndex &index, int role) const
{
    // A paint asks every cell for a dozen roles; the unused ones must cost nothing.
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::TextAlignmentRole)
        return {};
    RecordSet *rs = m_attached;
    if (!rs || !index.isValid() || index.row() >= m_rows || index.column() >= m_columns)
        return {};
    const Field *f = rs->fieldAt(index.column());
    if (!f)
        return {};
    switch (role) {
    case Qt::DisplayRole: return f->displayTextAt(index.row());
    case Qt::EditRole: {
        const QVariant v = f->valueAt(index.row());
        if (v.isNull() && f->kind() == FieldKind::WideText)
            return QString();
        return v;
    }
    default:
        return f->kind() == FieldKind::Float ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    }
}

bool RecordSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    RecordSet *rs = m_attached;
    if (!rs || role != Qt::EditRole || !index.isValid() || index.column() >= m_columns)
        return false;
    try {
        if (rs->recNo() != index.row())
            rs->setRecNo(index.row());
        if (rs->state() == RecordSet::State::Browse)
            rs->edit();
        Field *f = rs->fieldAt(index.column());
        if (!f)
            return false;
        switch (f->kind()) {
        case FieldKind::WideText: f->setAsString(value.toString()); break;
        case FieldKind::Boolean: f->setAsBoolean(value.toBool()); break;
        case FieldKind::Float:
            if (value.typeId() == QMetaType::QString)
                f->setAsString(value.toString());
            else
                f->setAsFloat(value.toDouble());
            break;
        }
        rs->post();
        return true;
    } catch (const DataError &e) {
        if (rs->state() == RecordSet::State::Edit)
            rs->cancel();
        emit editFailed(e.message());
        return false;
    }
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    RecordSet *rs = m_attached;
    if (orientation == Qt::Vertical) {
        if (role != Qt::DisplayRole || section < 0 || section >= m_rows)
            return {};
        if (!rs || section != rs->recNo())
            return QString();
        switch (rs->state()) {
        case RecordSet::State::Edit: return QStringLiteral("I");
        case RecordSet::State::Insert: return QStringLiteral("*");
        default: return QStringLiteral("\u25B6");
        }
    }
    if (!rs || section < 0 || section >= m_columns)
        return {};
    const Field *f = rs->fieldAt(section);
    if (!f)
        return {};
    if (role == Qt::DisplayRole)
        return f->displayLabel();
    if (role == DisplayWidthRole)
        return f->displayWidth();
    return {};
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
