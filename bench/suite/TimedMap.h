#pragma once
// The real engine with the time spent in address lookups and in the calls that derive
// coordinates (locations and distances) added up. Every 16th call of a kind is timed and counts
// 16 times: reading the clock around each of the ten calls a record makes would add a tenth to
// the run being measured.

#include "EngineMap.h"

#include <QElapsedTimer>

class TimedMap : public OleObject, public MapPoint::Map {
public:
    explicit TimedMap(std::shared_ptr<EngineMap> engine) : m_engine(std::move(engine)) {}
    QWidget *createView(QWidget *parent) override { return m_engine->createView(parent); }
    void ApplyStartSetting(int setting) override { m_engine->ApplyStartSetting(setting); }
    std::shared_ptr<MapPoint::ToolbarOwner> ToolbarOwner() const override { return m_engine->ToolbarOwner(); }
    std::shared_ptr<MapPoint::FindResults> LookupAddress(const QString &street, const QString &city,
                                                         const QString &other1, const QString &other2,
                                                         const QString &postcode, const QVariant &country) override
    {
        return timed(m_lookups, lookupNs, [&] { return m_engine->LookupAddress(street, city, other1, other2, postcode, country); });
    }
    std::shared_ptr<MapPoint::Location> LocationAt(double latitude, double longitude, double altitude) override
    {
        return timed(m_coordinateCalls, coordinateNs, [&] { return m_engine->LocationAt(latitude, longitude, altitude); });
    }
    double DistanceBetween(const MapPoint::Location &from, const MapPoint::Location &to) const override
    {
        return timed(m_coordinateCalls, coordinateNs, [&] { return m_engine->DistanceBetween(from, to); });
    }
    std::shared_ptr<MapPoint::Pushpin> PlacePushpin(const MapPoint::Location &at, const QString &name) override
    {
        return m_engine->PlacePushpin(at, name);
    }
    std::shared_ptr<MapPoint::Pushpin> PinByName(const QString &name) const override { return m_engine->PinByName(name); }
    double ViewAltitude() const override { return m_engine->ViewAltitude(); }
    void SetViewAltitude(double altitude) override { m_engine->SetViewAltitude(altitude); }
    void Advise(MapPoint::MapEvents *sink) override { m_engine->Advise(sink); }
    void Unadvise(MapPoint::MapEvents *sink) override { m_engine->Unadvise(sink); }

    qint64 lookupNs = 0;
    mutable qint64 coordinateNs = 0;

private:
    static constexpr unsigned Sampled = 16;

    template<typename Call> static auto timed(unsigned &calls, qint64 &ns, Call call) -> decltype(call())
    {
        if (calls++ % Sampled != 0)
            return call();
        QElapsedTimer t;
        t.start();
        auto result = call();
        ns += t.nsecsElapsed() * Sampled;
        return result;
    }

    std::shared_ptr<EngineMap> m_engine;
    unsigned m_lookups = 0;
    mutable unsigned m_coordinateCalls = 0;
};
