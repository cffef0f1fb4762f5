#include "MappingStore.h"

#include <QFileInfo>
#include <QSettings>

namespace {
// Organisation "Orvane" without an application name: HKCU\Software\Orvane, or Orvane.conf.
std::shared_ptr<QSettings> openSettings()
{
    auto settings = std::make_shared<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Orvane"));
    settings->setFallbacksEnabled(false);
    return settings;
}

bool keyExists(const QSettings &settings)
{
#ifdef Q_OS_WIN
    return !settings.allKeys().isEmpty();
#else
    return QFileInfo(settings.fileName()).isFile();
#endif
}
} // namespace

const QStringList &MappingStore::ValueNames()
{
    static const QStringList names = {
        QString::fromLatin1(TableValue),       QStringLiteral("IdentifierComboBox"),
        QStringLiteral("NameComboBox"),        QStringLiteral("CountryComboBox"),
        QStringLiteral("PostcodeComboBox"),    QStringLiteral("CityComboBox"),
        QStringLiteral("StreetComboBox"),      QStringLiteral("StatusTextComboBox"),
        QStringLiteral("GeocodedOnComboBox"),  QStringLiteral("ControlGeocodeComboBox"),
        QStringLiteral("LatitudeComboBox"),    QStringLiteral("LongitudeComboBox"),
    };
    return names;
}

std::optional<MappingStore> MappingStore::OpenForReading()
{
    auto settings = openSettings();
    if (!keyExists(*settings))
        return std::nullopt;
    return MappingStore(std::move(settings));
}

QString MappingStore::Read(const QString &valueName) const
{
    return m_settings->value(valueName).toString();
}

bool MappingStore::Write(const QList<QPair<QString, QString>> &values)
{
    const auto settings = openSettings();
    if (!settings->isWritable())
        return false;
    for (const auto &[name, value] : values)
        settings->setValue(name, value);
    settings->sync();
    return settings->status() == QSettings::NoError;
}
