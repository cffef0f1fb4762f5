#pragma once
#include "MapEngine.h"
#include "MapTexts.h"
#include "MapViewParts.h"
#include "OleObject.h"

#include "AnswerLookahead.h"
#include "Geocoder.h"

#include <memory>
#include <optional>
#include <vector>

class MapScene;
class ToolbarSet;

// The engine's map object: the automation interface the map module calls and the embedded
// object a container shows. Start settings: 0 shows the whole world, 4 the edition's area
// (Europe or North America).
class EngineMap : public OleObject,
                  public MapPoint::Map,
                  public MapPoint::LookupLookahead,
                  public std::enable_shared_from_this<EngineMap> {
public:
    static constexpr int WorldStartSetting = 0;
    static constexpr int EditionStartSetting = 4;

    // gazetteer may be null (no reference data installed): the map still shows, lookups raise
    // with gazetteerProblem as the reason. Without makeView the map is never shown.
    EngineMap(Engine::Edition edition, std::shared_ptr<const Engine::Gazetteer> gazetteer,
              QString gazetteerProblem, QLocale::Language language = MapTexts::systemLanguage(),
              MapViewMaker makeView = {});
    ~EngineMap() override;

    QWidget *createView(QWidget *parent) override;   // throws MapPoint::EngineError without a view maker

    void ApplyStartSetting(int setting) override;
    std::shared_ptr<MapPoint::ToolbarOwner> ToolbarOwner() const override;
    // otherCity1 and otherCity2 are not used: the engine knows one city per address.
    std::shared_ptr<MapPoint::FindResults> LookupAddress(const QString &street, const QString &city,
                                                         const QString &otherCity1, const QString &otherCity2,
                                                         const QString &postcode, const QVariant &country) override;
    std::shared_ptr<MapPoint::Location> LocationAt(double latitude, double longitude, double altitude) override;
    double DistanceBetween(const MapPoint::Location &from, const MapPoint::Location &to) const override;
    std::shared_ptr<MapPoint::Pushpin> PlacePushpin(const MapPoint::Location &at, const QString &name) override;
    std::shared_ptr<MapPoint::Pushpin> PinByName(const QString &name) const override;
    double ViewAltitude() const override;
    void SetViewAltitude(double altitude) override;
    void Advise(MapPoint::MapEvents *sink) override;
    void Unadvise(MapPoint::MapEvents *sink) override;
    void ExpectLookups(const std::vector<MapPoint::LookupLookahead::Query> &queries) override;
    void ForgetLookups() noexcept override;

    Engine::Edition edition() const { return m_edition; }
    MapScene &scene() const { return *m_scene; }
    const MapTexts &texts() const { return m_texts; }

private:
    template <typename Event> void raise(Event event);

    Engine::Edition m_edition;
    std::shared_ptr<const Engine::Gazetteer> m_gazetteer;
    QString m_gazetteerProblem;
    std::optional<Engine::Geocoder> m_geocoder;
    std::optional<Engine::AnswerLookahead> m_lookahead;   // over m_geocoder
    MapTexts m_texts;
    std::shared_ptr<MapScene> m_scene;
    std::shared_ptr<ToolbarSet> m_toolbars;
    std::vector<MapPoint::MapEvents *> m_sinks;
    MapViewMaker m_makeView;
};
