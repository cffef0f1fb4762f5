#include "StartupEnvironment.h"

#include <gtest/gtest.h>

namespace {

TEST(StartupEnvironment, GazetteerVariablesNameTheFilesAndOtherwiseTheDefaultsStand)
{
    qunsetenv("ORVANE_GAZETTEER");
    qunsetenv("ORVANE_USER_GAZETTEER");
    const Engine::GazetteerFiles defaults = Engine::GazetteerFiles::defaults();
    EXPECT_TRUE(defaults.shipped.endsWith(QStringLiteral("/gazetteer.bin")));
    EXPECT_TRUE(defaults.user.endsWith(QStringLiteral("/Orvane/gazetteer.bin")));
    EXPECT_EQ(GazetteerFilesFromEnvironment().shipped, defaults.shipped);
    EXPECT_EQ(GazetteerFilesFromEnvironment().user, defaults.user);

    qputenv("ORVANE_GAZETTEER", "/data/shipped.bin");
    qputenv("ORVANE_USER_GAZETTEER", "/data/user.bin");
    EXPECT_EQ(GazetteerFilesFromEnvironment().shipped, QStringLiteral("/data/shipped.bin"));
    EXPECT_EQ(GazetteerFilesFromEnvironment().user, QStringLiteral("/data/user.bin"));
    // Set but empty counts as not set.
    qputenv("ORVANE_USER_GAZETTEER", "");
    EXPECT_EQ(GazetteerFilesFromEnvironment().user, defaults.user);
    qunsetenv("ORVANE_GAZETTEER");
    qunsetenv("ORVANE_USER_GAZETTEER");
}

} // namespace
