#include "mcp/base/authorization/detail/whitespace.hpp"

#include <cstdint>

namespace mcp::detail {

namespace {

bool isWhiteSpace(std::uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

std::size_t whitespaceLengthAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return isWhiteSpace(lead) ? 1 : 0;
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return 0;
    std::uint32_t c = lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    return isWhiteSpace(c) ? length : 0;
}

bool containsWhitespace(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (whitespaceLengthAt(text, i) > 0) return true;
    }
    return false;
}

std::string_view trimWhitespace(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const auto length = whitespaceLengthAt(text, start);
        if (length == 0) break;
        start += length;
    }
    std::size_t end = text.size();
    while (end > start) {
        // Step back over the last character: continuation bytes belong to the one before.
        std::size_t begin = end - 1;
        while (begin > start && (static_cast<unsigned char>(text[begin]) & 0xC0) == 0x80) --begin;
        if (whitespaceLengthAt(text, begin) != end - begin) break;
        end = begin;
    }
    return text.substr(start, end - start);
}

std::vector<std::string_view> splitOnWhitespace(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t pieceStart = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto length = whitespaceLengthAt(text, i);
        if (length == 0) {
            ++i;
            continue;
        }
        if (i > pieceStart) pieces.push_back(text.substr(pieceStart, i - pieceStart));
        i += length;
        pieceStart = i;
    }
    if (pieceStart < text.size()) pieces.push_back(text.substr(pieceStart));
    return pieces;
}

}  // namespace mcp::detail
