#include "ProfileError.h"
#include "ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
class ProfileFileTest : public ::testing::Test {
protected:
    QString path(const QString &name = QStringLiteral("settings.ini")) const { return FDir.filePath(name); }
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("settings.ini")) const
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path(name);
    }
    static QByteArray read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    QTemporaryDir FDir;
};
}

TEST_F(ProfileFileTest, NamesCompareWithoutCaseAndValuesAreTrimmedAndUnquoted)
{
    const QString file = write("[other]\nUser=wrong\n"
                               "[QUENLO]\n"
                               ";User=comment\n"
                               "  user  =  alice  \n"
                               "User=second\n"
                               "Quoted=\"  spaced  \"\n"
                               "Single='x'\n"
                               "Empty=\n"
                               "NoEquals\n"
                               "[quenlo]\n"
                               "Late=1\n");
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "USER", "dflt", file), "alice");
    EXPECT_EQ(GetPrivateProfileString("quenlo", "quoted", "dflt", file), "  spaced  ");
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "Single", "dflt", file), "x");
    // Present but empty is empty, not the default.
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "Empty", "dflt", file), "");
    EXPECT_TRUE(ProfileKeyExists("Quenlo", "empty", file));
    EXPECT_FALSE(ProfileKeyExists("Quenlo", "NoEquals", file));
    EXPECT_FALSE(ProfileKeyExists("Quenlo", ";User", file));
    // Only the first section of a name counts.
    EXPECT_FALSE(ProfileKeyExists("Quenlo", "Late", file));
    EXPECT_FALSE(ProfileKeyExists("Missing", "User", file));
    EXPECT_EQ(GetPrivateProfileString("Missing", "User", "dflt", file), "dflt");
}

TEST_F(ProfileFileTest, MissingFileOrEmptyNameGivesDefaults)
{
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "User", "dflt", path(QStringLiteral("none.ini"))), "dflt");
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "User", "dflt", QString()), "dflt");
    EXPECT_FALSE(ProfileKeyExists("Quenlo", "User", QString()));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("none.ini"))));
}

TEST_F(ProfileFileTest, ValuesAreCutAt2047BytesWithoutSplittingACharacter)
{
    const QByteArray longValue(3000, 'a');
    QString file = write("[S]\nK=" + longValue + "\n");
    EXPECT_EQ(GetPrivateProfileString("S", "K", {}, file), QByteArray(2047, 'a'));

    // "ä" is two bytes; byte 2047 would be the first half of one.
    const QByteArray umlauts = QByteArray(2046, 'a') + "\xC3\xA4\xC3\xA4";
    file = write("[S]\nK=" + umlauts + "\n");
    EXPECT_EQ(GetPrivateProfileString("S", "K", {}, file), QByteArray(2046, 'a'));
    EXPECT_EQ(GetPrivateProfileString("S", "Missing", longValue, file).size(), 2047);
}

TEST_F(ProfileFileTest, WriteCreatesFileAndSection)
{
    const QString file = path(QStringLiteral("new.ini"));
    WritePrivateProfileString("Quenlo", "User", "alice", file);
    WritePrivateProfileString("Quenlo", "Server", "", file);
    EXPECT_EQ(read(file), "[Quenlo]\nUser=alice\nServer=\n");
}

TEST_F(ProfileFileTest, WriteKeepsEveryOtherByte)
{
    const QByteArray before = "; settings of the customer\r\n"
                              "[Other]\r\n"
                              "User = bob\r\n"
                              "\r\n"
                              "[quenlo]\r\n"
                              "  user =  old value\r\n"
                              "Style=1\r\n"
                              "\r\n"
                              "; about the next section\r\n"
                              "[Last]\r\n"
                              "x=1";
    const QString file = write(before);
    WritePrivateProfileString("Quenlo", "USER", "new", file);
    WritePrivateProfileString("Quenlo", "Added", "2", file);
    WritePrivateProfileString("Last", "y", "3", file);
    WritePrivateProfileString("Fresh", "z", "4", file);
    EXPECT_EQ(read(file), "; settings of the customer\r\n"
                          "[Other]\r\n"
                          "User = bob\r\n"
                          "\r\n"
                          "[quenlo]\r\n"
                          "  user =  new\r\n"
                          "Style=1\r\n"
                          "Added=2\r\n"
                          "\r\n"
                          "; about the next section\r\n"
                          "[Last]\r\n"
                          "x=1\r\n"
                          "y=3\r\n"
                          "[Fresh]\r\n"
                          "z=4\r\n");
}

TEST_F(ProfileFileTest, ByteOrderMarkDoesNotHideTheFirstSection)
{
    const QString file = write("\xEF\xBB\xBF[Quenlo]\nUser=alice\n");
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "User", {}, file), "alice");
    WritePrivateProfileString("Quenlo", "User", "bob", file);
    EXPECT_EQ(read(file), "\xEF\xBB\xBF[Quenlo]\nUser=bob\n");
}

TEST_F(ProfileFileTest, SaveReplacesTheFileAtomicallyAndKeepsItsPermissions)
{
    const QString file = write("[Quenlo]\nUser=alice\n");
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    WritePrivateProfileString("Quenlo", "User", "bob", file);
    const auto ownerGroupOther = QFile::permissions(file).toInt() & 0xF0FF;   // without the "user" duplicates
    EXPECT_EQ(ownerGroupOther, (QFile::ReadOwner | QFile::WriteOwner).toInt());
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("settings.ini")});
}

TEST_F(ProfileFileTest, WriteRejectsTextThatWouldBreakTheLineStructure)
{
    const QString file = write("[Quenlo]\nUser=alice\n");
    EXPECT_THROW(WritePrivateProfileString("Quenlo", "User", "a\nB=evil", file), ProfileError);
    EXPECT_THROW(WritePrivateProfileString("Quenlo", "Us=er", "a", file), ProfileError);
    EXPECT_THROW(WritePrivateProfileString("Quen]lo", "User", "a", file), ProfileError);
    EXPECT_THROW(WritePrivateProfileString("Quenlo", "User", "a", QString()), ProfileError);
    EXPECT_EQ(read(file), "[Quenlo]\nUser=alice\n");
}

TEST_F(ProfileFileTest, FilesThatAreNotTextReadAsDefaultsAndAreNeverOverwritten)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char((i * 7919) % 256);
    const QList<std::pair<QString, QByteArray>> files = {
        {QStringLiteral("binary.ini"), "[Quenlo]\nUser=alice\n" + garbage},
        {QStringLiteral("huge.ini"), "[Quenlo]\nUser=" + QByteArray(17 * 1024 * 1024, 'x')},
    };
    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        const QString file = write(bytes, name);
        EXPECT_EQ(GetPrivateProfileString("Quenlo", "User", "dflt", file), "dflt");
        EXPECT_FALSE(ProfileKeyExists("Quenlo", "User", file));
        EXPECT_THROW(WritePrivateProfileString("Quenlo", "User", "bob", file), ProfileError);
        EXPECT_EQ(read(file), bytes);
    }
    const QString directory = path(QStringLiteral("folder.ini"));
    ASSERT_TRUE(QDir().mkdir(directory));
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "User", "dflt", directory), "dflt");
    try {
        WritePrivateProfileString("Quenlo", "User", "bob", directory);
        ADD_FAILURE() << "writing into a directory succeeded";
    } catch (const ProfileError &e) {
        EXPECT_NE(QString::fromUtf8(e.what()).indexOf(directory), -1) << e.what();
    }
    EXPECT_TRUE(QFileInfo(directory).isDir());
}

TEST_F(ProfileFileTest, WriteIntoAMissingDirectoryFailsWithTheFileName)
{
    const QString file = path(QStringLiteral("no/such/dir/settings.ini"));
    try {
        WritePrivateProfileString("Quenlo", "User", "bob", file);
        ADD_FAILURE() << "write succeeded";
    } catch (const ProfileError &e) {
        EXPECT_NE(QString::fromUtf8(e.what()).indexOf(file), -1) << e.what();
    }
}

TEST_F(ProfileFileTest, BareFileNameIsRelativeToTheCurrentDirectory)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FDir.path()));
    WritePrivateProfileString("Quenlo", "User", "alice", QStringLiteral("bare.ini"));
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "User", {}, QStringLiteral("bare.ini")), "alice");
    QDir::setCurrent(previous);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("bare.ini"))));
}
