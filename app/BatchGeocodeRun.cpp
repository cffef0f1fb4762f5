#include "BatchGeocodeRun.h"

#include "RecordedRun.h"

#include <BatchScope.h>
#include <Connection.h>
#include <Coordinate.h>
#include <KarteUnit.h>
#include <RecordSet.h>

#include <optional>
#include <vector>

namespace {
// Ends the run in the one order that holds on every way out: view closed, then tracking resumed.
class RunEnd {
public:
    RunEnd(RecordSet &records, IBatchRunView &view) : m_records(records), m_view(view)
    {
        m_records.disableControls();
    }
    ~RunEnd()
    {
        m_view.Close();
        m_records.enableControls();
    }
    RunEnd(const RunEnd &) = delete;
    RunEnd &operator=(const RunEnd &) = delete;

private:
    RecordSet &m_records;
    IBatchRunView &m_view;
};

// The current record's address, as the run searches it and announces it ahead.
RAddressParts addressOf(RecordSet &records, const TColumnMapping &columns)
{
    return {records.fieldByName(columns.Country).asString(), records.fieldByName(columns.Postcode).asString(),
            records.fieldByName(columns.City).asString(), records.fieldByName(columns.Street).asString()};
}

// Hands the map module the addresses a stretch ahead of the record being geocoded, so that an
// engine able to do so looks them up while this thread posts; forgotten when the run ends.
class AddressesAhead {
public:
    static constexpr int Stretch = 512;

    AddressesAhead(RecordSet &records, const TColumnMapping &columns)
        : m_records(records), m_columns(columns) {}
    ~AddressesAhead() { KartenModul().ForgetExpected(); }
    AddressesAhead(const AddressesAhead &) = delete;
    AddressesAhead &operator=(const AddressesAhead &) = delete;

    // visited: how many records of the run came before the current one.
    void expectFrom(int visited)
    {
        if (visited % Stretch != 0)
            return;
        const int ahead = visited == 0 ? 0 : Stretch;
        const int count = visited == 0 ? 2 * Stretch : Stretch;
        const int current = m_records.recNo();
        std::vector<RAddressParts> addresses;
        addresses.reserve(count);
        m_records.moveBy(ahead);
        for (; static_cast<int>(addresses.size()) < count && !m_records.eof(); m_records.next())
            addresses.push_back(addressOf(m_records, m_columns));
        m_records.setRecNo(current);
        KartenModul().ExpectSilent(addresses);
    }

private:
    RecordSet &m_records;
    const TColumnMapping &m_columns;
};

void writeResult(RecordSet &records, const TColumnMapping &columns, const Coordinate &at,
                 const QString &status, const QString &address, bool needsControl)
{
    records.edit();
    records.fieldByName(columns.Longitude).setAsFloat(at.longitude());
    records.fieldByName(columns.Latitude).setAsFloat(at.latitude());
    records.fieldByName(columns.StatusText).setAsString(status);
    records.fieldByName(columns.GeocodedOn).setAsString(address);
    records.fieldByName(columns.ControlGeocode).setAsBoolean(needsControl);
    records.post();
}
} // namespace

TColumnMapping TColumnMapping::Of(const ColumnMapping &columns)
{
    return {columns[ColumnRole::Identifier], columns[ColumnRole::Country],
            columns[ColumnRole::Postcode],   columns[ColumnRole::City],
            columns[ColumnRole::Street],     columns[ColumnRole::StatusText],
            columns[ColumnRole::GeocodedOn], columns[ColumnRole::ControlGeocode],
            columns[ColumnRole::Latitude],   columns[ColumnRole::Longitude]};
}

void TBatchGeocodeRun::WriteFound(RecordSet &records, const TColumnMapping &columns,
                                  const RAddressSearchResult &result)
{
    writeResult(records, columns, Coordinate(result.Latitude, result.Longitude),
                TKartenModul::GetStatusText(result.StatusKind), result.MatchedAddress,
                result.NeedsControl);
}

void TBatchGeocodeRun::WriteSingle(RecordSet &records, const TColumnMapping &columns,
                                   const RAddressSearchResult &result)
{
    TRecordedRun recorded(records.connection(), QStringLiteral("Geocode actual record"));
    WriteFound(records, columns, result);
    recorded.Complete();
}

TBatchCounts TBatchGeocodeRun::Run(RecordSet &records, const TColumnMapping &columns,
                                   IBatchRunView &view)
{
    RunEnd end(records, view);
    view.Open();
    view.SetRange(0, records.recordCount() - 1);
    TRecordedRun recorded(records.connection(), QStringLiteral("Geocode all"));
    try {
        return geocodeRecords(records, columns, view, recorded);
    } catch (...) {
        // A save that failed undid posts the rows still show.
        records.refreshAfterFailure();
        throw;
    }
}

TBatchCounts TBatchGeocodeRun::geocodeRecords(RecordSet &records, const TColumnMapping &columns,
                                              IBatchRunView &view, TRecordedRun &recorded)
{
    TBatchCounts counts;
    // Posts of the run are committed together at least every 200 ms and whenever the run ends,
    // by an error too, so a failure never undoes the records finished before it.
    std::optional<BatchScope> batch;
    if (Connection *connection = records.connection())
        batch.emplace(*connection);

    RAddressSearchResult result;
    AddressesAhead ahead(records, columns);
    records.first();
    while (!records.eof()) {
        ahead.expectFrom(counts.Visited);
        view.SetPosition(counts.Visited);
        ++counts.Visited;
        view.ShowRecordNumber(counts.Visited);

        const QString identifier = records.fieldByName(columns.Identifier).asString();
        const RAddressParts a = addressOf(records, columns);
        KartenModul().GeocodeSilent(a.Country, a.Postcode, a.City, a.Street, identifier, result);
        if (result.Found) {
            WriteFound(records, columns, result);
            ++counts.Geocoded;
        } else {
            writeResult(records, columns, Coordinate(), TKartenModul::GetStatusText(StatusKind::None), QString(), false);
            ++counts.NotGeocoded;
        }
        records.next();
    }
    // The user may leave the summary open for long: what it reports is on disk by then.
    if (batch)
        batch->commit();
    recorded.Complete();
    view.ShowSummary(counts.Geocoded, counts.NotGeocoded);
    return counts;
}
