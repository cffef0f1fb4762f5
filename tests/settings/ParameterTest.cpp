#include "ParameterUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
class ParameterTest : public ::testing::Test {
protected:
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("orvane.ini")) const
    {
        const QString file = FDir.filePath(name);
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return file;
    }
    static QByteArray read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    // Reads the file and writes it back, as a run of the program does.
    static void run(const QString &file) { TParameter(file, true); }

    QTemporaryDir FDir;
};

void expectDefaults(const TParameter &p)
{
    EXPECT_EQ(p.FUser, "");
    EXPECT_EQ(p.FPassword, "");
    EXPECT_EQ(p.FServer, "");
    EXPECT_TRUE(p.FEnableAgent);
    EXPECT_EQ(p.FAgentName, "Merlin");
    EXPECT_EQ(p.FLongitude, 0.0);
    EXPECT_EQ(p.FLatitude, 0.0);
    EXPECT_EQ(p.FAltitude, 0.0);
    EXPECT_EQ(p.FStyle, 0);
    EXPECT_EQ(p.FDefaultCountry, "DE");
    EXPECT_EQ(p.FMapControl, "MapPoint.Map.EU.9");
    EXPECT_TRUE(p.FSideBar);
    EXPECT_FALSE(p.FHorizontalView);
    EXPECT_EQ(p.FFromTime, 0.25);
    EXPECT_EQ(p.FToTime, 0.75);
    EXPECT_EQ(p.FActualCourse, QString());
    EXPECT_EQ(p.FActualObject, QString());
}

// The program as started from a shell: arguments become QCoreApplication::arguments(), which
// main() alone reads.
struct Program {
    explicit Program(QList<QByteArray> args) : FArgs(std::move(args))
    {
        FArgs.prepend("orvane");
        for (QByteArray &a : FArgs)
            FArgv.push_back(a.data());
        FArgc = int(FArgv.size());
        FApp = std::make_unique<QCoreApplication>(FArgc, FArgv.data());
    }
    ~Program() { FApp.reset(); }
    QList<QByteArray> FArgs;
    std::vector<char *> FArgv;
    int FArgc = 0;
    std::unique_ptr<QCoreApplication> FApp;
};

const QByteArray HeaderOnlyWrittenBack = "[Quenlo]\n"
                                         "User=\n"
                                         "Password=\n"
                                         "Server=\n"
                                         "EnableAgent=1\n"
                                         "AgentName=Merlin\n"
                                         "Longitude=0\n"
                                         "Latitude=0\n"
                                         "Altitude=0\n"
                                         "Style=0\n"
                                         "DefaultCountry=DE\n"
                                         "MPControl=MapPoint.Map.EU.9\n"
                                         "SideBar=1\n"
                                         "HorizontalView=0\n"
                                         "FromTime=%from\n"
                                         "ToTime=%to\n"
                                         "ActualCourse=\n"
                                         "ActualObject=\n";

QByteArray headerOnlyWrittenBack(const char *from, const char *to)
{
    return QByteArray(HeaderOnlyWrittenBack).replace("%from", from).replace("%to", to);
}
}

TEST_F(ParameterTest, WithoutAFileEverythingIsDefaultAndNothingIsWritten)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FDir.path()));
    {
        Program program({});
        expectDefaults(Parameter());
        EXPECT_EQ(&Parameter(), &Parameter());
        ReleaseParameter();
    }
    QDir::setCurrent(previous);
    EXPECT_TRUE(QDir(FDir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST_F(ParameterTest, TheFileMainNamesIsReadAndWrittenBack)
{
    const QString file = write("[Quenlo]\nDefaultCountry=CH\n");
    {
        Program program({file.toLocal8Bit(), "ignored.ini"});
        UseParameterFile(file, true);
        EXPECT_EQ(Parameter().FDefaultCountry, "CH");
        EXPECT_EQ(read(file), "[Quenlo]\nDefaultCountry=CH\n");   // nothing written before the end
        ReleaseParameter();
    }
    EXPECT_TRUE(read(file).contains("AgentName=Merlin\n"));
    EXPECT_FALSE(QFile::exists(FDir.filePath(QStringLiteral("ignored.ini"))));
}

TEST_F(ParameterTest, HeaderOnlyFileGetsAllSeventeenKeysWithDefaults)
{
    const QString file = write("[Quenlo]\n");
    {
        const TParameter p(file, true);
        expectDefaults(p);
    }
    EXPECT_EQ(read(file), headerOnlyWrittenBack("06:00:00", "18:00:00"));
    // A second run changes nothing.
    run(file);
    EXPECT_EQ(read(file), headerOnlyWrittenBack("06:00:00", "18:00:00"));
}

TEST_F(ParameterTest, MissingFileIsCreatedWithTheSection)
{
    const QString file = FDir.filePath(QStringLiteral("new.ini"));
    run(file);
    EXPECT_EQ(read(file), headerOnlyWrittenBack("06:00:00", "18:00:00"));
}

TEST_F(ParameterTest, WithoutWriteBackTheFileIsLeftAlone)
{
    const QString file = write("[Quenlo]\nStyle=abc\n");
    { TParameter p(file, false); }
    EXPECT_EQ(read(file), "[Quenlo]\nStyle=abc\n");
}

TEST_F(ParameterTest, KeysArePresentWhateverTheirCase)
{
    const QString file = write("[QUENLO]\n"
                               "user=alice\n"
                               "PASSWORD=secret\n"
                               "server=db1\n"
                               "enableagent=0\n"
                               "AGENTNAME=Genie\n"
                               "mpcontrol=MapPoint.Map.NA.9\n"
                               "defaultcountry=A\n");
    {
        const TParameter p(file, true);
        EXPECT_EQ(p.FUser, "alice");
        EXPECT_EQ(p.FPassword, "secret");
        EXPECT_EQ(p.FServer, "db1");
        EXPECT_FALSE(p.FEnableAgent);
        EXPECT_EQ(p.FAgentName, "Genie");
        EXPECT_EQ(p.FMapControl, "MapPoint.Map.NA.9");
        EXPECT_EQ(p.FDefaultCountry, "A");
    }
    const QByteArray after = read(file);
    EXPECT_TRUE(after.startsWith("[QUENLO]\n"
                                 "user=alice\n"
                                 "PASSWORD=secret\n"
                                 "server=db1\n"
                                 "enableagent=0\n"
                                 "AGENTNAME=Genie\n"
                                 "mpcontrol=MapPoint.Map.NA.9\n"
                                 "defaultcountry=A\n"
                                 "Longitude=0\n"))
        << after.toStdString();
    for (const char *key : {"User=", "Password=", "Server=", "EnableAgent=", "AgentName=", "MPControl=", "DefaultCountry="})
        EXPECT_FALSE(after.contains(QByteArray("\n") + key)) << key;
}

TEST_F(ParameterTest, MapControlIsCorrectedInMemoryOnly)
{
    for (const QByteArray value : {"mappoint.map.eu.9", "MapPoint.Map.EU.9 x", "MapPoint.Map.XX.9", ""}) {
        SCOPED_TRACE(value.toStdString());
        const QString file = write("[Quenlo]\nMPControl=" + value + "\n");
        {
            const TParameter p(file, true);
            EXPECT_EQ(p.FMapControl, "MapPoint.Map.EU.9");
        }
        EXPECT_TRUE(read(file).startsWith("[Quenlo]\nMPControl=" + value + "\n"));
    }
}

TEST_F(ParameterTest, UnreadableValuesGiveDefaultsAndAreWrittenBackAsSuch)
{
    const QString file = write("[Quenlo]\n"
                               "EnableAgent=yes\n"
                               "SideBar=0\n"
                               "HorizontalView=7\n"
                               "Style=0x1F\n"
                               "Longitude=east\n"
                               "Latitude=\n"
                               "FromTime=25:00\n"
                               "ToTime=\n"
                               "AgentName=\n");
    {
        const TParameter p(file, true);
        EXPECT_TRUE(p.FEnableAgent);
        EXPECT_FALSE(p.FSideBar);
        EXPECT_TRUE(p.FHorizontalView);
        EXPECT_EQ(p.FStyle, 31);
        EXPECT_EQ(p.FLongitude, 0.0);
        EXPECT_EQ(p.FLatitude, 0.0);
        EXPECT_EQ(p.FFromTime, 0.25);
        EXPECT_EQ(p.FToTime, 0.75);
        EXPECT_EQ(p.FAgentName, "");   // present but empty text is not the default
    }
    const QByteArray after = read(file);
    for (const char *line : {"\nEnableAgent=yes\n", "\nSideBar=0\n", "\nHorizontalView=1\n", "\nStyle=31\n",
                             "\nLongitude=0\n", "\nLatitude=0\n", "\nFromTime=06:00:00\n", "\nToTime=18:00:00\n",
                             "\nAgentName=\n"})
        EXPECT_TRUE(after.contains(line)) << line << "\n" << after.toStdString();
}

TEST_F(ParameterTest, PresentAccountValuesAreNeverRewritten)
{
    const QString file = write("[Quenlo]\r\nServer = \"db 1\" \r\nActualCourse=Stra\xC3\x9F" "e 5\r\n");
    {
        const TParameter p(file, true);
        EXPECT_EQ(p.FServer, "db 1");
        EXPECT_EQ(p.FActualCourse, QStringLiteral("Straße 5"));
    }
    const QByteArray after = read(file);
    EXPECT_TRUE(after.startsWith("[Quenlo]\r\nServer = \"db 1\" \r\nActualCourse=Stra\xC3\x9F" "e 5\r\n"))
        << after.toStdString();
}

TEST_F(ParameterTest, OtherSectionsAndCommentsKeepTheirBytes)
{
    const QByteArray other = "; written by hand\n[Tour]\nUser=driver\nStyle = 3\n\n";
    const QString file = write(other + "[Quenlo]\nStyle=2\n");
    run(file);
    const QByteArray after = read(file);
    EXPECT_TRUE(after.startsWith(other + "[Quenlo]\nStyle=2\nUser=\n")) << after.toStdString();
}

TEST_F(ParameterTest, UnwritableFileGivesOneLineWarningAndNoCrash)
{
    const QString directory = FDir.filePath(QStringLiteral("a-folder"));
    ASSERT_TRUE(QDir().mkdir(directory));
    QByteArray garbage(512, '\0');
    garbage.replace(0, 9, "[Quenlo]\n");
    const QString binary = write(garbage, QStringLiteral("binary.ini"));
    for (const QString &file : {directory, binary, FDir.filePath(QStringLiteral("missing/dir/orvane.ini"))}) {
        SCOPED_TRACE(file.toStdString());
        testing::internal::CaptureStderr();
        {
            const TParameter p(file, true);
            expectDefaults(p);
        }
        const std::string warning = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << warning;
        EXPECT_NE(warning.find(file.toStdString()), std::string::npos) << warning;
    }
    EXPECT_EQ(read(binary), garbage);
    EXPECT_TRUE(QFileInfo(directory).isDir());
}

// Run by the ctest entries test_parameter_de_DE and test_parameter_en_US under their LANG.
class Locale_de_DE : public ParameterTest {
protected:
    void SetUp() override
    {
        if (QLocale::system().name() != QLatin1String("de_DE"))
            GTEST_SKIP() << "needs LANG=de_DE.UTF-8 (ctest entry test_parameter_de_DE)";
    }
};
class Locale_en_US : public ParameterTest {
protected:
    void SetUp() override
    {
        if (QLocale::system().name() != QLatin1String("en_US"))
            GTEST_SKIP() << "needs LANG=en_US.UTF-8 (ctest entry test_parameter_en_US)";
    }
};

TEST_F(Locale_de_DE, NumbersUseTheDecimalComma)
{
    const QString file = write("[Quenlo]\nLongitude=9,5\nLatitude=1.5\nAltitude=1.500\nFromTime=7:30\nToTime=18:00:00\n");
    {
        const TParameter p(file, true);
        EXPECT_EQ(p.FLongitude, 9.5);
        EXPECT_EQ(p.FLatitude, 0.0);
        EXPECT_EQ(p.FAltitude, 0.0);
        EXPECT_EQ(p.FFromTime, 7.5 / 24);
        EXPECT_EQ(p.FToTime, 0.75);
    }
    const QByteArray after = read(file);
    EXPECT_TRUE(after.startsWith("[Quenlo]\nLongitude=9,5\nLatitude=0\nAltitude=0\nFromTime=07:30:00\nToTime=18:00:00\n"))
        << after.toStdString();
}

TEST_F(Locale_de_DE, HeaderOnlyFileGetsGermanTimes)
{
    const QString file = write("[Quenlo]\n");
    run(file);
    EXPECT_EQ(read(file), headerOnlyWrittenBack("06:00:00", "18:00:00"));
}

TEST_F(Locale_en_US, NumbersUseTheDecimalPoint)
{
    const QString file = write("[Quenlo]\nLongitude=9.5\nLatitude=9,5\nAltitude=-12.25\nFromTime=7:30 AM\nToTime=18\n");
    {
        const TParameter p(file, true);
        EXPECT_EQ(p.FLongitude, 9.5);
        EXPECT_EQ(p.FLatitude, 0.0);
        EXPECT_EQ(p.FAltitude, -12.25);
        EXPECT_EQ(p.FFromTime, 7.5 / 24);
        EXPECT_EQ(p.FToTime, 0.75);
    }
    const QByteArray after = read(file);
    EXPECT_TRUE(after.startsWith("[Quenlo]\nLongitude=9.5\nLatitude=0\nAltitude=-12.25\nFromTime=7:30:00 AM\nToTime=6:00:00 PM\n"))
        << after.toStdString();
}

TEST_F(Locale_en_US, HeaderOnlyFileGetsUsTimes)
{
    const QString file = write("[Quenlo]\n");
    run(file);
    EXPECT_EQ(read(file), headerOnlyWrittenBack("6:00:00 AM", "6:00:00 PM"));
}
