// The library's target defines INKWARDEN_LOG_SOURCE="MCP"; this file does the same to see what
// the library's call sites report.
#define INKWARDEN_LOG_SOURCE "MCP"

#include "logging/logger.hpp"

#include "support/capturing_log_handler.hpp"

#include <gtest/gtest.h>

namespace {

TEST(LibraryCallSiteTest, ReportsTheLibraryModuleAsSource) {
    testing_support::CapturingLogHandler handler;
    logging::Logger logger("mcp.transport.stdio", handler);
    logger.warning("Failed to decode message", {{"error", "bad"}});
    logger.info("with source", {}, "custom");
    auto events = handler.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].file, "MCP/library_call_site_test.cpp");
    EXPECT_EQ(events[0].source, "MCP");
    EXPECT_EQ(events[1].source, "custom");
}

}  // namespace
