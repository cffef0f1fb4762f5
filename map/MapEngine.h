#pragma once
// The map engine as the map module sees it: a map object that answers address lookups, hands out
// locations (never coordinates), measures distances, places pushpins and raises events.
// The real engine (engine/) and the scripted engines of the tests implement these classes.

#include <LocationKind.h>
#include <MatchQuality.h>

#include <QString>
#include <QVariant>

#include <memory>
#include <stdexcept>
#include <vector>

namespace MapPoint {

// Every failing engine call raises this; code is the engine's result code.
class EngineError : public std::runtime_error {
public:
    EngineError(int code, const QString &message)
        : std::runtime_error(message.toStdString()), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

// Base of every object the engine hands out, so that callers can ask an object for the
// interface they expect (a result item must offer Location).
class Dispatch {
public:
    virtual ~Dispatch() = default;
};

class PostalAddress : public Dispatch {
public:
    virtual QString Postcode() const = 0;
    virtual QString City() const = 0;
    virtual QString Street() const = 0;
};

class Location : public Dispatch {
public:
    // nullptr when the location is not a street-level result.
    virtual std::shared_ptr<MapPoint::PostalAddress> PostalAddress() const = 0;
    virtual QString DisplayName() const = 0;
    // A ::LocationKind, as its number.
    virtual int LocationKind() const = 0;
    virtual void MoveViewTo() = 0;
};

class FindResults : public Dispatch {
public:
    // A ::MatchQuality, as its number.
    virtual int MatchQuality() const = 0;
    virtual int ResultCount() const = 0;
    // number is 1-based; an index outside 1..ResultCount raises.
    virtual std::shared_ptr<Dispatch> ResultItem(const QVariant &number) const = 0;
};

class Pushpin : public Dispatch {
public:
    virtual QString Name() const = 0;
    virtual void SetPinSymbol(qint16 symbol) = 0;
    virtual void DeletePin() = 0;
};

class Toolbar : public Dispatch {
public:
    virtual QString ToolbarTitle() const = 0;
    virtual void SetToolbarShown(bool shown) = 0;
};

class ToolbarList : public Dispatch {
public:
    virtual int ToolbarCount() const = 0;
    virtual std::shared_ptr<Toolbar> ToolbarAt(int index) const = 0; // 1-based
};

class ToolbarOwner : public Dispatch {
public:
    virtual std::shared_ptr<MapPoint::ToolbarList> ToolbarList() const = 0;
};

// The engine's events, in the order it declares them.
class MapEvents {
public:
    virtual ~MapEvents() = default;
    virtual void OnAfterViewChange() {}
    virtual void OnAfterRedraw() {}
    virtual void OnRouteAfterCalculate() {}
    virtual void OnRouteAfterOptimize() {}
    virtual void OnNewDataSet() {}
    virtual void OnDataMapChange() {}
    virtual void OnSelectionChange() {}
    virtual void OnBeforeDblClick() {}
    virtual void OnBeforeClick() {}
    virtual void OnMouseDown() {}
    virtual void OnMouseMove() {}
    virtual void OnMouseUp() {}
};

class Map : public Dispatch {
public:
    virtual void ApplyStartSetting(int setting) = 0;
    virtual std::shared_ptr<MapPoint::ToolbarOwner> ToolbarOwner() const = 0;

    // country: the country number in a variant (0 = every country of the edition).
    virtual std::shared_ptr<FindResults> LookupAddress(const QString &street, const QString &city,
                                                       const QString &otherCity1,
                                                       const QString &otherCity2,
                                                       const QString &postcode,
                                                       const QVariant &country) = 0;

    virtual std::shared_ptr<Location> LocationAt(double latitude, double longitude,
                                                 double altitude) = 0;
    virtual double DistanceBetween(const Location &from, const Location &to) const = 0;

    virtual std::shared_ptr<Pushpin> PlacePushpin(const Location &at, const QString &name) = 0;
    // nullptr when no pin has that name.
    virtual std::shared_ptr<Pushpin> PinByName(const QString &name) const = 0;

    virtual double ViewAltitude() const = 0;
    virtual void SetViewAltitude(double altitude) = 0;

    // Event subscription; the sink is not owned and must unsubscribe before it dies.
    virtual void Advise(MapEvents *sink) = 0;
    virtual void Unadvise(MapEvents *sink) = 0;
};

// Offered by engines that can look addresses up ahead, on a thread of their own, while the caller
// does other work; callers ask the map for it and go without when it is not there. The answers
// to LookupAddress are the same either way.
class LookupLookahead {
public:
    struct Query {
        QString street, city, postcode;
        int country = 0;   // as LookupAddress's country
    };
    virtual ~LookupLookahead() = default;
    // The next lookups; what was expected before the previous call is forgotten.
    virtual void ExpectLookups(const std::vector<Query> &queries) = 0;
    virtual void ForgetLookups() noexcept = 0;
};

} // namespace MapPoint
