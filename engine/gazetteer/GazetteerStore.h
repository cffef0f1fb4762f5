#pragma once
// A gazetteer file (SQLite) opened for writing. Every change happens inside one transaction that
// commit() makes durable; a store destroyed without commit() leaves the file as it was.

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

#include <array>
#include <utility>
#include <vector>

namespace Engine {

struct PlaceRecord;
struct PostcodeRecord;
struct AddressRecord;

class GazetteerStore {
public:
    // Creates the file and its folder when missing; throws GazetteerError.
    explicit GazetteerStore(const QString &file);
    ~GazetteerStore();
    GazetteerStore(const GazetteerStore &) = delete;
    GazetteerStore &operator=(const GazetteerStore &) = delete;

    // Records are keyed by their source's identifier, so importing a file again replaces them.
    void putPlace(const QString &source, const QString &sourceId, const PlaceRecord &place,
                  const QString &alternates);
    void putPostcode(const QString &source, const PostcodeRecord &postcode);
    void putStreet(const QString &sourceId, const QString &country, const QString &name,
                   const QString &postcode, const QString &city,
                   const std::vector<std::pair<double, double>> &latLon);
    void putAddress(const QString &sourceId, const AddressRecord &address);
    void commit();

    static constexpr const char *Format = "orvane-gazetteer 1";

private:
    void begin();
    void close();
    void exec(const char *sql);
    [[noreturn]] void fail(const QString &what) const;
    sqlite3_stmt *prepare(const char *sql);
    void step(sqlite3_stmt *s);
    void bindText(sqlite3_stmt *s, int i, const QString &text);

    QString m_file;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_place = nullptr, *m_postcode = nullptr, *m_street = nullptr, *m_address = nullptr;
    bool m_open = false;
    // The bound values of the record being written (texts by parameter number, a street's points).
    std::array<QByteArray, 9> m_text;
    std::vector<float> m_geometry;
};

} // namespace Engine
