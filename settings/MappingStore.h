#pragma once

#include "ColumnMapping.h"

#include <QString>

#include <memory>
#include <optional>

class QSettings;

// The per-user store of the table and column mapping: the table and each role's column as string
// values under "\Software\Orvane" (the registry on Windows, $XDG_CONFIG_HOME/Orvane.conf elsewhere).
class MappingStore {
public:
    static constexpr const char *TableValue = "Tablename";

    // Opens the key for reading without creating it; nullopt when it does not exist.
    static std::optional<MappingStore> OpenForReading();

    QString Read(const QString &valueName) const;   // a missing value reads as empty
    QString Column(ColumnRole role) const;

    // Writes the table and every role's column; false when the store cannot be written, in
    // which case it may hold nothing of this call.
    static bool Write(const QString &table, const ColumnMapping &columns);

private:
    explicit MappingStore(std::shared_ptr<QSettings> settings) : m_settings(std::move(settings)) {}
    std::shared_ptr<QSettings> m_settings;
};
