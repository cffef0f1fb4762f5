#include "GazetteerError.h"
#include "SpillAllocator.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <numeric>
#include <sys/resource.h>

using namespace Engine;

TEST(SpillAllocator, LargeArraysGrowInWorkFilesThatAreNeverLeftBehind)
{
    QTemporaryDir dir;
    SpillVector<uint64_t> values{SpillAllocator<uint64_t>(dir.path())};
    // Past the size at which an array leaves memory, and grown once more from there.
    const size_t count = 3 * SpillAllocator<uint64_t>::SpillBytes / sizeof(uint64_t);
    for (uint64_t i = 0; i < count; ++i)
        values.push_back(i * 7);
    EXPECT_EQ(values.size(), count);
    uint64_t mismatches = 0;
    for (uint64_t i = 0; i < count; ++i)
        mismatches += values[i] != i * 7;
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

TEST(SpillAllocator, AFullDiskIsReportedWithTheFolder)
{
    QTemporaryDir dir;
    SpillVector<char> bytes{SpillAllocator<char>(dir.path())};
    rlimit limit{}, small{1 << 20, 1 << 20};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto signal = std::signal(SIGXFSZ, SIG_IGN);
    small.rlim_max = limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &small);
    QString error;
    try {
        bytes.resize(SpillAllocator<char>::SpillBytes);
    } catch (const GazetteerError &e) {
        error = QString::fromStdString(e.what());
    }
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, signal);
    EXPECT_TRUE(error.startsWith(QStringLiteral("The import cannot keep its work files in %1 (%2 MB)")
                                     .arg(dir.path())
                                     .arg(SpillAllocator<char>::SpillBytes >> 20)))
        << error.toStdString();
    EXPECT_TRUE(bytes.empty());
}
