// Settings files as users and other programs leave them, read and written through the profile
// functions; and a writer killed at random moments while it saves.
#include "ProfileFile.h"
#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Everything an old settings file may hold at once.
QByteArray awkwardFile(const QByteArray &longValue)
{
    return QByteArray("\xEF\xBB\xBF") + "; written by hand\r\n"
           "[quenlo]\r\n"
           "; the server\r\n"
           "SERVER = kunden.mdb\r\n"
           "user=M\xFCller\r\n"               // Latin-1, as an ANSI editor saves it
           "User=second\r\n"                  // a duplicate: the first one counts
           "Notes=" + longValue + "\r\n"
           "AgentName=\"Merlin \"\r\n"
           "\r\n"
           "[Other]\r\n"
           "User=other section\r\n";
}

} // namespace

TEST(ProfileRoundTrip, AwkwardFilesKeepTheirValuesAndEveryOtherLine)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("params.ini"));
    const QByteArray longValue(1024 * 1024, 'x');
    const QByteArray original = awkwardFile(longValue);
    store(file, original);

    EXPECT_EQ(GetPrivateProfileString("Quenlo", "Server", "", file), "kunden.mdb");
    EXPECT_EQ(GetPrivateProfileString("QUENLO", "USER", "", file), "M\xFCller");
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "agentname", "", file), "Merlin ");
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "Notes", "", file), longValue.left(ProfileValueMax));
    EXPECT_EQ(GetPrivateProfileString("Other", "User", "", file), "other section");
    EXPECT_TRUE(ProfileKeyExists("quenlo", "server", file));

    // Writing the value it holds changes no byte; a new value changes that line only.
    WritePrivateProfileString("Quenlo", "User", "M\xFCller", file);
    EXPECT_EQ(contents(file), original);
    WritePrivateProfileString("Quenlo", "USER", "Stra\xDF" "e", file);
    QByteArray expected = original;
    expected.replace("user=M\xFCller\r\n", "user=Stra\xDF" "e\r\n");
    EXPECT_EQ(contents(file), expected);
    WritePrivateProfileString("Quenlo", "Style", "3", file);
    expected.replace("AgentName=\"Merlin \"\r\n", "AgentName=\"Merlin \"\r\nStyle=3\r\n");
    EXPECT_EQ(contents(file), expected);
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "Style", "", file), "3");
    EXPECT_EQ(GetPrivateProfileString("Quenlo", "Notes", "", file), longValue.left(ProfileValueMax));
}

// A child saves one key over and over; it is killed at random moments, 50 times. The file must
// always be one whole save: the old or the new content, never a cut or mixed one.
TEST(ProfileRoundTrip, KilledWhileSavingLeavesAWholeFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("params.ini"));
    QByteArray filler;
    for (int i = 0; i < 4000; ++i)
        filler += "; line " + QByteArray::number(i) + " of a long comment block kept byte for byte\n";
    const QByteArray head = "[Quenlo]\n" + filler + "Counter=";
    const QByteArray tail = "\n[Other]\n" + filler;
    store(file, head + "0" + tail);
    const QRegularExpression counter(QStringLiteral("^[0-9]+$"));

    QRandomGenerator random(1313);
    int whole = 0, broken = 0;
    for (int kill = 0; kill < 50; ++kill) {
        const pid_t pid = fork();
        if (pid == 0) {
            for (qint64 n = 1;; ++n)
                WritePrivateProfileString("Quenlo", "Counter", QByteArray::number(n), file);
        }
        ASSERT_GT(pid, 0);
        usleep(useconds_t(1000 + random.bounded(40000)));
        ::kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        const QByteArray now = contents(file);
        const bool ok = now.startsWith(head) && now.endsWith(tail) && now.size() > head.size() + tail.size()
            && counter.match(QString::fromLatin1(now.mid(head.size(), now.size() - head.size() - tail.size()))).hasMatch();
        ok ? ++whole : ++broken;
        EXPECT_TRUE(ok) << "kill " << kill << ": the file is cut or mixed (" << now.size() << " bytes)";
        // Start each round from the old value again, as the program would at its next start.
        store(file, head + "0" + tail);
    }
    const int leftovers = int(QDir(dir.path()).entryList(QDir::Files).size()) - 1;
    std::printf("50 kills during saving: whole files %d, truncated or interleaved %d, temporary files left %d\n",
                whole, broken, leftovers);
    EXPECT_EQ(broken, 0);
}
