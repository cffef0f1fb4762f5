#pragma once

#include "DatabaseProvider.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <optional>

// One column of an Access table as the file defines it.
struct AccessColumn
{
    QString name;
    QString typeName;   // the Access type: "Text", "Long Integer", "Double", ...
    int mdbType = 0;
    int size = 0;       // characters for Text, bytes otherwise
    bool autoNumber = false;
};

// Access files (Jet 3, Jet 4, ACE) read through mdbtools. The file is opened read-only at the
// file level; every write is refused with the way out: convert the file with orvane-convert.
class AccessProvider : public DatabaseProvider
{
public:
    using Row = std::vector<std::optional<QByteArray>>;   // text as UTF-8, dates ISO, OLE as bytes

    static bool recognizes(const QByteArray &firstBytes);
    static std::unique_ptr<DatabaseProvider> open(const QString &fileName, const QByteArray &firstBytes);
    ~AccessProvider() override;

    QStringList tableNames() const override;   // user tables in catalog order
    bool isReadOnly() const override { return true; }
    void checkWritable() const override;
    std::unique_ptr<QueryCursor> query(const QString &sql) override;   // see AccessQuery
    int update(const QString &, const ColumnValues &, const ColumnValues &) override;
    ColumnValues insert(const QString &, const ColumnValues &, const QStringList &) override;
    int remove(const QString &, const ColumnValues &) override;
    std::unique_ptr<QueryCursor> select(const QString &table, const QStringList &columns,
                                        const ColumnValues &where) override;
    void beginTransaction() override {}
    void commitTransaction() override {}
    bool inTransaction() const override { return false; }

    QString formatName() const;   // "Jet 3", "Jet 4" or "ACE"
    QList<AccessColumn> columnsOf(const QString &table) const;
    QStringList primaryKey(const QString &table) const;
    void readRows(const QString &table, const std::function<void(const Row &)> &row) const;

private:
    struct Handle;   // the mdbtools file handle, closed with the provider

    AccessProvider(std::unique_ptr<Handle> handle, const QString &fileName, int version);
    [[noreturn]] void refuse() const;

    std::unique_ptr<Handle> m_handle;
    QString m_fileName;
    int m_version;
};
