#include "Geocoder.h"

#include <array>
#include <utility>

namespace Engine {

namespace {

// The map country numbers of the country table.
constexpr std::array<std::pair<int, const char16_t *>, 16> Countries{{
    {94, u"DE"}, {14, u"AT"}, {223, u"CH"}, {145, u"LI"}, {118, u"IT"}, {84, u"FR"}, {217, u"ES"},
    {193, u"PT"}, {21, u"BE"}, {176, u"NL"}, {147, u"LU"}, {61, u"DK"}, {242, u"GB"}, {68, u"IE"},
    {244, u"US"}, {39, u"CA"},
}};

} // namespace

int countryNumberFor(const QString &iso2)
{
    for (const auto &[number, iso] : Countries)
        if (iso2.compare(QStringView(iso), Qt::CaseInsensitive) == 0)
            return number;
    return 0;
}

QString isoCodeFor(int countryNumber)
{
    for (const auto &[number, iso] : Countries)
        if (number == countryNumber)
            return QString::fromUtf16(iso);
    return {};
}

} // namespace Engine
