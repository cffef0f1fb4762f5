#include "ProfileFile.h"

#include "ProfileDocument.h"
#include "ProfileError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace {
// Far above any settings file; keeps a wrongly named large file from being read into memory.
constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

enum class FileState { Missing, Text, Unusable };

struct FileContent {
    FileState state;
    QByteArray bytes;
    QString problem;
};

FileContent readFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return {FileState::Unusable, {}, QStringLiteral("no file name")};
    const QFileInfo info(fileName);
    if (!info.exists())
        return {FileState::Missing, {}, {}};
    if (!info.isFile())
        return {FileState::Unusable, {}, QStringLiteral("not a regular file")};
    if (info.size() > MaxFileSize)
        return {FileState::Unusable, {}, QStringLiteral("too large for a settings file")};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {FileState::Unusable, {}, file.errorString()};
    QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return {FileState::Unusable, {}, file.errorString()};
    if (bytes.size() > MaxFileSize || !ProfileDocument::isText(bytes))
        return {FileState::Unusable, {}, QStringLiteral("not a text settings file")};
    return {FileState::Text, bytes, {}};
}

std::optional<QByteArray> readValue(const QByteArray &section, const QByteArray &key, const QString &fileName)
{
    const FileContent file = readFile(fileName);
    if (file.state != FileState::Text)
        return std::nullopt;
    return ProfileDocument(file.bytes).value(section, key);
}

// Cuts to ProfileValueMax bytes without splitting a UTF-8 sequence, which would corrupt the text
// when it is written back.
QByteArray cut(QByteArray value)
{
    if (value.size() <= ProfileValueMax)
        return value;
    qsizetype end = ProfileValueMax;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
        --end;
    value.truncate(end);
    return value;
}

[[noreturn]] void fail(const QString &fileName, const QString &reason)
{
    throw ProfileError(QStringLiteral("Cannot write the settings file \"%1\": %2.").arg(fileName, reason));
}

bool hasLineBreak(const QByteArray &s) { return s.contains('\n') || s.contains('\r') || s.contains('\0'); }
}

QByteArray GetPrivateProfileString(const QByteArray &section, const QByteArray &key,
                                   const QByteArray &defaultValue, const QString &fileName)
{
    return cut(readValue(section, key, fileName).value_or(defaultValue));
}

bool ProfileKeyExists(const QByteArray &section, const QByteArray &key, const QString &fileName)
{
    return readValue(section, key, fileName).has_value();
}

void WritePrivateProfileString(const QByteArray &section, const QByteArray &key, const QByteArray &value,
                               const QString &fileName)
{
    if (section.isEmpty() || section.contains(']') || hasLineBreak(section))
        fail(fileName, QStringLiteral("invalid section name \"%1\"").arg(QString::fromLocal8Bit(section)));
    if (key.trimmed().isEmpty() || key.contains('=') || key.startsWith('[') || key.startsWith(';')
        || hasLineBreak(key))
        fail(fileName, QStringLiteral("invalid key name \"%1\"").arg(QString::fromLocal8Bit(key)));
    if (hasLineBreak(value))
        fail(fileName, QStringLiteral("the value of \"%1\" holds a line break").arg(QString::fromLocal8Bit(key)));

    const FileContent file = readFile(fileName);
    if (file.state == FileState::Unusable)
        fail(fileName, file.problem);
    ProfileDocument document(file.bytes);
    document.setValue(section, key, value);

    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly))
        fail(fileName, out.errorString());
    const QByteArray bytes = document.content();
    if (out.write(bytes) != bytes.size() || !out.commit())
        fail(fileName, out.errorString());
}
