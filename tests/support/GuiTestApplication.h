#pragma once
// Including this gives the test program one QApplication, made before the first test starts
// (gtest_main owns main(), so a global test environment makes it).

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

class GuiTestApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!QApplication::instance())
            m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "orvane-test";
    char *m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

inline ::testing::Environment *const orvaneGuiTestApplication =
    ::testing::AddGlobalTestEnvironment(new GuiTestApplication);
