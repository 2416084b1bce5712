#pragma once

#include "support/random_json.hpp"

#include <boost/json/value.hpp>

#include <cstdint>
#include <iterator>
#include <string>

namespace mcp::test {

/// Random documents full of what the reading changes: whole doubles, data URLs, unsorted keys.
inline testing_support::RandomJson randomDocuments(std::uint64_t seed) {
    return testing_support::RandomJson(seed, {
        .pieces = {"a", "B", "/", "\"", "\n", "\xc3\xa9", "_", "0"},
        .maxPieces = 6,
        .scalarKinds = 7,
        .scalar = [](testing_support::RandomJson& r, int kind) -> boost::json::value {
            static const char* const heads[] = {"data:,", "data:text/plain;charset=utf-8,", "data:image/png;base64,",
                                                "data:;base64,", "data:x/y;charset=a,"};
            static const char* const payloads[] = {"", "aGk=", "a%20b", "%C3%A9", "%zz", "a/b", "YS9i"};
            switch (kind) {
            case 0: return nullptr;
            case 1: return r.pick(2) == 0;
            case 2: return static_cast<std::int64_t>(r.bits()) >> r.pick(64);
            case 3:
                if (r.pick(2) == 0) return static_cast<double>(static_cast<std::int64_t>(r.bits()) >> r.pick(64));
                return r.finiteDouble();
            case 4: return r.bits();
            case 5: return boost::json::value(boost::json::string_view(r.text()));
            default: {
                std::string url = std::string(heads[r.pick(std::size(heads))]) + payloads[r.pick(std::size(payloads))];
                return boost::json::value(boost::json::string_view(url));
            }
            }
        },
    });
}

}  // namespace mcp::test
