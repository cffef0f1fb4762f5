#include "ScriptedEngine.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

QString num(double v)
{
    return QLocale::c().toString(v, 'g', 12);
}

class ScriptedPostalAddress : public MapPoint::PostalAddress {
public:
    explicit ScriptedPostalAddress(Scripted::Postal p) : m_p(std::move(p)) {}
    QString Postcode() const override { return m_p.postcode; }
    QString City() const override { return m_p.city; }
    QString Street() const override { return m_p.street; }

private:
    Scripted::Postal m_p;
};

class ScriptedLocation : public MapPoint::Location {
public:
    ScriptedLocation(ScriptedEngine &engine, Scripted::Result r) : m_engine(engine), m_r(std::move(r))
    {
        if (m_r.postal)
            m_postal = std::make_shared<ScriptedPostalAddress>(*m_r.postal);
    }
    std::shared_ptr<MapPoint::PostalAddress> PostalAddress() const override
    {
        m_engine.call("PostalAddress", m_r.displayName);
        return m_postal;
    }
    QString DisplayName() const override
    {
        m_engine.call("DisplayName", m_r.displayName);
        return m_r.displayName;
    }
    int LocationKind() const override
    {
        m_engine.call("LocationKind", m_r.displayName);
        return int(m_r.kind);
    }
    void MoveViewTo() override
    {
        m_engine.call("MoveViewTo", m_r.displayName);
        m_engine.moveViewTo(m_r.displayName);
    }
    const Scripted::Result &result() const { return m_r; }

private:
    ScriptedEngine &m_engine;
    Scripted::Result m_r;
    std::shared_ptr<MapPoint::PostalAddress> m_postal;
};

class ScriptedFindResults : public MapPoint::FindResults {
public:
    ScriptedFindResults(ScriptedEngine &engine, Scripted::Answer a) : m_engine(engine), m_a(std::move(a)) {}
    int MatchQuality() const override
    {
        m_engine.call("MatchQuality");
        return m_a.quality;
    }
    int ResultCount() const override
    {
        m_engine.call("ResultCount");
        return static_cast<int>(m_a.results.size());
    }
    std::shared_ptr<MapPoint::Dispatch> ResultItem(const QVariant &number) const override
    {
        const int k = number.toInt();
        m_engine.call("ResultItem", QString::number(k));
        if (k < 1 || k > static_cast<int>(m_a.results.size()))
            throw MapPoint::EngineError(-2147352565, QStringLiteral("Result %1 does not exist.").arg(k));
        const Scripted::Result &r = m_a.results[static_cast<size_t>(k - 1)];
        if (r.notALocation)
            return std::make_shared<MapPoint::Dispatch>();
        return std::make_shared<ScriptedLocation>(m_engine, r);
    }

private:
    ScriptedEngine &m_engine;
    Scripted::Answer m_a;
};

class ScriptedPushpin : public MapPoint::Pushpin {
public:
    ScriptedPushpin(ScriptedEngine &engine, std::shared_ptr<Scripted::PlacedPin> pin)
        : m_engine(engine), m_pin(std::move(pin)) {}
    QString Name() const override { return m_pin->name; }
    void SetPinSymbol(qint16 symbol) override
    {
        m_engine.call("SetPinSymbol", m_pin->name + "," + QString::number(symbol));
        m_pin->symbol = symbol;
    }
    void DeletePin() override
    {
        m_engine.call("DeletePin", m_pin->name);
        m_pin->onMap = false;
    }

private:
    ScriptedEngine &m_engine;
    std::shared_ptr<Scripted::PlacedPin> m_pin;
};

class ScriptedToolbar : public MapPoint::Toolbar {
public:
    ScriptedToolbar(ScriptedEngine &engine, int index) : m_engine(engine), m_index(index) {}
    QString ToolbarTitle() const override
    {
        m_engine.call("ToolbarTitle", QString::number(m_index));
        return m_engine.toolbars()[static_cast<size_t>(m_index - 1)].title;
    }
    void SetToolbarShown(bool shown) override
    {
        m_engine.call("SetToolbarShown", QString::number(m_index) + (shown ? ",true" : ",false"));
        m_engine.toolbars()[static_cast<size_t>(m_index - 1)].shown = shown;
    }

private:
    ScriptedEngine &m_engine;
    int m_index;
};

class ScriptedToolbarList : public MapPoint::ToolbarList {
public:
    explicit ScriptedToolbarList(ScriptedEngine &engine) : m_engine(engine) {}
    int ToolbarCount() const override
    {
        m_engine.call("ToolbarCount");
        return static_cast<int>(m_engine.toolbars().size());
    }
    std::shared_ptr<MapPoint::Toolbar> ToolbarAt(int index) const override
    {
        m_engine.call("ToolbarAt", QString::number(index));
        if (index < 1 || index > static_cast<int>(m_engine.toolbars().size()))
            throw MapPoint::EngineError(-2147352565, QStringLiteral("Toolbar %1 does not exist.").arg(index));
        return std::make_shared<ScriptedToolbar>(m_engine, index);
    }

private:
    ScriptedEngine &m_engine;
};

class ScriptedToolbarOwner : public MapPoint::ToolbarOwner {
public:
    explicit ScriptedToolbarOwner(ScriptedEngine &engine) : m_engine(engine) {}
    std::shared_ptr<MapPoint::ToolbarList> ToolbarList() const override
    {
        m_engine.call("ToolbarList");
        return std::make_shared<ScriptedToolbarList>(m_engine);
    }

private:
    ScriptedEngine &m_engine;
};

const Scripted::Result &resultOf(const MapPoint::Location &l)
{
    return dynamic_cast<const ScriptedLocation &>(l).result();
}

} // namespace

ScriptedEngine::ScriptedEngine(double radius) : m_radius(radius) {}

ScriptedEngine::~ScriptedEngine() = default;

void ScriptedEngine::addAnswer(Scripted::Answer answer)
{
    m_answers.push_back(std::move(answer));
}

void ScriptedEngine::setToolbars(const QStringList &titles)
{
    m_toolbars.clear();
    for (const QString &t : titles)
        m_toolbars.push_back({t, true});
}

bool ScriptedEngine::toolbarShown(int index) const
{
    return m_toolbars.at(static_cast<size_t>(index - 1)).shown;
}

void ScriptedEngine::failOn(const QString &operation, int nth)
{
    m_failAt[operation] = m_callCounts.value(operation) + nth;
}

void ScriptedEngine::removePin(const QString &name)
{
    for (auto &p : m_pins)
        if (p->onMap && p->name == name)
            p->onMap = false;
}

void ScriptedEngine::redraw()
{
    const auto sinks = m_sinks;
    for (auto *s : sinks)
        s->OnAfterRedraw();
}

void ScriptedEngine::raiseEveryEvent()
{
    const auto sinks = m_sinks;
    for (auto *s : sinks) {
        s->OnAfterViewChange();
        s->OnAfterRedraw();
        s->OnRouteAfterCalculate();
        s->OnRouteAfterOptimize();
        s->OnNewDataSet();
        s->OnDataMapChange();
        s->OnSelectionChange();
        s->OnBeforeDblClick();
        s->OnBeforeClick();
        s->OnMouseDown();
        s->OnMouseMove();
        s->OnMouseUp();
    }
}

QStringList ScriptedEngine::calls(const QString &operation) const
{
    QStringList out;
    for (const QString &c : m_calls)
        if (c == operation || c.startsWith(operation + "("))
            out << c;
    return out;
}

QStringList ScriptedEngine::pinsOnMap() const
{
    QStringList out;
    for (const auto &p : m_pins)
        if (p->onMap)
            out << p->name;
    return out;
}

double ScriptedEngine::greatCircle(double lat1, double lon1, double lat2, double lon2) const
{
    // Vector form: accurate for tiny and antipodal angles alike.
    const double d = M_PI / 180.0;
    const double x1 = std::cos(lat1 * d) * std::cos(lon1 * d), y1 = std::cos(lat1 * d) * std::sin(lon1 * d), z1 = std::sin(lat1 * d);
    const double x2 = std::cos(lat2 * d) * std::cos(lon2 * d), y2 = std::cos(lat2 * d) * std::sin(lon2 * d), z2 = std::sin(lat2 * d);
    const double cx = y1 * z2 - z1 * y2, cy = z1 * x2 - x1 * z2, cz = x1 * y2 - y1 * x2;
    const double cross = std::sqrt(cx * cx + cy * cy + cz * cz);
    const double dot = x1 * x2 + y1 * y2 + z1 * z2;
    return m_radius * std::atan2(cross, dot);
}

void ScriptedEngine::call(const QString &operation, const QString &arguments) const
{
    m_calls << (arguments.isNull() ? operation : operation + "(" + arguments + ")");
    const int n = ++m_callCounts[operation];
    if (m_failAt.value(operation, 0) == n)
        throw MapPoint::EngineError(-2147467259, QStringLiteral("The map engine failed in %1.").arg(operation));
}

void ScriptedEngine::ApplyStartSetting(int setting)
{
    call("ApplyStartSetting", QString::number(setting));
}

std::shared_ptr<MapPoint::ToolbarOwner> ScriptedEngine::ToolbarOwner() const
{
    call("ToolbarOwner");
    return std::make_shared<ScriptedToolbarOwner>(const_cast<ScriptedEngine &>(*this));
}

std::shared_ptr<MapPoint::FindResults> ScriptedEngine::LookupAddress(
    const QString &street, const QString &city, const QString &otherCity1, const QString &otherCity2,
    const QString &postcode, const QVariant &country)
{
    call("LookupAddress", QStringList{street, city, otherCity1, otherCity2, postcode, country.toString()}.join('|'));
    if (m_answers.empty())
        throw MapPoint::EngineError(-1, QStringLiteral("No scripted answer left for this lookup."));
    Scripted::Answer a = std::move(m_answers.front());
    m_answers.erase(m_answers.begin());
    return std::make_shared<ScriptedFindResults>(*this, std::move(a));
}

std::shared_ptr<MapPoint::Location> ScriptedEngine::LocationAt(double latitude, double longitude,
                                                               double altitude)
{
    call("LocationAt", num(latitude) + "," + num(longitude) + "," + num(altitude));
    Scripted::Result r;
    r.latitude = latitude;
    r.longitude = longitude;
    r.displayName = "@" + num(latitude) + "," + num(longitude);
    return std::make_shared<ScriptedLocation>(*this, r);
}

double ScriptedEngine::DistanceBetween(const MapPoint::Location &from, const MapPoint::Location &to) const
{
    const auto &a = resultOf(from);
    const auto &b = resultOf(to);
    call("DistanceBetween", a.displayName + "," + b.displayName);
    return greatCircle(a.latitude, a.longitude, b.latitude, b.longitude);
}

std::shared_ptr<MapPoint::Pushpin> ScriptedEngine::PlacePushpin(const MapPoint::Location &at, const QString &name)
{
    const auto &r = resultOf(at);
    call("PlacePushpin", r.displayName + "," + name);
    auto pin = std::make_shared<Scripted::PlacedPin>();
    pin->name = name;
    pin->locationName = r.displayName;
    m_pins.push_back(pin);
    return std::make_shared<ScriptedPushpin>(*this, pin);
}

std::shared_ptr<MapPoint::Pushpin> ScriptedEngine::PinByName(const QString &name) const
{
    call("PinByName", name);
    for (const auto &p : m_pins)
        if (p->onMap && p->name == name)
            return std::make_shared<ScriptedPushpin>(const_cast<ScriptedEngine &>(*this), p);
    return nullptr;
}

double ScriptedEngine::ViewAltitude() const
{
    call("ViewAltitude");
    return m_altitude;
}

void ScriptedEngine::SetViewAltitude(double altitude)
{
    call("SetViewAltitude", num(altitude));
    m_altitude = altitude;
}

void ScriptedEngine::Advise(MapPoint::MapEvents *sink)
{
    call("Advise");
    m_sinks.push_back(sink);
}

void ScriptedEngine::Unadvise(MapPoint::MapEvents *sink)
{
    call("Unadvise");
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}
