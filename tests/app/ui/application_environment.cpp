// Widgets need one QApplication for the whole test run.
#include <QApplication>
#include <gtest/gtest.h>

namespace {

class ApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "inkwarden_tests";
        static char* argv[] = {name, nullptr};
        application_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete application_; }

private:
    QApplication* application_ = nullptr;
};

[[maybe_unused]] const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace
