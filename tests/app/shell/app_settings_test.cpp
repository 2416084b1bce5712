#include "shell/app_settings.hpp"

#include "platform/json/parse.hpp"
#include "support/temporary_folder.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>

namespace inkwarden {
namespace {

using testing_support::AppFoldersSandbox;

void storeRaw(const std::string& json) {
    auto path = AppSettings::file().path();
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << json;
}

TEST(AppSettingsTest, EndpointUsesTheStoredPortOrTheDefault) {
    AppFoldersSandbox sandbox;
    struct Case {
        const char* stored;
        const char* endpoint;
    };
    const Case cases[] = {
        {"{}", "http://127.0.0.1:47292/mcp"},
        {R"({"port":0})", "http://127.0.0.1:47292/mcp"},
        {R"({"port":8080})", "http://127.0.0.1:8080/mcp"},
        {R"({"port":"8081"})", "http://127.0.0.1:8081/mcp"},
        {R"({"port":"eighty"})", "http://127.0.0.1:47292/mcp"},
        {R"({"port":[1]})", "http://127.0.0.1:47292/mcp"},
        {R"(not json)", "http://127.0.0.1:47292/mcp"},
        {R"({"port":70000})", "http://127.0.0.1:70000/mcp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        storeRaw(c.stored);
        EXPECT_EQ(AppSettings::endpoint(), c.endpoint);
    }
}

TEST(AppSettingsTest, TokenIsMadeOnceAndStoredAsTheSettingsKeepIt) {
    AppFoldersSandbox sandbox;
    auto token = AppSettings::token();
    EXPECT_EQ(token.size(), 48u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(AppSettings::token(), token);
    EXPECT_NE(AppSettings::randomToken(), token);
    // Other keys survive token writes; an empty stored token is returned as it is.
    AppSettings::setHasSeenWelcome(true);
    AppSettings::setToken("");
    EXPECT_EQ(AppSettings::token(), "");
    EXPECT_TRUE(AppSettings::hasSeenWelcome());
}

TEST(AppSettingsTest, ConcurrentFirstReadsInTwoProcessesAgreeOnOneToken) {
    for (int round = 0; round < 10; ++round) {
        AppFoldersSandbox sandbox;
        int pipes[2];
        ASSERT_EQ(::pipe(pipes), 0);
        pid_t children[2];
        for (auto& child : children) {
            child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                auto token = AppSettings::token() + "\n";
                (void)!::write(pipes[1], token.data(), token.size());
                ::_exit(0);
            }
        }
        ::close(pipes[1]);
        std::string output;
        char buffer[256];
        for (ssize_t got; (got = ::read(pipes[0], buffer, sizeof buffer)) > 0;) output.append(buffer, got);
        ::close(pipes[0]);
        for (auto child : children) ::waitpid(child, nullptr, 0);
        ASSERT_EQ(output.size(), 2 * 49u);
        EXPECT_EQ(output.substr(0, 49), output.substr(49)) << "round " << round;
        EXPECT_EQ(AppSettings::token() + "\n", output.substr(0, 49));
    }
}

TEST(AppSettingsTest, CompanyTextIsTrimmedCutToSixLinesAndThreeHundredCharacters) {
    AppFoldersSandbox sandbox;
    struct Case {
        const char* name;
        std::string stored;
        std::string expected;
    };
    const std::string accented = "e\xCC\x81";  // e and a combining acute: one character
    const Case cases[] = {
        {"InnerEmptyLineKept", "  A\nB\n\nD\n  ", "A\nB\n\nD"},
        {"EightLinesKeepSix", "1\n2\n3\n4\n5\n6\n7\n8", "1\n2\n3\n4\n5\n6"},
        {"LongLineKeepsThreeHundred", std::string(400, 'x'), std::string(300, 'x')},
        {"GraphemesCountOnce", [&] {
             std::string s;
             for (int i = 0; i < 301; ++i) s += accented;
             return s;
         }(),
         [&] {
             std::string s;
             for (int i = 0; i < 300; ++i) s += accented;
             return s;
         }()},
        {"CRLFIsNoLineFeed", "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng", "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng"},
        {"UnicodeSpacesTrimmed", "\xC2\xA0\xE2\x80\x83" "Name\xE3\x80\x80", "Name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppSettings::setCompanyText(c.stored);
        EXPECT_EQ(AppSettings::companyText(), c.expected);
    }
    storeRaw(R"({"companyText":5})");
    EXPECT_EQ(AppSettings::companyText(), "");
}

TEST(AppSettingsTest, WritesAreAtomicFilesAndTellTheObservers) {
    AppFoldersSandbox sandbox;
    static std::vector<std::string> keys;  // observers live for the process
    static bool registered = false;
    if (!registered) {
        AppSettings::observe([](std::string_view key) { keys.emplace_back(key); });
        registered = true;
    }
    keys.clear();
    AppSettings::setLastUpdateCheck(1700000000.5);
    AppSettings::setHasConnectedClient(true);
    EXPECT_EQ(AppSettings::lastUpdateCheck(), 1700000000.5);
    EXPECT_TRUE(AppSettings::hasConnectedClient());
    EXPECT_EQ(keys, (std::vector<std::string>{"lastUpdateCheck", "hasConnectedClient"}));
    // No temporary files are left beside the settings.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(AppSettings::file().path().parent_path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"settings.json", "settings.json.lock"}));
}

}  // namespace
}  // namespace inkwarden
