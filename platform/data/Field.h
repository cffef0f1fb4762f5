#pragma once

#include <QString>
#include <QVariant>

class RecordSet;
class RowStore;

enum class FieldKind { WideText, Boolean, Float };

// One typed slot of a record set, bound to a column by name when the record set opens.
// Reads of a null value, or of a closed record set, give "", 0.0 and false.
class Field
{
public:
    QString fieldName() const { return m_fieldName; }
    void setFieldName(const QString &column);   // takes effect at the next open
    FieldKind kind() const { return m_kind; }
    int size() const { return m_size; }
    QString displayLabel() const { return m_label; }
    int displayWidth() const { return m_displayWidth; }
    QString displayFormat() const { return m_displayFormat; }

    bool isNull() const;
    QString asString() const;
    double asFloat() const;    // throws DataError when a text does not read as a number
    bool asBoolean() const;
    void setAsString(const QString &value);   // throw DataError unless the record is being edited
    void setAsFloat(double value);
    void setAsBoolean(bool value);
    void clear();                             // sets the value to null
    QString displayText() const;   // display format applied ("#.00000"; Boolean "Yes" / "")
    QString displayTextAt(int recNo) const;   // of any record, for views
    QVariant valueAt(int recNo) const;        // typed value of any record, null QVariant for null

private:
    friend class RecordSet;
    QString valueStringOf(const RowStore *s, int row) const;
    double valueFloatOf(const RowStore *s, int row) const;
    bool valueBooleanOf(const RowStore *s, int row) const;

    Field(RecordSet *owner, FieldKind kind, const QString &column, int size, const QString &label,
          int displayWidth, const QString &displayFormat);

    RecordSet *m_owner;
    FieldKind m_kind;
    QString m_fieldName;
    int m_size;
    QString m_label;
    int m_displayWidth;
    QString m_displayFormat;
    int m_column = -1;   // storage column while the record set is open
};
