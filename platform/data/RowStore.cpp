#include "RowStore.h"

#include "DataError.h"

#include <algorithm>
#include <cstring>

int RowStore::addColumn(Type type)
{
    Column c;
    c.type = type;
    c.texts.resize(type == Type::Text ? m_rows : 0, TextRef{0, NullLength});
    c.floats.resize(type == Type::Float ? m_rows : 0);
    c.integers.resize(type == Type::Integer ? m_rows : 0);
    c.flags.resize(type == Type::Text ? 0 : m_rows, NullFlag);
    m_columns.push_back(std::move(c));
    return int(m_columns.size()) - 1;
}

int RowStore::appendRow()
{
    for (Column &c : m_columns) {
        switch (c.type) {
        case Type::Text: c.texts.push_back({0, NullLength}); continue;
        case Type::Float: c.floats.push_back(0.0); break;
        case Type::Integer: c.integers.push_back(0); break;
        case Type::Boolean: break;
        }
        c.flags.push_back(NullFlag);
    }
    return m_rows++;
}

void RowStore::removeLastRow()
{
    for (Column &c : m_columns) {
        if (c.type == Type::Text) {
            c.texts.pop_back();
            continue;
        }
        if (c.type == Type::Float)
            c.floats.pop_back();
        if (c.type == Type::Integer)
            c.integers.pop_back();
        c.flags.pop_back();
    }
    --m_rows;
}

void RowStore::clearRows()
{
    for (Column &c : m_columns) {
        c.texts.clear();
        c.floats.clear();
        c.integers.clear();
        c.flags.clear();
    }
    m_chunks.clear();
    m_chunkUsed = 0;
    m_rows = 0;
}

void RowStore::squeeze()
{
    for (Column &c : m_columns) {
        c.texts.shrink_to_fit();
        c.floats.shrink_to_fit();
        c.integers.shrink_to_fit();
        c.flags.shrink_to_fit();
    }
    if (!m_chunks.empty() && m_chunkUsed < m_chunks.back().capacity) {
        Chunk &last = m_chunks.back();
        auto fitted = std::make_unique_for_overwrite<char[]>(m_chunkUsed);
        std::memcpy(fitted.get(), last.data.get(), m_chunkUsed);
        last = {std::move(fitted), m_chunkUsed};
    }
}

bool RowStore::isNull(int column, int row) const
{
    const Column &c = m_columns[column];
    return c.type == Type::Text ? c.texts[row].length == NullLength : (c.flags[row] & NullFlag) != 0;
}

std::string_view RowStore::utf8(int column, int row) const
{
    const TextRef r = m_columns[column].texts[row];
    if (r.length == NullLength)
        return {};
    if (r.length == 0)
        return std::string_view("", 0);
    return std::string_view(m_chunks[r.offset >> ChunkBits].data.get() + (r.offset & (ChunkSize - 1)), r.length);
}

QString RowStore::text(int column, int row) const
{
    const std::string_view s = utf8(column, row);
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QVariant RowStore::value(int column, int row) const
{
    if (isNull(column, row))
        return {};
    switch (m_columns[column].type) {
    case Type::Text: return text(column, row);
    case Type::Float: return floatAt(column, row);
    case Type::Boolean: return booleanAt(column, row);
    case Type::Integer: return integerAt(column, row);
    }
    return {};
}

QVariant RowStore::valueForWrite(int column, int row) const
{
    if (m_columns[column].type != Type::Text || isNull(column, row))
        return value(column, row);
    const std::string_view s = utf8(column, row);
    return QByteArray(s.data(), qsizetype(s.size()));
}

void RowStore::setNull(int column, int row)
{
    Column &c = m_columns[column];
    if (c.type == Type::Text)
        c.texts[row] = {0, NullLength};
    else
        c.flags[row] = NullFlag;
}

void RowStore::setUtf8(int column, int row, std::string_view s)
{
    if (s.size() >= NullLength)
        throw DataError(QStringLiteral("The query result is too large to hold in memory (more than 4 GB of text)."));
    if (s.empty()) {
        m_columns[column].texts[row] = {0, 0};
        return;
    }
    // A text no longer than the one it replaces takes its place, so that posts re-reading a
    // record over and over do not grow the store.
    TextRef &old = m_columns[column].texts[row];
    if (old.length != NullLength && old.length >= s.size()) {
        std::memmove(m_chunks[old.offset >> ChunkBits].data.get() + (old.offset & (ChunkSize - 1)), s.data(), s.size());
        old.length = quint32(s.size());
        return;
    }
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunkUsed < s.size()) {
        if (m_chunks.size() == MaxChunks)
            throw DataError(QStringLiteral("The query result is too large to hold in memory (more than 4 GB of text)."));
        // Small stores (an edit buffer, a short query) start small; large ones settle at ChunkSize.
        const size_t grown = m_chunks.empty() ? MinChunkSize : std::min(ChunkSize, m_chunks.back().capacity * 2);
        const size_t capacity = std::max(grown, s.size());
        m_chunks.push_back({std::make_unique_for_overwrite<char[]>(capacity), capacity});
        m_chunkUsed = 0;
    }
    std::memcpy(m_chunks.back().data.get() + m_chunkUsed, s.data(), s.size());
    m_columns[column].texts[row] = {quint32((m_chunks.size() - 1) << ChunkBits | m_chunkUsed), quint32(s.size())};
    m_chunkUsed += s.size();
}

void RowStore::setText(int column, int row, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    setUtf8(column, row, std::string_view(utf8.constData(), size_t(utf8.size())));
}

void RowStore::setFloat(int column, int row, double v)
{
    m_columns[column].floats[row] = v;
    m_columns[column].flags[row] = 0;
}

void RowStore::setBoolean(int column, int row, bool v)
{
    m_columns[column].flags[row] = v ? 1 : 0;
}

void RowStore::setInteger(int column, int row, qint64 v)
{
    m_columns[column].integers[row] = v;
    m_columns[column].flags[row] = 0;
}

void RowStore::copyValue(int column, int row, const RowStore &from, int fromRow)
{
    if (from.isNull(column, fromRow)) {
        setNull(column, row);
        return;
    }
    switch (type(column)) {
    case Type::Text: setUtf8(column, row, from.utf8(column, fromRow)); break;
    case Type::Float: setFloat(column, row, from.floatAt(column, fromRow)); break;
    case Type::Boolean: setBoolean(column, row, from.booleanAt(column, fromRow)); break;
    case Type::Integer: setInteger(column, row, from.integerAt(column, fromRow)); break;
    }
}

qint64 RowStore::bytes() const
{
    qint64 n = 0;
    for (const Chunk &c : m_chunks)
        n += qint64(c.capacity);
    for (const Column &c : m_columns)
        n += qint64(c.texts.capacity() * sizeof(TextRef) + c.floats.capacity() * sizeof(double)
                    + c.integers.capacity() * sizeof(qint64) + c.flags.capacity());
    return n;
}
