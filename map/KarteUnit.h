#pragma once
// The map module: the one object through which the program reaches the map engine. It owns the
// map once it is created, the pushpins it placed and the candidates of the last address search.

#include "AddressParts.h"
#include "AddressSearchDialog.h"
#include "AddressSearchResult.h"
#include "IntfList.h"
#include "ListStructure.h"
#include "MapEngine.h"
#include "MapSite.h"
#include "NotifyEvent.h"
#include "PushPinObject.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class QObject;
class TCountryData;

class TKartenModul {
public:
    // Location kinds that mark postcode areas.
    static constexpr int PostcodeAreaKinds[] = {12, 13, 14, 15};
    // Degrees, planar: candidates farther from the postcode area are dropped.
    static constexpr double FarLimit = 0.5;
    // Degrees, planar: two equal addresses closer than this are one place.
    static constexpr double SameSpotLimit = 0.002;

    ~TKartenModul();
    TKartenModul(const TKartenModul &) = delete;
    TKartenModul &operator=(const TKartenModul &) = delete;

    // Makes the engine's map at the site (embedded on screen or headless); a second call does
    // nothing. Throws OleError for an unknown program identifier, MapPoint::EngineError when the
    // engine fails.
    void CreateMap(IMapSite &Site, const QString &ProgID);
    // Throws, saying why, while there is no map: every search would find nothing.
    void RequireMap() const;

    void ClearPushPins();
    void SetOnAfterRedraw(TNotifyEvent Handler);
    void MapAfterRedraw(QObject *Sender);

    void LocationToLatLong(const MapPoint::Location &L, double &Longitude, double &Latitude);
    void ShowCoordinate(const QString &PinName, bool WithPin, double Longitude, double Latitude,
                        double Altitude);
    void PlacePinAtCoordinate(int Symbol, double Longitude, double Latitude, const QString &PinName,
                              bool MoveView);
    void PlacePinAtLocation(MapPoint::Location &L, int Symbol, double Longitude, double Latitude,
                            const QString &PinName, bool MoveView);

    static void InitAddressSearchResult(RAddressSearchResult &R);
    static QString GetStatusText(StatusKind Kind);
    bool SearchAddress(const QString &Country, const QString &Postcode, const QString &City,
                       const QString &Street, const QString &PinName, bool MoveView, bool ShowPin);
    void DeleteCandidate(int Index);
    bool SameAddressDistance(int A, int B, double &Distance) const;
    void GeocodeSilent(const QString &Country, const QString &Postcode, const QString &City,
                       const QString &Street, const QString &PinName, RAddressSearchResult &Result);
    // The addresses the next silent geocodings will search, so that an engine that can look
    // them up ahead starts on them; the results are the same either way. What was expected
    // before the previous call is forgotten.
    void ExpectSilent(const std::vector<RAddressParts> &Addresses);
    void ForgetExpected() noexcept;
    // Shows the address search dialog made by the factory; throws when none is set.
    void GeocodeInteractive(const QString &Country, const QString &Postcode, const QString &City,
                            const QString &Street, const QString &PinName,
                            RAddressSearchResult &Result);
    void SetAddressSearchDialogFactory(AddressSearchDialogFactory Factory);

    // The last search's candidates, read by the address search dialog.
    const std::vector<RListStructure> &Candidates() const { return FCandidates; }
    int CandidateCount() const { return FCandidateCount; }
    int SelectedCandidate() const { return FSelectedCandidate; }

    std::shared_ptr<MapPoint::Map> Map() const { return FMap; }
    bool MapReady() const { return FMapReady; }
    // The wrapper that delivers the shown map's events, and what shows the map; nullptr for a map
    // without a view.
    QObject *MapServer() const;
    QObject *Container() const;
    const IIntfList &PushPins() const { return *FPushPins; }

protected:
    friend TKartenModul &KartenModul();
    TKartenModul();

private:
    static bool IsPostcodeArea(int kind);
    void createMap(IMapSite &Site, const QString &ProgID);

    std::shared_ptr<MapPoint::Map> FMap;
    QString FMapFailure;   // why CreateMap obtained no map
    // Owned by what shows the map, which may delete it first.
    QPointer<QObject> FMapServer;
    TNotifyEvent FOnAfterRedraw;
    std::shared_ptr<IIntfList> FPushPins;
    bool FMapReady = false;
    std::unique_ptr<TCountryData> FCountryData;
    qint32 FSelectedCandidate = 0;
    qint32 FCandidateCount = 0;
    std::vector<RListStructure> FCandidates;
    AddressSearchDialogFactory FAddressSearchDialogFactory;
};

// The shared map module, made on first use; it lives until the process ends.
TKartenModul &KartenModul();
