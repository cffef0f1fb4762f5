// The column roles as every user of the mapping sees them: a --map word, the per-user store and
// the record set's field slots must all lead one role to one column.
#include <BatchCommand.h>
#include <CustomerRecords.h>
#include <MappingStore.h>

#include <Field.h>
#include <RecordSet.h>

#include <QSet>

#include <gtest/gtest.h>

namespace {
QString storedColumn(const ColumnRoleEntry &entry)
{
    return QStringLiteral("Stored") + entry.Word();
}

FieldKind slotKind(ColumnKind kind)
{
    return kind == ColumnKind::YesNo ? FieldKind::Boolean
         : kind == ColumnKind::Float ? FieldKind::Float
                                     : FieldKind::WideText;
}
} // namespace

TEST(ColumnRoles, EachRoleKeepsItsColumnFromMapWordAndStoreToItsFieldSlot)
{
    ColumnMapping stored;
    for (const ColumnRoleEntry &entry : ColumnRoles::All())
        stored[entry.role] = storedColumn(entry);
    ASSERT_TRUE(MappingStore::Write(QStringLiteral("kunden"), stored));

    QSet<QString> words, valueNames;
    for (const ColumnRoleEntry &entry : ColumnRoles::All()) {
        words << entry.Word();
        valueNames << entry.ValueName();
        ASSERT_EQ(ColumnRoles::FromWord(entry.Word()), entry.role);

        const QString given = QStringLiteral("Given") + entry.Word();
        const BatchOptions options = BatchOptions::Parse(
            {QStringLiteral("customers.sqlite"), QStringLiteral("--map"), entry.Word() + QLatin1Char('=') + given});
        const ColumnMapping mapped = TBatchCommand(options).MappedColumns();

        RecordSet records;
        TCustomerRecords::AddFieldSlots(records);
        TCustomerRecords::BindColumns(records, mapped);
        ASSERT_EQ(records.fieldCount(), ColumnRoles::Count);
        for (const ColumnRoleEntry &other : ColumnRoles::All()) {
            const QString wanted = other.role == entry.role ? given : storedColumn(other);
            EXPECT_EQ(mapped[other.role], wanted) << qPrintable(entry.Word());
            const Field *slot = records.fields()[static_cast<int>(other.role)];
            EXPECT_EQ(slot->fieldName(), wanted) << qPrintable(entry.Word());
            EXPECT_EQ(slot->displayLabel(), QString::fromLatin1(other.label));
            EXPECT_EQ(slot->kind(), slotKind(other.kind)) << qPrintable(other.Word());
        }
    }
    // A word or value name used twice would hand two roles the same column.
    EXPECT_EQ(words.size(), ColumnRoles::Count);
    EXPECT_EQ(valueNames.size(), ColumnRoles::Count);
}
