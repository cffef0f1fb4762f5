#include "Field.h"

#include "DataError.h"
#include "DisplayFormat.h"
#include "RecordSet.h"
#include "RowStore.h"

#include <QLocale>

namespace {

bool parseBoolean(const QString &text, bool *ok)
{
    const QString t = text.trimmed().toLower();
    *ok = true;
    if (t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("1") || t == QLatin1String("-1"))
        return true;
    if (t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("0") || t.isEmpty())
        return false;
    *ok = false;
    return false;
}

} // namespace

Field::Field(RecordSet *owner, FieldKind kind, const QString &column, int size, const QString &label,
             int displayWidth, const QString &displayFormat)
    : m_owner(owner), m_kind(kind), m_fieldName(column), m_size(size), m_label(label),
      m_displayWidth(displayWidth), m_displayFormat(displayFormat)
{
}

void Field::setFieldName(const QString &column)
{
    m_fieldName = column;
}

bool Field::isNull() const
{
    int row;
    const RowStore *s = m_owner->readSource(m_owner->recNo(), row);
    return !s || m_column < 0 || s->isNull(m_column, row);
}

QString Field::asString() const
{
    int row;
    const RowStore *s = m_owner->readSource(m_owner->recNo(), row);
    return valueStringOf(s, row);
}

QString Field::valueStringOf(const RowStore *s, int row) const
{
    if (!s || m_column < 0 || s->isNull(m_column, row))
        return {};
    switch (s->type(m_column)) {
    case RowStore::Type::Text: return s->text(m_column, row);
    case RowStore::Type::Float: return QLocale::c().toString(s->floatAt(m_column, row), 'g', 15);
    case RowStore::Type::Boolean: return s->booleanAt(m_column, row) ? QStringLiteral("True") : QStringLiteral("False");
    case RowStore::Type::Integer: return QString::number(s->integerAt(m_column, row));
    }
    return {};
}

double Field::asFloat() const
{
    int row;
    const RowStore *s = m_owner->readSource(m_owner->recNo(), row);
    return valueFloatOf(s, row);
}

double Field::valueFloatOf(const RowStore *s, int row) const
{
    if (!s || m_column < 0 || s->isNull(m_column, row))
        return 0.0;
    switch (s->type(m_column)) {
    case RowStore::Type::Float: return s->floatAt(m_column, row);
    case RowStore::Type::Boolean: return s->booleanAt(m_column, row) ? 1.0 : 0.0;
    case RowStore::Type::Integer: return double(s->integerAt(m_column, row));
    case RowStore::Type::Text: break;
    }
    const QString text = s->text(m_column, row).trimmed();
    if (text.isEmpty())
        return 0.0;
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    if (!ok)
        throw DataError(QStringLiteral("\"%1\" in column \"%2\" is not a valid floating-point value.").arg(text, m_fieldName));
    return v;
}

bool Field::asBoolean() const
{
    int row;
    const RowStore *s = m_owner->readSource(m_owner->recNo(), row);
    return valueBooleanOf(s, row);
}

bool Field::valueBooleanOf(const RowStore *s, int row) const
{
    if (!s || m_column < 0 || s->isNull(m_column, row))
        return false;
    switch (s->type(m_column)) {
    case RowStore::Type::Boolean: return s->booleanAt(m_column, row);
    case RowStore::Type::Float: return s->floatAt(m_column, row) != 0.0;
    case RowStore::Type::Integer: return s->integerAt(m_column, row) != 0;
    case RowStore::Type::Text: break;
    }
    bool ok = false;
    const bool v = parseBoolean(s->text(m_column, row), &ok);
    if (!ok)
        throw DataError(QStringLiteral("\"%1\" in column \"%2\" is not a valid yes/no value.").arg(s->text(m_column, row), m_fieldName));
    return v;
}

void Field::setAsString(const QString &value)
{
    RowStore &s = m_owner->beginFieldWrite(m_column);
    const QString trimmed = value.trimmed();
    bool ok = true;
    switch (s.type(m_column)) {
    case RowStore::Type::Text: s.setText(m_column, 0, value); break;
    case RowStore::Type::Float: {
        const double v = trimmed.isEmpty() ? 0.0 : QLocale::c().toDouble(trimmed, &ok);
        if (ok && trimmed.isEmpty())
            s.setNull(m_column, 0);
        else if (ok)
            s.setFloat(m_column, 0, v);
        break;
    }
    case RowStore::Type::Boolean: {
        const bool v = parseBoolean(value, &ok);
        if (ok)
            s.setBoolean(m_column, 0, v);
        break;
    }
    case RowStore::Type::Integer: {
        const qint64 v = trimmed.isEmpty() ? 0 : trimmed.toLongLong(&ok);
        if (ok && trimmed.isEmpty())
            s.setNull(m_column, 0);
        else if (ok)
            s.setInteger(m_column, 0, v);
        break;
    }
    }
    if (!ok)
        throw DataError(QStringLiteral("\"%1\" is not a valid value for column \"%2\".").arg(value, m_fieldName));
    m_owner->endFieldWrite(m_column);
}

void Field::setAsFloat(double value)
{
    RowStore &s = m_owner->beginFieldWrite(m_column);
    switch (s.type(m_column)) {
    case RowStore::Type::Float: s.setFloat(m_column, 0, value); break;
    case RowStore::Type::Text: s.setText(m_column, 0, QLocale::c().toString(value, 'g', 15)); break;
    case RowStore::Type::Boolean: s.setBoolean(m_column, 0, value != 0.0); break;
    case RowStore::Type::Integer: s.setInteger(m_column, 0, qint64(value)); break;
    }
    m_owner->endFieldWrite(m_column);
}

void Field::setAsBoolean(bool value)
{
    RowStore &s = m_owner->beginFieldWrite(m_column);
    switch (s.type(m_column)) {
    case RowStore::Type::Boolean: s.setBoolean(m_column, 0, value); break;
    case RowStore::Type::Text: s.setText(m_column, 0, value ? QStringLiteral("True") : QStringLiteral("False")); break;
    case RowStore::Type::Float: s.setFloat(m_column, 0, value ? 1.0 : 0.0); break;
    case RowStore::Type::Integer: s.setInteger(m_column, 0, value ? 1 : 0); break;
    }
    m_owner->endFieldWrite(m_column);
}

void Field::clear()
{
    m_owner->beginFieldWrite(m_column).setNull(m_column, 0);
    m_owner->endFieldWrite(m_column);
}

QString Field::displayText() const
{
    return displayTextAt(m_owner->recNo());
}

QString Field::displayTextAt(int recNo) const
{
    int row;
    const RowStore *s = m_owner->readSource(recNo, row);
    if (!s || m_column < 0 || s->isNull(m_column, row))
        return {};
    switch (m_kind) {
    case FieldKind::Float: return DisplayFormat::formatFloat(valueFloatOf(s, row), m_displayFormat);
    case FieldKind::Boolean: return DisplayFormat::formatBoolean(valueBooleanOf(s, row), m_displayFormat);
    case FieldKind::WideText: return valueStringOf(s, row);
    }
    return {};
}

QVariant Field::valueAt(int recNo) const
{
    int row;
    const RowStore *s = m_owner->readSource(recNo, row);
    if (!s || m_column < 0 || s->isNull(m_column, row))
        return {};
    switch (m_kind) {
    case FieldKind::Float: return valueFloatOf(s, row);
    case FieldKind::Boolean: return valueBooleanOf(s, row);
    case FieldKind::WideText: return valueStringOf(s, row);
    }
    return {};
}
