#pragma once
// Folded keys under which names, streets and postcodes are indexed and looked up. Both sides go
// through the same folding, so "München", "MÜNCHEN", "Muenchen" and "Munchen" share one key, as do
// "Haydnstraße", "Haydnstr." and "Haydn Strasse", or "St. Gallen" and "Sankt Gallen".

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>
#include <vector>

namespace Engine::TextKey {

// Place and street names: case, diacritics, two-letter umlauts, ß, separators and the common
// abbreviations folded away. The result is empty when the text holds no letter or digit.
std::string name(QStringView text);
// The same key word by word: name() is their concatenation.
std::vector<std::string> nameWords(QStringView text);
// Whether a name's words are typed as words: in order, each whole or shortened to its first letter
// and some later ones ("a." Am, "OPf." Oberpfalz), the name's linking words ("am", "an der",
// "sur") optional. With restOptional the name may go on after the typed words.
bool wordsAbbreviate(const std::vector<std::string> &typed, const std::vector<std::string> &name, bool restOptional);

// Postcode in the country's canonical form without separators: US ZIP (5 digits, ZIP+4 and lost
// leading zeros repaired), CA/GB/NL without space, a "D-" style country prefix dropped.
std::string postcode(QStringView countryIso, QStringView text);
// The district a full postcode belongs to (CA FSA, GB/IE outward code, NL/PT digits), or empty.
std::string postcodeDistrict(QStringView countryIso, const std::string &postcodeKey);

// House number: lower case without blanks ("5 a" -> "5a"); digits on both sides of a separator
// keep one ("12/1", "1-3" -> "12-1", "1-3"), so they are not read as another house.
std::string houseNumber(QStringView text);

// Inputs from users: control characters and unpaired surrogates removed, blanks collapsed and
// trimmed, cut to a length no address part needs.
QString cleaned(QStringView text);
// The same, sharing the text itself when it needs no cleaning.
QString cleaned(const QString &text);

// Edits (insert, delete, substitute, swap of neighbours) between a and b, or maxEdits + 1 when more.
int editDistance(std::string_view a, std::string_view b, int maxEdits);

} // namespace Engine::TextKey
