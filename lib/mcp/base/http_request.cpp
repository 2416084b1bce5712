#include "mcp/base/http_request.hpp"

#include <algorithm>

namespace mcp {

namespace {

char lower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) noexcept {
    return std::ranges::equal(a, b, [](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::optional<std::string> HTTPRequest::header(std::string_view name) const {
    if (auto value = headerView(name)) return std::string(*value);
    return std::nullopt;
}

std::optional<std::string_view> HTTPRequest::headerView(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
}

}  // namespace mcp
