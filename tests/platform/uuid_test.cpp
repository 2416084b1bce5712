#include "platform/uuid.hpp"

#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

bool isUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

TEST(UuidTest, MakesCanonicalUpperCaseVersion4Text) {
    for (int i = 0; i < 100; ++i) {
        std::string text = platform::makeUUIDString();
        SCOPED_TRACE(text);
        ASSERT_EQ(text.size(), 36u);
        for (std::size_t at = 0; at < text.size(); ++at) {
            bool dash = at == 8 || at == 13 || at == 18 || at == 23;
            EXPECT_TRUE(dash ? text[at] == '-' : isUpperHex(text[at])) << "at " << at;
        }
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
    }
}

TEST(UuidTest, NeverRepeatsAcrossThreads) {
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::vector<std::vector<std::string>> made(kThreads);
    std::vector<std::thread> threads;
    for (auto& list : made) {
        threads.emplace_back([&list] {
            for (int i = 0; i < kEach; ++i) list.push_back(platform::makeUUIDString());
        });
    }
    for (auto& thread : threads) thread.join();
    std::set<std::string> distinct;
    for (const auto& list : made) distinct.insert(list.begin(), list.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
