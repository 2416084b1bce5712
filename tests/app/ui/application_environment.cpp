// Widgets need one QApplication for the whole test run.
#include <gtest/gtest.h>

#include "support/qt_application.hpp"

namespace {

class ApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override { testing_support::qtApplication(); }
};

[[maybe_unused]] const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace
