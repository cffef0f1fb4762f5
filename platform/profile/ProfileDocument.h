#pragma once
#include <QByteArray>
#include <QList>

#include <optional>

// The lines of one INI file, kept byte for byte with their line endings, and the few look-ups and
// edits the profile functions need.
class ProfileDocument {
public:
    explicit ProfileDocument(const QByteArray &content);

    // Not a text settings file: NUL bytes. Any other byte is text: values are 8-bit strings in
    // whatever code page the file was saved with, and lines may be of any length.
    static bool isText(const QByteArray &content);

    std::optional<QByteArray> value(const QByteArray &section, const QByteArray &key) const;
    void setValue(const QByteArray &section, const QByteArray &key, const QByteArray &value);
    QByteArray content() const;

private:
    struct Line {
        QByteArray text;     // without the line ending
        QByteArray ending;   // "\n", "\r\n" or empty for a last line without one
    };
    qsizetype findSection(const QByteArray &section) const;        // index of the header line or -1
    qsizetype findKey(qsizetype header, const QByteArray &key) const;  // index of the key line or -1
    qsizetype sectionEnd(qsizetype header) const;                  // first line after the section
    QByteArray newLineEnding() const;
    QByteArray lineText(qsizetype i) const;   // without a leading byte-order mark

    QList<Line> FLines;
    bool FBom = false;
};
