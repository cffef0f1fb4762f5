#include "EnginePushpin.h"

#include "EngineErrorCode.h"

EnginePushpin::EnginePushpin(std::weak_ptr<MapScene> scene, std::shared_ptr<MapScene::Pin> pin)
    : m_scene(std::move(scene)), m_pin(std::move(pin))
{
}

QString EnginePushpin::Name() const
{
    liveScene();
    return m_pin->name;
}

void EnginePushpin::SetPinSymbol(qint16 symbol)
{
    const auto scene = liveScene();
    if (symbol != RoundSymbol && symbol != FlagSymbol)
        throw MapPoint::EngineError(EngineErrorCode::InvalidArgument,
                                    QStringLiteral("Pushpin symbol %1 does not exist; use 0 (round pin) or 1 (flag)").arg(symbol));
    scene->setPinSymbol(m_pin, symbol);
}

void EnginePushpin::DeletePin()
{
    liveScene()->removePin(m_pin);
}

std::shared_ptr<MapScene> EnginePushpin::liveScene() const
{
    auto scene = m_scene.lock();
    if (!scene || !scene->holds(m_pin))
        throw MapPoint::EngineError(EngineErrorCode::ObjectGone,
                                    QStringLiteral("The pushpin \"%1\" is no longer on the map").arg(m_pin->name));
    return scene;
}
