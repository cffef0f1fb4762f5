#include "StreetAddress.h"

#include <QRegularExpression>

#include <algorithm>

namespace Engine {

namespace {

bool startsWithDigit(const QString &text)
{
    return !text.isEmpty() && text.front() >= u'0' && text.front() <= u'9';
}

} // namespace

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
        // Most streets are typed name first; the pattern is not worth running for them.
        if (!startsWithDigit(text))
            return;
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
    // A single house, the most common number, has no dash to look for.
    const bool dashed = std::any_of(houseNumber.begin(), houseNumber.end(), [](QChar c) { return c == u'-' || c == u'–' || c == u'—'; });
    if (!startsWithDigit(houseNumber) || !dashed)
        return {};
    const QRegularExpressionMatch m = range.match(houseNumber);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace Engine
