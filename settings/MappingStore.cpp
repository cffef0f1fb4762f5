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

QString MappingStore::Column(ColumnRole role) const
{
    return Read(ColumnRoles::Of(role).ValueName());
}

bool MappingStore::Write(const QString &table, const ColumnMapping &columns)
{
    const auto settings = openSettings();
    if (!settings->isWritable())
        return false;
    settings->setValue(QString::fromLatin1(TableValue), table);
    for (const ColumnRoleEntry &entry : ColumnRoles::All())
        settings->setValue(entry.ValueName(), columns[entry.role]);
    settings->sync();
    return settings->status() == QSettings::NoError;
}
