// bench_answers INPUTS GAZETTEER...: every answer the engine gives to a list of questions, one
// line each, so that two builds can be compared byte for byte before and after a change to how
// answers are computed. A question is a tab-separated line:
//   L  EU|NA  COUNTRY  STREET  CITY  POSTCODE     address lookup
//   P  SOUTH  WEST  NORTH  EAST  MINPOP  LIMIT    places drawn in a box
//   S  SOUTH  WEST  NORTH  EAST  LIMIT            streets drawn in a box
//   V  LAT  LON                                   the place a point belongs to

#include "Geocoder.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

QString number(double v)
{
    return QString::number(v, 'f', 7);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench_answers INPUTS GAZETTEER...\n");
        return 2;
    }
    QFile inputs(args[1]);
    if (!inputs.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_answers: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    try {
        const auto gazetteer = Engine::Gazetteer::open(args.mid(2));
        const Engine::Geocoder eu(gazetteer, Engine::Edition::Europe), na(gazetteer, Engine::Edition::NorthAmerica);
        QTextStream out(stdout);
        while (!inputs.atEnd()) {
            const QStringList f = QString::fromUtf8(inputs.readLine()).chopped(1).split(u'\t');
            QStringList line{f.join(u'|')};
            if (f[0] == u"L" && f.size() == 6) {
                const Engine::Answer a = (f[1] == u"NA" ? na : eu).lookup(f[3], f[4], f[5], f[2].toInt());
                line << QString::number(int(a.quality));
                for (const Engine::Match &m : a.matches) {
                    line << QStringLiteral("%1 %2 %3 %4").arg(int(m.kind)).arg(m.displayName, number(m.latitude), number(m.longitude));
                    if (m.postal)
                        line << QStringLiteral("[%1|%2|%3]").arg(m.postal->postcode, m.postal->city, m.postal->street);
                }
            } else if (f[0] == u"P" && f.size() == 7) {
                for (const Engine::PlaceLabel &p : gazetteer->placesIn({f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toDouble()},
                                                                      f[5].toLongLong(), f[6].toInt()))
                    line << QStringLiteral("%1 %2 %3 %4").arg(p.name, number(p.latitude), number(p.longitude)).arg(p.population);
            } else if (f[0] == u"S" && f.size() == 6) {
                for (const Engine::StreetLine &s : gazetteer->streetsIn({f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toDouble()},
                                                                       f[5].toInt()))
                    line << QStringLiteral("%1 %2 %3 %4").arg(s.name).arg(s.latLon.size()).arg(number(s.latLon.front().first),
                                                                                             number(s.latLon.back().second));
            } else if (f[0] == u"V" && f.size() == 3) {
                const auto p = gazetteer->placeServing(f[1].toDouble(), f[2].toDouble());
                line << (p ? p->name : QStringLiteral("-"));
            }
            out << line.join(u'\t') << '\n';
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_answers: %s\n", e.what());
        return 1;
    }
    return 0;
}
