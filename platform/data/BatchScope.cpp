#include "BatchScope.h"

#include "Connection.h"

BatchScope::BatchScope(Connection &c) : m_connection(c)
{
    m_connection.beginBatch();
}

BatchScope::~BatchScope()
{
    m_connection.endBatch();
}

void BatchScope::commit()
{
    m_connection.commitBatch();
}
