#include "EngineMap.h"

#include "EngineErrorCode.h"
#include "EngineFindResults.h"
#include "EngineLocation.h"
#include "EnginePushpin.h"
#include "EngineToolbars.h"
#include "GreatCircle.h"
#include "MapScene.h"
#include "ToolbarSet.h"

#include <algorithm>
#include <cmath>

namespace {
const EngineLocation &engineLocation(const MapPoint::Location &location)
{
    const auto *own = dynamic_cast<const EngineLocation *>(&location);
    if (!own)
        throw MapPoint::EngineError(EngineErrorCode::ForeignObject,
                                    QStringLiteral("The location was not made by this map engine"));
    return *own;
}
} // namespace

EngineMap::EngineMap(Engine::Edition edition, std::shared_ptr<const Engine::Gazetteer> gazetteer,
                     QString gazetteerProblem, QLocale::Language language, MapViewMaker makeView)
    : m_edition(edition), m_gazetteer(std::move(gazetteer)), m_gazetteerProblem(std::move(gazetteerProblem)),
      m_texts(MapTexts::forLanguage(language)), m_scene(std::make_shared<MapScene>()),
      m_toolbars(std::make_shared<ToolbarSet>(std::vector<QString>{m_texts.standardToolbar, m_texts.navigationToolbar,
                                                                   m_texts.locationAndScaleToolbar, m_texts.drawingToolbar})),
      m_makeView(std::move(makeView))
{
    if (m_gazetteer) {
        m_geocoder.emplace(m_gazetteer, m_edition);
        m_lookahead.emplace(*m_geocoder);
    }
    ApplyStartSetting(EditionStartSetting);
    QObject::connect(m_scene.get(), &MapScene::viewChanged, m_scene.get(), [this] { raise(&MapPoint::MapEvents::OnAfterViewChange); });
}

EngineMap::~EngineMap() = default;

QWidget *EngineMap::createView(QWidget *parent)
{
    if (!m_makeView)
        throw MapPoint::EngineError(EngineErrorCode::Failed, QStringLiteral("This program shows no map"));
    const std::weak_ptr<EngineMap> self = weak_from_this();
    return m_makeView({m_scene, m_toolbars, m_texts, m_gazetteer,
                       [self] {
                           if (const auto map = self.lock())
                               map->ApplyStartSetting(EditionStartSetting);
                       },
                       [self] {
                           if (const auto map = self.lock())
                               map->raise(&MapPoint::MapEvents::OnAfterRedraw);
                       }},
                      parent);
}

void EngineMap::ApplyStartSetting(int setting)
{
    switch (setting) {
    case WorldStartSetting:
        m_scene->setView(20.0, 10.0, 30000.0);
        return;
    case EditionStartSetting:
        if (m_edition == Engine::Edition::Europe)
            m_scene->setView(53.5, 12.0, 4600.0);
        else
            m_scene->setView(49.0, -100.0, 7500.0);
        return;
    default:
        throw MapPoint::EngineError(EngineErrorCode::InvalidArgument,
                                    QStringLiteral("Start setting %1 is not known; use 0 (whole world) or 4 (the edition's area)").arg(setting));
    }
}

std::shared_ptr<MapPoint::ToolbarOwner> EngineMap::ToolbarOwner() const
{
    return std::make_shared<EngineToolbarOwner>(m_toolbars);
}

std::shared_ptr<MapPoint::FindResults> EngineMap::LookupAddress(const QString &street, const QString &city,
                                                                const QString &, const QString &,
                                                                const QString &postcode, const QVariant &country)
{
    bool ok = false;
    const int countryNumber = country.isNull() ? 0 : country.toInt(&ok);
    if (!country.isNull() && !ok)
        throw MapPoint::EngineError(EngineErrorCode::InvalidArgument,
                                    QStringLiteral("The country \"%1\" is not a country number").arg(country.toString()));
    if (!m_geocoder)
        throw MapPoint::EngineError(EngineErrorCode::Failed,
                                    QStringLiteral("Addresses cannot be looked up: %1").arg(m_gazetteerProblem));
    Engine::Answer answer;
    try {
        answer = m_lookahead->lookup({street, city, postcode, countryNumber});
    } catch (const std::runtime_error &e) {
        throw MapPoint::EngineError(EngineErrorCode::Failed, QString::fromStdString(e.what()));
    }
    std::vector<std::shared_ptr<EngineLocation>> results;
    for (const Engine::Match &m : answer.matches) {
        std::optional<EngineLocation::Postal> postal;
        if (m.postal)
            postal = EngineLocation::Postal{m.postal->postcode, m.postal->city, m.postal->street};
        results.push_back(std::make_shared<EngineLocation>(m_scene, m.latitude, m.longitude,
                                                           EngineLocation::altitudeForKind(m.kind), int(m.kind),
                                                           m.displayName, std::move(postal)));
    }
    return std::make_shared<EngineFindResults>(int(answer.quality), std::move(results));
}

void EngineMap::ExpectLookups(const std::vector<MapPoint::LookupLookahead::Query> &queries)
{
    if (!m_lookahead)
        return;
    std::vector<Engine::AddressQuery> ahead;
    ahead.reserve(queries.size());
    for (const MapPoint::LookupLookahead::Query &q : queries)
        ahead.push_back({q.street, q.city, q.postcode, q.country});
    m_lookahead->expect(ahead);
}

void EngineMap::ForgetLookups() noexcept
{
    if (m_lookahead)
        m_lookahead->forget();
}

std::shared_ptr<MapPoint::Location> EngineMap::LocationAt(double latitude, double longitude, double altitude)
{
    if (!std::isfinite(latitude) || latitude < -90.0 || latitude > 90.0)
        throw MapPoint::EngineError(EngineErrorCode::InvalidArgument,
                                    QStringLiteral("Latitude %1 is outside -90 to 90 degrees").arg(latitude));
    if (!std::isfinite(longitude))
        throw MapPoint::EngineError(EngineErrorCode::InvalidArgument, QStringLiteral("The longitude is not a number"));
    if (!std::isfinite(altitude) || altitude < 0)
        throw MapPoint::EngineError(EngineErrorCode::InvalidArgument,
                                    QStringLiteral("Altitude %1 is not a height above the ground in kilometres").arg(altitude));
    return std::make_shared<EngineLocation>(m_scene, latitude, longitude, altitude, EngineLocation::PointKind,
                                            QString(), std::nullopt);
}

double EngineMap::DistanceBetween(const MapPoint::Location &from, const MapPoint::Location &to) const
{
    const EngineLocation &a = engineLocation(from), &b = engineLocation(to);
    return GreatCircle::distanceKm(a.latitude(), a.longitude(), b.latitude(), b.longitude());
}

std::shared_ptr<MapPoint::Pushpin> EngineMap::PlacePushpin(const MapPoint::Location &at, const QString &name)
{
    const EngineLocation &l = engineLocation(at);
    return std::make_shared<EnginePushpin>(m_scene, m_scene->addPin(name, l.latitude(), l.longitude()));
}

std::shared_ptr<MapPoint::Pushpin> EngineMap::PinByName(const QString &name) const
{
    auto pin = m_scene->pinNamed(name);
    if (!pin)
        return nullptr;
    return std::make_shared<EnginePushpin>(m_scene, std::move(pin));
}

double EngineMap::ViewAltitude() const
{
    return m_scene->altitudeKm();
}

void EngineMap::SetViewAltitude(double altitude)
{
    if (!std::isfinite(altitude) || altitude <= 0)
        throw MapPoint::EngineError(EngineErrorCode::InvalidArgument,
                                    QStringLiteral("View altitude %1 is not a height above the ground in kilometres").arg(altitude));
    m_scene->setAltitude(altitude);
}

void EngineMap::Advise(MapPoint::MapEvents *sink)
{
    if (sink && std::find(m_sinks.begin(), m_sinks.end(), sink) == m_sinks.end())
        m_sinks.push_back(sink);
}

void EngineMap::Unadvise(MapPoint::MapEvents *sink)
{
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}

template <typename Event> void EngineMap::raise(Event event)
{
    // A handler may unsubscribe itself or others while the event is delivered.
    const auto sinks = m_sinks;
    for (MapPoint::MapEvents *sink : sinks)
        if (std::find(m_sinks.begin(), m_sinks.end(), sink) != m_sinks.end())
            (sink->*event)();
}
