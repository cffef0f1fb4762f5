#pragma once
#include <QByteArray>
#include <QHash>

#include <functional>
#include <memory>

class OleObject;

// Stands in for the system's class registry: program identifiers mapped to object factories.
class OleClassRegistry {
public:
    using Factory = std::function<std::shared_ptr<OleObject>()>;

    static OleClassRegistry &instance();

    // A second registration of the same identifier replaces the first.
    void registerClass(const QByteArray &progId, Factory f);
    void unregisterClass(const QByteArray &progId);
    bool isRegistered(const QByteArray &progId) const;

    // Throws OleError "Invalid class string" when progId is not registered. The factory may return
    // nullptr (an object without automation support); that is handed on as it is.
    std::shared_ptr<OleObject> create(const QByteArray &progId) const;

private:
    QHash<QByteArray, Factory> m_factories;
};
