#include "logging/handlers/stream_log_handler.hpp"

#include "logging/handlers/stdio_output_stream.hpp"
#include "logging/logger.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <latch>
#include <limits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace stream_test {

using logging::Level;
using logging::Logger;
using logging::LogSite;
using logging::Metadata;
using logging::MetadataProvider;
using logging::MetadataValue;
using logging::StreamLogHandler;

struct CustomFailure : std::runtime_error {
    CustomFailure() : std::runtime_error("custom failure") {}
};

// Keeps every text written to it, one element per write.
struct CapturingStream : logging::TextOutputStream {
    void write(std::string_view text) override {
        std::lock_guard lock(mutex);
        writes.emplace_back(text);
    }
    std::mutex mutex;
    std::vector<std::string> writes;
};

// "2024-05-01T09:30:00+0200": the shape of a time stamp.
bool isTimestamp(std::string_view text) {
    const std::string_view shape = "dddd-dd-ddTdd:dd:dd+dddd";
    if (text.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i]));
        if (shape[i] == 'd' ? !digit : shape[i] == '+' ? text[i] != '+' && text[i] != '-' : text[i] != shape[i]) return false;
    }
    return true;
}

// The line without its time stamp, after checking the stamp's shape.
std::string withoutTimestamp(const std::string& line) {
    auto blank = line.find(' ');
    EXPECT_NE(blank, std::string::npos) << line;
    EXPECT_TRUE(isTimestamp(std::string_view(line).substr(0, blank))) << line;
    return line.substr(blank + 1);
}

const LogSite kSite("MCP/server.cpp", "run", 7);

TEST(StreamLogHandlerTest, WritesTheLineFormat) {
    auto failure = std::make_exception_ptr(CustomFailure());
    struct Case {
        const char* name;
        std::string label;
        Metadata handlerMetadata;
        std::optional<MetadataProvider> provider;
        std::optional<Metadata> callMetadata;
        std::exception_ptr error;
        std::string expected;
    };
    const Case cases[] = {
        {"Label", "worker", {}, std::nullopt, std::nullopt, nullptr, "info worker: [MCP] hello\n"},
        {"NoLabel", "", {}, std::nullopt, std::nullopt, nullptr, "info: [MCP] hello\n"},
        {"HandlerMetadataSorted", "worker", {{"b", "2"}, {"a", "1"}}, std::nullopt, std::nullopt, nullptr,
         "info worker: a=1 b=2 [MCP] hello\n"},
        {"ErrorEntries", "worker", {}, std::nullopt, std::nullopt, failure,
         "info worker: error.message=custom failure error.type=stream_test::CustomFailure [MCP] hello\n"},
        {"ErrorAmongSortedEntries", "", {{"z", "last"}, {"a", "first"}}, std::nullopt, std::nullopt, failure,
         "info: a=first error.message=custom failure error.type=stream_test::CustomFailure z=last [MCP] hello\n"},
        {"ErrorReplacesCallEntries", "", {}, std::nullopt, Metadata{{"error.message", "mine"}}, failure,
         "info: error.message=custom failure error.type=stream_test::CustomFailure [MCP] hello\n"},
        {"CallBeatsProvider", "", {}, MetadataProvider([] { return Metadata{{"k", "provided"}}; }),
         Metadata{{"k", "call"}}, nullptr, "info: k=call [MCP] hello\n"},
        {"ProviderBeatsHandler", "", {{"k", "handler"}}, MetadataProvider([] { return Metadata{{"k", "provided"}}; }),
         std::nullopt, nullptr, "info: k=provided [MCP] hello\n"},
        {"AllThreeMerge", "", {{"h", "1"}}, MetadataProvider([] { return Metadata{{"p", "2"}}; }),
         Metadata{{"c", "3"}}, nullptr, "info: c=3 h=1 p=2 [MCP] hello\n"},
        {"EmptyProviderUsesCache", "", {{"a", "1"}}, MetadataProvider([] { return Metadata{}; }), std::nullopt, nullptr,
         "info: a=1 [MCP] hello\n"},
        {"EmptyCallMetadataUsesCache", "", {{"a", "1"}}, std::nullopt, Metadata{}, nullptr, "info: a=1 [MCP] hello\n"},
        {"NestedValues", "", {}, std::nullopt, Metadata{{"list", MetadataValue::array({"x", "y"})}}, nullptr,
         "info: list=[\"x\", \"y\"] [MCP] hello\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto stream = std::make_shared<CapturingStream>();
        StreamLogHandler handler(c.label, stream, c.provider);
        handler.setMetadata(c.handlerMetadata);
        Logger logger(c.label, handler);
        logger.info("hello", c.error, c.callMetadata ? logging::LazyMetadata(*c.callMetadata) : logging::LazyMetadata(),
                    {}, kSite);
        ASSERT_EQ(stream->writes.size(), 1u);
        EXPECT_EQ(withoutTimestamp(stream->writes[0]), c.expected);
    }
}

TEST(StreamLogHandlerTest, KeepsTheRenderingOfItsMetadataCurrent) {
    auto stream = std::make_shared<CapturingStream>();
    StreamLogHandler handler("", stream, std::nullopt);
    EXPECT_EQ(handler.logLevel(), Level::info);
    handler.setMetadataValue("b", MetadataValue("2"));
    handler.setMetadataValue("a", MetadataValue("1"));
    handler.log(logging::LogEvent(Level::info, "one", std::nullopt, "s", "f", "g", 1));
    handler.setMetadataValue("a", std::nullopt);
    handler.log(logging::LogEvent(Level::info, "two", std::nullopt, "s", "f", "g", 1));
    handler.setMetadata({});
    handler.log(logging::LogEvent(Level::info, "three", std::nullopt, "s", "f", "g", 1));
    ASSERT_EQ(stream->writes.size(), 3u);
    EXPECT_EQ(withoutTimestamp(stream->writes[0]), "info: a=1 b=2 [s] one\n");
    EXPECT_EQ(withoutTimestamp(stream->writes[1]), "info: b=2 [s] two\n");
    EXPECT_EQ(withoutTimestamp(stream->writes[2]), "info: [s] three\n");
    EXPECT_EQ(handler.metadataValue("b"), std::nullopt);
}

TEST(StreamLogHandlerTest, WritesWhateverLevelReachesIt) {
    auto stream = std::make_shared<CapturingStream>();
    StreamLogHandler handler("w", stream, std::nullopt);
    handler.setLogLevel(Level::error);
    handler.log(Level::trace, "low", std::nullopt, "src", "MCP/x", "f", 1);
    ASSERT_EQ(stream->writes.size(), 1u);
    EXPECT_EQ(withoutTimestamp(stream->writes[0]), "trace w: [src] low\n");
}

TEST(StreamLogHandlerTest, CopiesKeepTheirOwnMetadata) {
    auto stream = std::make_shared<CapturingStream>();
    StreamLogHandler first("", stream, std::nullopt);
    first.setMetadata({{"a", "1"}});
    StreamLogHandler second = first;
    second.setMetadataValue("a", MetadataValue("2"));
    first.log(logging::LogEvent(Level::info, "m", std::nullopt, "s", "f", "g", 1));
    second.log(logging::LogEvent(Level::info, "m", std::nullopt, "s", "f", "g", 1));
    ASSERT_EQ(stream->writes.size(), 2u);
    EXPECT_EQ(withoutTimestamp(stream->writes[0]), "info: a=1 [s] m\n");
    EXPECT_EQ(withoutTimestamp(stream->writes[1]), "info: a=2 [s] m\n");
}

// Sets TZ for the life of the object.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) previous_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (previous_) {
            setenv("TZ", previous_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> previous_;
};

TEST(StreamLogHandlerTest, TimestampIsLocalTimeWithOffset) {
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(StreamLogHandler::timestamp(0), "1970-01-01T00:00:00+0000");
        EXPECT_EQ(StreamLogHandler::timestamp(1714555800), "2024-05-01T09:30:00+0000");
    }
    {
        ScopedTimeZone zone("<+02>-2");
        EXPECT_EQ(StreamLogHandler::timestamp(1714555800), "2024-05-01T11:30:00+0200");
    }
    // A time whose year does not fit the broken-down form cannot be broken down.
    EXPECT_EQ(StreamLogHandler::timestamp(std::numeric_limits<std::time_t>::max()), "<unknown>");
}

TEST(StdioOutputStreamTest, LocksWritesUnlocksThenFlushes) {
    struct Case {
        const char* name;
        std::string text;
        logging::StdioOutputStream::FlushMode mode;
        std::vector<std::string> expected;
    };
    using Mode = logging::StdioOutputStream::FlushMode;
    const Case cases[] = {
        {"Text", "abc", Mode::always, {"lock", "write 1x3 abc", "unlock", "flush"}},
        {"EmptyText", "", Mode::always, {"lock", "unlock", "flush"}},
        {"NoFlush", "abc", Mode::undefined, {"lock", "write 1x3 abc", "unlock"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> calls;
        using File = std::vector<std::string>*;
        logging::StdioOutputStream stream(
            &calls, c.mode, std::function<void(File)>([](File f) { f->push_back("lock"); }),
            std::function<void(File)>([](File f) { f->push_back("unlock"); }),
            std::function<std::size_t(const void*, std::size_t, std::size_t, File)>(
                [](const void* bytes, std::size_t size, std::size_t count, File f) {
                    f->push_back("write " + std::to_string(size) + "x" + std::to_string(count) + " " +
                                 std::string(static_cast<const char*>(bytes), size * count));
                    return count;
                }),
            std::function<int(File)>([](File f) {
                f->push_back("flush");
                return 0;
            }));
        stream.write(c.text);
        EXPECT_EQ(calls, c.expected);
    }
}

TEST(StdioOutputStreamTest, LinesFromManyThreadsStayWhole) {
    constexpr int kThreads = 8;
    constexpr int kLines = 500;
    constexpr std::size_t kPadding = 1000;
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&buffer, &size);
    ASSERT_NE(file, nullptr);
    {
        StreamLogHandler handler("worker", logging::StdioOutputStream::file(file), std::nullopt);
        handler.setMetadata({{"padding", MetadataValue(std::string(kPadding, 'x'))}});
        Logger logger("worker", handler);
        std::latch start(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&logger, &start, t] {
                start.arrive_and_wait();
                for (int i = 0; i < kLines; ++i) logger.info("thread", {{"t", t}, {"i", i}}, kSite);
            });
        }
        for (auto& thread : threads) thread.join();
    }
    std::fclose(file);
    std::istringstream lines(std::string(buffer, size));
    std::free(buffer);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const std::string rest = withoutTimestamp(line);
        ASSERT_EQ(rest.rfind("info worker: i=", 0), 0u) << line;
        ASSERT_NE(rest.find(" padding=" + std::string(kPadding, 'x') + " t="), std::string::npos) << line;
        ASSERT_TRUE(rest.ends_with(" [MCP] thread")) << line;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace stream_test
