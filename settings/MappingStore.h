#pragma once

#include <QString>

#include <memory>
#include <optional>

class QSettings;

// The per-user store of the table and column mapping: twelve string values under
// "\Software\Orvane" (the registry on Windows, $XDG_CONFIG_HOME/Orvane.conf elsewhere).
class MappingStore {
public:
    static constexpr const char *TableValue = "Tablename";

    // The twelve value names in the order they are written.
    static const QStringList &ValueNames();

    // Opens the key for reading without creating it; nullopt when it does not exist.
    static std::optional<MappingStore> OpenForReading();

    QString Read(const QString &valueName) const;   // a missing value reads as empty

    // Writes every value (names of ValueNames(), same order); false when the store cannot be
    // written, in which case it may hold nothing of this call.
    static bool Write(const QList<QPair<QString, QString>> &values);

private:
    explicit MappingStore(std::shared_ptr<QSettings> settings) : m_settings(std::move(settings)) {}
    std::shared_ptr<QSettings> m_settings;
};
