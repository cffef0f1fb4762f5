#include "EngineLocation.h"

#include "EngineErrorCode.h"
#include "MapScene.h"

namespace {
class EnginePostalAddress : public MapPoint::PostalAddress {
public:
    explicit EnginePostalAddress(EngineLocation::Postal p) : m_p(std::move(p)) {}
    QString Postcode() const override { return m_p.postcode; }
    QString City() const override { return m_p.city; }
    QString Street() const override { return m_p.street; }

private:
    EngineLocation::Postal m_p;
};
} // namespace

EngineLocation::EngineLocation(std::weak_ptr<MapScene> scene, double latitude, double longitude, double altitudeKm,
                               int kind, QString displayName, std::optional<Postal> postal)
    : m_scene(std::move(scene)), m_latitude(latitude), m_longitude(longitude), m_altitude(altitudeKm),
      m_kind(kind), m_displayName(std::move(displayName)), m_postal(std::move(postal))
{
}

std::shared_ptr<MapPoint::PostalAddress> EngineLocation::PostalAddress() const
{
    if (!m_postal)
        return nullptr;
    return std::make_shared<EnginePostalAddress>(*m_postal);
}

void EngineLocation::MoveViewTo()
{
    const auto scene = m_scene.lock();
    if (!scene)
        throw MapPoint::EngineError(EngineErrorCode::ObjectGone, QStringLiteral("The map this location belongs to has been closed"));
    if (m_altitude > 0)
        scene->setView(m_latitude, m_longitude, m_altitude);
    else
        scene->setCentre(m_latitude, m_longitude);
}

double EngineLocation::altitudeForKind(::LocationKind kind)
{
    switch (kind) {
    case ::LocationKind::AddressPoint: return 0.8;
    case ::LocationKind::Street: return 2.0;
    case ::LocationKind::PopulatedPlace: return 25.0;
    case ::LocationKind::AdministrativeArea: return 250.0;
    case ::LocationKind::PostcodeArea: return 12.0;
    case ::LocationKind::PostcodeDistrict: return 30.0;
    case ::LocationKind::Country: return 1500.0;
    }
    return 50.0;
}
