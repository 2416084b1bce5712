#include "platform/utf8.hpp"

#include <cstdint>
#include <cstring>

namespace platform {

namespace {

// How many bytes at `p` (of `n` available) form the longest valid start of a sequence, and whether
// that start is the whole sequence. A lone invalid byte gives a length of 0.
struct Prefix {
    std::size_t length;
    bool complete;
};

Prefix validPrefix(const unsigned char* p, std::size_t n) noexcept {
    const unsigned char lead = p[0];
    if (lead < 0x80) return {1, true};
    std::size_t need;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return {0, false};
    }
    std::size_t length = 1;
    for (; length < need; ++length) {
        if (length >= n) return {length, false};
        const unsigned char c = p[length];
        const unsigned char min = length == 1 ? low : 0x80;
        const unsigned char max = length == 1 ? high : 0xBF;
        if (c < min || c > max) return {length, false};
    }
    return {length, true};
}

constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

}  // namespace

bool isValidUTF8(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    // Plain ASCII, by far the most common text, goes sixteen bytes at a time.
    while (n - i >= 16) {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, p + i, sizeof a);
        std::memcpy(&b, p + i + 8, sizeof b);
        if (((a | b) & kHighs) != 0) break;
        i += 16;
    }
    while (i < n) {
        if (n - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p + i, sizeof word);
            if ((word & kHighs) == 0) {
                i += 8;
                continue;
            }
        }
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        auto prefix = validPrefix(p + i, n - i);
        if (!prefix.complete) return false;
        i += prefix.length;
    }
    return true;
}

std::string repairUTF8(std::string_view text) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::string repaired;
    repaired.reserve(n + 8);
    std::size_t i = 0;
    while (i < n) {
        auto prefix = validPrefix(p + i, n - i);
        if (prefix.complete) {
            repaired.append(text.data() + i, prefix.length);
            i += prefix.length;
        } else {
            repaired.append(kReplacement);
            i += prefix.length == 0 ? 1 : prefix.length;
        }
    }
    return repaired;
}

}  // namespace platform
