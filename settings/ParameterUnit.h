#pragma once
#include <QByteArray>
#include <QString>

// The program's general settings from section "Quenlo" of the settings file named by the first
// command-line argument. Read on construction; written back on destruction when writeBack is set.
// Numbers and times use the user's locale (QLocale::system()).
class TParameter {
public:
    QByteArray FUser;
    QByteArray FPassword;
    QByteArray FServer;
    bool FEnableAgent = true;
    QByteArray FAgentName;
    double FLongitude = 0;
    double FLatitude = 0;
    double FAltitude = 0;
    qint32 FStyle = 0;
    QByteArray FDefaultCountry;
    QByteArray FMapControl;
    bool FSideBar = true;
    bool FHorizontalView = false;
    double FFromTime = 0;    // days; the fraction is the time of day
    double FToTime = 0;
    QString FActualCourse;
    QString FActualObject;

    // A file that cannot be written back gives a one-line warning on standard error.
    explicit TParameter(const QString &fileName, bool writeBack);
    ~TParameter();
    TParameter(const TParameter &) = delete;
    TParameter &operator=(const TParameter &) = delete;

    // Throws ProfileError when the file cannot be written.
    void WriteBack() const;

private:
    void Read();

    QString FFileName;
    bool FWriteBack;
};

// The shared instance, made on first call from QCoreApplication::arguments().value(1); written back
// at the end only when the program got a first argument.
TParameter &Parameter();
// Called once at program end: writes back (when due) and destroys the shared instance.
void ReleaseParameter();
