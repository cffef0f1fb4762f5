#include "Geocoder.h"

#include "AddressFormat.h"
#include "GreatCircle.h"
#include "StreetAddress.h"
#include "TextKey.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Engine {

namespace {

// A place this close to a postcode's centroid is the postcode's place (km).
constexpr double SamePlaceKm = 20.0;
// Namesakes closer than this are one place entered twice (km).
constexpr double DuplicateKm = 5.0;
// Pieces of one address entered twice (a node and a building) lie closer than this (km).
constexpr double SameAddressKm = 0.1;
// A place this many times larger than any namesake is what the user means.
constexpr qint64 Dominance = 10;
constexpr size_t MaxPlaces = 20;
// Countries whose postcodes are five digits, where a numeric column loses leading zeros.
const QStringList FiveDigitCountries{QStringLiteral("DE"), QStringLiteral("FR"), QStringLiteral("IT"), QStringLiteral("ES")};

const QStringList EuropeanCountries{
    QStringLiteral("DE"), QStringLiteral("AT"), QStringLiteral("CH"), QStringLiteral("LI"), QStringLiteral("IT"),
    QStringLiteral("FR"), QStringLiteral("ES"), QStringLiteral("PT"), QStringLiteral("BE"), QStringLiteral("NL"),
    QStringLiteral("LU"), QStringLiteral("DK"), QStringLiteral("GB"), QStringLiteral("IE")};
const QStringList NorthAmericanCountries{QStringLiteral("US"), QStringLiteral("CA")};

// Each country of the editions as a list of its own, made once: most lookups name one country.
const QStringList *singleCountry(const QStringList &edition, int countryNumber)
{
    static const auto lists = [] {
        std::vector<std::pair<int, QStringList>> out;
        for (const QStringList *e : {&EuropeanCountries, &NorthAmericanCountries})
            for (const QString &iso : *e)
                out.emplace_back(countryNumberFor(iso), QStringList{iso});
        return out;
    }();
    for (const auto &[number, list] : lists)
        if (number == countryNumber && edition.contains(list.front()))
            return &list;
    return nullptr;
}

bool sameText(const QString &a, const QString &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// Case-insensitive equality folds unit by unit, so texts of different lengths never match.
bool sameTextIgnoringCase(const QString &a, const QString &b)
{
    return a.size() == b.size() && (a == b || a.compare(b, Qt::CaseInsensitive) == 0);
}

// Country codes as key prefixes; they are ASCII, so UTF-8 is one byte per unit.
std::string keyPrefix(const QString &country)
{
    std::string out;
    out.reserve(country.size() + 1);
    for (QChar c : country) {
        if (c.unicode() >= 0x80)
            return country.toStdString() + ':';
        out.push_back(char(c.unicode()));
    }
    out.push_back(':');
    return out;
}

bool hasUmlaut(const QString &s)
{
    return std::any_of(s.begin(), s.end(), [](QChar c) {
        switch (c.unicode()) {
        case u'ä': case u'ö': case u'ü': case u'Ä': case u'Ö': case u'Ü': case u'ß': return true;
        default: return false;
        }
    });
}

// Whether two points certainly lie limitKm or more apart, judged by latitude alone: the great
// circle is never shorter than the difference in latitude. Most candidate pairs are settled so,
// without trigonometry; the margin leaves every close call to the full formula.
bool latitudesApart(double lat1, double lat2, double limitKm)
{
    constexpr double kmPerDegree = GreatCircle::EarthRadiusKm * std::numbers::pi / 180.0;
    return std::abs(lat2 - lat1) * kmPerDegree > limitKm * (1 + 1e-9) + 1e-9;
}

bool within(double lat1, double lon1, double lat2, double lon2, double limitKm)
{
    return !latitudesApart(lat1, lat2, limitKm) && GreatCircle::distanceKm(lat1, lon1, lat2, lon2) < limitKm;
}

// The city and postcode as the lookup reads them: a postcode typed into the city ("80331 München",
// "D-80331 München") with no postcode of its own is taken from there, unless the whole text is
// the name of a place ("100 Mile House").
struct CityAndPostcode {
    QString city, postcode;
    QString givenPostcode;   // the postcode as given, which postal addresses must repeat

    static CityAndPostcode read(const Gazetteer &g, const QString &city, const QString &postcode)
    {
        static const QRegularExpression leading(QStringLiteral(R"(^((?:[A-Za-z]{1,3}-)?\d{4,5})\s+(\p{L}.*)$)"));
        if (!postcode.isEmpty()) {
            if (city.size() > postcode.size() && city.startsWith(postcode) && city[postcode.size()] == u' ')
                return {city.sliced(postcode.size() + 1), postcode, postcode};
            return {city, postcode, postcode};
        }
        if (const QRegularExpressionMatch m = leading.match(city); m.hasMatch() && g.placesNamed(TextKey::name(city)).empty())
            return {m.captured(2), m.captured(1), postcode};
        return {city, postcode, postcode};
    }
};

struct PlaceCandidate {
    Gazetteer::PlaceHit hit;
    int edits;
    PlaceRecord record;
};

class Lookup {
public:
    Lookup(const Gazetteer &g, QStringList countries, const QString &street, const CityAndPostcode &typed)
        : g(g), countries(std::move(countries)), street(street), city(typed.city), postcode(typed.postcode),
          givenPostcode(typed.givenPostcode), cityKey(TextKey::name(city)), countryCodes(pairCodes(this->countries)),
          postcodeKeys(postcodeKeysIn(this->countries, postcode))
    {
    }

    Answer run()
    {
        findPostcodes();
        findPlaces();
        dropUnconfirmedPostcodes();
        if (!street.isEmpty())
            if (std::optional<Answer> a = streetAnswer())
                return *a;
        return areaAnswer();
    }

private:
    // Called for every candidate: the codes compared as two UTF-16 units rather than as strings.
    bool allowed(const QString &country) const
    {
        if (country.size() != 2)
            return countries.contains(country);
        const uint32_t code = pairCode(country);
        return std::find(countryCodes.begin(), countryCodes.end(), code) != countryCodes.end();
    }
    static uint32_t pairCode(const QString &iso) { return uint32_t(iso[0].unicode()) << 16 | iso[1].unicode(); }
    static std::vector<uint32_t> pairCodes(const QStringList &isos)
    {
        std::vector<uint32_t> out;
        for (const QString &c : isos)
            if (c.size() == 2)
                out.push_back(pairCode(c));
        return out;
    }
    static std::vector<std::string> postcodeKeysIn(const QStringList &isos, const QString &postcode)
    {
        std::vector<std::string> out;
        for (const QString &c : isos)
            out.push_back(postcode.isEmpty() ? std::string() : TextKey::postcode(c, postcode));
        return out;
    }

    void findPostcodes()
    {
        if (postcode.isEmpty())
            return;
        for (qsizetype c = 0; c < countries.size(); ++c) {
            const QString &country = countries[c];
            const std::string &key = postcodeKeys[size_t(c)];
            if (key.empty())
                continue;
            const std::string prefix = keyPrefix(country);
            auto found = g.postcodesCoded(prefix + key);
            if (found.empty()) {
                const std::string district = TextKey::postcodeDistrict(country, key);
                if (!district.empty())
                    found = g.postcodesCoded(prefix + district);
            }
            if (found.empty() && key.size() >= 3 && key.size() < 5 && FiveDigitCountries.contains(country)
                && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                found = g.postcodesCoded(prefix + std::string(5 - key.size(), '0') + key);
                zerosRestored = zerosRestored || !found.empty();
            }
            for (uint32_t i : found) {
                PostcodeRecord p = g.postcode(i);
                (p.atPlace ? placedPostcodes : postcodes).push_back(std::move(p));
            }
        }
    }

    // A postcode read with its leading zeros restored counts only where the city agrees.
    void dropUnconfirmedPostcodes()
    {
        if (!zerosRestored)
            return;
        const auto agrees = [&](const PostcodeRecord &p) { return servesCity(p) || placeNear(p.latitude, p.longitude); };
        if (std::none_of(postcodes.begin(), postcodes.end(), agrees)
            && std::none_of(placedPostcodes.begin(), placedPostcodes.end(), agrees)) {
            postcodes.clear();
            placedPostcodes.clear();
        }
    }

    void findPlaces()
    {
        if (cityKey.empty())
            return;
        const auto hits = g.placesNamed(cityKey);
        places.reserve(hits.size());
        for (const Gazetteer::PlaceHit &hit : hits)
            if (PlaceRecord record = g.place(hit.place); allowed(record.country))
                places.push_back({hit, 0, std::move(record)});
        static const QRegularExpression shortOrQualified(QStringLiteral(R"([-/(.]|\s\d)"));
        if (places.empty() && city.contains(shortOrQualified))
            findShortenedOrDistrict();
        // Typing errors: nothing matched, or what matched is spelled otherwise than typed
        // ("Müchen" folds to the village Muchen) while a far larger place is one slip away.
        const bool writtenAsTyped = std::any_of(places.begin(), places.end(), [&](const PlaceCandidate &p) {
            return !g.placeNameWritten(p.hit.place, city).isNull();
        });
        if (!writtenAsTyped && cityKey.size() >= 4) {
            qint64 largestExact = 0;
            for (const PlaceCandidate &p : places)
                largestExact = std::max(largestExact, p.record.population);
            const int maxEdits = cityKey.size() <= 8 ? 1 : 2;
            std::vector<PlaceCandidate> typos;
            for (const auto &[hit, edits] : g.placesNamedLike(cityKey, maxEdits))
                if (PlaceRecord record = g.place(hit.place); allowed(record.country))
                    typos.push_back({hit, edits, std::move(record)});
            const bool muchLarger = std::any_of(typos.begin(), typos.end(), [&](const PlaceCandidate &p) {
                return p.record.population >= Dominance * Dominance * std::max<qint64>(1, largestExact);
            });
            if (places.empty() || muchLarger) {
                typoSuspected = !places.empty();
                places.insert(places.end(), typos.begin(), typos.end());
            }
        }
        // Suspected typos rank by size; otherwise closer spellings first. Among one place's names
        // the closest spelling comes first, so that it is the one kept and shown. A single
        // candidate, the usual case, is spared the allocation of the sort's buffer.
        if (places.size() > 1)
            std::stable_sort(places.begin(), places.end(), [&](const PlaceCandidate &a, const PlaceCandidate &b) {
                if (typoSuspected && a.record.population != b.record.population)
                    return a.record.population > b.record.population;
                if (a.edits != b.edits)
                    return a.edits < b.edits;
                if (a.hit.place != b.hit.place)
                    return a.record.population > b.record.population;
                return affinity(a) > affinity(b);
            });
        // GeoNames lists some places twice (the town and its centre); keep the larger entry.
        std::vector<PlaceCandidate> kept;
        for (const PlaceCandidate &p : places) {
            const bool twin = std::any_of(kept.begin(), kept.end(), [&](const PlaceCandidate &k) {
                return sameText(k.record.country, p.record.country)
                    && within(k.record.latitude, k.record.longitude, p.record.latitude, p.record.longitude, DuplicateKm);
            });
            if (!twin)
                kept.push_back(p);
            if (kept.size() >= MaxPlaces)
                break;
        }
        places.swap(kept);
    }

    // "Weil a. Rhein", "Frankfurt/M.": a name of several words typed short. "Ulm/Donau",
    // "Berlin-Spandau", "Paris 15e": a place followed by its river, region or district; the district
    // where it is a place of its own near the city, else the city.
    void findShortenedOrDistrict()
    {
        const std::vector<std::string> words = TextKey::nameWords(city);
        if (words.size() < 2)
            return;
        for (const Gazetteer::PlaceHit &hit : g.placesNamedFirst(words.front())) {
            PlaceRecord record = g.place(hit.place);
            if (!allowed(record.country))
                continue;
            const QStringList names = g.placeNames(hit.place);
            for (qsizetype n = 0; n < names.size(); ++n) {
                // Every typed word stands for a word of the name: shorter names need no folding.
                if (wordsIn(names[n]) < words.size())
                    continue;
                const std::vector<std::string> nameWords = TextKey::nameWords(names[n]);
                if (nameWords.size() > 1 && nameWords.front() == words.front()
                    && TextKey::wordsAbbreviate(words, nameWords, false)) {
                    places.push_back({{hit.place, uint16_t(n)}, 0, record});
                    break;
                }
            }
        }
        for (size_t cut = words.size() - 1; cut > 0 && places.empty(); --cut) {
            std::string head, rest;
            for (size_t i = 0; i < words.size(); ++i)
                (i < cut ? head : rest) += words[i];
            const std::vector<PlaceCandidate> cities = exactlyNamed(head);
            const PlaceCandidate *district = nullptr;
            double bestKm = SamePlaceKm;
            const std::vector<PlaceCandidate> districts = exactlyNamed(rest);
            for (const PlaceCandidate &d : districts)
                for (const PlaceCandidate &c : cities)
                    if (const double dKm = GreatCircle::distanceKm(d.record.latitude, d.record.longitude, c.record.latitude, c.record.longitude); dKm < bestKm) {
                        bestKm = dKm;
                        district = &d;
                    }
            if (district)
                places.push_back(*district);
            else
                for (const PlaceCandidate &c : cities)
                    places.push_back({nameTypedFirst(c.hit), 0, c.record});
        }
    }

    static size_t wordsIn(const QString &name)
    {
        size_t count = 0;
        bool inWord = false;
        for (QChar c : name) {
            const bool part = c.isLetterOrNumber() || c.isMark();
            count += part && !inWord;
            inWord = part;
        }
        return count;
    }

    // The place's name that the typed city begins with ("Dublin" of "Dublin 8"), else the hit's.
    Gazetteer::PlaceHit nameTypedFirst(const Gazetteer::PlaceHit &hit) const
    {
        const QStringList names = g.placeNames(hit.place);
        for (qsizetype n = 0; n < names.size(); ++n)
            if (names[n].size() < city.size() && city.startsWith(names[n], Qt::CaseInsensitive) && !city[names[n].size()].isLetter())
                return {hit.place, uint16_t(n)};
        return hit;
    }

    std::vector<PlaceCandidate> exactlyNamed(const std::string &key) const
    {
        std::vector<PlaceCandidate> out;
        if (key.empty())
            return out;
        for (const Gazetteer::PlaceHit &hit : g.placesNamed(key))
            if (PlaceRecord record = g.place(hit.place); allowed(record.country))
                out.push_back({hit, 0, std::move(record)});
        return out;
    }

    // How much of the typed key a name's key shares at its start and end.
    int affinity(const PlaceCandidate &p) const
    {
        const std::string key = TextKey::name(g.placeName(p.hit));
        size_t head = 0, tail = 0;
        while (head < key.size() && head < cityKey.size() && key[head] == cityKey[head])
            ++head;
        while (tail < key.size() && tail < cityKey.size() && key[key.size() - 1 - tail] == cityKey[cityKey.size() - 1 - tail])
            ++tail;
        return int(head + tail);
    }

    bool fuzzy() const { return typoSuspected || (!places.empty() && places.front().edits > 0); }

    // The place candidate nearest to a point, within SamePlaceKm.
    const PlaceCandidate *placeNear(double lat, double lon) const
    {
        const PlaceCandidate *best = nullptr;
        double bestKm = SamePlaceKm;
        for (const PlaceCandidate &p : places) {
            if (latitudesApart(lat, p.record.latitude, bestKm))
                continue;
            const double d = GreatCircle::distanceKm(lat, lon, p.record.latitude, p.record.longitude);
            if (d < bestKm) {
                bestKm = d;
                best = &p;
            }
        }
        return best;
    }

    bool servesCity(const PostcodeRecord &p) const
    {
        // Postcode records mostly name the place as typed; that text needs no folding.
        return !cityKey.empty() && (sameText(p.place, city) || TextKey::name(p.place) == cityKey);
    }

    // The postcode record that fits the city best: one named like it, else one near a place of
    // that name, else the first.
    const PostcodeRecord *bestPostcode() const
    {
        if (postcodes.empty())
            return nullptr;
        for (const PostcodeRecord &p : postcodes)
            if (servesCity(p))
                return &p;
        for (const PostcodeRecord &p : postcodes)
            if (placeNear(p.latitude, p.longitude))
                return &p;
        return &postcodes.front();
    }

    // State or province for US and Canadian display names; imported OSM records often lack it,
    // the shipped ZIP/FSA record of the same postcode has it.
    QString region(const QString &country, const QString &admin1, const QString &code) const
    {
        if (!AddressFormat::northAmerican(country))
            return {};
        if (!admin1.isEmpty())
            return AddressFormat::regionCode(country, admin1);
        const std::string key = TextKey::postcode(country, code);
        for (const std::string &k : {key, TextKey::postcodeDistrict(country, key)})
            if (!k.empty())
                for (uint32_t i : g.postcodesCoded(keyPrefix(country) + k))
                    if (const PostcodeRecord p = g.postcode(i); !p.admin1.isEmpty())
                        return AddressFormat::regionCode(country, p.admin1);
        return {};
    }

    Match postcodeMatch(const PostcodeRecord &p, const QString &cityName) const
    {
        const QString region = this->region(p.country, p.admin1, p.code);
        return {p.kind, AddressFormat::postcodeArea(p.country, p.code, cityName, region), p.latitude, p.longitude, {}};
    }

    // The name as the user wrote it where the place has that name ("Roma", not "Rome"), except
    // that umlauts stay written out.
    QString shownName(const PlaceCandidate &p) const
    {
        const QString name = g.placeName(p.hit);
        if (p.edits > 0 || sameTextIgnoringCase(name, city) || hasUmlaut(name))
            return name;
        const QString written = g.placeNameWritten(p.hit.place, city);
        return written.isNull() ? name : written;
    }

    Match placeMatch(const PlaceCandidate &p) const
    {
        const QString region = AddressFormat::regionCode(p.record.country, p.record.admin1);
        return {LocationKind::PopulatedPlace, AddressFormat::place(p.record.country, shownName(p), region), p.record.latitude,
                p.record.longitude, {}};
    }

    // The postcode the user typed stands in postal addresses when it is the record's postcode
    // written another way ("2134" for "02134") or its district ("V6B" for "V6B 1A1"), so that they
    // compare equal to the input: the map module drops results whose postcode differs from it.
    QString postalCode(const QString &country, const QString &recordCode) const
    {
        if (postcode.isEmpty())
            return recordCode;
        // Mostly the record's postcode is the typed one as typed, and the keys need not be made.
        if (sameText(recordCode, postcode))
            return givenPostcode;
        const std::string typed = TextKey::postcode(country, postcode), record = TextKey::postcode(country, recordCode);
        if (typed == record || (!typed.empty() && TextKey::postcodeDistrict(country, record) == typed))
            return givenPostcode;
        return recordCode;
    }

    // want: the typed postcode's key in the country; have: the record's, as the gazetteer keeps it.
    bool fitsGivenParts(const QString &country, const std::string &want, const QString &recPostcode, std::string_view have,
                        const QString &recCity, double lat, double lon) const
    {
        if (!postcode.isEmpty()) {
            // The record's postcode mostly is the typed one as typed; its key then is want.
            if (sameText(recPostcode, postcode))
                return !want.empty();
            // A district is always shorter than the postcodes in it.
            return !have.empty()
                && (have == want || (have.size() > want.size() && TextKey::postcodeDistrict(country, std::string(have)) == want));
        }
        if (!cityKey.empty())
            return sameText(recCity, city) || (!fuzzy() && placeNear(lat, lon)) || TextKey::name(recCity) == cityKey;
        return true;
    }

    // The records of a street key that fitsGivenParts can accept, for the gazetteer to find
    // without reading the street's namesakes all over the country.
    Narrowing narrowing(const std::string &postcodeKey) const
    {
        Narrowing n;
        if (!postcode.isEmpty()) {
            n.byPostcode = true;
            n.postcodePrefix = postcodeKey;
        } else if (!cityKey.empty()) {
            n.byCity = true;
            n.cityKey = cityKey;
            if (!fuzzy()) {
                for (const PlaceCandidate &p : places)
                    n.near.emplace_back(p.record.latitude, p.record.longitude);
                n.nearKm = SamePlaceKm;
            }
        }
        return n;
    }

    std::optional<Answer> streetAnswer() const
    {
        for (const StreetAddress &reading : StreetAddress::readings(street, AddressFormat::numberFirst(countries.front()))) {
            std::vector<AddressRecord> points;
            std::vector<StreetRecord> streets;
            const std::string streetKey = TextKey::name(reading.street);
            if (streetKey.empty())
                continue;
            // A range ("1-3") is written on the house as a whole or stands for its first house.
            QStringList numbers{reading.houseNumber};
            if (const QString first = reading.rangeStart(); !first.isEmpty())
                numbers << first;
            for (qsizetype c = 0; c < countries.size(); ++c) {
                const QString &country = countries[c];
                const std::string prefix = keyPrefix(country) + streetKey;
                const std::string &want = postcodeKeys[size_t(c)];
                const Narrowing fit = narrowing(want);
                for (const QString &number : numbers) {
                    if (number.isEmpty() || !points.empty())
                        break;
                    // The first house stands in for the range only where its postal address can
                    // stand for what was typed.
                    const bool first = &number != &numbers.front();
                    for (uint32_t i : g.addressesAt(prefix + '#' + TextKey::houseNumber(number), fit))
                        if (AddressRecord a = g.address(i); fitsGivenParts(a.country, want, a.postcode, a.postcodeKey, a.city, a.latitude, a.longitude)
                            && (!first || postalCode(a.country, postcodeShown(a)) == givenPostcode))
                            points.push_back(std::move(a));
                }
                for (uint32_t i : g.streetsNamed(prefix, fit))
                    if (StreetRecord s = g.street(i); fitsGivenParts(s.country, want, s.postcode, s.postcodeKey, s.city, s.latitude, s.longitude))
                        streets.push_back(std::move(s));
            }
            if (points.empty() && streets.empty())
                continue;
            Answer answer = streetResults(points, streets);
            // The street of a range whose houses are not found: which house is meant, a person
            // decides, where the postcode area lets the map module judge the street.
            if (points.empty() && numbers.size() > 1 && answer.matches.back().kind >= LocationKind::PostcodeArea)
                answer.quality = MatchQuality::Ambiguous;
            return answer;
        }
        return std::nullopt;
    }

    Answer streetResults(const std::vector<AddressRecord> &addresses, const std::vector<StreetRecord> &streetRecords) const
    {
        std::vector<const StreetRecord *> streets;
        for (const StreetRecord &s : streetRecords)
            streets.push_back(&s);
        // A house entered as a node and as a building is one address.
        std::vector<const AddressRecord *> distinct;
        for (const AddressRecord &a : addresses)
            if (std::none_of(distinct.begin(), distinct.end(), [&](const AddressRecord *d) {
                    return within(d->latitude, d->longitude, a.latitude, a.longitude, SameAddressKm);
                }))
                distinct.push_back(&a);

        Answer answer{MatchQuality::Ambiguous, {}};
        answer.matches.reserve(distinct.size() + streets.size() + 1);
        for (const AddressRecord *a : distinct) {
            const QString line = AddressFormat::streetLine(a->country, a->street, a->houseNumber);
            const QString recordCode = postcodeShown(*a);
            const QString code = postalCode(a->country, recordCode);
            answer.matches.push_back({LocationKind::AddressPoint, AddressFormat::address(a->country, line, recordCode, a->city,
                                                             region(a->country, {}, recordCode)),
                                      a->latitude, a->longitude, PostalParts{code, a->city, line}});
        }
        for (const StreetRecord *s : streets) {
            const QString code = postalCode(s->country, s->postcode);
            answer.matches.push_back({LocationKind::Street, AddressFormat::address(s->country, s->name, s->postcode, s->city,
                                                             region(s->country, {}, s->postcode)),
                                      s->latitude, s->longitude, PostalParts{code, s->city, s->name}});
        }
        if (distinct.size() == 1 || (distinct.empty() && streets.size() == 1))
            answer.quality = MatchQuality::FirstGood;
        else if (distinct.empty() && sameGroup(streets))
            answer.quality = MatchQuality::AllValid;   // one street in several pieces: every piece is right
        if (const PostcodeRecord *p = bestPostcode())
            answer.matches.push_back(postcodeMatch(*p, p->place));
        return answer;
    }

    // A postcode the import gave an address serves to find it by postcode; asked without one,
    // the address stands as its data has it.
    QString postcodeShown(const AddressRecord &a) const
    {
        return a.postcodeInferred && postcode.isEmpty() ? QString() : a.postcode;
    }

    static bool sameGroup(const std::vector<const StreetRecord *> &streets)
    {
        return std::all_of(streets.begin(), streets.end(), [&](const StreetRecord *s) {
            return s->country == streets.front()->country && s->postcode == streets.front()->postcode
                && s->city == streets.front()->city;
        });
    }

    Answer areaAnswer() const
    {
        if (const PostcodeRecord *best = bestPostcode()) {
            const PlaceCandidate *near = placeNear(best->latitude, best->longitude);
            const bool serves = servesCity(*best);
            const bool consistent = cityKey.empty() || serves || near;
            // "02134 Boston": the ZIP's own name is Allston, a part of Boston; say what the user said.
            const QString cityName = serves || !near ? best->place : shownName(*near);
            Answer answer{consistent ? MatchQuality::FirstGood : MatchQuality::Ambiguous, {postcodeMatch(*best, cityName)}};
            if (consistent) {
                if (near)
                    answer.matches.push_back(placeMatch(*near));
                return answer;
            }
            for (const PostcodeRecord &p : postcodes)
                if (&p != best)
                    answer.matches.push_back(postcodeMatch(p, p.place));
            for (const PlaceCandidate &p : places)
                answer.matches.push_back(placeMatch(p));
            return answer;
        }
        if (!placedPostcodes.empty())
            return placedPostcodeAnswer();
        if (places.empty())
            return {MatchQuality::Partial, {}};
        Answer answer{MatchQuality::Ambiguous, {}};
        if (fuzzy())
            answer.quality = MatchQuality::Partial;
        else if (places.size() == 1 || places[0].record.population >= Dominance * std::max<qint64>(1, places[1].record.population)
                 || ownNameDecides())
            answer.quality = MatchQuality::FirstGood;
        for (const PlaceCandidate &p : places)
            answer.matches.push_back(placeMatch(p));
        return answer;
    }

    // A place called by its own name outranks places that carry the name among their alternates,
    // unless one of those is larger; namesakes of its own name it must dominate as usual.
    bool ownNameDecides() const
    {
        const PlaceCandidate &first = places.front();
        if (first.hit.name != 0)
            return false;
        for (size_t i = 1; i < places.size(); ++i)
            if (places[i].hit.name == 0 && first.record.population < Dominance * std::max<qint64>(1, places[i].record.population))
                return false;
        return true;
    }

    // Postcodes located at the places they serve (see PostcodeRecord::atPlace) pick among the
    // city's namesakes and check the city, but the answer is a place, never the postcode area.
    Answer placedPostcodeAnswer() const
    {
        const PlaceCandidate *nearest = nullptr;
        double nearestKm = SamePlaceKm;
        for (const PostcodeRecord &p : placedPostcodes)
            for (const PlaceCandidate &c : places)
                if (const double d = GreatCircle::distanceKm(p.latitude, p.longitude, c.record.latitude, c.record.longitude); d < nearestKm) {
                    nearestKm = d;
                    nearest = &c;
                }
        if (nearest)
            return {MatchQuality::FirstGood, {placeMatch(*nearest)}};
        const std::vector<std::string> typed = TextKey::nameWords(city);
        std::vector<const PostcodeRecord *> served;
        for (const PostcodeRecord &p : placedPostcodes)
            if (typed.empty() || TextKey::wordsAbbreviate(typed, TextKey::nameWords(p.place), true))
                if (std::none_of(served.begin(), served.end(), [&](const PostcodeRecord *s) {
                        return within(s->latitude, s->longitude, p.latitude, p.longitude, DuplicateKm);
                    }))
                    served.push_back(&p);
        Answer answer{served.size() == 1 ? MatchQuality::FirstGood : MatchQuality::Ambiguous, {}};
        for (const PostcodeRecord *p : served)
            answer.matches.push_back(servedPlaceMatch(*p));
        if (!served.empty())
            return answer;
        // The postcode lies elsewhere than the city: both, for a person to decide.
        for (const PlaceCandidate &p : places)
            answer.matches.push_back(placeMatch(p));
        for (const PostcodeRecord &p : placedPostcodes)
            answer.matches.push_back(servedPlaceMatch(p));
        return answer;
    }

    Match servedPlaceMatch(const PostcodeRecord &p) const
    {
        return {LocationKind::PopulatedPlace, AddressFormat::place(p.country, p.place, {}), p.latitude, p.longitude, {}};
    }

    const Gazetteer &g;
    const QStringList countries;
    const QString street, city, postcode, givenPostcode;
    const std::string cityKey;
    const std::vector<uint32_t> countryCodes;
    const std::vector<std::string> postcodeKeys;   // the typed postcode's key in each country, or empty
    std::vector<PostcodeRecord> postcodes, placedPostcodes;
    bool zerosRestored = false;   // a postcode was found only with its leading zeros restored
    std::vector<PlaceCandidate> places;
    bool typoSuspected = false;
};

} // namespace

Geocoder::Geocoder(std::shared_ptr<const Gazetteer> g, Edition e) : m_gazetteer(std::move(g)), m_edition(e) {}

Answer Geocoder::lookup(const QString &street, const QString &city, const QString &postcode, int countryNumber) const
{
    const QStringList &edition = m_edition == Edition::Europe ? EuropeanCountries : NorthAmericanCountries;
    QStringList countries;
    if (countryNumber == 0)
        countries = edition;
    else if (const QStringList *one = singleCountry(edition, countryNumber))
        countries = *one;
    const QString s = TextKey::cleaned(street), c = TextKey::cleaned(city), p = TextKey::cleaned(postcode);
    if (countries.isEmpty() || (s.isEmpty() && c.isEmpty() && p.isEmpty()))
        return {MatchQuality::Partial, {}};
    Answer answer = Lookup(*m_gazetteer, countries, s, CityAndPostcode::read(*m_gazetteer, c, p)).run();
    // The gazetteer's texts are views of its mapping; an answer owns its own.
    for (Match &m : answer.matches) {
        m.displayName = ownedText(m.displayName);
        if (m.postal)
            *m.postal = {ownedText(m.postal->postcode), ownedText(m.postal->city), ownedText(m.postal->street)};
    }
    return answer;
}

} // namespace Engine
