#pragma once

#include <ColumnMapping.h>

#include <QString>

class RecordSet;
class TRecordedRun;
struct RAddressSearchResult;

// The mapped columns a geocoding run reads and writes.
struct TColumnMapping {
    QString Identifier, Country, Postcode, City, Street;
    QString StatusText, GeocodedOn, ControlGeocode, Latitude, Longitude;

    static TColumnMapping Of(const ColumnMapping &columns);
};

// What the batch run shows while it works: the progress window and status panel in the program,
// progress lines in the command.
class IBatchRunView {
public:
    virtual ~IBatchRunView() = default;
    virtual void Open() = 0;                       // before the record count is read
    virtual void SetRange(int min, int max) = 0;   // refuses max < min by throwing
    virtual void SetPosition(int position) = 0;
    virtual void ShowRecordNumber(int visited) = 0;
    virtual void ShowSummary(int geocoded, int notGeocoded) = 0;
    virtual void Close() noexcept = 0;             // on every way out, before tracking resumes
};

struct TBatchCounts {
    int Visited = 0;
    int Geocoded = 0;
    int NotGeocoded = 0;
};

// One pass over every record of the record set: each address through the map module's silent
// search, the result (or the not-found marking) posted into the record. Every run is recorded
// in the database's run journal, so that it can be undone.
class TBatchGeocodeRun {
public:
    static TBatchCounts Run(RecordSet &records, const TColumnMapping &columns, IBatchRunView &view);

    // Writes a found result into the current record and posts it.
    static void WriteFound(RecordSet &records, const TColumnMapping &columns,
                           const RAddressSearchResult &result);
    // The single-record run's write: WriteFound, recorded as a run of its own.
    static void WriteSingle(RecordSet &records, const TColumnMapping &columns,
                            const RAddressSearchResult &result);

private:
    // The pass itself, inside the batch scope, which has ended (and committed) when it returns.
    static TBatchCounts geocodeRecords(RecordSet &records, const TColumnMapping &columns,
                                       IBatchRunView &view, TRecordedRun &recorded);
};
