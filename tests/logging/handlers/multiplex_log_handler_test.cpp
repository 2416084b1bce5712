#include "logging/handlers/multiplex_log_handler.hpp"

#include "logging/logger.hpp"
#include "support/capturing_log_handler.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using logging::Level;
using logging::LogEvent;
using logging::Logger;
using logging::Metadata;
using logging::MetadataProvider;
using logging::MetadataValue;
using logging::MultiplexLogHandler;
using testing_support::CapturingLogHandler;

// A capturing handler that also notes its name in a journal shared by several handlers, to see
// the order in which a multiplex calls them.
struct JournalHandler : CapturingLogHandler {
    JournalHandler(std::string name, Level level, std::shared_ptr<std::vector<std::string>> journal)
        : CapturingLogHandler(level), name(std::move(name)), journal(std::move(journal)) {}

    using CapturingLogHandler::log;
    void log(const LogEvent& event) const override {
        journal->push_back(name + ":" + event.message.value);
        CapturingLogHandler::log(event);
    }

    std::string name;
    std::shared_ptr<std::vector<std::string>> journal;
};

LogEvent eventAt(Level level, std::string message) {
    return LogEvent(level, std::move(message), std::nullopt, "s", "MCP/x", "f", 1);
}

MetadataProvider providerOf(Metadata metadata) {
    return MetadataProvider([metadata] { return metadata; });
}

TEST(MultiplexLogHandlerTest, EachHandlerFiltersByItsOwnLevel) {
    auto journal = std::make_shared<std::vector<std::string>>();
    MultiplexLogHandler multiplex({JournalHandler("first", Level::info, journal),
                                   JournalHandler("second", Level::debug, journal)});
    EXPECT_EQ(multiplex.logLevel(), Level::debug);

    multiplex.log(eventAt(Level::trace, "t"));
    multiplex.log(eventAt(Level::debug, "d"));
    multiplex.log(eventAt(Level::info, "i"));
    multiplex.log(Level::warning, "w", std::nullopt, "src", "MCP/x", "f", 1);
    EXPECT_EQ(*journal, (std::vector<std::string>{"second:d", "first:i", "second:i", "first:w", "second:w"}));
}

TEST(MultiplexLogHandlerTest, LoggerFiltersByTheLowestLevelFirst) {
    CapturingLogHandler info(Level::info);
    CapturingLogHandler warning(Level::warning);
    Logger logger("m", MultiplexLogHandler({info, warning}));
    int evaluated = 0;
    auto counted = [&] {
        ++evaluated;
        return "x";
    };
    logger.debug(counted);
    EXPECT_EQ(evaluated, 0);
    logger.info(counted);
    EXPECT_EQ(evaluated, 1);
    EXPECT_EQ(info.count(), 1u);
    EXPECT_EQ(warning.count(), 0u);
}

TEST(MultiplexLogHandlerTest, SettingTheLevelSetsEveryHandler) {
    MultiplexLogHandler multiplex({CapturingLogHandler(Level::info), CapturingLogHandler(Level::debug)});
    multiplex.setLogLevel(Level::error);
    EXPECT_EQ(multiplex.logLevel(), Level::error);
    for (const auto& handler : multiplex.handlers()) EXPECT_EQ(handler->logLevel(), Level::error);
}

TEST(MultiplexLogHandlerTest, MetadataMergesInOrderAndTheKeyReadsTheFirst) {
    CapturingLogHandler first;
    first.setMetadata({{"a", "1"}});
    CapturingLogHandler second;
    second.setMetadata({{"a", "2"}, {"b", "3"}});
    MultiplexLogHandler multiplex({first, second});
    EXPECT_EQ(multiplex.metadata(), (Metadata{{"a", "2"}, {"b", "3"}}));
    EXPECT_EQ(multiplex.metadataValue("a"), MetadataValue("1"));
    EXPECT_EQ(multiplex.metadataValue("b"), MetadataValue("3"));
    EXPECT_EQ(multiplex.metadataValue("c"), std::nullopt);
}

TEST(MultiplexLogHandlerTest, MetadataIncludesProvidersOwnLast) {
    CapturingLogHandler first;
    first.setMetadata({{"k", "first"}, {"a", "1"}});
    first.setMetadataProvider(providerOf({{"k", "first provider"}, {"p", "1"}}));
    CapturingLogHandler second;
    second.setMetadata({{"k", "second"}});
    MultiplexLogHandler multiplex({first, second}, providerOf({{"o", "own"}}));
    EXPECT_EQ(multiplex.metadata(), (Metadata{{"k", "second"}, {"a", "1"}, {"p", "1"}, {"o", "own"}}));

    MultiplexLogHandler ownWins({first}, providerOf({{"k", "own"}}));
    EXPECT_EQ(ownWins.metadata().at("k"), MetadataValue("own"));
}

TEST(MultiplexLogHandlerTest, MetadataWritesReachEveryHandler) {
    MultiplexLogHandler multiplex({CapturingLogHandler(), CapturingLogHandler()});
    multiplex.setMetadata({{"a", "1"}, {"b", "2"}});
    multiplex.setMetadataValue("a", MetadataValue("10"));
    multiplex.setMetadataValue("b", std::nullopt);
    for (const auto& handler : multiplex.handlers()) EXPECT_EQ(handler->metadata(), (Metadata{{"a", "10"}}));
}

TEST(MultiplexLogHandlerTest, ReadsTheProviderOfOneHandler) {
    struct Case {
        const char* name;
        std::optional<MetadataProvider> handlerProvider;
        std::optional<MetadataProvider> ownProvider;
        std::optional<Metadata> expected;
    };
    const Case cases[] = {
        {"Neither", std::nullopt, std::nullopt, std::nullopt},
        {"HandlerOnly", providerOf({{"k", "handler"}}), std::nullopt, Metadata{{"k", "handler"}}},
        {"OwnOnly", std::nullopt, providerOf({{"k", "own"}}), Metadata{{"k", "own"}}},
        {"BothOwnLast", providerOf({{"k", "handler"}, {"h", "1"}}), providerOf({{"k", "own"}}),
         Metadata{{"k", "own"}, {"h", "1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CapturingLogHandler handler;
        handler.setMetadataProvider(c.handlerProvider);
        MultiplexLogHandler multiplex({handler}, c.ownProvider);
        auto provider = multiplex.metadataProvider();
        ASSERT_EQ(provider.has_value(), c.expected.has_value());
        if (provider) {
            EXPECT_EQ(provider->get(), *c.expected);
        }
    }
}

TEST(MultiplexLogHandlerTest, ReadsTheProvidersOfSeveralHandlersCombined) {
    CapturingLogHandler without;
    CapturingLogHandler with;
    with.setMetadataProvider(providerOf({{"k", "handler"}}));
    EXPECT_FALSE(MultiplexLogHandler({without, without}).metadataProvider());

    auto single = MultiplexLogHandler({without, with}).metadataProvider();
    ASSERT_TRUE(single);
    EXPECT_EQ(single->get(), (Metadata{{"k", "handler"}}));

    auto withOwn = MultiplexLogHandler({with, without}, providerOf({{"k", "own"}, {"o", "1"}})).metadataProvider();
    ASSERT_TRUE(withOwn);
    EXPECT_EQ(withOwn->get(), (Metadata{{"k", "own"}, {"o", "1"}}));
}

TEST(MultiplexLogHandlerTest, WritingTheProviderSetsEveryHandlerButNotItsOwn) {
    int calls = 0;
    MetadataProvider written([&calls] {
        ++calls;
        return Metadata{{"w", "1"}};
    });
    MultiplexLogHandler multiplex({CapturingLogHandler(), CapturingLogHandler()}, providerOf({{"o", "own"}}));
    multiplex.setMetadataProvider(written);
    for (const auto& handler : multiplex.handlers()) {
        auto provider = handler->metadataProvider();
        ASSERT_TRUE(provider);
        EXPECT_EQ(provider->get(), (Metadata{{"w", "1"}}));
    }
    calls = 0;
    auto combined = multiplex.metadataProvider();
    ASSERT_TRUE(combined);
    EXPECT_EQ(combined->get(), (Metadata{{"w", "1"}, {"o", "own"}}));
    EXPECT_EQ(calls, 2);  // once per handler's copy
}

TEST(MultiplexLogHandlerTest, EmptyListLogsNothingAtTrace) {
    MultiplexLogHandler multiplex({});
    EXPECT_EQ(multiplex.logLevel(), Level::trace);
    multiplex.log(eventAt(Level::critical, "c"));
    EXPECT_TRUE(multiplex.metadata().empty());
    EXPECT_FALSE(multiplex.metadataProvider());
}

}  // namespace
