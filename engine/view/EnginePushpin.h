#pragma once
#include "MapEngine.h"
#include "MapScene.h"

#include <memory>

// A handle on one pin of the scene. Once the pin is deleted every call raises.
class EnginePushpin : public MapPoint::Pushpin {
public:
    static constexpr qint16 RoundSymbol = 0;
    static constexpr qint16 FlagSymbol = 1;

    EnginePushpin(std::weak_ptr<MapScene> scene, std::shared_ptr<MapScene::Pin> pin);
    QString Name() const override;
    // Symbols 0 (red round pin) and 1 (blue flag); others raise.
    void SetPinSymbol(qint16 symbol) override;
    void DeletePin() override;

private:
    std::shared_ptr<MapScene> liveScene() const;

    std::weak_ptr<MapScene> m_scene;
    std::shared_ptr<MapScene::Pin> m_pin;
};
