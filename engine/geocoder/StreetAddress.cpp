#include "StreetAddress.h"

#include <QRegularExpression>

namespace Engine {

std::vector<StreetAddress> StreetAddress::readings(const QString &text, bool countryWritesNumberFirst)
{
    static const QRegularExpression trailing(
        QStringLiteral(R"(^(.*[^\d\s,])[\s,.]*\s(\d+\s?[a-zA-Z]?(?:\s?[-/–—]\s?\d+\s?[a-zA-Z]?)?)$)"));
    static const QRegularExpression trailingAfterDot(
        QStringLiteral(R"(^(.*\.)(\d+\s?[a-zA-Z]?(?:\s?[-/–—]\s?\d+\s?[a-zA-Z]?)?)$)"));
    static const QRegularExpression leading(
        QStringLiteral(R"(^(\d+\s?[a-zA-Z]?(?:\s?[-/–—]\s?\d+[a-zA-Z]?)?)[\s,]+(.*\D.*)$)"));

    std::vector<StreetAddress> out;
    auto addTrailing = [&] {
        QRegularExpressionMatch m = trailing.match(text);
        if (!m.hasMatch())
            m = trailingAfterDot.match(text);
        if (m.hasMatch())
            out.push_back({m.captured(1).trimmed(), m.captured(2), false});
    };
    auto addLeading = [&] {
        const QRegularExpressionMatch m = leading.match(text);
        if (m.hasMatch())
            out.push_back({m.captured(2).trimmed(), m.captured(1), true});
    };
    if (countryWritesNumberFirst) {
        addLeading();
        addTrailing();
    } else {
        addTrailing();
        addLeading();
    }
    out.push_back({text, QString(), false});
    return out;
}

QString StreetAddress::rangeStart() const
{
    static const QRegularExpression range(QStringLiteral(R"(^(\d+)\s?[a-zA-Z]?\s?[-–—]\s?\d+\s?[a-zA-Z]?$)"));
    const QRegularExpressionMatch m = range.match(houseNumber);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace Engine
