#include "StreetAddress.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <span>

namespace Engine {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The patterns' own classes: ASCII only.
bool isSpace(QChar c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool isLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool startsWithDigit(const QString &text)
{
    return !text.isEmpty() && isDigit(text.front());
}

// A house number as the trailing pattern reads one, all of text: digits, maybe a space and a
// letter, maybe a dash or slash and a second number ("12 a", "3-5", "7/9b").
enum class Part { Digits, Space, Letter, Dash };
struct Step { Part part; bool optional; };
constexpr Step Single[] = {{Part::Digits, false}, {Part::Space, true}, {Part::Letter, true}};
constexpr Step Range[] = {{Part::Digits, false}, {Part::Space, true}, {Part::Letter, true}, {Part::Space, true}, {Part::Dash, false},
                          {Part::Space, true}, {Part::Digits, false}, {Part::Space, true}, {Part::Letter, true}};

bool fits(Part part, QChar c)
{
    switch (part) {
    case Part::Space: return isSpace(c);
    case Part::Letter: return isLetter(c);
    case Part::Dash: return c == u'-' || c == u'/' || c == u'–' || c == u'—';
    case Part::Digits: return isDigit(c);
    }
    return false;
}

// What follows digits is never a digit, so a run of them is taken whole.
bool matches(QStringView text, std::span<const Step> steps)
{
    if (steps.empty())
        return text.isEmpty();
    const Step step = steps.front();
    if (step.part == Part::Digits) {
        qsizetype n = 0;
        while (n < text.size() && isDigit(text[n]))
            ++n;
        return n > 0 && matches(text.sliced(n), steps.subspan(1));
    }
    if (!text.isEmpty() && fits(step.part, text.front()) && matches(text.sliced(1), steps.subspan(1)))
        return true;
    return step.optional && matches(text, steps.subspan(1));
}

bool isHouseNumber(QStringView text)
{
    return matches(text, Single) || matches(text, Range);
}

// "Haydnstraße 5", "Am Markt, 3 a": the street, then the number after a space, read as the
// trailing pattern reads it (the longest street that leaves a number), which takes 30 times as
// long and runs on every lookup. Only a text with a line break, which the pattern treats in ways
// of its own, is left to it.
std::optional<StreetAddress> numberAtTheEnd(const QString &text)
{
    for (qsizetype end = text.size(); end > 0; --end) {
        const QChar last = text[end - 1];
        if (isDigit(last) || isSpace(last) || last == u',')
            continue;
        qsizetype number = end;
        while (number < text.size() && (isSpace(text[number]) || text[number] == u',' || text[number] == u'.'))
            ++number;
        if (number > end && isSpace(text[number - 1]) && isHouseNumber(QStringView(text).sliced(number)))
            return StreetAddress{text.first(end).trimmed(), text.sliced(number), false};
    }
    return std::nullopt;
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
    out.reserve(3);
    auto addTrailing = [&] {
        if (!text.contains(u'\n')) {
            if (std::optional<StreetAddress> a = numberAtTheEnd(text)) {
                out.push_back(std::move(*a));
                return;
            }
        } else if (const QRegularExpressionMatch m = trailing.match(text); m.hasMatch()) {
            out.push_back({m.captured(1).trimmed(), m.captured(2), false});
            return;
        }
        if (const QRegularExpressionMatch m = trailingAfterDot.match(text); m.hasMatch())
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
