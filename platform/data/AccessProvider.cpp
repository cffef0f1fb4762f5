#include "AccessProvider.h"

#include "AccessExpression.h"
#include "AccessQuery.h"
#include "DataError.h"
#include "MdbPointers.h"
#include "SqlText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr size_t BindSize = 256 * 1024;   // longest Memo value read whole
constexpr unsigned TrialReadSeconds = 30;  // a whole file read by mdbtools; far more means a page loop

// mdbtools trusts the page structure of a file: a damaged file can make it read out of bounds or
// follow a page chain forever. So a file is first read whole in a child process; only when that
// ends normally is it opened in this one. A failure the child reports is met again here, with
// its own message.
void readInChild(const QString &fileName, const std::function<void()> &read)
{
    const pid_t pid = fork();
    if (pid < 0)
        throw DataError(QStringLiteral("The Access file '%1' cannot be checked before reading: %2.")
                            .arg(fileName, QString::fromLocal8Bit(strerror(errno))));
    if (pid == 0) {
        alarm(TrialReadSeconds);
        try {
            read();
        } catch (...) {
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        throw DataError(QStringLiteral("The Access file '%1' cannot be read: it is damaged (reading it did not end "
                                       "within %2 seconds).").arg(fileName).arg(TrialReadSeconds));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw DataError(QStringLiteral("The Access file '%1' cannot be read: it is damaged (its pages point outside "
                                       "the file or to each other).").arg(fileName));
}

QString typeNameOf(const MdbColumn &c)
{
    switch (c.col_type) {
    case MDB_BOOL: return QStringLiteral("Yes/No");
    case MDB_BYTE: return QStringLiteral("Byte");
    case MDB_INT: return QStringLiteral("Integer");
    case MDB_LONGINT: return c.is_long_auto ? QStringLiteral("AutoNumber Long Integer") : QStringLiteral("Long Integer");
    case MDB_MONEY: return QStringLiteral("Currency");
    case MDB_FLOAT: return QStringLiteral("Single");
    case MDB_DOUBLE: return QStringLiteral("Double");
    case MDB_DATETIME: return QStringLiteral("Date/Time");
    case MDB_BINARY: return QStringLiteral("Binary");
    case MDB_TEXT: return QStringLiteral("Text");
    case MDB_OLE: return QStringLiteral("OLE Object");
    case MDB_MEMO: return QStringLiteral("Memo");
    case MDB_REPID: return QStringLiteral("Replication ID");
    case MDB_NUMERIC: return QStringLiteral("Decimal");
    default: return QStringLiteral("Attachment");
    }
}

ColumnKind kindOf(int mdbType)
{
    switch (mdbType) {
    case MDB_TEXT: return ColumnKind::Text;
    case MDB_BOOL: return ColumnKind::YesNo;
    case MDB_FLOAT:
    case MDB_DOUBLE: return ColumnKind::Float;
    default: return ColumnKind::Other;
    }
}

bool isNumber(int mdbType)
{
    return mdbType != MDB_TEXT && mdbType != MDB_MEMO && mdbType != MDB_DATETIME && mdbType != MDB_OLE
        && mdbType != MDB_BINARY && mdbType != MDB_REPID && mdbType != MDB_COMPLEX;
}

double toDouble(const std::optional<QByteArray> &v)
{
    return v ? v->toDouble() : 0.0;
}

// The materialised rows of one query: a static copy is what the record set keeps anyway.
class AccessCursor : public QueryCursor
{
public:
    AccessCursor(QList<QueryColumn> columns, std::vector<AccessProvider::Row> rows)
        : m_columns(std::move(columns)), m_rows(std::move(rows))
    {
    }
    const QList<QueryColumn> &columns() const override { return m_columns; }
    const QList<TableKey> &keys() const override { return m_keys; }
    bool next() override { return ++m_row < qsizetype(m_rows.size()); }
    bool isNull(int c) const override { return !m_rows[size_t(m_row)][size_t(c)].has_value(); }
    double floatAt(int c) const override { return toDouble(m_rows[size_t(m_row)][size_t(c)]); }
    qint64 integerAt(int c) const override
    {
        const auto &v = m_rows[size_t(m_row)][size_t(c)];
        if (!v)
            return 0;
        qint64 n = 0;
        const auto r = std::from_chars(v->constData(), v->constData() + v->size(), n);
        return r.ec == std::errc() ? n : qint64(v->toDouble());
    }
    std::string_view utf8At(int c) const override
    {
        const auto &v = m_rows[size_t(m_row)][size_t(c)];
        return v ? std::string_view(v->constData(), size_t(v->size())) : std::string_view();
    }

private:
    QList<QueryColumn> m_columns;
    QList<TableKey> m_keys;
    std::vector<AccessProvider::Row> m_rows;
    qsizetype m_row = -1;
};

MdbCatalogEntry *entryAt(MdbHandle *mdb, guint i)
{
    return static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
}

// Access's own queries behind forms and reports are named "~sq_..."; the type bits of the
// catalog flags are zero for select queries only.
bool isListedView(const MdbCatalogEntry *e)
{
    return e->object_type == MDB_QUERY && (e->flags & 0xF0) == 0 && e->object_name[0] != '~';
}

MdbCatalogEntry *findEntry(MdbHandle *mdb, const QString &name, bool (*accept)(MdbCatalogEntry *))
{
    const QByteArray wanted = name.toUtf8();
    for (guint i = 0; mdb->catalog && i < mdb->catalog->len; ++i) {
        MdbCatalogEntry *e = entryAt(mdb, i);
        if (accept(e) && qstricmp(e->object_name, wanted.constData()) == 0)
            return e;
    }
    return nullptr;
}

MdbCatalogEntry *findTable(MdbHandle *mdb, const QString &name)
{
    return findEntry(mdb, name, [](MdbCatalogEntry *e) { return bool(mdb_is_user_table(e)); });
}

MdbCatalogEntry *findView(MdbHandle *mdb, const QString &name)
{
    return findEntry(mdb, name, [](MdbCatalogEntry *e) { return e->object_type == MDB_QUERY; });
}

MdbCatalogEntry *findSystemTable(MdbHandle *mdb, const char *name)
{
    return findEntry(mdb, QLatin1String(name), [](MdbCatalogEntry *e) { return e->object_type == MDB_TABLE; });
}

constexpr int DeepestNesting = 16;   // saved queries reading saved queries

// A value of a system table's row by column name; null when a damaged file lacks the column.
const std::optional<QByteArray> &cell(const AccessRow &row, const QStringList &columns, const char *name)
{
    static const std::optional<QByteArray> none;
    const qsizetype i = columns.indexOf(QLatin1String(name));
    return i >= 0 && size_t(i) < row.size() ? row[size_t(i)] : none;
}

// Every row of one table of the file, user or system.
void readEntry(MdbHandle *mdb, MdbCatalogEntry *entry, const QString &fileName, QStringList *columnNames,
               const std::function<void(const AccessRow &)> &onRow)
{
    const MdbTable t{mdb_read_table(entry)};
    if (!t || !mdb_read_columns(t.get()))
        throw DataError(QStringLiteral("The table \"%1\" of the Access file '%2' cannot be read.")
                            .arg(QString::fromUtf8(entry->object_name), fileName));
    const guint n = t->num_cols;
    std::vector<QByteArray> buffers(n, QByteArray(qsizetype(BindSize), '\0'));
    std::vector<int> lengths(n, 0);
    for (guint i = 0; i < n; ++i) {
        mdb_bind_column(t.get(), int(i + 1), buffers[i].data(), &lengths[i]);
        if (columnNames)
            *columnNames << QString::fromUtf8(static_cast<MdbColumn *>(g_ptr_array_index(t->columns, i))->name);
    }
    mdb_rewind_table(t.get());
    AccessRow row(n);
    while (mdb_fetch_row(t.get())) {
        for (guint i = 0; i < n; ++i) {
            auto *c = static_cast<MdbColumn *>(g_ptr_array_index(t->columns, i));
            if (c->col_type == MDB_OLE) {
                size_t size = 0;
                const MdbBlob blob{lengths[i] > 0 ? mdb_ole_read_full(mdb, c, &size) : nullptr};
                row[i] = blob ? std::optional<QByteArray>(QByteArray(static_cast<const char *>(blob.get()), qsizetype(size)))
                              : std::nullopt;
            } else if (lengths[i] > 0 || c->col_type == MDB_BOOL) {
                row[i] = QByteArray(buffers[i].constData(), c->col_type == MDB_BOOL && lengths[i] == 0 ? 1 : lengths[i]);
            } else {
                row[i].reset();   // mdbtools reads an empty text as null
            }
        }
        onRow(row);
    }
}

} // namespace

struct AccessProvider::Handle
{
    MdbDatabase mdb;
};

bool AccessProvider::recognizes(const QByteArray &head)
{
    return head.size() > 0x14
        && (head.mid(4, 16) == QByteArray("Standard Jet DB\0", 16) || head.mid(4, 16) == QByteArray("Standard ACE DB\0", 16));
}

std::unique_ptr<DatabaseProvider> AccessProvider::open(const QString &fileName, const QByteArray &head)
{
    readInChild(fileName, [&] { openHere(fileName, head)->readEverything(); });
    return openHere(fileName, head);
}

std::unique_ptr<AccessProvider> AccessProvider::openHere(const QString &fileName, const QByteArray &head)
{
    // Without MDB_WRITABLE mdbtools opens the file O_RDONLY: nothing can reach the disk.
    MdbDatabase file{mdb_open(QFile::encodeName(fileName).constData(), MDB_NOFLAGS)};
    if (!file)
        throw DataError(QStringLiteral("The Access file '%1' cannot be read: it is damaged or of an unknown version.").arg(fileName));
    MdbHandle *mdb = file.get();
    std::unique_ptr<Handle> handle(new Handle{std::move(file)});
    if (!mdb_read_catalog(mdb, MDB_ANY))
        throw DataError(QStringLiteral("The Access file '%1' cannot be read: its table catalog is damaged.").arg(fileName));
    mdb_set_bind_size(mdb, BindSize);
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb, "%Y-%m-%d");
    mdb_set_boolean_fmt_numbers(mdb);
    return std::unique_ptr<AccessProvider>(new AccessProvider(std::move(handle), fileName, quint8(head[0x14])));
}

void AccessProvider::readEverything() const
{
    for (const QString &table : userTables()) {
        (void)primaryKey(table);
        readRows(table, [](const Row &) {});
    }
    (void)savedQueries();
}

AccessProvider::AccessProvider(std::unique_ptr<Handle> handle, const QString &fileName, int version)
    : m_handle(std::move(handle)), m_fileName(fileName), m_version(version)
{
}

AccessProvider::~AccessProvider() = default;

QString AccessProvider::formatName() const
{
    switch (m_version) {
    case MDB_VER_JET3: return QStringLiteral("Jet 3");
    case MDB_VER_JET4: return QStringLiteral("Jet 4");
    default: return QStringLiteral("ACE");
    }
}

QString AccessProvider::quotedName(const QString &name) const
{
    return SqlText::isPlainWord(name) ? name : QLatin1Char('[') + name + QLatin1Char(']');
}

QStringList AccessProvider::tableNames() const
{
    QStringList names;
    for (guint i = 0; i < m_handle->mdb->catalog->len; ++i) {
        MdbCatalogEntry *e = entryAt(m_handle->mdb.get(), i);
        if (mdb_is_user_table(e) || isListedView(e))
            names << QString::fromUtf8(e->object_name);
    }
    return names;
}

QStringList AccessProvider::userTables() const
{
    QStringList names;
    for (guint i = 0; i < m_handle->mdb->catalog->len; ++i) {
        MdbCatalogEntry *e = entryAt(m_handle->mdb.get(), i);
        if (mdb_is_user_table(e))
            names << QString::fromUtf8(e->object_name);
    }
    return names;
}

QStringList AccessProvider::viewNames() const
{
    QStringList names;
    for (guint i = 0; i < m_handle->mdb->catalog->len; ++i) {
        MdbCatalogEntry *e = entryAt(m_handle->mdb.get(), i);
        if (isListedView(e))
            names << QString::fromUtf8(e->object_name);
    }
    return names;
}

void AccessProvider::refuse() const
{
    const QFileInfo info(m_fileName);
    throw DataError(QStringLiteral(
        "The Access file '%1' can only be read on this system; records cannot be changed. "
        "Convert it to an SQLite database with \"orvane-convert '%1' '%2'\" and open the SQLite file instead.")
                        .arg(m_fileName, info.dir().filePath(info.completeBaseName() + QStringLiteral(".sqlite"))));
}

void AccessProvider::checkWritable() const
{
    refuse();
}

int AccessProvider::update(const QString &, const ColumnValues &, const ColumnValues &)
{
    refuse();
}

ColumnValues AccessProvider::insert(const QString &, const ColumnValues &, const QStringList &)
{
    refuse();
}

int AccessProvider::remove(const QString &, const ColumnValues &)
{
    refuse();
}

QList<AccessColumn> AccessProvider::columnsOf(const QString &table) const
{
    MdbCatalogEntry *entry = findTable(m_handle->mdb.get(), table);
    if (!entry)
        throw DataError(QStringLiteral("The Access file '%1' has no table \"%2\".").arg(m_fileName, table));
    const MdbTable t{mdb_read_table(entry)};
    if (!t || !mdb_read_columns(t.get()))
        throw DataError(QStringLiteral("The table \"%1\" of the Access file '%2' cannot be read.").arg(table, m_fileName));
    QList<AccessColumn> columns;
    for (guint i = 0; i < t->num_cols; ++i) {
        const auto *c = static_cast<const MdbColumn *>(g_ptr_array_index(t->columns, i));
        columns.append({QString::fromUtf8(c->name), typeNameOf(*c), c->col_type,
                        c->col_type == MDB_TEXT && m_version != MDB_VER_JET3 ? c->col_size / 2 : c->col_size,
                        bool(c->is_long_auto)});
    }
    return columns;
}

QStringList AccessProvider::primaryKey(const QString &table) const
{
    MdbCatalogEntry *entry = findTable(m_handle->mdb.get(), table);
    if (!entry)
        return {};
    const MdbTable t{mdb_read_table(entry)};
    if (!t || !mdb_read_columns(t.get()))
        return {};
    mdb_read_indices(t.get());
    QStringList key;
    for (guint i = 0; t->indices && i < t->num_idxs; ++i) {
        const auto *idx = static_cast<const MdbIndex *>(g_ptr_array_index(t->indices, i));
        if (idx->index_type != 1)   // 1 marks the primary key
            continue;
        for (unsigned k = 0; k < idx->num_keys; ++k) {
            const int col = idx->key_col_num[k] - 1;
            if (col >= 0 && guint(col) < t->num_cols)
                key << QString::fromUtf8(static_cast<const MdbColumn *>(g_ptr_array_index(t->columns, col))->name);
        }
        break;
    }
    return key;
}

void AccessProvider::readRows(const QString &table, const std::function<void(const Row &)> &onRow) const
{
    MdbCatalogEntry *entry = findTable(m_handle->mdb.get(), table);
    if (!entry)
        throw DataError(QStringLiteral("The Access file '%1' has no table \"%2\".").arg(m_fileName, table));
    readEntry(m_handle->mdb.get(), entry, m_fileName, nullptr, onRow);
}

// The definitions of all saved queries, read once: MSysObjects names them, MSysQueries holds their parts.
const QHash<QString, QList<AccessSavedQuery::Part>> &AccessProvider::savedQueries() const
{
    if (m_savedQueries)
        return *m_savedQueries;
    MdbCatalogEntry *objects = findSystemTable(m_handle->mdb.get(), "MSysObjects");
    MdbCatalogEntry *queries = findSystemTable(m_handle->mdb.get(), "MSysQueries");
    QHash<QString, QList<AccessSavedQuery::Part>> result;
    if (objects && queries) {
        QHash<QByteArray, QString> names;   // object id -> query name
        QStringList cols;
        readEntry(m_handle->mdb.get(), objects, m_fileName, &cols, [&](const Row &r) {
            const auto id = cell(r, cols, "Id"), name = cell(r, cols, "Name"),
                       type = cell(r, cols, "Type");
            if (id && name && type && type->toInt() == MDB_QUERY)
                names.insert(*id, QString::fromUtf8(*name));
        });
        cols.clear();
        const auto text = [&](const Row &r, const char *column) {
            const auto &v = cell(r, cols, column);
            return v ? QString::fromUtf8(*v) : QString();
        };
        readEntry(m_handle->mdb.get(), queries, m_fileName, &cols, [&](const Row &r) {
            const auto &id = cell(r, cols, "ObjectId");
            const auto &flag = cell(r, cols, "Flag");
            if (!id || !names.contains(*id))
                return;
            result[names.value(*id).toLower()].append({text(r, "Attribute").toInt(), text(r, "Name1"), text(r, "Name2"),
                                                       text(r, "Expression"), flag ? std::optional(flag->toInt()) : std::nullopt});
        });
    }
    m_savedQueries = std::move(result);
    return *m_savedQueries;
}

AccessProvider::Source AccessProvider::sourceOf(const QString &name, int depth) const
{
    if (MdbCatalogEntry *table = findTable(m_handle->mdb.get(), name)) {
        Source s{QString::fromUtf8(table->object_name), columnsOf(name), {}, {}};
        s.computed = QList<bool>(s.columns.size(), false);
        readEntry(m_handle->mdb.get(), table, m_fileName, nullptr, [&](const Row &r) { s.rows.push_back(r); });
        return s;
    }
    MdbCatalogEntry *view = findView(m_handle->mdb.get(), name);
    if (!view)
        throw DataError(QStringLiteral("The Access file '%1' has no table or query \"%2\".").arg(m_fileName, name));
    const QString viewName = QString::fromUtf8(view->object_name);
    QString sourceName;
    try {
        if (!isListedView(view))
            throw AccessExpression::Unsupported(QStringLiteral("is not a select query of its own"));
        if (depth > DeepestNesting)
            throw AccessExpression::Unsupported(QStringLiteral("reads saved queries nested too deep or in a circle"));
        const QList<AccessSavedQuery::Part> parts = savedQueries().value(viewName.toLower());
        for (const AccessSavedQuery::Part &p : parts)
            if (p.attribute == AccessSavedQuery::InputAttribute && sourceName.isEmpty())
                sourceName = p.name1;
        const AccessSavedQuery q(viewName, parts);
        std::vector<AccessSavedQuery::Source> inputs;
        for (const QString &input : q.sources()) {
            Source from = sourceOf(input, depth + 1);
            inputs.push_back({std::move(from.columns), std::move(from.rows)});
        }
        AccessSavedQuery::Result r = q.run(std::move(inputs));
        return {viewName, std::move(r.columns), std::move(r.computed), std::move(r.rows)};
    } catch (const AccessExpression::Unsupported &e) {
        throw DataError(QStringLiteral("The saved query \"%1\" of the Access file '%2' cannot be run here: it %3.%4")
                            .arg(viewName, m_fileName, e.description(),
                                 sourceName.isEmpty() ? QString()
                                                      : QStringLiteral(" Choose its table \"%1\" instead.").arg(sourceName)));
    }
}

std::unique_ptr<QueryCursor> AccessProvider::query(const QString &sql)
{
    const AccessQuery q = AccessQuery::parse(sql);
    Source source = sourceOf(q.table, 0);
    const QList<AccessColumn> &all = source.columns;
    const auto indexOf = [&](const QString &name) {
        for (int i = 0; i < all.size(); ++i)
            if (all[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        throw DataError(QStringLiteral("The table or query \"%1\" of the Access file '%2' has no column \"%3\".")
                            .arg(source.name, m_fileName, name));
    };
    std::vector<int> picked;
    if (q.columns.isEmpty())
        for (int i = 0; i < all.size(); ++i)
            picked.push_back(i);
    for (const QString &c : q.columns)
        picked.push_back(indexOf(c));
    std::vector<std::pair<int, bool>> order;
    for (const AccessQuery::Order &o : q.orderBy)
        order.push_back({indexOf(o.column), o.descending});

    std::vector<Row> &rows = source.rows;
    // Access orders nulls first and text without regard to case.
    const auto less = [&](const Row &a, const Row &b) {
        for (const auto &[c, desc] : order) {
            const auto &x = a[size_t(c)], &y = b[size_t(c)];
            int cmp = 0;
            if (!x || !y)
                cmp = int(bool(x)) - int(bool(y));
            else if (isNumber(all[c].mdbType))
                cmp = x->toDouble() < y->toDouble() ? -1 : y->toDouble() < x->toDouble() ? 1 : 0;
            else
                cmp = QString::fromUtf8(*x).compare(QString::fromUtf8(*y), Qt::CaseInsensitive);
            if (cmp != 0)
                return desc ? cmp > 0 : cmp < 0;
        }
        return false;
    };
    if (!order.empty())
        std::stable_sort(rows.begin(), rows.end(), less);
    if (q.top >= 0 && size_t(q.top) < rows.size()) {
        // With an order, TOP n keeps the rows tied with the n-th as well, as Access does.
        size_t keep = size_t(q.top);
        while (!order.empty() && keep > 0 && keep < rows.size() && !less(rows[keep - 1], rows[keep]))
            ++keep;
        rows.resize(keep);
    }

    QList<QueryColumn> columns;
    for (int i : picked)
        columns.append({all[i].name, kindOf(all[i].mdbType), all[i].typeName,
                        source.computed[i] ? QString() : source.name, source.computed[i] ? QString() : all[i].name, false});
    for (Row &r : rows) {
        Row projected;
        projected.reserve(picked.size());
        for (int i : picked)
            projected.push_back(std::move(r[size_t(i)]));
        r = std::move(projected);
    }
    return std::make_unique<AccessCursor>(std::move(columns), std::move(rows));
}

std::unique_ptr<QueryCursor> AccessProvider::select(const QString &table, const QStringList &columns,
                                                    const ColumnValues &where)
{
    if (!where.isEmpty())
        refuse();   // rows are only located again for writing
    QStringList names;
    for (const QString &c : columns)
        names << QLatin1Char('[') + c + QLatin1Char(']');
    return query(QStringLiteral("select %1 from [%2]").arg(names.join(QStringLiteral(", ")), table));
}
