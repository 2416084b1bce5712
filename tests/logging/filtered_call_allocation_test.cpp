#include "logging/logger.hpp"

#include "logging/handlers/stream_log_handler.hpp"
#include "logging/no_op_log_handler.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

// Counts the allocations of this test executable's thread while counting is switched on, to show
// that a call below the handler's level allocates nothing.

namespace {
thread_local bool counting = false;
thread_local int allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using logging::Level;
using logging::Logger;

template <class F>
int allocationsDuring(F&& body) {
    allocations = 0;
    counting = true;
    body();
    counting = false;
    return allocations;
}

TEST(FilteredCallTest, AllocatesNothing) {
    Logger noOp("mcp.transport.stdio", logging::NoOpLogHandler());
    Logger stream("worker", logging::StreamLogHandler::standardError("worker"));
    const std::string method = "tools/call";
    const std::string longText(100, 'x');
    auto error = std::make_exception_ptr(std::runtime_error("closed"));
    for (const Logger* logger : {&noOp, &stream}) {
        SCOPED_TRACE(logger->label());
        EXPECT_EQ(allocationsDuring([&] {
                      logger->debug("Server finished");
                      logger->debug(longText, {{"method", method}, {"id", 42}, {"error", error}, {"text", longText}});
                      logger->trace("Failed", error, {{"size", std::size_t{7}}, {"lazy", [&] { return longText; }}});
                      logger->debug([&] { return method + longText; }, {{"k", "v"}}, "source");
                  }),
                  0);
    }
    // The check itself is sound: a call that passes does allocate.
    EXPECT_GT(allocationsDuring([&] { noOp.critical(longText, {{"text", longText}}); }), 0);
}

}  // namespace
