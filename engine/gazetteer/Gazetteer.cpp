#include "Gazetteer.h"

#include "GazetteerStore.h"
#include "TextKey.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <string_view>

namespace Engine {

namespace {

// Pieces of one street closer than this (degrees, about 300 m) are one street split in pieces.
constexpr double PieceGap = 0.003;

QString programDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QString envPath(const char *name)
{
    return qEnvironmentVariable(name);
}

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString &file) : m_file(file)
    {
        if (!QFileInfo(file).isFile())
            throw GazetteerError(QStringLiteral("The gazetteer %1 does not exist.").arg(file));
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            fail();
        sqlite3_busy_timeout(m_db, 5000);
        // One read transaction, so that an import running meanwhile is seen whole or not at all.
        sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
        Query format(*this, "SELECT value FROM meta WHERE key = 'format'");
        if (!format.next() || format.text(0) != QLatin1String(GazetteerStore::Format))
            throw GazetteerError(QStringLiteral("%1 is not a gazetteer of this program.").arg(file));
    }
    ~ReadOnlyFile() { sqlite3_close(m_db); }
    [[noreturn]] void fail() const
    {
        throw GazetteerError(QStringLiteral("Cannot read the gazetteer %1: %2")
                                 .arg(m_file, m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString()));
    }

    class Query {
    public:
        Query(ReadOnlyFile &f, const char *sql) : m_f(f)
        {
            if (sqlite3_prepare_v2(f.m_db, sql, -1, &m_s, nullptr) != SQLITE_OK) {
                // A file without our tables is not a gazetteer; name it.
                throw GazetteerError(QStringLiteral("%1 is not a gazetteer of this program (%2).")
                                         .arg(f.m_file, QString::fromUtf8(sqlite3_errmsg(f.m_db))));
            }
        }
        ~Query() { sqlite3_finalize(m_s); }
        bool next()
        {
            const int rc = sqlite3_step(m_s);
            if (rc == SQLITE_ROW)
                return true;
            if (rc != SQLITE_DONE)
                m_f.fail();
            return false;
        }
        QString text(int i) const
        {
            return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_s, i)),
                                     sqlite3_column_bytes(m_s, i));
        }
        // Codes and place names repeat across thousands of rows; equal texts share one string.
        QString pooled(int i, std::unordered_map<std::string, QString> &pool) const
        {
            std::string bytes(reinterpret_cast<const char *>(sqlite3_column_text(m_s, i)),
                              size_t(sqlite3_column_bytes(m_s, i)));
            auto it = pool.find(bytes);
            if (it == pool.end())
                it = pool.emplace(std::move(bytes), text(i)).first;
            return it->second;
        }
        // A comma-separated list, empty items left out.
        std::vector<QString> list(int i) const
        {
            const char *p = reinterpret_cast<const char *>(sqlite3_column_text(m_s, i));
            const char *end = p + sqlite3_column_bytes(m_s, i);
            std::vector<QString> out;
            while (p < end) {
                const char *comma = std::find(p, end, ',');
                if (comma > p)
                    out.push_back(QString::fromUtf8(p, comma - p));
                p = comma + 1;
            }
            return out;
        }
        double real(int i) const { return sqlite3_column_double(m_s, i); }
        qint64 integer(int i) const { return sqlite3_column_int64(m_s, i); }
        std::vector<std::pair<double, double>> latLon(int i) const
        {
            const auto *f = static_cast<const float *>(sqlite3_column_blob(m_s, i));
            const int n = sqlite3_column_bytes(m_s, i) / int(2 * sizeof(float));
            std::vector<std::pair<double, double>> out;
            out.reserve(n);
            for (int k = 0; k < n; ++k)
                out.emplace_back(f[2 * k], f[2 * k + 1]);
            return out;
        }

    private:
        ReadOnlyFile &m_f;
        sqlite3_stmt *m_s = nullptr;
    };

private:
    QString m_file;
    sqlite3 *m_db = nullptr;
};

// Among names that fold alike, the one shown: umlauts and ß written out ("München" over
// "Muenchen"), then the main name, then the first alternate.
int displayScore(const QString &s, bool mainName)
{
    static const QString umlauts = QStringLiteral("äöüÄÖÜß");
    const bool umlaut = std::any_of(s.begin(), s.end(), [](QChar c) { return umlauts.contains(c); });
    return (umlaut ? 2 : 0) + (mainName ? 1 : 0);
}

// The bytes a key holds, folded into 64 bits. Every byte kind one key has and the other lacks
// costs at least one edit, so counting those bits bounds the edit distance from below.
uint64_t letterBits(std::string_view key)
{
    uint64_t bits = 0;
    for (unsigned char c : key)
        bits |= uint64_t(1) << (c % 64);
    return bits;
}

// Whether more than n bits are set; n is a small edit count, so clearing bits beats counting them.
bool moreBitsThan(uint64_t bits, int n)
{
    for (int i = 0; i < n && bits; ++i)
        bits &= bits - 1;
    return bits != 0;
}

bool inBox(const GeoBox &b, double lat, double lon)
{
    if (lat < b.south || lat > b.north)
        return false;
    return b.west <= b.east ? lon >= b.west && lon <= b.east : lon >= b.west || lon <= b.east;
}

bool overlaps(const GeoBox &a, const GeoBox &b)
{
    if (a.north < b.south || a.south > b.north)
        return false;
    if (b.west > b.east)   // the view crosses the antimeridian
        return a.east >= b.west || a.west <= b.east;
    return !(a.east < b.west || a.west > b.east);
}

GeoBox boundsOf(const std::vector<std::pair<double, double>> &latLon)
{
    GeoBox b{90, 180, -90, -180};
    for (const auto &[lat, lon] : latLon) {
        b.south = std::min(b.south, lat);
        b.north = std::max(b.north, lat);
        b.west = std::min(b.west, lon);
        b.east = std::max(b.east, lon);
    }
    return b;
}

} // namespace

template<typename Id>
void Gazetteer::KeyIndex<Id>::build(std::vector<std::pair<std::string, Id>> &&pairs)
{
    // Ids of one key keep their record order; sorting positions (ties broken by position) gives
    // that order without moving the keys around.
    std::vector<uint32_t> order(pairs.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const int c = pairs[a].first.compare(pairs[b].first);
        return c < 0 || (c == 0 && a < b);
    });
    keys.clear();
    entries.clear();
    ids.clear();
    ids.reserve(pairs.size());
    for (size_t i = 0; i < order.size();) {
        size_t j = i;
        const std::string &key = pairs[order[i]].first;
        while (j < order.size() && pairs[order[j]].first == key)
            ids.push_back(pairs[order[j++]].second);
        entries.push_back({uint32_t(keys.size()), uint32_t(key.size()), uint32_t(ids.size() - (j - i)), uint32_t(j - i)});
        keys += key;
        i = j;
    }
    // At most half full, so that a missing key ends its probe soon.
    table.assign(std::bit_ceil(std::max<size_t>(16, 2 * entries.size())), 0);
    const size_t mask = table.size() - 1;
    for (uint32_t e = 0; e < entries.size(); ++e) {
        const uint64_t h = std::hash<std::string_view>{}(key(e));
        size_t i = h & mask;
        while (table[i] != 0)
            i = (i + 1) & mask;
        table[i] = (h & 0xFFFFFFFF00000000u) | (e + 1);
    }
}

template<typename Id>
std::span<const Id> Gazetteer::KeyIndex<Id>::find(std::string_view k) const
{
    if (table.empty())
        return {};
    const uint64_t h = std::hash<std::string_view>{}(k);
    const size_t mask = table.size() - 1;
    for (size_t i = h & mask; table[i] != 0; i = (i + 1) & mask) {
        const uint64_t slot = table[i];
        if ((slot ^ h) >> 32 == 0 && key(uint32_t(slot) - 1) == k)
            return idsOf(uint32_t(slot) - 1);
    }
    return {};
}

QString Gazetteer::shippedFile()
{
    const QString env = envPath("ORVANE_GAZETTEER");
    if (!env.isEmpty())
        return env;
    const QString dir = programDir();
    const QStringList candidates{dir + QStringLiteral("/../share/orvane/gazetteer.sqlite"),
                                 dir + QStringLiteral("/gazetteer.sqlite")};
    for (const QString &c : candidates)
        if (QFileInfo(c).isFile())
            return QFileInfo(c).absoluteFilePath();
    return QFileInfo(candidates.front()).absoluteFilePath();
}

QString Gazetteer::userFile()
{
    const QString env = envPath("ORVANE_USER_GAZETTEER");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Orvane/gazetteer.sqlite");
}

std::shared_ptr<const Gazetteer> Gazetteer::openDefault()
{
    const QString shipped = shippedFile();
    if (!QFileInfo(shipped).isFile())
        throw GazetteerError(QStringLiteral("The program's gazetteer %1 is missing. Build the project again, "
                                            "or point ORVANE_GAZETTEER at a gazetteer file.").arg(shipped));
    QStringList files{shipped};
    const QString user = userFile();
    if (QFileInfo(user).isFile() && QFileInfo(user).absoluteFilePath() != QFileInfo(shipped).absoluteFilePath())
        files << user;
    return open(files);
}

std::shared_ptr<const Gazetteer> Gazetteer::open(const QStringList &files)
{
    auto g = std::shared_ptr<Gazetteer>(new Gazetteer);
    std::vector<StreetPiece> pieces;
    QHash<QString, uint32_t> placeSlots, postcodeSlots;
    for (qsizetype i = 0; i < files.size(); ++i)
        g->load(files[i], pieces, placeSlots, postcodeSlots, i + 1 < files.size());
    g->buildStreets(std::move(pieces));
    g->buildIndexes();
    return g;
}

void Gazetteer::load(const QString &file, std::vector<StreetPiece> &pieces,
                     QHash<QString, uint32_t> &placeSlot, QHash<QString, uint32_t> &slot, bool moreFiles)
{
    ReadOnlyFile db(file);
    // A later file replaces the records of an earlier one that come from the same source record.
    // Within one file the source identifiers are unique, so the slots are only kept for the files
    // that follow and only searched when an earlier file filled them.
    std::unordered_map<std::string, QString> pool;

    {
        ReadOnlyFile::Query q(db, "SELECT source, source_id, country, name, alternates, admin1, latitude, "
                                  "longitude, population FROM place");
        while (q.next()) {
            PlaceRecord p{q.pooled(2, pool), q.text(3), q.pooled(5, pool), q.real(6), q.real(7), q.integer(8)};
            std::vector<QString> alternates = q.list(4);
            if (placeSlot.isEmpty() && !moreFiles) {
                m_places.push_back(std::move(p));
                m_placeNames.push_back(std::move(alternates));
                continue;
            }
            const QString id = q.text(0) + u'\x1f' + q.text(1);
            const auto it = placeSlot.constFind(id);
            if (it != placeSlot.constEnd()) {
                m_places[*it] = std::move(p);
                m_placeNames[*it] = std::move(alternates);
            } else {
                if (moreFiles)
                    placeSlot.insert(id, uint32_t(m_places.size()));
                m_places.push_back(std::move(p));
                m_placeNames.push_back(std::move(alternates));
            }
        }
    }
    {
        ReadOnlyFile::Query q(db, "SELECT country, code, place, admin1, latitude, longitude, kind FROM postcode");
        while (q.next()) {
            PostcodeRecord p{q.pooled(0, pool), q.text(1), q.pooled(2, pool), q.pooled(3, pool), q.real(4), q.real(5),
                             int(q.integer(6))};
            if (slot.isEmpty() && !moreFiles) {
                m_postcodes.push_back(std::move(p));
                continue;
            }
            const QString id = p.country + u'\x1f' + p.code + u'\x1f' + p.place;
            const auto it = slot.constFind(id);
            if (it != slot.constEnd()) {
                if (p.admin1.isEmpty())   // OSM postcodes do not name the state the ZIP data has
                    p.admin1 = m_postcodes[*it].admin1;
                m_postcodes[*it] = std::move(p);
            }
            else {
                if (moreFiles)
                    slot.insert(id, uint32_t(m_postcodes.size()));
                m_postcodes.push_back(std::move(p));
            }
        }
    }
    {
        ReadOnlyFile::Query q(db, "SELECT country, name, postcode, city, geometry FROM street");
        while (q.next())
            pieces.push_back({q.pooled(0, pool), q.text(1), q.pooled(2, pool), q.pooled(3, pool), q.latLon(4)});
    }
    {
        ReadOnlyFile::Query q(db, "SELECT country, street, housenumber, postcode, city, latitude, longitude FROM address");
        while (q.next())
            m_addresses.push_back({q.pooled(0, pool), q.pooled(1, pool), q.text(2), q.pooled(3, pool), q.pooled(4, pool),
                                   q.real(5), q.real(6)});
    }
}

void Gazetteer::buildStreets(std::vector<StreetPiece> &&pieces)
{
    // Group the ways of one street (same name, postcode and place), then split each group where
    // its pieces lie apart: two streets of one name in different villages stay two results.
    std::vector<uint32_t> order(pieces.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::string> groupKey(pieces.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        const StreetPiece &p = pieces[i];
        groupKey[i] = p.country.toStdString() + ':' + TextKey::name(p.name) + ':'
            + TextKey::postcode(p.country, p.postcode) + ':' + TextKey::name(p.city);
    }
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return groupKey[a] < groupKey[b]; });

    for (size_t i = 0; i < order.size();) {
        size_t j = i;
        while (j < order.size() && groupKey[order[j]] == groupKey[order[i]])
            ++j;
        std::vector<GeoBox> boxes;
        for (size_t k = i; k < j; ++k)
            boxes.push_back(boundsOf(pieces[order[k]].latLon));
        std::vector<int> cluster(j - i, -1);
        int clusters = 0;
        for (size_t k = 0; k < cluster.size(); ++k) {
            if (cluster[k] >= 0)
                continue;
            cluster[k] = clusters;
            std::vector<size_t> todo{k};
            while (!todo.empty()) {
                const size_t a = todo.back();
                todo.pop_back();
                GeoBox grown{boxes[a].south - PieceGap, boxes[a].west - PieceGap,
                             boxes[a].north + PieceGap, boxes[a].east + PieceGap};
                for (size_t b = 0; b < cluster.size(); ++b)
                    if (cluster[b] < 0 && overlaps(boxes[b], grown)) {
                        cluster[b] = clusters;
                        todo.push_back(b);
                    }
            }
            ++clusters;
        }
        for (int c = 0; c < clusters; ++c) {
            StreetRecord s;
            size_t longest = 0;
            for (size_t k = 0; k < cluster.size(); ++k) {
                if (cluster[k] != c)
                    continue;
                StreetPiece &p = pieces[order[i + k]];
                if (s.pieces.empty()) {
                    s.country = p.country;
                    s.name = p.name;
                    s.postcode = p.postcode;
                    s.city = p.city;
                }
                if (p.latLon.size() > longest) {
                    longest = p.latLon.size();
                    std::tie(s.latitude, s.longitude) = p.latLon[p.latLon.size() / 2];
                }
                s.pieces.push_back(std::move(p.latLon));
            }
            std::vector<std::pair<double, double>> all;
            for (const auto &piece : s.pieces)
                all.insert(all.end(), piece.begin(), piece.end());
            s.bounds = boundsOf(all);
            if (!all.empty())
                m_streets.push_back(std::move(s));
        }
        i = j;
    }
}

void Gazetteer::buildIndexes()
{
    {
        std::vector<std::pair<std::string, PlaceHit>> pairs;
        pairs.reserve(m_places.size() * 4);
        std::vector<std::pair<std::string, uint16_t>> keys;
        for (uint32_t i = 0; i < m_places.size(); ++i) {
            // One entry per key and place, under the name shown for it.
            keys.clear();
            const auto &alts = m_placeNames[i];
            for (size_t n = 0; n <= alts.size() && n < 0xFFFF; ++n) {
                const QString &name = n == 0 ? m_places[i].name : alts[n - 1];
                std::string key = TextKey::name(name);
                if (key.empty())
                    continue;
                auto it = std::find_if(keys.begin(), keys.end(), [&](const auto &k) { return k.first == key; });
                if (it == keys.end())
                    keys.emplace_back(std::move(key), uint16_t(n));
                else if (displayScore(name, n == 0) > displayScore(placeName({i, it->second}), it->second == 0))
                    it->second = uint16_t(n);
            }
            for (auto &[key, n] : keys)
                pairs.emplace_back(std::move(key), PlaceHit{i, n});
        }
        const size_t pairCount = pairs.size();
        m_placeIndex.build(std::move(pairs));
        m_placeKeys.clear();
        m_keysByHead.clear();
        m_keysByTail.clear();
        // Typo candidates of equal rank are answered in this order, the order of a hash set of
        // the keys filled in key order, as they always have been.
        std::unordered_map<std::string_view, uint32_t> hashOrder;
        hashOrder.reserve(pairCount);
        for (uint32_t e = 0; e < m_placeIndex.entries.size(); ++e)
            hashOrder.emplace(m_placeIndex.key(e), e);
        for (const auto &[key, entry] : hashOrder) {
            if (key.size() < 4)
                continue;
            const auto k = uint32_t(m_placeKeys.size());
            m_placeKeys.push_back(entry);
            const KeyShape shape{letterBits(key), uint32_t(key.size()), k, 0};
            m_keysByHead[std::string(key.substr(0, 2))].shapes.push_back(shape);
            m_keysByTail[std::string(key.substr(key.size() - 3))].shapes.push_back(shape);
        }
        // By length, so that a search reads only the keys of a length within reach; the key's
        // number breaks ties, keeping the candidates in the index's order.
        for (auto *buckets : {&m_keysByHead, &m_keysByTail})
            for (auto &[head, bucket] : *buckets) {
                std::sort(bucket.shapes.begin(), bucket.shapes.end(), [](const KeyShape &a, const KeyShape &b) {
                    return a.size != b.size ? a.size < b.size : a.key < b.key;
                });
                for (KeyShape &shape : bucket.shapes) {
                    shape.at = uint32_t(bucket.bytes.size());
                    bucket.bytes += m_placeIndex.key(m_placeKeys[shape.key]);
                }
            }
    }
    {
        std::vector<std::pair<std::string, uint32_t>> pairs;
        for (uint32_t i = 0; i < m_postcodes.size(); ++i) {
            const PostcodeRecord &p = m_postcodes[i];
            pairs.emplace_back(p.country.toStdString() + ':' + TextKey::postcode(p.country, p.code), i);
        }
        m_postcodeIndex.build(std::move(pairs));
    }
    {
        std::vector<std::pair<std::string, uint32_t>> pairs;
        for (uint32_t i = 0; i < m_streets.size(); ++i)
            pairs.emplace_back(m_streets[i].country.toStdString() + ':' + TextKey::name(m_streets[i].name), i);
        m_streetIndex.build(std::move(pairs));
    }
    {
        std::vector<std::pair<std::string, uint32_t>> pairs;
        for (uint32_t i = 0; i < m_addresses.size(); ++i) {
            const AddressRecord &a = m_addresses[i];
            pairs.emplace_back(a.country.toStdString() + ':' + TextKey::name(a.street) + '#'
                                   + TextKey::houseNumber(a.houseNumber), i);
        }
        m_addressIndex.build(std::move(pairs));
    }
    m_placesByPopulation.resize(m_places.size());
    std::iota(m_placesByPopulation.begin(), m_placesByPopulation.end(), 0);
    std::stable_sort(m_placesByPopulation.begin(), m_placesByPopulation.end(),
                     [&](uint32_t a, uint32_t b) { return m_places[a].population > m_places[b].population; });
}

const QString &Gazetteer::placeName(const PlaceHit &hit) const
{
    return hit.name == 0 ? m_places[hit.place].name : m_placeNames[hit.place][hit.name - 1];
}

const QString *Gazetteer::placeNameWritten(uint32_t place, const QString &text) const
{
    // Case-insensitive equality folds unit by unit: only names of the text's length can match.
    const QString &name = m_places[place].name;
    auto written = [&](const QString &n) {
        return n.size() == text.size() && (n == text || n.compare(text, Qt::CaseInsensitive) == 0);
    };
    if (written(name))
        return &name;
    for (const QString &n : m_placeNames[place])
        if (written(n))
            return &n;
    return nullptr;
}

std::span<const Gazetteer::PlaceHit> Gazetteer::placesNamed(const std::string &nameKey) const
{
    return m_placeIndex.find(nameKey);
}

std::span<const uint32_t> Gazetteer::postcodesCoded(const std::string &key) const
{
    return m_postcodeIndex.find(key);
}

std::span<const uint32_t> Gazetteer::streetsNamed(const std::string &key) const
{
    return m_streetIndex.find(key);
}

std::span<const uint32_t> Gazetteer::addressesAt(const std::string &key) const
{
    return m_addressIndex.find(key);
}

std::vector<std::pair<Gazetteer::PlaceHit, int>> Gazetteer::placesNamedLike(const std::string &nameKey,
                                                                          int maxEdits) const
{
    std::vector<std::pair<PlaceHit, int>> out;
    if (nameKey.size() < 4)
        return out;
    const uint64_t letters = letterBits(nameKey);
    const uint32_t shortest = uint32_t(std::max<int>(0, int(nameKey.size()) - maxEdits));
    const uint32_t longest = uint32_t(nameKey.size()) + uint32_t(maxEdits);
    const std::string_view typed(nameKey);
    std::vector<std::pair<uint32_t, int>> near;
    // A key in both buckets is measured once: the tail scan passes over keys with the same head,
    // which the head scan has seen. Within a bucket the keys are measured by length but reported
    // in the index's order.
    auto scan = [&](const std::string &bucket, const auto &buckets, bool skipSameHead) {
        const auto it = buckets.find(bucket);
        if (it == buckets.end())
            return;
        const std::vector<KeyShape> &shapes = it->second.shapes;
        const std::string &bytes = it->second.bytes;
        auto shape = std::lower_bound(shapes.begin(), shapes.end(), shortest,
                                      [](const KeyShape &s, uint32_t size) { return s.size < size; });
        near.clear();
        for (; shape != shapes.end() && shape->size <= longest; ++shape) {
            if (moreBitsThan(letters & ~shape->letters, maxEdits) || moreBitsThan(shape->letters & ~letters, maxEdits))
                continue;
            const std::string_view key(bytes.data() + shape->at, shape->size);
            if (key == typed || (skipSameHead && key.substr(0, 2) == typed.substr(0, 2)))
                continue;
            const int d = TextKey::editDistance(nameKey, key, maxEdits);
            if (d <= maxEdits)
                near.emplace_back(shape->key, d);
        }
        std::sort(near.begin(), near.end());
        for (const auto &[k, d] : near)
            for (const PlaceHit &hit : m_placeIndex.idsOf(m_placeKeys[k]))
                out.emplace_back(hit, d);
    };
    scan(nameKey.substr(0, 2), m_keysByHead, false);
    scan(nameKey.substr(nameKey.size() - 3), m_keysByTail, true);
    return out;
}

std::vector<PlaceLabel> Gazetteer::placesIn(const GeoBox &box, qint64 minPopulation, int limit) const
{
    std::vector<PlaceLabel> out;
    for (uint32_t i : m_placesByPopulation) {
        const PlaceRecord &p = m_places[i];
        if (p.population < minPopulation || int(out.size()) >= limit)
            break;
        if (inBox(box, p.latitude, p.longitude))
            out.push_back({p.name, p.latitude, p.longitude, p.population});
    }
    return out;
}

const PlaceRecord *Gazetteer::placeServing(double latitude, double longitude) const
{
    constexpr double reachKm = 15.0, kmPerDegree = 111.2;
    const double cosLat = std::max(0.01, std::cos(latitude * M_PI / 180));
    const PlaceRecord *best = nullptr;
    double bestScore = 0;
    for (const PlaceRecord &p : m_places) {
        const double dy = (p.latitude - latitude) * kmPerDegree, dx = (p.longitude - longitude) * kmPerDegree * cosLat;
        const double d = std::sqrt(dx * dx + dy * dy);
        if (d > reachKm)
            continue;
        const double score = double(std::max<qint64>(p.population, 1)) / ((d + 1) * (d + 1));
        if (score > bestScore) {
            bestScore = score;
            best = &p;
        }
    }
    return best;
}

std::vector<StreetLine> Gazetteer::streetsIn(const GeoBox &box, int limit) const
{
    std::vector<StreetLine> out;
    for (const StreetRecord &s : m_streets) {
        if (!overlaps(s.bounds, box))
            continue;
        for (const auto &piece : s.pieces) {
            if (int(out.size()) >= limit)
                return out;
            out.push_back({s.name, piece});
        }
    }
    return out;
}

} // namespace Engine
