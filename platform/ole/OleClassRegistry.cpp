#include "OleClassRegistry.h"

#include "OleError.h"
#include "OleObject.h"

OleClassRegistry &OleClassRegistry::instance()
{
    static OleClassRegistry registry;
    return registry;
}

void OleClassRegistry::registerClass(const QByteArray &progId, Factory f)
{
    m_factories.insert(progId, std::move(f));
}

void OleClassRegistry::unregisterClass(const QByteArray &progId)
{
    m_factories.remove(progId);
}

bool OleClassRegistry::isRegistered(const QByteArray &progId) const
{
    return m_factories.contains(progId);
}

std::shared_ptr<OleObject> OleClassRegistry::create(const QByteArray &progId) const
{
    const auto it = m_factories.constFind(progId);
    if (it == m_factories.constEnd())
        throw OleError(QStringLiteral("Invalid class string"));
    return (*it)();
}
