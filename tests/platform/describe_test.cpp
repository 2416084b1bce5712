#include "platform/describe.hpp"

#include <stdexcept>
#include <system_error>

#include <gtest/gtest.h>

#include "platform/json/decoding_error.hpp"

namespace {

TEST(DescribeTest, GivesTheDescriptionOfAnyError) {
    using platform::describe;
    EXPECT_EQ(describe(std::make_exception_ptr(std::runtime_error("boom"))), "boom");
    EXPECT_EQ(describe(std::make_exception_ptr(platform::json::DecodingError::dataCorrupted("Invalid params field"))),
              "Invalid params field");
    EXPECT_EQ(describe(std::make_exception_ptr(42)), "Unknown error");
    EXPECT_EQ(describe(nullptr), "Unknown error");
}

}  // namespace
