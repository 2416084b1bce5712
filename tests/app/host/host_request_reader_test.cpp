#include "host/host_request_reader.hpp"

#include <gtest/gtest.h>

#include <string>

namespace inkwarden {
namespace {

using Status = HostRequestReader::Status;

TEST(HostRequestReaderTest, ReadsTheSameRequestWhereverTheBytesAreCut) {
    const std::string text = "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1:1\r\nContent-Length: 7\r\n\r\n{\"a\":1}";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        SCOPED_TRACE(cut);
        HostRequestReader reader;
        auto first = reader.feed(std::string_view(text).substr(0, cut));
        EXPECT_EQ(first, cut == text.size() ? Status::complete : Status::needMore);
        EXPECT_EQ(reader.feed(std::string_view(text).substr(cut)), Status::complete);
        auto request = reader.take();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, "/mcp");
        EXPECT_EQ(request.headers, (std::map<std::string, std::string>{{"Content-Length", "7"}, {"Host", "127.0.0.1:1"}}));
        EXPECT_EQ(request.body, "{\"a\":1}");
    }
}

TEST(HostRequestReaderTest, HoldsItsLimitsExactly) {
    HostRequestReader::Limits limits{.maxUnterminatedHeaderBytes = 20, .maxBodyBytes = 5};
    {
        HostRequestReader reader(limits);
        EXPECT_EQ(reader.feed(std::string(20, 'x')), Status::needMore);
        EXPECT_EQ(reader.feed("x"), Status::refused);
    }
    {
        // The terminator in a buffer already past the limit still counts.
        HostRequestReader reader(limits);
        EXPECT_EQ(reader.feed("GET / HTTP/1.1\r\nX: " + std::string(30, 'h') + "\r\n\r\n"), Status::complete);
    }
    struct Case {
        const char* length;
        Status status;
    };
    const Case cases[] = {{"5", Status::needMore}, {"6", Status::refused}, {"+5", Status::needMore},
                          {"-3", Status::complete}, {" 5", Status::needMore}, {"5x", Status::complete},
                          {"99999999999999999999", Status::complete}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        HostRequestReader reader(limits);
        EXPECT_EQ(reader.feed(std::string("POST / HTTP/1.1\r\nContent-Length: ") + c.length + "\r\n\r\n"), c.status);
    }
}

TEST(HostRequestReaderTest, AnEmptyBodyIsNoBody) {
    HostRequestReader reader;
    ASSERT_EQ(reader.feed("GET / HTTP/1.1\r\n\r\n"), Status::complete);
    EXPECT_EQ(reader.take().body, std::nullopt);
}

}  // namespace
}  // namespace inkwarden
