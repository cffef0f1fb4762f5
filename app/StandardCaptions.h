#pragma once

#include <QHash>
#include <QLocale>
#include <QTranslator>

// The captions and questions of the platform's standard message boxes ("Confirm", "Error",
// "Delete record?") in the system language. Qt's own translations give its buttons but not these.
class TStandardCaptions : public QTranslator {
public:
    explicit TStandardCaptions(const QLocale &locale, QObject *parent = nullptr);

    QString translate(const char *context, const char *sourceText, const char *disambiguation,
                      int n) const override;
    bool isEmpty() const override;

private:
    QHash<QByteArray, QString> m_texts;
};
