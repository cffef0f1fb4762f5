#pragma once
#include <QByteArray>
#include <QString>

// Classic INI profile functions over one file. Section and key names compare without regard to
// case; a bare file name is relative to the current directory.
//
// Reading never fails: a missing file, section or key, and a file that is not a text settings file
// (a directory, binary data with NUL bytes, more than 16 MB), give the default. Bytes that are no
// UTF-8 (a file saved in a Windows code page) and long lines are ordinary text, kept as they are. Values are trimmed
// of surrounding blanks and one pair of enclosing quotes, and cut to ProfileValueMax bytes.
//
// Writing replaces the value of the first line that lists the key, or adds the key at the end of
// the section, or the section at the end of the file; every other byte of the file stays as it was.
// The file is replaced atomically (temporary file in the same directory, then rename), so a crash
// or a full disk never leaves a truncated file. Throws ProfileError naming the file.

constexpr int ProfileValueMax = 2047;

QByteArray GetPrivateProfileString(const QByteArray &section, const QByteArray &key,
                                   const QByteArray &defaultValue, const QString &fileName);
void WritePrivateProfileString(const QByteArray &section, const QByteArray &key,
                               const QByteArray &value, const QString &fileName);
bool ProfileKeyExists(const QByteArray &section, const QByteArray &key, const QString &fileName);
