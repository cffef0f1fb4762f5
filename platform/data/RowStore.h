#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <memory>
#include <string_view>
#include <vector>

// Rows held column by column in typed vectors; text as UTF-8 in an arena of fixed-size chunks, so
// a row costs a few bytes per column beyond its text and a growing arena never moves its text.
class RowStore
{
public:
    enum class Type : quint8 { Text, Float, Boolean, Integer };

    int addColumn(Type type);
    int columnCount() const { return int(m_columns.size()); }
    Type type(int column) const { return m_columns[column].type; }
    int rowCount() const { return m_rows; }

    int appendRow();        // every value null
    void removeLastRow();
    void clearRows();
    void squeeze();         // gives back spare capacity after a fetch

    bool isNull(int column, int row) const;
    std::string_view utf8(int column, int row) const;
    QString text(int column, int row) const;
    double floatAt(int column, int row) const { return m_columns[column].floats[row]; }
    bool booleanAt(int column, int row) const { return m_columns[column].flags[row] & 1; }
    qint64 integerAt(int column, int row) const { return m_columns[column].integers[row]; }
    QVariant value(int column, int row) const;   // null QVariant for null
    // As value(), but texts as their UTF-8 bytes (QByteArray): what a write binds, unconverted.
    QVariant valueForWrite(int column, int row) const;

    void setNull(int column, int row);
    void setUtf8(int column, int row, std::string_view utf8);
    void setText(int column, int row, const QString &text);
    void setFloat(int column, int row, double v);
    void setBoolean(int column, int row, bool v);
    void setInteger(int column, int row, qint64 v);
    void copyValue(int column, int row, const RowStore &from, int fromRow);

    qint64 bytes() const;

private:
    struct TextRef
    {
        quint32 offset;   // chunk index << ChunkBits | offset in the chunk
        quint32 length;   // NullLength for null
    };
    static constexpr quint32 NullLength = 0xffffffffu;
    static constexpr int ChunkBits = 20;
    static constexpr size_t ChunkSize = size_t(1) << ChunkBits;
    static constexpr size_t MinChunkSize = 4096;
    static constexpr size_t MaxChunks = size_t(1) << (32 - ChunkBits);
    static constexpr quint8 NullFlag = 2;

    struct Column
    {
        Type type;
        std::vector<TextRef> texts;
        std::vector<double> floats;
        std::vector<qint64> integers;
        std::vector<quint8> flags;   // bit 0 Boolean value, bit 1 null (Float, Boolean, Integer)
    };

    struct Chunk
    {
        std::unique_ptr<char[]> data;
        size_t capacity;
    };

    std::vector<Column> m_columns;
    std::vector<Chunk> m_chunks;   // text longer than a chunk gets a chunk of its own
    size_t m_chunkUsed = 0;        // bytes used in the last chunk
    int m_rows = 0;
};
