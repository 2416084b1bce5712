#include "logging/logger.hpp"

#include "logging/handlers/stream_log_handler.hpp"
#include "logging/level_json.hpp"
#include "logging/no_op_log_handler.hpp"
#include "platform/json/decoding_error.hpp"
#include "support/capturing_log_handler.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using logging::Level;
using logging::LogEvent;
using logging::Logger;
using logging::LogSite;
using logging::Metadata;
using logging::MetadataValue;
using testing_support::CapturingLogHandler;

// Records which lazy argument was evaluated, in order.
struct Evaluations {
    std::vector<std::string> calls;

    auto message() {
        return [this] {
            calls.push_back("message");
            return "text";
        };
    }
    auto error() {
        return [this] {
            calls.push_back("error");
            return std::make_exception_ptr(std::runtime_error("boom"));
        };
    }
    auto metadata() {
        return [this] {
            calls.push_back("metadata");
            return Metadata{{"k", "v"}};
        };
    }
    auto source() {
        return [this] {
            calls.push_back("source");
            return std::string("custom");
        };
    }
};

TEST(LoggerTest, EvaluatesNothingBelowTheLevelAndEachArgumentOnceInOrderOtherwise) {
    for (Level level : logging::allLevels) {
        SCOPED_TRACE(logging::rawValue(level));
        CapturingLogHandler handler(Level::info);
        Logger logger("test", handler);
        Evaluations seen;
        logger.log(level, seen.message(), seen.error(), seen.metadata(), seen.source());
        if (level < Level::info) {
            EXPECT_TRUE(seen.calls.empty());
            EXPECT_EQ(handler.count(), 0u);
        } else {
            EXPECT_EQ(seen.calls, (std::vector<std::string>{"message", "error", "metadata", "source"}));
            ASSERT_EQ(handler.count(), 1u);
            auto event = handler.events().front();
            EXPECT_EQ(event.level, level);
            EXPECT_EQ(event.message, "text");
            EXPECT_EQ(event.errorDescription(), "boom");
            EXPECT_EQ(event.metadataText("k"), "v");
            EXPECT_EQ(event.source, "custom");
        }
    }
}

TEST(LoggerTest, LevelMethodsFilterBeforeEvaluatingEntryValues) {
    CapturingLogHandler handler(Level::warning);
    Logger logger("test", handler);
    int evaluated = 0;
    auto counted = [&] {
        ++evaluated;
        return std::string("value");
    };
    logger.trace("t", {{"k", counted}});
    logger.debug("d", {{"k", counted}});
    logger.info("i", {{"k", counted}});
    logger.notice("n", {{"k", counted}}, "source");
    EXPECT_EQ(evaluated, 0);
    logger.warning("w", {{"k", counted}});
    logger.error("e", std::exception_ptr(), {{"k", counted}});
    logger.critical("c", {{"k", counted}}, "source");
    EXPECT_EQ(evaluated, 3);
    auto events = handler.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].level, Level::warning);
    EXPECT_EQ(events[1].level, Level::error);
    EXPECT_FALSE(events[1].error);
    EXPECT_EQ(events[2].level, Level::critical);
    EXPECT_EQ(events[2].source, "source");
}

TEST(LoggerTest, NoOpHandlerFiltersEverythingBelowCritical) {
    Logger logger("mcp.transport.stdio", logging::NoOpLogHandler());
    Evaluations seen;
    logger.error(seen.message(), seen.error(), seen.metadata(), seen.source());
    EXPECT_TRUE(seen.calls.empty());
    logger.critical(seen.message(), seen.error(), seen.metadata(), seen.source());
    EXPECT_EQ(seen.calls.size(), 4u);  // the event is built, then dropped
}

TEST(LoggerTest, EntryValuesBecomeMetadataValues) {
    CapturingLogHandler handler;
    Logger logger("test", handler);
    const std::string method = "tools/call";
    auto error = std::make_exception_ptr(std::runtime_error("broken pipe"));
    logger.debug("m", {{"method", method},
                       {"size", std::size_t{42}},
                       {"ratio", 0.5},
                       {"ok", true},
                       {"letter", 'x'},
                       {"error", error},
                       {"nested", Metadata{{"a", "b"}}},
                       {"list", MetadataValue::array({"x"})}});
    auto event = handler.events().at(0);
    ASSERT_TRUE(event.callMetadata);
    const Metadata expected{{"method", "tools/call"}, {"size", "42"},   {"ratio", "0.5"},
                            {"ok", "true"},           {"letter", "x"}, {"error", "broken pipe"},
                            {"nested", Metadata{{"a", "b"}}}, {"list", MetadataValue::array({"x"})}};
    EXPECT_EQ(*event.callMetadata, expected);
}

TEST(LoggerTest, CallWithoutMetadataGivesNoMetadataAndNoError) {
    CapturingLogHandler handler;
    Logger logger("test", handler);
    logger.info("plain");
    auto event = handler.events().at(0);
    EXPECT_FALSE(event.callMetadata);
    EXPECT_FALSE(event.error);
}

TEST(LoggerTest, ACopyChangesOnlyItself) {
    CapturingLogHandler handler(Level::info);
    Logger original("test", handler);
    Logger copy = original;
    copy.setLogLevel(Level::debug);
    copy.setMetadataValue("k", MetadataValue("v"));
    EXPECT_EQ(original.logLevel(), Level::info);
    EXPECT_FALSE(original.metadataValue("k"));
    EXPECT_EQ(copy.logLevel(), Level::debug);
    EXPECT_EQ(copy.metadataValue("k"), MetadataValue("v"));

    original.setHandler(logging::NoOpLogHandler());
    EXPECT_EQ(original.logLevel(), Level::critical);
    EXPECT_EQ(copy.logLevel(), Level::debug);

    copy.setMetadataValue("k", std::nullopt);
    EXPECT_FALSE(copy.metadataValue("k"));
}

TEST(LoggerTest, SourceDefaultsToTheModuleOfTheFileIdentifier) {
    struct Case {
        const char* name;
        std::optional<std::string> source;
        std::string file;
        std::string expected;
    };
    const Case cases[] = {
        {"ModuleAndFile", std::nullopt, "MCP/Server", "MCP"},
        {"FileAlone", std::nullopt, "Server", "n/a"},
        {"ExplicitSource", "custom", "MCP/Server", "custom"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogEvent event(Level::info, "m", std::nullopt, c.source, c.file, "f", 1);
        EXPECT_EQ(event.source(), c.expected);
    }
}

TEST(LoggerTest, ModuleNames) {
    EXPECT_EQ(logging::currentModuleFromFileID("MCP/Server"), "MCP");
    EXPECT_EQ(logging::currentModuleFromFileID("Server"), "n/a");
    EXPECT_EQ(logging::currentModuleFromFilePath("/src/net/socket.cpp"), "net");
    EXPECT_EQ(logging::currentModuleFromFilePath("net/socket.cpp"), "n/a");
    EXPECT_EQ(logging::currentModuleFromFilePath("socket.cpp"), "n/a");
    EXPECT_EQ(logging::currentModuleFromFilePath("/socket.cpp"), "n/a");
}

TEST(LoggerTest, CallSiteDefaultsToTheCaller) {
    CapturingLogHandler handler;
    Logger logger("test", handler);
    const unsigned line = __LINE__ + 1;
    logger.info("here");
    auto event = handler.events().at(0);
    // Without a module from the build, the module is the directory holding the file.
    EXPECT_EQ(event.file, "logging/logger_test.cpp");
    EXPECT_EQ(event.source, "logging");
    EXPECT_EQ(event.line, line);
    EXPECT_NE(event.function.find("TestBody"), std::string::npos) << event.function;

    logger.info("there", {{"k", "v"}}, LogSite("MCP/Server", "start", 12));
    event = handler.events().at(1);
    EXPECT_EQ(event.file, "MCP/Server");
    EXPECT_EQ(event.source, "MCP");
    EXPECT_EQ(event.function, "start");
    EXPECT_EQ(event.line, 12u);
}

TEST(LoggerTest, LevelsOrderAndParse) {
    for (std::size_t i = 1; i < logging::allLevels.size(); ++i) EXPECT_LT(logging::allLevels[i - 1], logging::allLevels[i]);
    for (Level level : logging::allLevels) {
        EXPECT_EQ(logging::levelFromRawValue(logging::rawValue(level)), level);
    }
    EXPECT_EQ(logging::rawValue(Level::notice), "notice");
    EXPECT_EQ(logging::levelFromRawValue("Notice"), std::nullopt);
    EXPECT_EQ(logging::levelFromDescription("Notice"), Level::notice);
    EXPECT_EQ(logging::levelFromDescription("CRITICAL"), Level::critical);
    EXPECT_EQ(logging::levelFromDescription("verbose"), std::nullopt);
    EXPECT_EQ(logging::levelFromDescription("criticality"), std::nullopt);
    EXPECT_EQ(logging::levelFromRawValue(""), std::nullopt);
}

TEST(LoggerTest, LevelsSerialiseAsTheirNames) {
    using Kind = platform::json::DecodingError::Kind;
    for (Level level : logging::allLevels) {
        EXPECT_EQ(logging::levelFromJSON(logging::levelToJSON(level)), level);
    }
    EXPECT_EQ(logging::levelToJSON(Level::warning), boost::json::value("warning"));
    struct Case {
        const char* name;
        boost::json::value json;
        Kind kind;
    };
    const Case refused[] = {
        {"CapitalLetter", "Warning", Kind::dataCorrupted},
        {"Unknown", "verbose", Kind::dataCorrupted},
        {"Number", 3, Kind::typeMismatch},
        {"Null", nullptr, Kind::valueNotFound},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        try {
            logging::levelFromJSON(c.json);
            ADD_FAILURE() << "accepted";
        } catch (const platform::json::DecodingError& error) {
            EXPECT_EQ(error.kind, c.kind);
        }
    }
}

TEST(LoggerTest, NoOpHandlerIgnoresEveryWrite) {
    logging::NoOpLogHandler handler("ignored label");
    handler.setLogLevel(Level::trace);
    handler.setMetadata({{"k", "v"}});
    handler.setMetadataValue("k", MetadataValue("v"));
    handler.setMetadataProvider(logging::MetadataProvider([] { return Metadata{{"p", "1"}}; }));
    EXPECT_EQ(handler.logLevel(), Level::critical);
    EXPECT_TRUE(handler.metadata().empty());
    EXPECT_FALSE(handler.metadataValue("k"));
    EXPECT_FALSE(handler.metadataProvider());
}

// Handlers that each supply one log form, to check the default routing between the forms.
struct Received {
    std::string form;
    Level level;
    std::string message;
    std::string source;
    std::string file;
    bool hadError = false;
};

struct RoutingHandler : logging::LogHandler {
    enum class Supplies { event, withSource, withoutSource };

    RoutingHandler(Supplies supplies, std::shared_ptr<std::vector<Received>> received)
        : supplies(supplies), received(std::move(received)) {}

    void log(const LogEvent& event) const override {
        if (supplies != Supplies::event) return LogHandler::log(event);
        received->push_back({"event", event.level, event.message.value, event.source(), event.file, bool(event.error)});
    }
    void log(Level level, const logging::Message& message, const std::optional<Metadata>& metadata,
             std::string_view source, std::string_view file, std::string_view function, unsigned line) const override {
        if (supplies != Supplies::withSource) return LogHandler::log(level, message, metadata, source, file, function, line);
        received->push_back({"withSource", level, message.value, std::string(source), std::string(file)});
    }
    void log(Level level, const logging::Message& message, const std::optional<Metadata>& metadata,
             std::string_view file, std::string_view function, unsigned line) const override {
        if (supplies != Supplies::withoutSource) return LogHandler::log(level, message, metadata, file, function, line);
        received->push_back({"withoutSource", level, message.value, "", std::string(file)});
    }

    std::optional<MetadataValue> metadataValue(std::string_view) const override { return std::nullopt; }
    void setMetadataValue(std::string_view, std::optional<MetadataValue>) override {}
    Metadata metadata() const override { return {}; }
    void setMetadata(Metadata) override {}
    Level logLevel() const override { return Level::trace; }
    void setLogLevel(Level) override {}

    Supplies supplies;
    std::shared_ptr<std::vector<Received>> received;
};

TEST(LoggerTest, HandlerFormsRouteToTheOneSupplied) {
    auto received = std::make_shared<std::vector<Received>>();
    auto error = std::make_exception_ptr(std::runtime_error("lost"));

    // Only the form with a source: an event arrives without its error, with its source.
    RoutingHandler withSource(RoutingHandler::Supplies::withSource, received);
    withSource.log(LogEvent(Level::info, "a", error, std::nullopt, "custom", "MCP/Server", "f", 1));
    withSource.log(LogEvent(Level::info, "b", error, std::nullopt, std::nullopt, "MCP/Server", "f", 1));
    ASSERT_EQ(received->size(), 2u);
    EXPECT_EQ((*received)[0].form, "withSource");
    EXPECT_EQ((*received)[0].source, "custom");
    EXPECT_EQ((*received)[1].source, "MCP");

    // Only the form without a source: both other forms end there.
    received->clear();
    RoutingHandler withoutSource(RoutingHandler::Supplies::withoutSource, received);
    withoutSource.log(LogEvent(Level::info, "c", std::nullopt, "custom", "MCP/Server", "f", 1));
    withoutSource.log(Level::info, "d", std::nullopt, "custom", "MCP/Server", "f", 1);
    ASSERT_EQ(received->size(), 2u);
    EXPECT_EQ((*received)[0].form, "withoutSource");
    EXPECT_EQ((*received)[1].message, "d");

    // Only the event form: the form without a source takes the module from the file's directory.
    received->clear();
    RoutingHandler eventOnly(RoutingHandler::Supplies::event, received);
    eventOnly.log(Level::info, "e", std::nullopt, "/src/net/socket.cpp", "f", 1);
    eventOnly.log(Level::info, "f", std::nullopt, "custom", "/src/net/socket.cpp", "f", 1);
    ASSERT_EQ(received->size(), 2u);
    EXPECT_EQ((*received)[0].form, "event");
    EXPECT_EQ((*received)[0].source, "net");
    EXPECT_EQ((*received)[1].source, "net");  // the form with a source drops it on the way
    EXPECT_FALSE((*received)[0].hadError);
}

TEST(LoggerTest, FactoryMakesTheHandlerFromTheLabel) {
    std::vector<std::string> labels;
    Logger logger("worker", [&](const std::string& label) {
        labels.push_back(label);
        return CapturingLogHandler(Level::debug);
    });
    EXPECT_EQ(labels, std::vector<std::string>{"worker"});
    EXPECT_EQ(logger.label(), "worker");
    EXPECT_EQ(logger.logLevel(), Level::debug);

    bool providerGiven = true;
    Logger withProvider("other", [&](const std::string&, const std::optional<logging::MetadataProvider>& provider) {
        providerGiven = provider.has_value();
        return logging::NoOpLogHandler();
    });
    EXPECT_FALSE(providerGiven);  // nothing bootstrapped a process-wide provider
}

TEST(LoggerTest, LabelAloneUsesAStandardErrorStreamHandler) {
    Logger logger("x");
    const auto* stream = logger.handler().as<logging::StreamLogHandler>();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->label(), "x");
    EXPECT_EQ(logger.logLevel(), Level::info);
    EXPECT_FALSE(logger.metadataProvider());
}

TEST(LoggerTest, LabelWithProviderSetsItOnTheHandler) {
    Logger logger("x", logging::MetadataProvider([] { return Metadata{{"trace", "abc"}}; }));
    auto provider = logger.metadataProvider();
    ASSERT_TRUE(provider);
    EXPECT_EQ(provider->get(), (Metadata{{"trace", "abc"}}));
}

TEST(MetadataProviderTest, MultiplexMergesInOrderLaterWinning) {
    using logging::MetadataProvider;
    MetadataProvider one([] { return Metadata{{"k", "1"}, {"a", "x"}}; });
    MetadataProvider two([] { return Metadata{{"k", "2"}}; });
    MetadataProvider none([] { return Metadata{}; });
    EXPECT_EQ(MetadataProvider::multiplex({one, two}).get(), (Metadata{{"k", "2"}, {"a", "x"}}));
    EXPECT_EQ(MetadataProvider::multiplex({two, one}).get(), (Metadata{{"k", "1"}, {"a", "x"}}));
    EXPECT_EQ(MetadataProvider::multiplex({one, none}).get(), (Metadata{{"k", "1"}, {"a", "x"}}));
    EXPECT_TRUE(MetadataProvider::multiplex({}).get().empty());
}

}  // namespace
