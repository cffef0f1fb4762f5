#include "TextKey.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <cctype>
#include <array>
#include <string_view>
#include <vector>

namespace Engine::TextKey {
namespace {

constexpr qsizetype MaxInputLength = 200;

// Letters whose plain form is not reached by dropping accents.
const char *specialLetter(char16_t c)
{
    switch (c) {
    case u'ß': case u'ẞ': return "ss";
    case u'æ': case u'Æ': return "ae";
    case u'œ': case u'Œ': return "oe";
    case u'ø': case u'Ø': return "o";
    case u'đ': case u'Đ': case u'ð': case u'Ð': return "d";
    case u'ł': case u'Ł': case u'ŀ': case u'Ŀ': return "l";
    case u'þ': case u'Þ': return "th";
    case u'ı': return "i";
    default: return nullptr;
    }
}

// The letters Western European names are written with (Latin-1, Latin Extended-A and -B),
// decomposed once. Decomposing a text is decomposing each of its characters and then ordering the
// accents; forEachToken drops accents wherever they stand, so the order never matters.
constexpr char16_t DecomposedEnd = 0x250;

const std::array<std::u32string, DecomposedEnd> &decompositions()
{
    static const auto table = [] {
        std::array<std::u32string, DecomposedEnd> t;
        for (char16_t c = 0x80; c < DecomposedEnd; ++c)
            for (char32_t u : QString(QChar(c)).normalized(QString::NormalizationForm_KD).toUcs4())
                t[c].push_back(u);
        return t;
    }();
    return table;
}

// ASCII letters and digits in lower case; every other ASCII character separates tokens (0).
constexpr std::array<char, 0x80> AsciiFolded = [] {
    std::array<char, 0x80> t{};
    for (int c = 0; c < 0x80; ++c)
        if (c >= 'A' && c <= 'Z')
            t[c] = char(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            t[c] = char(c);
    return t;
}();

// A character beyond ASCII added to the token: a letter or digit folded, an accent dropped.
// False when it separates tokens.
bool appendFolded(std::string &token, char32_t c)
{
    if (const char *s = specialLetter(char16_t(c)); s && c <= 0xFFFF) {
        token += s;
        return true;
    }
    if (!QChar::isLetterOrNumber(c))
        return QChar::category(c) == QChar::Mark_NonSpacing || QChar::category(c) == QChar::Mark_SpacingCombining
            || QChar::category(c) == QChar::Mark_Enclosing;
    const QString lower = QString::fromUcs4(&c, 1).toCaseFolded();
    token += lower.toStdString();
    return true;
}

// Splits into lower-case ASCII tokens (other letters kept as UTF-8); anything that is not a letter
// or digit separates. Each token goes to use() in one reused buffer: keys are made for every
// name at import and for every typed part, so no token is allocated on its own, and the ASCII
// characters most names are made of are read without a call.
template<typename Use> void forEachToken(QStringView text, Use use)
{
    std::string current;
    auto flush = [&] {
        if (!current.empty())
            use(current);
        current.clear();
    };
    auto add = [&](char32_t c) {
        if (c < 0x80) {
            if (const char a = AsciiFolded[c])
                current.push_back(a);
            else
                flush();
        } else if (!appendFolded(current, c)) {
            flush();
        }
    };

    char16_t highest = 0;
    for (QChar ch : text)
        highest = std::max(highest, ch.unicode());
    if (highest < 0x80) {
        for (QChar ch : text)
            add(ch.unicode());
    } else if (highest < DecomposedEnd) {
        const auto &table = decompositions();
        for (QChar ch : text) {
            if (ch.unicode() < 0x80)
                add(ch.unicode());
            else
                for (char32_t c : table[ch.unicode()])
                    add(c);
        }
    } else {
        // Decompose so that accents become separate marks that appendFolded drops.
        const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
        for (char32_t c : decomposed.toUcs4())
            add(c);
    }
    flush();
}

bool endsWith(const std::string &s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

constexpr std::string_view synonyms[][2] = {
    {"saint", "st"}, {"sankt", "st"}, {"ste", "sainte"}, {"street", "st"}, {"strasse", "str"},
    {"avenue", "ave"}, {"av", "ave"}, {"road", "rd"}, {"drive", "dr"}, {"boulevard", "blvd"},
    {"lane", "ln"}, {"court", "ct"}, {"place", "pl"}, {"terrace", "ter"}, {"parkway", "pkwy"},
    {"highway", "hwy"}, {"north", "n"}, {"south", "s"}, {"east", "e"}, {"west", "w"},
};
constexpr size_t LongestSynonym = [] {
    size_t longest = 0;
    for (const auto &s : synonyms)
        longest = std::max(longest, s[0].size());
    return longest;
}();

// ae/oe/ue stand for ä/ö/ü in German names; folding them on both sides makes either spelling match.
void appendUmlautFolded(std::string &key, const std::string &t)
{
    size_t from = 0;
    for (size_t i = 0; i + 1 < t.size(); ++i)
        if (t[i + 1] == 'e' && (t[i] == 'a' || t[i] == 'o' || t[i] == 'u')) {
            key.append(t, from, i + 1 - from);
            from = i + 2;
            ++i;
        }
    key.append(t, from);
}

bool allDigits(const std::string &s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string alnumUpper(QStringView text)
{
    std::string out;
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 'a' && c <= 'z')
            out.push_back(char(c - 'a' + 'A'));
        else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            out.push_back(char(c));
    }
    return out;
}

// A token as a word of a key, appended to out: its synonym or street suffix shortened, its
// umlauts folded.
void appendWord(std::string &out, std::string &token)
{
    if (token.size() <= LongestSynonym)
        for (const auto &s : synonyms)
            if (token == s[0]) {
                token = s[1];
                break;
            }
    if (token != "strasse" && endsWith(token, "strasse"))
        token.replace(token.size() - 7, 7, "str");
    appendUmlautFolded(out, token);
}

// Words that link a place's name to its river, region or neighbour.
bool linkingWord(std::string_view w)
{
    static constexpr std::string_view words[] = {"am", "an", "auf", "bei", "d", "de", "dem", "den", "der", "des",
                                                 "di", "die", "du", "en", "im", "in", "la", "le", "les", "ob",
                                                 "on", "sous", "sur", "unter", "upon", "vor"};
    return std::find(std::begin(words), std::end(words), w) != std::end(words);
}

// "opf" shortens "oberpfalz": the same first letter, the rest in order.
bool shortens(const std::string &typed, const std::string &word)
{
    if (typed.empty() || typed.size() > 4 || typed.size() >= word.size() || typed[0] != word[0])
        return false;
    size_t at = 1;
    for (size_t i = 1; i < word.size() && at < typed.size(); ++i)
        if (word[i] == typed[at])
            ++at;
    return at == typed.size();
}

} // namespace

std::string name(QStringView text)
{
    std::string key;
    forEachToken(text, [&](std::string &t) { appendWord(key, t); });
    return key;
}

std::vector<std::string> nameWords(QStringView text)
{
    std::vector<std::string> words;
    forEachToken(text, [&](std::string &t) { appendWord(words.emplace_back(), t); });
    return words;
}

bool wordsAbbreviate(const std::vector<std::string> &typed, const std::vector<std::string> &name, bool restOptional)
{
    // reach[j]: the typed words read so far can stand for the name's first j words.
    std::vector<char> reach(name.size() + 1, 0);
    reach[0] = 1;
    for (size_t j = 0; j < name.size() && linkingWord(name[j]); ++j)
        reach[j + 1] = 1;
    for (const std::string &t : typed) {
        std::vector<char> next(name.size() + 1, 0);
        for (size_t j = 0; j < name.size(); ++j)
            if (reach[j] && (t == name[j] || shortens(t, name[j])))
                next[j + 1] = 1;
        for (size_t j = 0; j < name.size(); ++j)
            if (next[j] && linkingWord(name[j]))
                next[j + 1] = 1;
        reach.swap(next);
    }
    if (restOptional)
        return std::any_of(reach.begin(), reach.end(), [](char r) { return r != 0; });
    return reach[name.size()] != 0;
}

std::string postcode(QStringView countryIso, QStringView text)
{
    QStringView t = text.trimmed();
    // "D-80331", "CH-8001": the country prefix of continental mail.
    const qsizetype dash = t.indexOf(u'-');
    if (dash >= 1 && dash <= 3 && countryIso != u"US" && countryIso != u"CA") {
        bool letters = true;
        for (QChar c : t.first(dash))
            letters = letters && c.isLetter();
        if (letters)
            t = t.sliced(dash + 1);
    }
    if (countryIso == u"US") {
        const qsizetype plus4 = t.indexOf(u'-');
        if (plus4 >= 0)
            t = t.first(plus4);
        std::string digits = alnumUpper(t);
        if (!allDigits(digits))
            return digits;
        if (digits.size() == 9)
            digits.resize(5);
        if (digits.size() < 5)
            digits.insert(0, 5 - digits.size(), '0');
        return digits;
    }
    return alnumUpper(t);
}

std::string postcodeDistrict(QStringView countryIso, const std::string &key)
{
    if (countryIso == u"CA" && key.size() == 6)
        return key.substr(0, 3);
    if (countryIso == u"GB" && key.size() >= 5 && key.size() <= 7)
        return key.substr(0, key.size() - 3);
    if (countryIso == u"IE" && key.size() == 7)
        return key.substr(0, 3);
    if ((countryIso == u"NL" && key.size() == 6) || (countryIso == u"PT" && key.size() == 7))
        return key.substr(0, 4);
    return {};
}

std::string houseNumber(QStringView text)
{
    std::string out;
    forEachToken(text, [&](const std::string &t) {
        if (!out.empty() && std::isdigit(static_cast<unsigned char>(out.back())) && std::isdigit(static_cast<unsigned char>(t.front())))
            out.push_back('-');
        out += t;
    });
    return out;
}

namespace {

// Whether cleaned() would give the text back unchanged: the usual case, worth a copy-free answer.
bool alreadyClean(QStringView text)
{
    if (text.size() > MaxInputLength)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
            if (c == u' ' && (i == 0 || i + 1 == text.size() || text[i + 1] == u' '))
                return false;
            continue;
        }
        if (c.isSurrogate() || c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return false;
    }
    return true;
}

} // namespace

QString cleaned(const QString &text)
{
    if (alreadyClean(text))
        return text;
    return cleaned(QStringView(text));
}

QString cleaned(QStringView text)
{
    QString out;
    out.reserve(std::min(text.size(), MaxInputLength));
    bool blank = false;
    for (qsizetype i = 0; i < text.size() && out.size() < MaxInputLength; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out.append(c).append(text[i + 1]);
            ++i;
            blank = false;
            continue;
        }
        if (c.isSpace()) {
            blank = !out.isEmpty();
            continue;
        }
        if (c.isSurrogate() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            continue;
        if (blank)
            out.append(u' ');
        blank = false;
        out.append(c);
    }
    return out;
}

int editDistance(std::string_view a, std::string_view b, int maxEdits)
{
    const int n = int(a.size()), m = int(b.size());
    if (std::abs(n - m) > maxEdits)
        return maxEdits + 1;
    // Three rows of the table; typo search measures thousands of keys, so short keys keep their
    // rows on the stack.
    constexpr int StackRow = 64;
    std::array<int, 3 * StackRow> stackRows;
    std::vector<int> heapRows;
    int *rows = stackRows.data();
    if (m + 1 > StackRow) {
        heapRows.resize(3 * size_t(m + 1));
        rows = heapRows.data();
    }
    const int width = std::max(StackRow, m + 1);
    int *twoBack = rows, *prev = rows + width, *cur = rows + 2 * width;
    // Only cells within maxEdits of the diagonal can stay within reach; the cells beside that band
    // stand in for everything outside it, as out of reach.
    const int beyond = maxEdits + 1;
    for (int j = 0; j <= m; ++j) {
        twoBack[j] = beyond;
        prev[j] = j;
    }
    for (int i = 1; i <= n; ++i) {
        const int lo = std::max(1, i - maxEdits), hi = std::min(m, i + maxEdits);
        cur[lo - 1] = lo == 1 ? i : beyond;
        int rowBest = cur[lo - 1];
        for (int j = lo; j <= hi; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int v = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                v = std::min(v, twoBack[j - 2] + 1);
            cur[j] = v;
            rowBest = std::min(rowBest, v);
        }
        if (hi < m)
            cur[hi + 1] = beyond;
        if (rowBest > maxEdits)
            return maxEdits + 1;
        std::swap(twoBack, prev);
        std::swap(prev, cur);
    }
    return std::min(prev[m], maxEdits + 1);
}

} // namespace Engine::TextKey
