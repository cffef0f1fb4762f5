#include "ProfileDocument.h"

namespace {
constexpr char Utf8Bom[] = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray trimBlanks(const QByteArray &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

// "[Name]" gives "Name"; any other line nothing.
std::optional<QByteArray> sectionName(const QByteArray &line)
{
    const QByteArray t = trimBlanks(line);
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return trimBlanks(t.mid(1, close - 1));
}

// "Name=Value" gives "Name"; comments and lines without '=' give nothing.
std::optional<QByteArray> keyName(const QByteArray &line)
{
    const QByteArray t = trimBlanks(line);
    if (t.startsWith(';') || t.startsWith('['))
        return std::nullopt;
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return std::nullopt;
    return trimBlanks(t.left(eq));
}

bool sameName(const QByteArray &a, const QByteArray &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
}

ProfileDocument::ProfileDocument(const QByteArray &content)
{
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype nl = content.indexOf('\n', start);
        if (nl < 0) {
            FLines.append({content.mid(start), {}});
            break;
        }
        const bool crlf = nl > start && content[nl - 1] == '\r';
        FLines.append({content.mid(start, nl - start - (crlf ? 1 : 0)), crlf ? "\r\n" : "\n"});
        start = nl + 1;
    }
    // A byte-order mark stays in the file but must not hide the first section header.
    if (!FLines.isEmpty() && FLines.first().text.startsWith(Utf8Bom))
        FBom = true;
}

bool ProfileDocument::isText(const QByteArray &content)
{
    return !content.contains('\0');
}

QByteArray ProfileDocument::lineText(qsizetype i) const
{
    return i == 0 && FBom ? FLines[0].text.mid(3) : FLines[i].text;
}

qsizetype ProfileDocument::findSection(const QByteArray &section) const
{
    for (qsizetype i = 0; i < FLines.size(); ++i) {
        const auto name = sectionName(lineText(i));
        if (name && sameName(*name, section))
            return i;
    }
    return -1;
}

qsizetype ProfileDocument::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < FLines.size() && !sectionName(lineText(i)))
        ++i;
    return i;
}

qsizetype ProfileDocument::findKey(qsizetype header, const QByteArray &key) const
{
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const auto name = keyName(lineText(i));
        if (name && sameName(*name, key))
            return i;
    }
    return -1;
}

std::optional<QByteArray> ProfileDocument::value(const QByteArray &section, const QByteArray &key) const
{
    const qsizetype header = findSection(section);
    const qsizetype line = header < 0 ? -1 : findKey(header, key);
    if (line < 0)
        return std::nullopt;
    const QByteArray &text = FLines[line].text;
    QByteArray v = trimBlanks(text.mid(text.indexOf('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

QByteArray ProfileDocument::newLineEnding() const
{
    return !FLines.isEmpty() && FLines.first().ending == "\r\n" ? QByteArray("\r\n") : QByteArray("\n");
}

void ProfileDocument::setValue(const QByteArray &section, const QByteArray &key, const QByteArray &value)
{
    const QByteArray ending = newLineEnding();
    // A last line without a line ending gets one before anything is added after it.
    auto terminateLast = [&] {
        if (!FLines.isEmpty() && FLines.last().ending.isEmpty())
            FLines.last().ending = ending;
    };
    const qsizetype header = findSection(section);
    if (header < 0) {
        terminateLast();
        FLines.append({'[' + section + ']', ending});
        FLines.append({key + '=' + value, ending});
        return;
    }
    const qsizetype line = findKey(header, key);
    if (line >= 0) {
        // Keep the key as spelled in the file and the blanks after '='.
        QByteArray &text = FLines[line].text;
        qsizetype start = text.indexOf('=') + 1;
        while (start < text.size() && isBlank(text[start]))
            ++start;
        text = text.left(start) + value;
        return;
    }
    // After the section's last key, so that comments and blank lines before the next section stay there.
    qsizetype insertAt = header + 1;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (keyName(lineText(i)))
            insertAt = i + 1;
    }
    if (insertAt == FLines.size())
        terminateLast();
    FLines.insert(insertAt, {key + '=' + value, ending});
}

QByteArray ProfileDocument::content() const
{
    QByteArray out;
    for (const Line &line : FLines)
        out += line.text + line.ending;
    return out;
}
