#pragma once

// The Qt application object a test program needs for the whole run: created before the first
// test (unless one exists already) and destroyed after the last. A test program registers it once
// with MIRELO_TEST_APPLICATION(QCoreApplication) or MIRELO_TEST_APPLICATION(QApplication).

#include <gtest/gtest.h>

#include <memory>

namespace mirelo::test {

template <class Application> class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "mirelo-test";
        static char* argv[] = {name, nullptr};
        if (!Application::instance())
            m_app = std::make_unique<Application>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<Application> m_app;
};

} // namespace mirelo::test

#define MIRELO_TEST_APPLICATION(Application)                                                       \
    namespace {                                                                                    \
    [[maybe_unused]] const auto* const kMireloTestApplication =                                    \
        ::testing::AddGlobalTestEnvironment(                                                       \
            new ::mirelo::test::ApplicationEnvironment<Application>);                              \
    }
