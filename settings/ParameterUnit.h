#pragma once
#include <QByteArray>
#include <QString>

// The program's general settings from section "Quenlo" of a settings file. Read on construction;
// written back on destruction when writeBack is set.
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

// Names the file of the shared instance, before its first use: the program's main() passes what
// its command line names. Without a call the shared instance holds the defaults and writes nothing.
void UseParameterFile(const QString &fileName, bool writeBack);
// The shared instance, made on first call from the file given to UseParameterFile.
TParameter &Parameter();
// Called once at program end: writes back (when due) and destroys the shared instance, which is
// then made again from no file.
void ReleaseParameter();
