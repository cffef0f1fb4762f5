#include "AccessQuery.h"

#include "DataError.h"

namespace {

class Scanner
{
public:
    explicit Scanner(const QString &sql) : m_sql(sql) {}

    void skipSpace()
    {
        while (m_pos < m_sql.size() && m_sql[m_pos].isSpace())
            ++m_pos;
    }
    bool atEnd()
    {
        skipSpace();
        while (m_pos < m_sql.size() && m_sql[m_pos] == QLatin1Char(';'))
            ++m_pos, skipSpace();
        return m_pos >= m_sql.size();
    }
    bool keyword(const char *word)
    {
        skipSpace();
        const QString w = QLatin1String(word);
        if (m_sql.mid(m_pos, w.size()).compare(w, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype after = m_pos + w.size();
        if (after < m_sql.size() && (m_sql[after].isLetterOrNumber() || m_sql[after] == QLatin1Char('_')))
            return false;
        m_pos = after;
        return true;
    }
    bool symbol(QChar c)
    {
        skipSpace();
        if (m_pos < m_sql.size() && m_sql[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    int number()
    {
        skipSpace();
        const qsizetype start = m_pos;
        while (m_pos < m_sql.size() && m_sql[m_pos].isDigit())
            ++m_pos;
        bool ok = false;
        const int n = m_sql.mid(start, m_pos - start).toInt(&ok);
        if (!ok)
            fail();
        return n;
    }
    // One name part: a bare word or a bracketed name.
    QString namePart()
    {
        skipSpace();
        if (symbol(QLatin1Char('['))) {
            const qsizetype close = m_sql.indexOf(QLatin1Char(']'), m_pos);
            if (close < 0)
                fail();
            const QString name = m_sql.mid(m_pos, close - m_pos);
            m_pos = close + 1;
            return name;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_sql.size() && (m_sql[m_pos].isLetterOrNumber() || m_sql[m_pos] == QLatin1Char('_')))
            ++m_pos;
        if (m_pos == start)
            fail();
        return m_sql.mid(start, m_pos - start);
    }
    // A name, optionally qualified: the last part counts.
    QString name()
    {
        QString n = namePart();
        while (symbol(QLatin1Char('.')))
            n = namePart();
        return n;
    }
    [[noreturn]] void fail() const
    {
        throw DataError(QStringLiteral(
            "The query \"%1\" cannot be run on an Access file here. Supported is "
            "SELECT [TOP n] * or a column list FROM one table or saved query, with an optional ORDER BY; write names with "
            "spaces in brackets ([Asset Items]). For other queries convert the file with orvane-convert.")
                            .arg(m_sql.simplified()));
    }

private:
    QString m_sql;
    qsizetype m_pos = 0;
};

} // namespace

AccessQuery AccessQuery::parse(const QString &sql)
{
    Scanner s(sql);
    AccessQuery q;
    if (!s.keyword("select"))
        s.fail();
    if (s.keyword("top"))
        q.top = s.number();
    if (!s.symbol(QLatin1Char('*'))) {
        do
            q.columns << s.name();
        while (s.symbol(QLatin1Char(',')));
    }
    if (!s.keyword("from"))
        s.fail();
    q.table = s.name();
    if (s.keyword("order")) {
        if (!s.keyword("by"))
            s.fail();
        do {
            Order o{s.name(), false};
            if (s.keyword("desc"))
                o.descending = true;
            else
                s.keyword("asc");
            q.orderBy << o;
        } while (s.symbol(QLatin1Char(',')));
    }
    if (!s.atEnd())
        s.fail();
    return q;
}
