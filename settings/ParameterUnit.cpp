#include "ParameterUnit.h"

#include "ProfileError.h"
#include "ProfileFile.h"
#include "ValueFormat.h"

#include <cstdio>

namespace {
const QByteArray Section = "Quenlo";
const QByteArray EuropeEngine = "MapPoint.Map.EU.9";
const QByteArray AmericaEngine = "MapPoint.Map.NA.9";

struct Defaults {
    static constexpr bool EnableAgent = true;
    static constexpr const char *AgentName = "Merlin";
    static constexpr double Coordinate = 0;
    static constexpr qint32 Style = 0;
    static constexpr const char *DefaultCountry = "DE";
    static constexpr bool SideBar = true;
    static constexpr bool HorizontalView = false;
    static constexpr double FromTime = 0.25;   // 06:00
    static constexpr double ToTime = 0.75;     // 18:00
};

// Reads and writes the typed values of one section, numbers and times in the user's locale.
class SettingsSection {
public:
    explicit SettingsSection(const QString &fileName) : FFileName(fileName), FFormat(QLocale::system()) {}

    QByteArray text(const char *key, const QByteArray &fallback = {}) const
    {
        return GetPrivateProfileString(Section, key, fallback, FFileName);
    }
    qint32 integer(const char *key, qint32 fallback) const
    {
        return ValueFormat::toInteger(text(key)).value_or(fallback);
    }
    bool boolean(const char *key, bool fallback) const { return integer(key, fallback ? 1 : 0) != 0; }
    double floating(const char *key, double fallback) const { return FFormat.toFloat(text(key)).value_or(fallback); }
    double dateTime(const char *key, double fallback) const
    {
        return FFormat.toDateTime(text(key)).value_or(fallback);
    }

    bool has(const char *key) const { return ProfileKeyExists(Section, key, FFileName); }
    void setText(const char *key, const QByteArray &value) const
    {
        WritePrivateProfileString(Section, key, value, FFileName);
    }
    void setTextIfAbsent(const char *key, const QByteArray &value) const
    {
        if (!has(key))
            setText(key, value);
    }
    void setInteger(const char *key, qint32 value) const { setText(key, QByteArray::number(value)); }
    void setBoolean(const char *key, bool value) const { setText(key, value ? "1" : "0"); }
    void setFloating(const char *key, double value) const { setText(key, FFormat.fromFloat(value)); }
    void setDateTime(const char *key, double value) const { setText(key, FFormat.fromDateTime(value)); }

private:
    QString FFileName;
    ValueFormat FFormat;
};

TParameter *SharedParameter = nullptr;
QString SharedFileName;
bool SharedWriteBack = false;
}

TParameter::TParameter(const QString &fileName, bool writeBack) : FFileName(fileName), FWriteBack(writeBack)
{
    Read();
}

TParameter::~TParameter()
{
    if (!FWriteBack)
        return;
    try {
        WriteBack();
    } catch (const std::exception &e) {
        // Nothing else depends on the write-back; the run's work is already in the database.
        std::fprintf(stderr, "Orvane: %s\n", e.what());
    }
}

void TParameter::Read()
{
    const SettingsSection s(FFileName);
    FUser = s.text("User");
    FPassword = s.text("Password");
    FServer = s.text("Server");
    FEnableAgent = s.boolean("EnableAgent", Defaults::EnableAgent);
    FAgentName = s.text("AgentName", Defaults::AgentName);
    FLongitude = s.floating("Longitude", Defaults::Coordinate);
    FLatitude = s.floating("Latitude", Defaults::Coordinate);
    FAltitude = s.floating("Altitude", Defaults::Coordinate);
    FStyle = s.integer("Style", Defaults::Style);
    FDefaultCountry = s.text("DefaultCountry", Defaults::DefaultCountry);
    FMapControl = s.text("MPControl", EuropeEngine);
    FSideBar = s.boolean("SideBar", Defaults::SideBar);
    FHorizontalView = s.boolean("HorizontalView", Defaults::HorizontalView);
    FFromTime = s.dateTime("FromTime", Defaults::FromTime);
    FToTime = s.dateTime("ToTime", Defaults::ToTime);
    FActualCourse = QString::fromLocal8Bit(s.text("ActualCourse"));
    FActualObject = QString::fromLocal8Bit(s.text("ActualObject"));
    // Corrected in memory only: the file keeps whatever its author wrote.
    if (FMapControl != EuropeEngine && FMapControl != AmericaEngine)
        FMapControl = EuropeEngine;
}

void TParameter::WriteBack() const
{
    const SettingsSection s(FFileName);
    s.setTextIfAbsent("User", {});
    s.setTextIfAbsent("Password", {});
    s.setTextIfAbsent("Server", FServer);
    s.setTextIfAbsent("EnableAgent", "1");
    s.setTextIfAbsent("AgentName", Defaults::AgentName);
    s.setFloating("Longitude", FLongitude);
    s.setFloating("Latitude", FLatitude);
    s.setFloating("Altitude", FAltitude);
    s.setInteger("Style", FStyle);
    s.setText("DefaultCountry", FDefaultCountry);
    s.setTextIfAbsent("MPControl", EuropeEngine);
    s.setBoolean("SideBar", FSideBar);
    s.setBoolean("HorizontalView", FHorizontalView);
    s.setDateTime("FromTime", FFromTime);
    s.setDateTime("ToTime", FToTime);
    s.setText("ActualCourse", FActualCourse.toLocal8Bit());
    s.setText("ActualObject", FActualObject.toLocal8Bit());
}

void UseParameterFile(const QString &fileName, bool writeBack)
{
    SharedFileName = fileName;
    SharedWriteBack = writeBack;
}

TParameter &Parameter()
{
    if (!SharedParameter)
        SharedParameter = new TParameter(SharedFileName, SharedWriteBack);
    return *SharedParameter;
}

void ReleaseParameter()
{
    delete SharedParameter;
    SharedParameter = nullptr;
    UseParameterFile({}, false);
}
