// The main() of every test program: a per-user store and data folder of its own, made here and
// removed at the end, so that a test started by hand never reads or clears the developer's own
// settings, mapping or run journals.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv)
{
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "No temporary folder for the test's settings: %s\n", qPrintable(home.errorString()));
        return 1;
    }
    // Before anything reads them: the per-user store is found once per process.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(home.filePath(QStringLiteral("xdg"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    // Headless unless the developer asks for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
