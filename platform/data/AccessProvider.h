#pragma once

#include "AccessColumn.h"
#include "AccessSavedQuery.h"
#include "DatabaseProvider.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <functional>
#include <optional>

// Access files (Jet 3, Jet 4, ACE) read through mdbtools. The file is opened read-only at the
// file level; every write is refused with the way out: convert the file with orvane-convert.
class AccessProvider : public DatabaseProvider
{
public:
    using Row = AccessRow;

    static bool recognizes(const QByteArray &firstBytes);
    static std::unique_ptr<DatabaseProvider> open(const QString &fileName, const QByteArray &firstBytes);
    ~AccessProvider() override;

    QStringList tableNames() const override;   // user tables and saved select queries, catalog order
    QString quotedName(const QString &name) const override;   // [name]: Access names hold no ']'
    bool isReadOnly() const override { return true; }
    QString identity() const override { return {}; }
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
    QStringList userTables() const;   // tables only
    QStringList viewNames() const;    // saved select queries only
    QList<AccessColumn> columnsOf(const QString &table) const;
    QStringList primaryKey(const QString &table) const;
    void readRows(const QString &table, const std::function<void(const Row &)> &row) const;

private:
    struct Handle;   // the mdbtools file handle, closed with the provider

    // The rows and columns of a table, or of a saved query run over its source.
    struct Source
    {
        QString name;
        QList<AccessColumn> columns;
        QList<bool> computed;
        std::vector<Row> rows;
    };

    AccessProvider(std::unique_ptr<Handle> handle, const QString &fileName, int version);
    static std::unique_ptr<AccessProvider> openHere(const QString &fileName, const QByteArray &firstBytes);
    void readEverything() const;   // every table, key and saved query, as a test of the file
    [[noreturn]] void refuse() const;
    const QHash<QString, QList<AccessSavedQuery::Part>> &savedQueries() const;   // by lower-case name
    Source sourceOf(const QString &name, int depth) const;

    std::unique_ptr<Handle> m_handle;
    QString m_fileName;
    int m_version;
    mutable std::optional<QHash<QString, QList<AccessSavedQuery::Part>>> m_savedQueries;
};
