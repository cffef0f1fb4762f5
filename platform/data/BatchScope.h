#pragma once

class Connection;

// Groups the posts of a run: they are committed together at least every 200 ms and whenever the
// scope ends, normally or by an exception, so an error never undoes earlier posts.
class BatchScope
{
public:
    explicit BatchScope(Connection &c);
    ~BatchScope();
    BatchScope(const BatchScope &) = delete;
    BatchScope &operator=(const BatchScope &) = delete;

    void commit();   // commits what is pending now; throws DataError

private:
    Connection &m_connection;
};
