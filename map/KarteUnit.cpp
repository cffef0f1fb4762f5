#include "KarteUnit.h"

#include "CountryDataUnit.h"
#include "ParameterUnit.h"

#include <Coordinate.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

namespace {

// The π of the original derivation, a few ulps below full precision; coordinates must come out
// bit for bit as they always have.
constexpr double Pi = std::bit_cast<double>(0x400921FB54442D11ULL);
constexpr double ReferenceAltitude = 200.0;

template <class T>
std::shared_ptr<T> Checked(std::shared_ptr<T> p, const char *what)
{
    if (!p)
        throw MapPoint::EngineError(0, QStringLiteral("The map engine returned no %1.")
                                           .arg(QLatin1String(what)));
    return p;
}

double PlanarDistance(double longitudeA, double latitudeA, double longitudeB, double latitudeB)
{
    const double dLongitude = longitudeA - longitudeB;
    const double dLatitude = latitudeA - latitudeB;
    return std::sqrt(dLongitude * dLongitude + dLatitude * dLatitude);
}

std::shared_ptr<MapPoint::Location> AsLocation(std::shared_ptr<MapPoint::Dispatch> item, int number)
{
    auto location = std::dynamic_pointer_cast<MapPoint::Location>(std::move(item));
    if (!location)
        throw std::runtime_error(QStringLiteral("Interface not supported: result %1 of the address lookup is not a location.")
                                     .arg(number).toStdString());
    return location;
}

bool IsLocationAndScale(const QString &title)
{
    return title == QStringLiteral("Ort und Maßstab") || title == QStringLiteral("Location and Scale");
}

} // namespace

TKartenModul &KartenModul()
{
    // Never destroyed: it holds the engine, which must not be torn down after the application.
    static TKartenModul *instance = new TKartenModul;
    return *instance;
}

TKartenModul::TKartenModul()
{
    FMap = nullptr;
    FPushPins = std::make_shared<IIntfList>();
    FCountryData = std::make_unique<TCountryData>();
}

TKartenModul::~TKartenModul()
{
    delete FMapServer.data();
}

QObject *TKartenModul::MapServer() const
{
    return FMapServer.data();
}

QObject *TKartenModul::Container() const
{
    return FMapServer ? FMapServer->parent() : nullptr;
}

void TKartenModul::CreateMap(IMapSite &Site, const QString &ProgID)
{
    if (FMap)
        return;
    try {
        createMap(Site, ProgID);
    } catch (const std::exception &error) {
        if (!FMap)
            FMapFailure = QString::fromUtf8(error.what());
        throw;
    }
}

void TKartenModul::RequireMap() const
{
    if (FMap)
        return;
    if (FMapFailure.isEmpty())
        throw std::runtime_error("The map has not been created yet, so nothing can be geocoded. "
                                 "No record has been changed.");
    throw std::runtime_error(QStringLiteral("The map could not be created (%1), so nothing can be "
                                            "geocoded. No record has been changed. Check that the map "
                                            "edition chosen at the start is installed, then start "
                                            "Orvane again.")
                                 .arg(FMapFailure)
                                 .toStdString());
}

void TKartenModul::createMap(IMapSite &Site, const QString &ProgID)
{
    auto map = Site.CreateMap(ProgID);
    if (!map) {
        FMapReady = false;
        FMapFailure = QStringLiteral("the object \"%1\" offers no automation interface").arg(ProgID);
        return;
    }
    FMap = std::move(map);

    FMap->ApplyStartSetting(4);

    // Only "Location and Scale" stays on screen, whatever the engine's language.
    const auto toolbars = [this] {
        return Checked(Checked(FMap->ToolbarOwner(), "toolbar owner")->ToolbarList(), "toolbar list");
    };
    const int count = toolbars()->ToolbarCount();
    for (int index = 1; index <= count; ++index) {
        const QString title = Checked(toolbars()->ToolbarAt(index), "toolbar")->ToolbarTitle();
        Checked(toolbars()->ToolbarAt(index), "toolbar")->SetToolbarShown(IsLocationAndScale(title));
    }

    FMapServer = Site.ShowMap(FMap, [this](QObject *sender) { MapAfterRedraw(sender); });
    FMapReady = true;
}

void TKartenModul::ClearPushPins()
{
    if (!FMap)
        return;
    for (int i = 0; i < FPushPins->Count(); ++i) {
        const auto pin = std::dynamic_pointer_cast<IPushPinObject>(FPushPins->Items(i));
        if (!pin)
            continue;
        if (const auto enginePin = FMap->PinByName(QString::fromLocal8Bit(pin->GetName())))
            enginePin->DeletePin();
    }
    FPushPins->Clear();
}

void TKartenModul::SetOnAfterRedraw(TNotifyEvent Handler)
{
    if (!FMap)
        return;
    FOnAfterRedraw = std::move(Handler);
}

void TKartenModul::MapAfterRedraw(QObject *Sender)
{
    if (FOnAfterRedraw)
        FOnAfterRedraw(Sender);
}

void TKartenModul::LocationToLatLong(const MapPoint::Location &L, double &Longitude,
                                     double &Latitude)
{
    if (!FMap)
        return;
    // The engine hands out no coordinates: measure from the poles for the latitude and from the
    // point of meridian 0 at that latitude for the longitude. Units cancel out.
    const auto north = Checked(FMap->LocationAt(90.0, 0.0, ReferenceAltitude), "location");
    const auto west = Checked(FMap->LocationAt(0.0, -90.0, ReferenceAltitude), "location");
    const auto south = Checked(FMap->LocationAt(-90.0, 0.0, ReferenceAltitude), "location");

    const double h = FMap->DistanceBetween(*north, *south);
    if (!(h > 0.0))
        throw MapPoint::EngineError(0, QStringLiteral("The map engine measured no distance between the poles."));
    const double q = h / 2.0;

    const double latitude = 90.0 - FMap->DistanceBetween(*north, L) * 180.0 / h;
    const auto meridianPoint = Checked(FMap->LocationAt(latitude, 0.0, ReferenceAltitude), "location");
    const double dM = FMap->DistanceBetween(*meridianPoint, L);

    const double phi = latitude / 180.0 * Pi;
    const double cosM = std::cos((dM * 2.0 * Pi) / (2.0 * h));
    double longitude = 0.0;
    // At a pole every meridian meets and cos φ vanishes, so r means nothing there: the pole gets
    // longitude 0. Elsewhere rounding near meridians 0 and 180 can push r just past ±1, where
    // the arc cosine is undefined, so r is clamped to -1..1.
    if (std::abs(latitude) < 90.0) {
        const double r = std::clamp(
            (cosM - std::sin(phi) * std::sin(phi)) / (std::cos(phi) * std::cos(phi)), -1.0, 1.0);
        longitude = std::atan2(std::sqrt(1.0 - r * r), r) * 180.0 / Pi;
    }
    if (FMap->DistanceBetween(*west, L) < q)
        longitude = -longitude;

    Longitude = longitude;
    Latitude = latitude;
}

void TKartenModul::ShowCoordinate(const QString &PinName, bool WithPin, double Longitude,
                                  double Latitude, double Altitude)
{
    if (!FMap || !FMapReady)
        return;
    if (!Coordinate::fromRecord(Latitude, Longitude).isValid())
        return;
    if (WithPin) {
        ClearPushPins();
        PlacePinAtCoordinate(0, Longitude, Latitude, PinName, true);
        return;
    }
    Checked(FMap->LocationAt(Latitude, Longitude, Altitude), "location")->MoveViewTo();
}

void TKartenModul::PlacePinAtCoordinate(int Symbol, double Longitude, double Latitude,
                                        const QString &PinName, bool MoveView)
{
    if (!FMap)
        return;
    const auto location = Checked(FMap->LocationAt(Latitude, Longitude, 0.0), "location");
    PlacePinAtLocation(*location, Symbol, Longitude, Latitude, PinName, MoveView);
}

void TKartenModul::PlacePinAtLocation(MapPoint::Location &L, int Symbol, double Longitude,
                                      double Latitude, const QString &PinName, bool MoveView)
{
    if (!FMap)
        return;
    const auto pin = Checked(FMap->PlacePushpin(L, PinName), "pushpin");
    pin->SetPinSymbol(static_cast<qint16>(Symbol));
    if (MoveView) {
        L.MoveViewTo();
        if (FMap->ViewAltitude() > 50.0)
            FMap->SetViewAltitude(50.0);
    }
    auto record = std::make_shared<TIntfPushPinObject>();
    record->SetName(PinName.toLocal8Bit());
    record->SetLongitude(Longitude);
    record->SetLatitude(Latitude);
    FPushPins->Add(std::move(record));
}

void TKartenModul::InitAddressSearchResult(RAddressSearchResult &R)
{
    R.Found = false;
    R.Latitude = 0.0;
    R.Longitude = 0.0;
    R.StatusKind = StatusKind::None;
    R.NeedsControl = false;
    R.Country = QString::fromLocal8Bit(Parameter().FDefaultCountry);
    R.Postcode.clear();
    R.City.clear();
    R.Street.clear();
    R.MatchedAddress.clear();
}

QString TKartenModul::GetStatusText(StatusKind Kind)
{
    switch (Kind) {
    case StatusKind::None: return {};
    case StatusKind::Postcode: return QStringLiteral("Postcode");
    case StatusKind::City: return QStringLiteral("City");
    case StatusKind::Street: return QStringLiteral("Street");
    case StatusKind::Graphic: return QStringLiteral("Graphic");
    case StatusKind::Gps: return QStringLiteral("GPS");
    }
    return {};
}

bool TKartenModul::IsPostcodeArea(int kind)
{
    return std::find(std::begin(PostcodeAreaKinds), std::end(PostcodeAreaKinds), kind)
           != std::end(PostcodeAreaKinds);
}

bool TKartenModul::SearchAddress(const QString &Country, const QString &Postcode,
                                 const QString &City, const QString &Street,
                                 const QString &PinName, bool MoveView, bool ShowPin)
{
    FCandidateCount = 0;
    FSelectedCandidate = -1;
    bool found = false;
    if (!FMap)
        return false;

    // Widening clears these copies, never the caller's texts.
    QString postcode = Postcode;
    QString city = City;
    QString street = Street;
    MatchQuality quality = MatchQuality::AllValid;
    Coordinate reference;   // the last postcode area among the candidates
    bool postcodeAreaSeen = false;
    std::shared_ptr<MapPoint::FindResults> results;

    for (;;) {
        if (street.isEmpty() && city.isEmpty() && postcode.isEmpty())
            return found;

        results = Checked(FMap->LookupAddress(street, city, QString(), QString(), postcode,
                                              QVariant(FCountryData->GetMapCountry(Country))),
                          "result collection");
        quality = static_cast<MatchQuality>(results->MatchQuality());
        const int n = results->ResultCount();
        if (n < 1)
            return false;

        reference = Coordinate();
        postcodeAreaSeen = false;
        FCandidates.assign(static_cast<size_t>(n), RListStructure{});

        int first = 1;
        int last = 1;
        int step = 1;
        if (quality == MatchQuality::AllValid || quality == MatchQuality::Ambiguous) {
            last = n;
        } else if (quality == MatchQuality::Partial) {
            first = n;
            last = 1;
            step = -1;
        }

        for (int k = first; step > 0 ? k <= last : k >= last; k += step) {
            const auto location = AsLocation(results->ResultItem(QVariant(k)), k);
            const auto address = location->PostalAddress();
            if (address && address->Postcode() != postcode)
                break;
            double longitude = 0.0;
            double latitude = 0.0;
            LocationToLatLong(*location, longitude, latitude);

            RListStructure &c = FCandidates[static_cast<size_t>(FCandidateCount)];
            c.ResultNumber = k;
            c.Longitude = longitude;
            c.Latitude = latitude;
            c.DisplayName = location->DisplayName();
            c.LocationKind = location->LocationKind();
            c.HasPostalAddress = address != nullptr;
            c.Postcode = address ? address->Postcode() : QString();
            c.City = address ? address->City() : QString();
            c.Street = address ? address->Street() : QString();
            if (IsPostcodeArea(c.LocationKind))
                postcodeAreaSeen = true;
            ++FCandidateCount;
        }

        double distance = 0.0;
        if (FCandidateCount == 2 && quality == MatchQuality::Ambiguous && SameAddressDistance(0, 1, distance)
            && distance < SameSpotLimit) {
            quality = MatchQuality::AllValid;
            break;
        }
        if (FCandidateCount == 0) {
            if (!street.isEmpty())
                street.clear();
            else if (!city.isEmpty())
                city.clear();
            else
                postcode.clear();
            continue;
        }
        if (quality == MatchQuality::Ambiguous && !postcodeAreaSeen && !street.isEmpty()) {
            street.clear();
            FCandidateCount = 0;
            continue;
        }
        break;
    }

    found = true;
    for (int i = 0; i < FCandidateCount; ++i) {
        RListStructure &c = FCandidates[static_cast<size_t>(i)];
        if (IsPostcodeArea(c.LocationKind)) {
            c.StatusKind = StatusKind::Postcode;
            reference = Coordinate(c.Latitude, c.Longitude);
        } else if (c.HasPostalAddress) {
            c.StatusKind = StatusKind::Street;
        } else {
            c.StatusKind = StatusKind::City;
        }
        c.NeedsControl = quality == MatchQuality::Ambiguous || quality == MatchQuality::Partial;
    }

    if (quality == MatchQuality::AllValid || quality == MatchQuality::FirstGood) {
        FSelectedCandidate = 0;
    } else if ((quality == MatchQuality::Ambiguous || quality == MatchQuality::Partial) && postcodeAreaSeen) {
        double best = 0.5;
        for (int i = FCandidateCount - 1; i >= 0; --i) {
            const RListStructure &c = FCandidates[static_cast<size_t>(i)];
            const double d = PlanarDistance(c.Longitude, c.Latitude, reference.longitude(), reference.latitude());
            if (d > FarLimit) {
                DeleteCandidate(i);
                if (FSelectedCandidate != -1)
                    --FSelectedCandidate;
            } else if (d < best && c.StatusKind != StatusKind::Postcode) {
                FSelectedCandidate = i;
                best = d;
            }
        }
        if (FSelectedCandidate == -1) {
            for (int i = 0; i < FCandidateCount; ++i) {
                if (FCandidates[static_cast<size_t>(i)].StatusKind == StatusKind::Postcode) {
                    FSelectedCandidate = i;
                    break;
                }
            }
        }
    } else {
        FSelectedCandidate = -1;
    }

    if (ShowPin && FSelectedCandidate >= 0) {
        const int number = FCandidates[static_cast<size_t>(FSelectedCandidate)].ResultNumber;
        const auto location = AsLocation(results->ResultItem(QVariant(number)), number);
        PlacePinAtLocation(*location, 1, 0.0, 0.0, PinName, MoveView);
    }
    return found;
}

void TKartenModul::DeleteCandidate(int Index)
{
    if (Index < 0 || Index >= FCandidateCount)
        return;
    std::copy(FCandidates.begin() + Index + 1, FCandidates.begin() + FCandidateCount,
              FCandidates.begin() + Index);
    --FCandidateCount;
}

bool TKartenModul::SameAddressDistance(int A, int B, double &Distance) const
{
    const RListStructure &a = FCandidates[static_cast<size_t>(A)];
    const RListStructure &b = FCandidates[static_cast<size_t>(B)];
    if (a.Postcode != b.Postcode || a.City != b.City || a.Street != b.Street)
        return false;
    Distance = PlanarDistance(a.Longitude, a.Latitude, b.Longitude, b.Latitude);
    return true;
}

void TKartenModul::GeocodeSilent(const QString &Country, const QString &Postcode,
                                 const QString &City, const QString &Street,
                                 const QString &PinName, RAddressSearchResult &Result)
{
    InitAddressSearchResult(Result);
    if (!FMap)
        return;
    ClearPushPins();
    if (!SearchAddress(Country, Postcode, City, Street, PinName, false, false)
        || FSelectedCandidate < 0)
        return;
    const RListStructure &c = FCandidates[static_cast<size_t>(FSelectedCandidate)];
    Result.Found = true;
    Result.NeedsControl = c.NeedsControl;
    Result.StatusKind = c.StatusKind;
    Result.MatchedAddress = c.DisplayName;
    Result.Longitude = c.Longitude;
    Result.Latitude = c.Latitude;
    Result.Postcode = c.Postcode;
    Result.City = c.City;
    Result.Street = c.Street;
}

void TKartenModul::ExpectSilent(const std::vector<RAddressParts> &Addresses)
{
    auto *lookahead = dynamic_cast<MapPoint::LookupLookahead *>(FMap.get());
    if (!lookahead)
        return;
    std::vector<MapPoint::LookupLookahead::Query> queries;
    queries.reserve(Addresses.size());
    // As SearchAddress asks first, before any widening.
    for (const RAddressParts &a : Addresses)
        if (!a.Street.isEmpty() || !a.City.isEmpty() || !a.Postcode.isEmpty())
            queries.push_back({a.Street, a.City, a.Postcode, FCountryData->GetMapCountry(a.Country)});
    lookahead->ExpectLookups(queries);
}

void TKartenModul::ForgetExpected() noexcept
{
    if (auto *lookahead = dynamic_cast<MapPoint::LookupLookahead *>(FMap.get()))
        lookahead->ForgetLookups();
}

void TKartenModul::GeocodeInteractive(const QString &Country, const QString &Postcode,
                                      const QString &City, const QString &Street,
                                      const QString &PinName, RAddressSearchResult &Result)
{
    if (!FMap)
        return;
    InitAddressSearchResult(Result);
    if (!FAddressSearchDialogFactory)
        throw std::logic_error("The address search dialog is not available.");
    const std::unique_ptr<IAddressSearchDialog> dialog = FAddressSearchDialogFactory();
    dialog->Prepare(Country, Postcode, City, Street, PinName);
    if (dialog->ShowModal() == 1)
        dialog->GetResult(Result);
}

void TKartenModul::SetAddressSearchDialogFactory(AddressSearchDialogFactory Factory)
{
    FAddressSearchDialogFactory = std::move(Factory);
}
